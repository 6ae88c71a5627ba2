#include "ServerInfo.h"

#include <cwchar>

void SServerInfo::ParseServerInfo(const std::wstring& entry) {
  std::wstring rest = entry;
  basePath.clear();
  const size_t slash = rest.find(L'/', 1);
  if (slash != std::wstring::npos) {
    basePath = rest.substr(slash);
    rest.erase(slash);
  }
  const size_t colon = rest.find(L':');
  if (colon == std::wstring::npos) {
    host = rest;
    port = 80;
    return;
  }
  host = rest.substr(0, colon);
  // As StrToIntW reads it: optional sign, then digits; anything else is 0.
  const wchar_t* digits = rest.c_str() + colon + 1;
  long value = 0;
  bool negative = false;
  if (*digits == L'-' || *digits == L'+') negative = *digits++ == L'-';
  while (*digits >= L'0' && *digits <= L'9' && value < 1000000) value = value * 10 + (*digits++ - L'0');
  port = static_cast<INTERNET_PORT>(negative ? -value : value);
}
