#include "IniFile.h"

#include <platform/Kernel.h>
#include <platform/ShlwApi.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "WinFile.h"

// The profile reader ignores larger files; a bound past it would only cost memory.
static const DWORD kMaxSectionBound = 16 * 1024 * 1024;

void CIniFile::SetFile(const std::wstring& path) { path_ = path; }

void CIniFile::Expand(std::wstring&) {}

std::wstring CIniFile::GetString(const wchar_t* section, const wchar_t* key, const wchar_t* def, int size) {
  if (size <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(size), L'\0');
  const DWORD n = GetPrivateProfileStringW(section, key, def ? def : L"", buffer.data(), static_cast<DWORD>(size),
                                           path_.c_str());
  std::wstring text(buffer.data(), std::min<size_t>(n, buffer.size() - 1));
  Expand(text);
  return text;
}

int CIniFile::GetInt(const wchar_t* section, const wchar_t* key) {
  return StrToIntW(GetString(section, key, nullptr, 32).c_str());
}

// The file's byte size bounds the section: every entry is at most as many
// characters as its line has bytes.
static bool FileByteSize(const std::wstring& path, DWORD* size) {
  CWinFile file;
  if (!file.Open(path, CWinFile::modeRead, /*create=*/false, /*truncate=*/false)) return false;
  *size = static_cast<DWORD>(file.GetSize());
  return true;
}

bool CIniFile::GetSection(const std::wstring& section, SIniSection& out) {
  out.name = section;
  out.values.clear();
  DWORD size = 0;
  if (!FileByteSize(path_, &size)) return false;
  size = std::min(size, kMaxSectionBound);
  // Two spare nulls, so the walk below ends inside the buffer whatever the call wrote.
  std::vector<wchar_t> buffer(static_cast<size_t>(size) + 2, L'\0');
  GetPrivateProfileSectionW(section.c_str(), buffer.data(), size, path_.c_str());
  const wchar_t* entry = buffer.data();
  const wchar_t* const end = buffer.data() + size;
  while (entry < end && *entry) {
    const std::wstring text(entry);
    entry += text.size() + 1;
    const size_t equals = text.find(L'=');
    if (equals == std::wstring::npos) {
      SetLastError(ERROR_BAD_FORMAT);
      return false;
    }
    std::wstring value = text.substr(equals + 1);
    Expand(value);
    out.values.emplace_back(text.substr(0, equals), std::move(value));
  }
  return true;
}

bool CIniFile::HasSection(const std::wstring& section) {
  DWORD size = 0;
  if (!FileByteSize(path_, &size)) return false;
  std::vector<wchar_t> names(static_cast<size_t>(std::min(size, kMaxSectionBound)) + 2, L'\0');
  GetPrivateProfileStringW(nullptr, nullptr, L"", names.data(), static_cast<DWORD>(names.size()), path_.c_str());
  auto same = [](const wchar_t* a, const std::wstring& b) {
    size_t i = 0;
    for (; a[i] && i < b.size(); ++i)
      if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return !a[i] && i == b.size();
  };
  for (const wchar_t* name = names.data(); *name; name += wcslen(name) + 1) {
    if (same(name, section)) return true;
  }
  return false;
}
