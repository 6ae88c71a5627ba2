#include "UpdaterAppDir.h"

#include "PathHelpers.h"

static const wchar_t kStagingTail[] = L"UpdateVer/";

std::wstring ProgramFolderOfExe(const std::wstring& exePath) {
  const size_t slash = exePath.rfind(L'/');
  if (slash == std::wstring::npos) return std::wstring();
  std::wstring folder = exePath.substr(0, slash + 1);
  const size_t tail = sizeof kStagingTail / sizeof kStagingTail[0] - 1;
  // Only a whole last folder named so: a folder such as "MyUpdateVer/" is a
  // program folder of its own, not the staging folder of "My".
  if (folder.size() > tail && folder.compare(folder.size() - tail, tail, kStagingTail) == 0 &&
      folder[folder.size() - tail - 1] == L'/')
    folder.resize(folder.size() - tail);
  return folder;
}

std::wstring GetUpdaterAppDir() {
  std::wstring path;
  GetModulePath(path);
  return ProgramFolderOfExe(path);
}
