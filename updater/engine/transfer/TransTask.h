// One task of a transfer connection: a byte range of a file, the whole file
// (start 0, end -1, key -1), or an upload of the item's body.
#pragma once

#include <string>

class CNetFile;

struct STransTask {
  std::wstring verb;          // "GET" or "POST"
  CNetFile* file = nullptr;   // null while the connection is idle
  int start = 0;
  int end = -1;               // exclusive; -1 to the end
  int key = -1;               // the block's key; -1 for a whole-file task

  int Length() const { return end < 0 ? -1 : end - start; }
};
