// One update description turned into a tree of sections and items, checked
// against the folder that holds the description.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FileItem.h"
#include "FingerItem.h"

class CFWUpdateIni;

class CFingerFile {
 public:
  CFingerFile() = default;
  CFingerFile(const CFingerFile&) = delete;
  CFingerFile& operator=(const CFingerFile&) = delete;

  // Loads the named section's tree from the description and checks its
  // items against the description's folder. A failed load leaves it cleared.
  bool InitSection(CFWUpdateIni* ini, const std::wstring& sectionName);
  void Clear();

  // A file name as the items carry it ('\' written as '/'); false for one
  // that would leave the folder it is joined to (absolute, a drive, "..").
  static bool ItemName(const std::wstring& written, std::wstring* name);

  // Process-wide: names listed here count as current whatever their content.
  static void SetNoUpdateFiles(const std::wstring& text);

  // Takes out of the list the files current in the folder (into the ok list
  // when one is given) and the deletions with nothing left to delete.
  void CheckItems(const std::wstring& folder, std::vector<SFingerItem*>& list, std::vector<SFingerItem*>* okList);
  // Takes out of the list every item `other` holds (same type and name).
  static void SubtractItems(std::vector<SFingerItem*>& list, const std::vector<SFingerItem*>& other,
                            std::vector<SFingerItem*>* out);
  // Whether the file of the item is current in the folder; a file current by
  // content gets the listed time, so later checks stop at size and time.
  bool CheckFileItem(const std::wstring& folder, SFileItem* item);

  bool Loaded() const { return loaded_ != 0; }
  const std::vector<SFingerItem*>& Items() const { return items_; }
  const std::vector<SFingerItem*>& OkItems() const { return okItems_; }
  const std::vector<SFingerItem*>& UnOkItems() const { return unOkItems_; }
  SFingerSection* Root() const { return root_; }
  CFWUpdateIni* Ini() const { return ini_; }

 private:
  bool CreateSection(const std::wstring& name, SFingerSection* parent);
  bool DealSectionJobs(const std::wstring& sectionName, SFingerSection* target);
  bool DealJob(const std::wstring& value, SFingerSection* target);
  bool DealDownFileJob(const std::wstring& value, SFingerSection* target);
  bool DealDelFileJob(const std::wstring& value, SFingerSection* target);
  bool DealSwitchJob(const std::wstring& value, SFingerSection* target);
  bool DealSubJob(const std::wstring& sectionName, SFingerSection* target);
  bool DealCaseScan(const std::wstring& value, int switchValue, SFingerSection* target);
  void AddItem(std::unique_ptr<SFingerItem> item, SFingerSection* section);

  int loaded_ = 0;
  CFWUpdateIni* ini_ = nullptr;  // not owned
  SFingerSection* root_ = nullptr;
  std::vector<std::unique_ptr<SFingerItem>> owned_;  // every record created, sections included
  std::vector<SFingerItem*> items_;                  // each file and delete item once, by first appearance
  std::vector<SFingerItem*> okItems_;
  std::vector<SFingerItem*> unOkItems_;
  std::vector<std::wstring> walking_;  // sections whose walk is under way, folded
};
