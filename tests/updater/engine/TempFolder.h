// A temporary folder removed with everything in it, also handed to the
// updater in the form it expects.
#pragma once

#include <string>

#include "ScopedTempDir.h"

class TempFolder : public ScopedTempDir {
 public:
  TempFolder() : ScopedTempDir("upd") {}
  // The folder as the updater writes it: with the separator at the end.
  std::wstring Folder() const { return path().wstring() + L"/"; }
};
