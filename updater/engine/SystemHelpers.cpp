#include "SystemHelpers.h"

#include <platform/Kernel.h>
#include <platform/Threads.h>

#include <cstdio>
#include <ctime>
#include <cwchar>
#include <vector>

#include "StringTable.h"

bool GetFileVersion(const std::wstring& filePath, std::wstring& version) {
  version.clear();
  constexpr DWORD kBlockBytes = 2048;
  std::vector<BYTE> block(kBlockBytes);
  if (!GetFileVersionInfoW(filePath.c_str(), 0, kBlockBytes, block.data())) return false;
  void* fixed = nullptr;
  UINT length = 0;
  // A block of 51 bytes or less cannot hold the whole fixed record.
  if (!VerQueryValueW(block.data(), L"\\", &fixed, &length) || length <= 51 || !fixed) return false;
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  wchar_t text[64];
  std::swprintf(text, sizeof text / sizeof text[0], L"%d.%d.%d.%d", HIWORD(info->dwFileVersionMS),
                LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
  version = text;
  return true;
}

void GetLocalTimeText(std::wstring& text) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t buffer[64];
  std::swprintf(buffer, sizeof buffer / sizeof buffer[0], L"%.4d-%.2d-%.2d %.2d:%.2d:%.2d", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond);
  text = buffer;
}

void FormatUnixTime(std::wstring& text, int64_t seconds) {
  text.clear();
  const std::time_t instant = static_cast<std::time_t>(seconds);
  std::tm local = {};
  if (!localtime_r(&instant, &local)) return;
  wchar_t buffer[64];
  std::swprintf(buffer, sizeof buffer / sizeof buffer[0], L"%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  text = buffer;
}

void CreateUuidText(std::wstring& text) {
  text.clear();
  UUID uuid;
  if (UuidCreate(&uuid) != RPC_S_OK) return;
  RPC_WSTR wide = nullptr;
  if (UuidToStringW(&uuid, &wide) != RPC_S_OK || !wide) return;
  text = wide;
  RpcStringFreeW(&wide);
}

void LoadResString(std::wstring& text, UINT id) {
  const wchar_t* found = FindTableString(id);
  text = found ? found : L"";
}

std::wstring IniReadString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                           DWORD bufferChars, const wchar_t* file) {
  if (bufferChars == 0) return std::wstring();
  std::vector<wchar_t> buffer(bufferChars, L'\0');
  const DWORD got = GetPrivateProfileStringW(section, key, defaultValue, buffer.data(), bufferChars, file);
  return std::wstring(buffer.data(), got < bufferChars ? got : bufferChars - 1);
}
