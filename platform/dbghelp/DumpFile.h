// Sequential writer of one minidump into a descriptor, with back-patching of
// records reserved earlier. Async-signal-safe.
#pragma once

#include <cstddef>
#include <cstdint>

class DumpFile {
 public:
  // Offsets (RVAs) count from the descriptor's position at construction.
  explicit DumpFile(int fd);

  // Each returns the RVA of the data; the first failure sticks (ok() false)
  // and later calls write nothing.
  uint32_t Reserve(size_t size);
  uint32_t Append(const void* data, size_t size);
  // Copies [address, address + size) of this process; *copied says how much
  // could be read (the copy stops at the first unreadable page).
  uint32_t AppendMemory(uint64_t address, size_t size, size_t* copied);
  // A length-prefixed UTF-16 string converted from UTF-8.
  uint32_t AppendString(const char* utf8, size_t length);
  bool WriteAt(uint32_t rva, const void* data, size_t size);
  void AlignTo(size_t alignment);
  // Leaves the descriptor's position after the dump, where callers append.
  void SeekPastEnd();

  uint32_t Position() const { return static_cast<uint32_t>(position_); }
  bool ok() const { return ok_; }

 private:
  bool Ensure(size_t size);

  int fd_;
  int64_t base_;
  uint64_t position_ = 0;
  bool ok_ = true;
};
