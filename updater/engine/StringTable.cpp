#include "StringTable.h"

namespace {

struct STableString {
  UINT id;
  const wchar_t* text;
};

// 1000 names the updater's single-instance shared block.
const STableString kStrings[] = {
    {IDS_UPDATE_MEM, L"PELLORAN_UPDATE_MEM"},
};

}  // namespace

const wchar_t* FindTableString(UINT id) {
  for (const STableString& entry : kStrings) {
    if (entry.id == id) return entry.text;
  }
  return nullptr;
}
