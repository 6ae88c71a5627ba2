// The records an update description lists: files to fetch, files to delete
// and the sections that group them. A finger tree owns its records; sections
// and the fetch and install lists only point at them.
#pragma once

#include <string>
#include <vector>

enum {
  FIT_DOWNFILE = 0,  // fetch and install
  FIT_DELFILE = 1,
  FIT_SECTION = 3,
  FIT_UPFILE = 4,
};

struct SFingerItem {
  SFingerItem(int itemType, std::wstring itemName) : type(itemType), name(std::move(itemName)) {}
  virtual ~SFingerItem() = default;
  SFingerItem(const SFingerItem&) = delete;
  SFingerItem& operator=(const SFingerItem&) = delete;

  int type;
  std::wstring name;  // relative to the folder, '/'-separated; or a section's name
  int state = 0;      // 1 once the update decided to install it
};

struct SFingerSection : SFingerItem {
  SFingerSection(std::wstring sectionName, SFingerSection* parentSection)
      : SFingerItem(FIT_SECTION, std::move(sectionName)), parent(parentSection) {}

  std::vector<SFingerItem*> children;  // in job order
  SFingerSection* parent;              // none for the root
};

struct SFingerDelItem : SFingerItem {
  explicit SFingerDelItem(std::wstring fileName) : SFingerItem(FIT_DELFILE, std::move(fileName)) {}

  int flag = 1;  // 0: a failed delete is an error; 1: it is ignored
};
