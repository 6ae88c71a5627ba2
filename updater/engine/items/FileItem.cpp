#include "FileItem.h"

#include "MD5.h"
#include "SystemHelpers.h"

bool SFileItem::CalculateCheckValue(const std::wstring& path, std::wstring& out) const {
  out.clear();
  switch (checkType) {
    case CHK_VER:
      return GetFileVersion(path, out);
    case CHK_MD5:
      return GetFileMD5(path, out);
    case CHK_IVER:
      out = IniReadString(L"VER", L"Ver", L"", 32, path.c_str());
      return true;
    default:
      return true;
  }
}

int SFileItem::CheckFile(int fileSize, const std::wstring* value) const {
  if (fileSize >= 0 && fileSize != size) return -1;
  if (checkType != CHK_NONE && value && *value != checkValue) return -2;
  return 0;
}
