#include "PathHelpers.h"

#include <platform/Kernel.h>

void SplitFilePath(const std::wstring& path, std::wstring* folder, std::wstring* name) {
  const size_t slash = path.rfind(L'/');
  const size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
  if (folder) folder->assign(path, 0, nameStart);
  if (name) name->assign(path, nameStart, std::wstring::npos);
}

void GetPathDrive(const std::wstring&, std::wstring& drive) { drive.clear(); }

void GetModulePath(std::wstring& path) {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  path.assign(buffer, length < MAX_PATH ? length : 0);
}

void GetModuleDirAndName(std::wstring* folder, std::wstring* name) {
  std::wstring path;
  GetModulePath(path);
  SplitFilePath(path, folder, name);
}

bool IsPathExist(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
