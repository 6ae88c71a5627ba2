#include "FingerFile.h"

#include <platform/Kernel.h>
#include <platform/ShlwApi.h>
#include <platform/Strings.h>

#include <algorithm>
#include <cwctype>

#include "FWUpdateIni.h"
#include "FileHelpers.h"
#include "PathHelpers.h"
#include "StrHelpers.h"
#include "Trace.h"

enum { JOB_DLFL = 0, JOB_RMFL = 1, JOB_SWCH = 2, JOB_SUB = 3, JOB_CKFL = 4, JOB_UNKNOWN = 5 };
enum { SWCH_CKFL = 0, SWCH_VAR = 1 };
enum { SEC_DEFAULT = 0, SEC_FILES = 1, SEC_MODULE = 2 };

static const wchar_t* const kJobTypes[] = {L"dlfl", L"rmfl", L"swch", L"sub", L"ckfl"};
static const wchar_t* const kSwitchKinds[] = {L"ckfl", L"var"};
static const wchar_t* const kZipTypes[] = {L"", L"ZLIB", L"ZF7Z"};
static const wchar_t* const kCheckTypes[] = {L"", L"VER", L"MD5", L"IVER"};
static const wchar_t* const kSectionTypes[] = {L"", L"files", L"module"};

// Sections nest through sub, swch and module jobs; a description deeper than
// this is refused before the walk's own recursion could exhaust the stack.
static const size_t kMaxWalkDepth = 64;

static std::wstring g_noUpdateFiles;

template <size_t N>
static int IndexIn(const std::wstring& text, const wchar_t* const (&table)[N]) {
  return FindStrIndex(text.c_str(), table, static_cast<int>(N));
}

