// Line-by-line reader of /proc/self/maps with a fixed buffer: usable in a
// signal handler, where nothing may allocate.
#pragma once

#include <cstddef>
#include <cstdint>

#include <platform/Unique.h>

struct MapsLine {
  uint64_t start = 0;
  uint64_t end = 0;
  uint64_t offset = 0;
  uint64_t inode = 0;
  bool readable = false;
  bool executable = false;
  const char* path = nullptr;  // valid until the next Next(); "" for anonymous memory
  size_t pathLength = 0;
};

class MapsReader {
 public:
  MapsReader();
  MapsReader(const MapsReader&) = delete;
  MapsReader& operator=(const MapsReader&) = delete;

  // False at the end, on a read error and on a line it cannot parse.
  bool Next(MapsLine* line);

  // The mapping holding address, by a fresh pass over the file.
  static bool FindMapping(uint64_t address, MapsLine* mapping);

 private:
  bool Fill();

  UniqueFd fd_;
  char buffer_[8192];
  size_t begin_ = 0;
  size_t end_ = 0;
};
