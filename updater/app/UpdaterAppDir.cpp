#include "UpdaterAppDir.h"

#include <platform/Kernel.h>

#include <vector>

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
  // Linux paths run far past the 260 characters of the design.
  std::vector<wchar_t> path(4096, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (n == 0 || n >= path.size()) return std::wstring();
  return ProgramFolderOfExe(std::wstring(path.data(), n));
}
