// One update server entry: "host[:port][/base/path/]".
#pragma once

#include <platform/WinHttp.h>

#include <string>

struct SServerInfo {
  // The base path keeps its leading and trailing '/' when the entry has one.
  void ParseServerInfo(const std::wstring& entry);

  std::wstring host;
  INTERNET_PORT port = 80;
  std::wstring basePath;
};