static std::wstring Trim(const std::wstring& text) {
  const size_t begin = text.find_first_not_of(L" \t\r\n");
  if (begin == std::wstring::npos) return std::wstring();
  const size_t end = text.find_last_not_of(L" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

// Field `index` of a job value, trimmed; false when it is missing.
static bool Field(const std::wstring& value, int index, std::wstring* field) {
  std::wstring raw;
  if (!ExtractSubStr(value.c_str(), index, L';', raw)) return false;
  *field = Trim(raw);
  return true;
}

// Names in a description may be written with '\'.
static std::wstring ToSlashes(std::wstring name) {
  std::replace(name.begin(), name.end(), L'\\', L'/');
  return name;
}

// A name is joined to the staging and the program folder and the result is
// written, moved or deleted: only a plain relative name stays inside them.
static bool IsSafeRelativeName(const std::wstring& name) {
  if (name.empty() || name[0] == L'/') return false;
  if (name.size() >= 2 && name[1] == L':' && std::iswalpha(name[0])) return false;
  size_t begin = 0;
  while (begin <= name.size()) {
    size_t end = name.find(L'/', begin);
    if (end == std::wstring::npos) end = name.size();
    if (name.compare(begin, end - begin, L"..") == 0) return false;
    begin = end + 1;
  }
  return true;
}

static std::wstring Fold(const std::wstring& name) {
  std::wstring folded(name);
  for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towlower(c));
  return folded;
}

static std::string U8(const std::wstring& text) { return WideToUtf8(text); }

static std::wstring FolderOf(const std::wstring& path) {
  std::wstring folder;
  SplitFilePath(path, &folder, nullptr);
  return folder;
}

void CFingerFile::SetNoUpdateFiles(const std::wstring& text) {
  const size_t end = text.find_last_not_of(L';');
  // Users write the list as Windows paths; item names use '/'.
  g_noUpdateFiles = ToSlashes(end == std::wstring::npos ? std::wstring() : text.substr(0, end + 1)) + L";";
}

void CFingerFile::Clear() {
  loaded_ = 0;
  root_ = nullptr;
  items_.clear();
  okItems_.clear();
  unOkItems_.clear();
  walking_.clear();
  owned_.clear();
}

bool CFingerFile::InitSection(CFWUpdateIni* ini, const std::wstring& sectionName) {
  ini_ = ini;
  Clear();
  if (!IsPathExist(ini->GetPath())) {
    TraceInf("finger file notexist! (file:%s)", U8(ini->GetPath()).c_str());
    return false;
  }
  // A fetched file that is no description has no such section; loading it
  // as an empty tree would report nothing to do and let it replace the
  // installed description.
  if (!ini->HasSection(sectionName)) {
    TraceErr("finger file has no section [%s]! (file:%s)", U8(sectionName).c_str(), U8(ini->GetPath()).c_str());
    return false;
  }
  if (!CreateSection(sectionName, nullptr)) {
    Clear();
    return false;
  }
  unOkItems_ = items_;
  CheckItems(FolderOf(ini->GetPath()), unOkItems_, &okItems_);
  loaded_ = 1;
  return true;
}

bool CFingerFile::CreateSection(const std::wstring& name, SFingerSection* parent) {
  if (name == L"err") {
    TraceErr("DealSectionJobs failed! (sec:'err')");
    return false;
  }
  if (name == L"ignore") return true;
  auto owned = std::make_unique<SFingerSection>(name, parent);
  SFingerSection* section = owned.get();
  owned_.push_back(std::move(owned));
  if (!DealSectionJobs(name, section)) return false;
  if (parent) {
    parent->children.push_back(section);
  } else {
    root_ = section;
  }
  return true;
}

bool CFingerFile::DealSectionJobs(const std::wstring& sectionName, SFingerSection* target) {
  const std::wstring folded = Fold(sectionName);
  if (std::find(walking_.begin(), walking_.end(), folded) != walking_.end()) {
    TraceErr("DealSectionJobs failed! section [%s] is taken into itself", U8(sectionName).c_str());
    return false;
  }
  if (walking_.size() >= kMaxWalkDepth) {
    TraceErr("DealSectionJobs failed! sections nest deeper than %d at [%s]", static_cast<int>(kMaxWalkDepth),
             U8(sectionName).c_str());
    return false;
  }
  SIniSection section;
  if (!ini_->GetSection(sectionName, section)) {
    TraceErr("Get ini data failed! (errCode:%d, file:%s section:%s)", static_cast<int>(GetLastError()),
             U8(ini_->GetPath()).c_str(), U8(sectionName).c_str());
    return false;
  }
  walking_.push_back(folded);
  bool ok = true;
  for (const auto& [key, value] : section.values) {
    if (key.compare(0, 4, L"Job_") != 0) continue;
    if (!DealJob(value, target)) {
      TraceErr("DealSectionJobs failed! (key:%s, value:%s)", U8(key).c_str(), U8(value).c_str());
      ok = false;
      break;
    }
  }
  walking_.pop_back();
  return ok;
}

bool CFingerFile::DealJob(const std::wstring& value, SFingerSection* target) {
  std::wstring keyword;
  Field(value, 0, &keyword);
  switch (IndexIn(keyword, kJobTypes)) {
    case JOB_DLFL:
      return DealDownFileJob(value, target);
    case JOB_RMFL:
      return DealDelFileJob(value, target);
    case JOB_SWCH:
      return DealSwitchJob(value, target);
    case JOB_SUB: {
      std::wstring name;
      return Field(value, 1, &name) && DealSubJob(name, target);
    }
    case JOB_CKFL:
      return true;
    default:
      return false;
  }
}

bool CFingerFile::ItemName(const std::wstring& written, std::wstring* name) {
  *name = ToSlashes(written);
  return IsSafeRelativeName(*name);
}

bool CFingerFile::DealDownFileJob(const std::wstring& value, SFingerSection* target) {
  std::wstring fields[9];
  for (int index = 1; index <= 8; ++index) {
    if (!Field(value, index, &fields[index])) {
      TraceWar("GetDataFromItemStr failed! (index=%d,str=%s)", index, U8(value).c_str());
      return false;
    }
  }
  auto item = std::make_unique<SFileTransItem>(ToSlashes(fields[1]), true);
  if (!IsSafeRelativeName(item->name)) {
    TraceErr("dlfl refused: the name leaves the folder (name:%s)", U8(fields[1]).c_str());
    return false;
  }
  item->size = StrToIntW(fields[2].c_str());
  item->fileTime = StrToIntW(fields[3].c_str());
  item->zipType = IndexIn(fields[4], kZipTypes);
  item->remoteName = ToSlashes(fields[5]);
  const std::wstring& trans = fields[6];
  item->transSize = trans.empty() || trans[0] < L'0' || trans[0] > L'9' ? -1 : StrToIntW(trans.c_str());
  item->checkType = IndexIn(fields[7], kCheckTypes);
  item->checkValue = fields[8];
  for (wchar_t& c : item->checkValue) c = static_cast<wchar_t>(std::towupper(c));
  AddItem(std::move(item), target);
  return true;
}

bool CFingerFile::DealDelFileJob(const std::wstring& value, SFingerSection* target) {
  std::wstring name;
  if (!Field(value, 1, &name)) return false;
  auto item = std::make_unique<SFingerDelItem>(ToSlashes(name));
  if (!IsSafeRelativeName(item->name)) {
    TraceErr("rmfl refused: the name leaves the folder (name:%s)", U8(name).c_str());
    return false;
  }
  std::wstring err;
  if (Field(value, 2, &err)) {
    err.erase(0, err.find_first_not_of(L':'));
    if (err == L"err") item->flag = 0;
  }
  AddItem(std::move(item), target);
  return true;
}

bool CFingerFile::DealSwitchJob(const std::wstring& value, SFingerSection* target) {
  std::wstring kind;
  Field(value, 1, &kind);
  std::wstring operand;
  switch (IndexIn(kind, kSwitchKinds)) {
    case SWCH_CKFL:
      if (!Field(value, 2, &operand)) return false;
      return DealCaseScan(value, IsPathExist(ToSlashes(operand)) ? 1 : 0, target);
    case SWCH_VAR:
      if (!Field(value, 2, &operand)) return false;
      return DealSectionJobs(operand, target);
    default:
      return false;
  }
}

bool CFingerFile::DealSubJob(const std::wstring& sectionName, SFingerSection* target) {
  const std::wstring type = Trim(ini_->GetString(sectionName.c_str(), L"SectionType", nullptr, kSectionTypeSize));
  switch (IndexIn(type, kSectionTypes)) {
    case SEC_DEFAULT:
    case SEC_FILES:
      return DealSectionJobs(sectionName, target);
    default:
      return CreateSection(sectionName, target);
  }
}

bool CFingerFile::DealCaseScan(const std::wstring& value, int switchValue, SFingerSection* target) {
  const std::wstring key = std::to_wstring(switchValue) + L":";
  std::wstring field;
  for (int index = 3; Field(value, index, &field); ++index) {
    if (field.empty()) continue;
    if (field.compare(0, key.size(), key) != 0 && field[0] != L':') continue;
    return DealSubJob(Trim(field.substr(field.find(L':') + 1)), target);
  }
  return true;
}

void CFingerFile::AddItem(std::unique_ptr<SFingerItem> item, SFingerSection* section) {
  SFingerItem* listed = nullptr;
  for (SFingerItem* known : items_) {
    if (known->type == item->type && known->name == item->name) {
      listed = known;
      break;
    }
  }
  if (!listed) {
    listed = item.get();
    items_.push_back(listed);
    owned_.push_back(std::move(item));
  }
  section->children.push_back(listed);
}

void CFingerFile::CheckItems(const std::wstring& folder, std::vector<SFingerItem*>& list,
                             std::vector<SFingerItem*>* okList) {
  std::vector<SFingerItem*> kept;
  for (SFingerItem* item : list) {
    if (item->type == FIT_DOWNFILE && CheckFileItem(folder, static_cast<SFileItem*>(item))) {
      if (okList) okList->push_back(item);
      continue;
    }
    if (item->type == FIT_DELFILE && !IsPathExist(folder + item->name)) continue;
    kept.push_back(item);
  }
  list.swap(kept);
}

void CFingerFile::SubtractItems(std::vector<SFingerItem*>& list, const std::vector<SFingerItem*>& other,
                                std::vector<SFingerItem*>* out) {
  for (const SFingerItem* taken : other) {
    auto it = std::find_if(list.begin(), list.end(), [taken](const SFingerItem* item) {
      return item->type == taken->type && item->name == taken->name;
    });
    if (it == list.end()) continue;
    if (out) out->push_back(*it);
    list.erase(it);
  }
}

bool CFingerFile::CheckFileItem(const std::wstring& folder, SFileItem* item) {
  const std::wstring path = folder + item->name;
  if (g_noUpdateFiles.size() > 1 && g_noUpdateFiles.find(item->name + L";") != std::wstring::npos) {
    TraceDbg("file cfg to unupdate! (file:%s)", U8(path).c_str());
    return true;
  }
  if (!IsPathExist(path)) {
    TraceDbg("file notexist! (file:%s)", U8(path).c_str());
    return false;
  }
  WIN32_FIND_DATAW data;
  if (!GetFileFindData(path, data)) {
    TraceDbg("Get fileInfo failed! (file:%s)", U8(path).c_str());
    return false;
  }
  const int fileSize = static_cast<int>(data.nFileSizeLow);
  if (fileSize != item->size) {
    TraceDbg("fileSize mismatch(fileSize=%d, itemSize=%d)! (file:%s)", fileSize, item->size, U8(path).c_str());
    return false;
  }
  if (FileTimeToUnixTime(data.ftLastWriteTime) == static_cast<uint32_t>(item->fileTime)) return true;
  std::wstring value;
  if (!item->CalculateCheckValue(path, value)) {
    TraceDbg("Calculate file check value err! (file:%s)", U8(path).c_str());
    return false;
  }
  const int result = item->CheckFile(item->size, &value);
  if (result != 0) {
    TraceDbg("file checkValue mismatch(%d), (new:%s!=svr:%s)! (file:%s)", result, U8(value).c_str(),
             U8(item->checkValue).c_str(), U8(path).c_str());
    return false;
  }
  if (item->fileTime != 0 && !SetFileUnixTime(path, static_cast<uint32_t>(item->fileTime))) {
    TraceWar("Update FileTime failed! (err:%d, file:%s)", static_cast<int>(GetLastError()), U8(path).c_str());
  }
  return true;
}
