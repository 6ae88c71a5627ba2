#include "ElfNoteReader.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <platform/Unique.h>

#include "PosixIo.h"

namespace {

struct Region {
  uint64_t offset;
  uint64_t size;
  uint64_t align;
};

struct ElfTypes64 {
  using Ehdr = Elf64_Ehdr;
  using Shdr = Elf64_Shdr;
  using Phdr = Elf64_Phdr;
};

struct ElfTypes32 {
  using Ehdr = Elf32_Ehdr;
  using Shdr = Elf32_Shdr;
  using Phdr = Elf32_Phdr;
};

}  // namespace

// Our notes are a few dozen bytes; a note area larger than this is not one we
// would want to read whole.
static constexpr uint64_t kMaxNoteArea = 1u << 20;

static bool ReadAt(int fd, uint64_t fileSize, uint64_t offset, void* out, uint64_t size) {
  if (offset > fileSize || size > fileSize - offset) return false;
  size_t got = 0;
  return PreadFully(fd, out, size, static_cast<off_t>(offset), &got) && got == size;
}

// Table of `count` entries of `entrySize` bytes at `offset`, each read into T.
template <typename T>
static bool ReadTable(int fd, uint64_t fileSize, uint64_t offset, uint64_t count, uint64_t entrySize,
                      std::vector<T>* table) {
  if (count == 0) return true;
  if (entrySize != sizeof(T)) return false;
  const uint64_t bytes = count * sizeof(T);
  if (offset > fileSize || bytes > fileSize - offset) return false;
  table->resize(count);
  return ReadAt(fd, fileSize, offset, table->data(), bytes);
}

template <typename Types>
static bool CollectNoteRegions(int fd, uint64_t fileSize, std::vector<Region>* regions) {
  typename Types::Ehdr header;
  if (!ReadAt(fd, fileSize, 0, &header, sizeof(header))) return false;
  std::vector<typename Types::Shdr> sections;
  if (header.e_shoff != 0 && !ReadTable(fd, fileSize, header.e_shoff, header.e_shnum, header.e_shentsize, &sections)) {
    return false;
  }
  for (const auto& section : sections) {
    if (section.sh_type == SHT_NOTE) regions->push_back({section.sh_offset, section.sh_size, section.sh_addralign});
  }
  if (!sections.empty()) return true;
  std::vector<typename Types::Phdr> segments;
  if (header.e_phoff != 0 && !ReadTable(fd, fileSize, header.e_phoff, header.e_phnum, header.e_phentsize, &segments)) {
    return false;
  }
  for (const auto& segment : segments) {
    if (segment.p_type == PT_NOTE) regions->push_back({segment.p_offset, segment.p_filesz, segment.p_align});
  }
  return true;
}

static uint64_t AlignUp(uint64_t value, uint64_t align) { return (value + align - 1) / align * align; }

// Walks the notes of one area. Found: *descriptor holds the note's bytes.
static ElfNoteResult FindInArea(const std::vector<uint8_t>& area, uint64_t align, const std::string& owner,
                                uint32_t type, std::vector<uint8_t>* descriptor) {
  // The descriptor and the next note start 4-aligned, or 8-aligned in an area
  // that says so (GNU property notes); the name follows the 12-byte header.
  align = align == 8 ? 8 : 4;
  uint64_t at = 0;
  while (area.size() - at >= 3 * sizeof(uint32_t)) {
    uint32_t fields[3];
    std::memcpy(fields, area.data() + at, sizeof(fields));
    const uint64_t nameSize = fields[0], descSize = fields[1];
    const uint64_t nameAt = at + sizeof(fields);
    // Sizes come from the file: each is checked against what is left before use.
    if (nameSize > area.size() - nameAt) return ElfNoteResult::Malformed;
    const uint64_t descAt = AlignUp(nameAt + nameSize, align);
    if (descAt > area.size() || descSize > area.size() - descAt) return ElfNoteResult::Malformed;
    const uint64_t next = AlignUp(descAt + descSize, align);
    if (fields[2] == type && nameSize == owner.size() + 1 &&
        std::memcmp(area.data() + nameAt, owner.c_str(), owner.size() + 1) == 0) {
      descriptor->assign(area.begin() + static_cast<std::ptrdiff_t>(descAt),
                         area.begin() + static_cast<std::ptrdiff_t>(descAt + descSize));
      return ElfNoteResult::Found;
    }
    if (next >= area.size()) break;
    at = next;
  }
  return ElfNoteResult::NotFound;
}

ElfNoteResult ReadElfNote(const std::string& path, const std::string& owner, uint32_t type,
                          std::vector<uint8_t>* descriptor) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return ElfNoteResult::OpenFailed;
  struct stat info;
  if (fstat(fd.get(), &info) != 0) return ElfNoteResult::OpenFailed;
  if (!S_ISREG(info.st_mode)) return ElfNoteResult::NotElf;
  const uint64_t fileSize = static_cast<uint64_t>(info.st_size);

  unsigned char ident[EI_NIDENT];
  if (!ReadAt(fd.get(), fileSize, 0, ident, sizeof(ident)) || std::memcmp(ident, ELFMAG, SELFMAG) != 0) {
    return ElfNoteResult::NotElf;
  }
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  if (ident[EI_DATA] != ELFDATA2LSB) return ElfNoteResult::NotElf;
#else
  if (ident[EI_DATA] != ELFDATA2MSB) return ElfNoteResult::NotElf;
#endif
  std::vector<Region> regions;
  bool sound = false;
  if (ident[EI_CLASS] == ELFCLASS64) {
    sound = CollectNoteRegions<ElfTypes64>(fd.get(), fileSize, &regions);
  } else if (ident[EI_CLASS] == ELFCLASS32) {
    sound = CollectNoteRegions<ElfTypes32>(fd.get(), fileSize, &regions);
  } else {
    return ElfNoteResult::NotElf;
  }
  if (!sound) return ElfNoteResult::Malformed;

  bool malformed = false;
  for (const Region& region : regions) {
    if (region.size > kMaxNoteArea) continue;
    std::vector<uint8_t> area(region.size);
    if (!ReadAt(fd.get(), fileSize, region.offset, area.data(), region.size)) {
      malformed = true;
      continue;
    }
    const ElfNoteResult result = FindInArea(area, region.align, owner, type, descriptor);
    if (result == ElfNoteResult::Found) return result;
    if (result == ElfNoteResult::Malformed) malformed = true;
  }
  return malformed ? ElfNoteResult::Malformed : ElfNoteResult::NotFound;
}
