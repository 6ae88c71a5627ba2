#include "DumpFile.h"

#include <unistd.h>

#include <cerrno>

#include "PosixIo.h"
#include "SelfProcess.h"

namespace {

// Copy and conversion buffers: one dump is written at a time.
char g_chunk[64 * 1024];
uint16_t g_utf16[4096];

// Decodes one UTF-8 sequence; malformed input gives U+FFFD and skips a byte.
uint32_t NextCodePoint(const unsigned char* s, size_t length, size_t* i) {
  const unsigned char lead = s[*i];
  if (lead < 0x80) {
    ++*i;
    return lead;
  }
  const size_t extra = (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : 0;
  if (extra == 0 || *i + extra >= length) {
    ++*i;
    return 0xFFFD;
  }
  uint32_t c = lead & (0x3F >> extra);
  for (size_t k = 1; k <= extra; ++k) {
    if ((s[*i + k] & 0xC0) != 0x80) {
      ++*i;
      return 0xFFFD;
    }
    c = (c << 6) | (s[*i + k] & 0x3F);
  }
  *i += extra + 1;
  return c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? 0xFFFD : c;
}

}  // namespace

DumpFile::DumpFile(int fd) : fd_(fd), base_(lseek(fd, 0, SEEK_CUR)) {
  if (base_ < 0) ok_ = false;
}

bool DumpFile::Ensure(size_t size) {
  // RVAs are 32-bit: a dump cannot pass 4 GiB.
  if (ok_ && position_ + size > 0xFFFFFFFFu) ok_ = false;
  return ok_;
}

uint32_t DumpFile::Reserve(size_t size) {
  if (!Ensure(size)) return 0;
  const uint32_t rva = Position();
  position_ += size;
  return rva;
}

uint32_t DumpFile::Append(const void* data, size_t size) {
  if (!Ensure(size)) return 0;
  const uint32_t rva = Position();
  if (!PwriteFully(fd_, data, size, base_ + static_cast<off_t>(position_))) {
    ok_ = false;
    return 0;
  }
  position_ += size;
  return rva;
}

uint32_t DumpFile::AppendMemory(uint64_t address, size_t size, size_t* copied) {
  *copied = 0;
  const uint32_t rva = Position();
  while (*copied < size && ok_) {
    const size_t want = size - *copied < sizeof(g_chunk) ? size - *copied : sizeof(g_chunk);
    const size_t got = ReadSelfMemory(address + *copied, g_chunk, want);
    if (got == 0) break;
    Append(g_chunk, got);
    *copied += got;
    if (got < want) break;
  }
  return rva;
}

uint32_t DumpFile::AppendString(const char* utf8, size_t length) {
  const auto* s = reinterpret_cast<const unsigned char*>(utf8);
  const size_t room = sizeof(g_utf16) / sizeof(g_utf16[0]) - 2;  // a surrogate pair and the terminator
  size_t units = 0;
  for (size_t i = 0; i < length && units < room;) {
    const uint32_t c = NextCodePoint(s, length, &i);
    if (c >= 0x10000) {
      g_utf16[units++] = static_cast<uint16_t>(0xD800 + ((c - 0x10000) >> 10));
      g_utf16[units++] = static_cast<uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      g_utf16[units++] = static_cast<uint16_t>(c);
    }
  }
  g_utf16[units] = 0;
  const uint32_t bytes = static_cast<uint32_t>(units * 2);
  const uint32_t rva = Append(&bytes, sizeof(bytes));
  Append(g_utf16, (units + 1) * 2);
  return rva;
}

bool DumpFile::WriteAt(uint32_t rva, const void* data, size_t size) {
  if (!ok_) return false;
  if (!PwriteFully(fd_, data, size, base_ + rva)) ok_ = false;
  return ok_;
}

void DumpFile::AlignTo(size_t alignment) {
  static const char kZeros[16] = {};
  const size_t pad = (alignment - position_ % alignment) % alignment;
  if (pad > 0) Append(kZeros, pad);
}

void DumpFile::SeekPastEnd() {
  if (ok_ && lseek(fd_, base_ + static_cast<int64_t>(position_), SEEK_SET) < 0) ok_ = false;
}
