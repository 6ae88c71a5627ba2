#include <elf.h>
#include <gtest/gtest.h>
#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "ElfNoteReader.h"
#include "RowName.h"
#include "ScopedTempDir.h"

namespace {

namespace fs = std::filesystem;

constexpr DWORD kExpectedMS = (KERNEL_TEST_VERSION_MAJOR << 16) | KERNEL_TEST_VERSION_MINOR;
constexpr DWORD kExpectedLS = (KERNEL_TEST_VERSION_PATCH << 16) | KERNEL_TEST_VERSION_TWEAK;

constexpr uint32_t kNoteType = 0x31524556;  // "VER1", as the build writes it

struct Record {
  bool found = false;
  DWORD error = 0;
  VS_FIXEDFILEINFO fixed = {};
  UINT length = 0;
};

// The caller's sequence: size, read into a large buffer, query the root.
Record ReadRecord(const std::string& path) {
  Record record;
  const std::wstring wide = Utf8ToWide(path);
  DWORD handle = 0xDEAD;
  SetLastError(0);
  const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &handle);
  std::vector<BYTE> block(8192, 0xAB);
  const BOOL read = GetFileVersionInfoW(wide.c_str(), 0, static_cast<DWORD>(block.size()), block.data());
  record.error = GetLastError();
  EXPECT_EQ(size != 0, read != FALSE) << "size and read disagree on " << path;
  if (!read) return record;
  EXPECT_LE(size, block.size());
  LPVOID value = nullptr;
  if (!VerQueryValueW(block.data(), L"\\", &value, &record.length)) return record;
  std::memcpy(&record.fixed, value, sizeof(record.fixed));
  record.found = true;
  return record;
}

struct BuiltFile {
  const char* name;
  std::string path;
  DWORD fileType;
};

class BuiltFileRecord : public ::testing::TestWithParam<BuiltFile> {};

