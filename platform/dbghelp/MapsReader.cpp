#include "MapsReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "PosixIo.h"
#include "TextScan.h"

MapsReader::MapsReader() : fd_(RetryOnEintr([] { return open("/proc/self/maps", O_RDONLY | O_CLOEXEC); })) {}

bool MapsReader::Fill() {
  if (!fd_.valid()) return false;
  if (begin_ > 0) {
    memmove(buffer_, buffer_ + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  const ssize_t n = RetryOnEintr([this] { return read(fd_.get(), buffer_ + end_, sizeof(buffer_) - end_); });
  if (n <= 0) return false;
  end_ += static_cast<size_t>(n);
  return true;
}

bool MapsReader::Next(MapsLine* line) {
  char* newline = nullptr;
  for (;;) {
    newline = static_cast<char*>(memchr(buffer_ + begin_, '\n', end_ - begin_));
    if (newline) break;
    // A line longer than the buffer cannot be parsed: stop there.
    if (end_ - begin_ == sizeof(buffer_) || !Fill()) return false;
  }
  const char* p = buffer_ + begin_;
  const char* end = newline;
  begin_ = static_cast<size_t>(newline - buffer_) + 1;

  // start-end perms offset dev inode path
  *line = MapsLine();
  if (!ScanHex(&p, end, &line->start) || p == end || *p++ != '-' || !ScanHex(&p, end, &line->end)) return false;
  SkipSpaces(&p, end);
  if (end - p < 4) return false;
  line->readable = p[0] == 'r';
  line->executable = p[2] == 'x';
  p += 4;
  SkipSpaces(&p, end);
  if (!ScanHex(&p, end, &line->offset)) return false;
  SkipSpaces(&p, end);
  while (p < end && *p != ' ') ++p;  // the device
  SkipSpaces(&p, end);
  if (!ScanDecimal(&p, end, &line->inode)) return false;
  SkipSpaces(&p, end);
  line->path = p;
  line->pathLength = static_cast<size_t>(end - p);
  return true;
}

bool MapsReader::FindMapping(uint64_t address, MapsLine* mapping) {
  MapsReader reader;
  MapsLine line;
  while (reader.Next(&line)) {
    if (address >= line.start && address < line.end) {
      *mapping = line;
      mapping->path = nullptr;
      mapping->pathLength = 0;
      return true;
    }
  }
  return false;
}
