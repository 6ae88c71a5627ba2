// Shared by the finger tests: a description in a scratch folder, loaded.
#pragma once

#include <string>
#include <vector>

#include "FWUpdateIni.h"
#include "FingerFile.h"
#include "ScopedTempDir.h"

// The tree as text: files by name, deletions as -name (!name when a failed
// delete is an error), child sections as name{...}.
inline std::wstring DescribeSection(const SFingerSection* section) {
  std::wstring text;
  for (const SFingerItem* child : section->children) {
    if (!text.empty()) text += L",";
    if (child->type == FIT_SECTION) {
      text += child->name + L"{" + DescribeSection(static_cast<const SFingerSection*>(child)) + L"}";
    } else if (child->type == FIT_DELFILE) {
      text += (static_cast<const SFingerDelItem*>(child)->flag == 0 ? L"!" : L"-") + child->name;
    } else {
      text += child->name;
    }
  }
  return text;
}

inline std::wstring Names(const std::vector<SFingerItem*>& items) {
  std::wstring text;
  for (const SFingerItem* item : items) text += (text.empty() ? L"" : L",") + item->name;
  return text;
}

class FingerFixture {
 public:
  // Writes the description as UpdateInfo.ini and loads its section.
  bool Load(const std::string& text, const std::wstring& section = L"MAIN") {
    folder.put("UpdateInfo.ini", text);
    ini.SetFile(folder.wideFolder() + L"UpdateInfo.ini");
    return finger.InitSection(&ini, section);
  }
  std::wstring Tree() const { return finger.Root() ? DescribeSection(finger.Root()) : L"<none>"; }
  const SFileItem* File(const std::wstring& name) const {
    for (const SFingerItem* item : finger.Items())
      if (item->name == name && item->type != FIT_DELFILE) return static_cast<const SFileItem*>(item);
    return nullptr;
  }

  ScopedTempDir folder{ScopedTempDir::kAwkwardPrefix};
  CFWUpdateIni ini;
  CFingerFile finger;
};