TEST_P(BuiltFileRecord, CarriesTheProjectVersion) {
  const Record record = ReadRecord(GetParam().path);
  ASSERT_TRUE(record.found) << "error " << record.error;
  EXPECT_EQ(record.length, 52u);
  EXPECT_EQ(record.fixed.dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(record.fixed.dwStrucVersion, VS_FFI_STRUCVERSION);
  EXPECT_EQ(record.fixed.dwFileVersionMS, kExpectedMS);
  EXPECT_EQ(record.fixed.dwFileVersionLS, kExpectedLS);
  EXPECT_EQ(record.fixed.dwProductVersionMS, kExpectedMS);
  EXPECT_EQ(record.fixed.dwProductVersionLS, kExpectedLS);
  EXPECT_EQ(record.fixed.dwFileType, GetParam().fileType);
}

INSTANTIATE_TEST_SUITE_P(Built, BuiltFileRecord,
                         ::testing::Values(BuiltFile{"ThisTest", fs::read_symlink("/proc/self/exe").string(), VFT_APP},
                                           BuiltFile{"ChildProgram", KERNEL_PROCESS_CHILD, VFT_APP},
                                           BuiltFile{"SharedLibrary", KERNEL_MODULE_PROBE, VFT_DLL}), RowName());

TEST(VersionRecord, QueryAnswersOnlyTheRootOfOurBlock) {
  const std::wstring self = Utf8ToWide(fs::read_symlink("/proc/self/exe").string());
  std::vector<BYTE> block(2048);
  ASSERT_TRUE(GetFileVersionInfoW(self.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  LPVOID value = nullptr;
  UINT length = 0;
  SetLastError(0);
  EXPECT_FALSE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
  std::vector<BYTE> zeros(2048);
  EXPECT_FALSE(VerQueryValueW(zeros.data(), L"\\", &value, &length)) << "bytes that are not a version block";
  EXPECT_FALSE(VerQueryValueW(nullptr, L"\\", &value, &length));
}

TEST(VersionRecord, TooSmallBufferIsRefusedUntouched) {
  const std::wstring self = Utf8ToWide(fs::read_symlink("/proc/self/exe").string());
  const DWORD size = GetFileVersionInfoSizeW(self.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size - 1, 0xAB);
  SetLastError(0);
  EXPECT_FALSE(GetFileVersionInfoW(self.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  for (BYTE b : block) ASSERT_EQ(b, 0xAB);
}

class VersionRecordFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.ok());
    dir_ = temp_.path();
  }
  std::string Write(const std::string& name, const std::vector<char>& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }
  ScopedTempDir temp_{"kernel-version"};
  fs::path dir_;
};

TEST_F(VersionRecordFiles, FilesWithoutARecordFailLikeWindows) {
  const std::string text = "[VER]\nVer=2.1.0.5\n";
  const struct {
    const char* what;
    std::string path;
    DWORD error;
  } cases[] = {
      {"ELF program without the note", "/bin/true", ERROR_RESOURCE_TYPE_NOT_FOUND},
      {"text file", Write("UpdateInfo.ini", std::vector<char>(text.begin(), text.end())),
       ERROR_RESOURCE_TYPE_NOT_FOUND},
      {"empty file", Write("empty", {}), ERROR_RESOURCE_TYPE_NOT_FOUND},
      {"ELF magic only", Write("magic", {0x7f, 'E', 'L', 'F'}), ERROR_RESOURCE_TYPE_NOT_FOUND},
      {"folder", dir_.string(), ERROR_RESOURCE_TYPE_NOT_FOUND},
      {"missing file", (dir_ / "missing").string(), ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    const Record record = ReadRecord(c.path);
    EXPECT_FALSE(record.found) << c.what;
    EXPECT_EQ(record.error, c.error) << c.what;
  }
}

// A system program's own notes: the build id in a 4-aligned section and the
// property note in an 8-aligned one, read past to reach the later ones.
TEST(ElfNoteReader, ReadsOtherOwnersNotesAndTellsSoundFromMalformed) {
  const struct {
    const char* owner;
    uint32_t type;
    ElfNoteResult result;
    size_t minimumSize;
  } cases[] = {
      {"GNU", 3 /*NT_GNU_BUILD_ID*/, ElfNoteResult::Found, 8},
      {"GNU", 5 /*NT_GNU_PROPERTY_TYPE_0*/, ElfNoteResult::Found, 8},
      {"GNU", 1 /*NT_GNU_ABI_TAG*/, ElfNoteResult::Found, 16},
      {"Corvane", kNoteType, ElfNoteResult::NotFound, 0},
      {"GNU", 0x7777, ElfNoteResult::NotFound, 0},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> descriptor;
    EXPECT_EQ(ReadElfNote("/bin/true", c.owner, c.type, &descriptor), c.result) << c.owner << " " << c.type;
    EXPECT_GE(descriptor.size(), c.minimumSize) << c.owner << " " << c.type;
  }
}

std::vector<char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Where our note's header starts in an image of a built file.
size_t FindNote(const std::vector<char>& image) {
  const uint32_t header[3] = {8, 52, kNoteType};
  char pattern[sizeof(header) + 8];
  std::memcpy(pattern, header, sizeof(header));
  std::memcpy(pattern + sizeof(header), "Corvane", 8);
  auto it = std::search(image.begin(), image.end(), std::begin(pattern), std::end(pattern));
  return it == image.end() ? std::string::npos : static_cast<size_t>(it - image.begin());
}

template <typename T>
void Put(std::vector<char>* image, size_t offset, T value) {
  ASSERT_LE(offset + sizeof(T), image->size());
  std::memcpy(image->data() + offset, &value, sizeof(T));
}

struct Damage {
  const char* name;
  std::function<void(std::vector<char>*, size_t note)> apply;
  ElfNoteResult reader;  // what the note reader makes of the damaged file
  bool recordIntact;     // the control rows: the record still reads back
};

// Offsets in the 64-bit ELF header.
constexpr size_t kPhOff = 32, kShOff = 40, kPhEntSize = 54, kShEntSize = 58, kShNum = 60;

const Damage kDamages[] = {
    {"Untouched", [](std::vector<char>*, size_t) {}, ElfNoteResult::Found, true},
    {"TruncatedToHeader", [](std::vector<char>* image, size_t) { image->resize(64); }, ElfNoteResult::Malformed, false},
    {"TruncatedInHeader", [](std::vector<char>* image, size_t) { image->resize(40); }, ElfNoteResult::Malformed, false},
    {"TruncatedBeforeNote", [](std::vector<char>* image, size_t note) { image->resize(note + 10); },
     ElfNoteResult::Malformed, false},
    {"TruncatedByOneByte", [](std::vector<char>* image, size_t) { image->pop_back(); }, ElfNoteResult::Malformed,
     false},
    {"SectionTableBeyondEnd", [](std::vector<char>* image, size_t) { Put<uint64_t>(image, kShOff, image->size() - 8); },
     ElfNoteResult::Malformed, false},
    {"SectionTableOffsetHuge", [](std::vector<char>* image, size_t) { Put<uint64_t>(image, kShOff, ~0ull - 16); },
     ElfNoteResult::Malformed, false},
    {"SectionEntrySizeWrong", [](std::vector<char>* image, size_t) { Put<uint16_t>(image, kShEntSize, 7); },
     ElfNoteResult::Malformed, false},
    {"NoteNameSizeHuge", [](std::vector<char>* image, size_t note) { Put<uint32_t>(image, note, 0xFFFFFFF0u); },
     ElfNoteResult::Malformed, false},
    {"NoteDescSizeHuge", [](std::vector<char>* image, size_t note) { Put<uint32_t>(image, note + 4, 0xFFFFFFF0u); },
     ElfNoteResult::Malformed, false},
    {"NoteDescTooShort", [](std::vector<char>* image, size_t note) { Put<uint32_t>(image, note + 4, 8); },
     ElfNoteResult::Found, false},
    {"NoteSignatureWrong", [](std::vector<char>* image, size_t note) { Put<uint32_t>(image, note + 20, 0xFEEF04BC); },
     ElfNoteResult::Found, false},
    {"NoteOfAnotherOwner", [](std::vector<char>* image, size_t note) { (*image)[note + 12] = 'X'; },
     ElfNoteResult::NotFound, false},
    // Without section headers the note is still found through the program headers.
    {"NoSectionHeaders",
     [](std::vector<char>* image, size_t) {
       Put<uint64_t>(image, kShOff, 0);
       Put<uint16_t>(image, kShNum, 0);
     },
     ElfNoteResult::Found, true},
    {"NoSectionHeadersAndBadProgramHeaders",
     [](std::vector<char>* image, size_t) {
       Put<uint64_t>(image, kShOff, 0);
       Put<uint16_t>(image, kShNum, 0);
       Put<uint64_t>(image, kPhOff, image->size());
     },
     ElfNoteResult::Malformed, false},
    {"ProgramEntrySizeWrongWithoutSections",
     [](std::vector<char>* image, size_t) {
       Put<uint64_t>(image, kShOff, 0);
       Put<uint16_t>(image, kShNum, 0);
       Put<uint16_t>(image, kPhEntSize, 1);
     },
     ElfNoteResult::Malformed, false},
    {"GarbageAfterIdent",
     [](std::vector<char>* image, size_t) {
       for (size_t i = EI_NIDENT; i < 4096 && i < image->size(); ++i) (*image)[i] = static_cast<char>(i * 131 + 7);
     },
     ElfNoteResult::Malformed, false},
    {"UnknownClass", [](std::vector<char>* image, size_t) { (*image)[4] = 9; }, ElfNoteResult::NotElf, false},
    {"BigEndian", [](std::vector<char>* image, size_t) { (*image)[5] = 2; }, ElfNoteResult::NotElf, false},
};

class DamagedElf : public VersionRecordFiles, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedElf, FailsCleanlyUnlessStillSound) {
  std::vector<char> image = ReadBytes(KERNEL_PROCESS_CHILD);
  const size_t note = FindNote(image);
  ASSERT_NE(note, std::string::npos) << "the built child carries no version note";
  GetParam().apply(&image, note);
  const std::string path = Write("damaged", image);
  std::vector<uint8_t> descriptor;
  EXPECT_EQ(ReadElfNote(path, "Corvane", kNoteType, &descriptor), GetParam().reader);
  const Record record = ReadRecord(path);
  EXPECT_EQ(record.found, GetParam().recordIntact);
  if (!GetParam().recordIntact) {
    EXPECT_EQ(record.error, ERROR_RESOURCE_TYPE_NOT_FOUND);
  }
  if (record.found) {
    EXPECT_EQ(record.fixed.dwFileVersionMS, kExpectedMS);
  }
}

INSTANTIATE_TEST_SUITE_P(Elf, DamagedElf, ::testing::ValuesIn(kDamages), RowName());

}  // namespace
