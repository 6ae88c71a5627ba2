#include "SelfProcess.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <platform/Unique.h>

#include "PosixIo.h"
#include "TextScan.h"

namespace {

struct LinuxDirent64 {
  uint64_t ino;
  int64_t off;
  unsigned short reclen;
  unsigned char type;
  char name[1];
};

template <typename T>
bool ReadSelfValue(uint64_t address, T* value) {
  return ReadSelfMemory(address, value, sizeof(T)) == sizeof(T);
}

}  // namespace

size_t ReadSelfMemory(uint64_t address, void* buffer, size_t size) {
  if (size == 0) return 0;
  // Another process's view of our memory: a bad address gives EFAULT or a
  // short count here where a plain read would fault inside the handler.
  iovec local{buffer, size};
  iovec remote{reinterpret_cast<void*>(address), size};
  const ssize_t n = RetryOnEintr([&] { return process_vm_readv(getpid(), &local, 1, &remote, 1, 0); });
  return n < 0 ? 0 : static_cast<size_t>(n);
}

ssize_t ReadSmallFile(const char* path, char* buffer, size_t size) {
  if (size == 0) return -1;
  const UniqueFd fd(RetryOnEintr([path] { return open(path, O_RDONLY | O_CLOEXEC); }));
  if (!fd.valid()) return -1;
  size_t done = 0;
  ReadFully(fd.get(), buffer, size - 1, &done);  // what arrived before an error still counts
  buffer[done] = '\0';
  return static_cast<ssize_t>(done);
}

size_t ListThreads(pid_t* tids, size_t max) {
  const UniqueFd fd(RetryOnEintr([] { return open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (!fd.valid()) return 0;
  alignas(8) char buffer[4096];
  size_t count = 0;
  for (;;) {
    const long n = RetryOnEintr([&] { return syscall(SYS_getdents64, fd.get(), buffer, sizeof(buffer)); });
    if (n <= 0) break;
    for (long at = 0; at < n;) {
      const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + at);
      at += entry->reclen;
      const char* name = entry->name;
      uint64_t tid = 0;
      if (!ScanDecimal(&name, name + strlen(name), &tid) || *name != '\0') continue;  // "." and ".."
      if (count < max) tids[count++] = static_cast<pid_t>(tid);
    }
  }
  return count;
}

bool ReadBlockedThreadRegisters(pid_t tid, uint64_t* sp, uint64_t* pc) {
  char path[64] = "/proc/self/task/";
  const size_t prefix = strlen(path);
  FormatDecimal(static_cast<uint64_t>(tid), path + prefix);
  strcat(path, "/syscall");
  // "nr arg1 .. arg6 sp pc" while in a system call, "-1 sp pc" when blocked
  // elsewhere, "running" otherwise: the last two numbers are what we want.
  char text[256];
  const ssize_t length = ReadSmallFile(path, text, sizeof(text));
  if (length <= 0) return false;
  uint64_t numbers[9];
  size_t count = 0;
  const char* p = text;
  const char* end = text + length;
  while (p < end && count < 9) {
    SkipSpaces(&p, end);
    if (*p == '-') ++p;
    if (!ScanHex(&p, end, &numbers[count])) break;
    ++count;
  }
  if (count < 3) return false;
  *sp = numbers[count - 2];
  *pc = numbers[count - 1];
  return *sp != 0 && *pc != 0;
}

bool IsElfImage(uint64_t base) {
  unsigned char magic[SELFMAG];
  return ReadSelfMemory(base, magic, SELFMAG) == SELFMAG && memcmp(magic, ELFMAG, SELFMAG) == 0;
}

size_t ReadElfBuildId(uint64_t base, uint8_t* out, size_t max) {
  Elf64_Ehdr header;
  if (!ReadSelfValue(base, &header) || memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr)) {
    return 0;
  }
  // Segment addresses are relative to the lowest loaded one, which sits at base.
  uint64_t lowest = UINT64_MAX;
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr ph;
    if (!ReadSelfValue(base + header.e_phoff + i * sizeof(Elf64_Phdr), &ph)) return 0;
    if (ph.p_type == PT_LOAD && (ph.p_vaddr & ~(uint64_t{0xFFF})) < lowest) lowest = ph.p_vaddr & ~uint64_t{0xFFF};
  }
  if (lowest == UINT64_MAX) return 0;
  const uint64_t bias = base - lowest;
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr ph;
    if (!ReadSelfValue(base + header.e_phoff + i * sizeof(Elf64_Phdr), &ph) || ph.p_type != PT_NOTE) continue;
    uint64_t at = bias + ph.p_vaddr;
    const uint64_t end = at + ph.p_memsz;
    // Notes are 4-aligned: header, name, descriptor.
    for (int guard = 0; guard < 64 && at + sizeof(Elf64_Nhdr) <= end; ++guard) {
      Elf64_Nhdr note;
      if (!ReadSelfValue(at, &note)) break;
      const uint64_t nameAt = at + sizeof(note);
      const uint64_t descAt = nameAt + ((note.n_namesz + 3) & ~3u);
      char name[4] = {};
      if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 && ReadSelfMemory(nameAt, name, 4) == 4 &&
          memcmp(name, "GNU", 4) == 0 && note.n_descsz <= max) {
        return ReadSelfMemory(descAt, out, note.n_descsz) == note.n_descsz ? note.n_descsz : 0;
      }
      at = descAt + ((note.n_descsz + 3) & ~3u);
    }
  }
  return 0;
}
