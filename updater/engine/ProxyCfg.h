// The HTTP proxy of the transfer connections: none, the system's, or the one
// in the settings file ("cfgProxy" of [CFG] in UserCfg.ini:
// "type;host;port;base64 user;base64 password").
#pragma once

#include <string>

#include <platform/WinHttp.h>

struct SProxyCfg {
  int type = 0;  // 0 none, 1 system, 2 manual; others read like 2, then ignored
  std::string host;
  std::string port;
  std::string user;
  std::string password;
};

// What each connection applies to its requests. A copy's proxy record points
// at the copy's own text, so a copy outlives the one it was taken from.
struct SConnProxy {
  SConnProxy();
  SConnProxy(const SConnProxy& other);
  SConnProxy& operator=(const SConnProxy& other);

  WINHTTP_PROXY_INFO info;
  std::wstring proxy;
  std::wstring user;
  std::wstring password;
};

// 0, or -1 (no field), -2 (no system proxy), -3 to -6 (host, port, user or
// password missing). iniPath: the settings file; empty for the program folder's.
int ReadProxyCfg(SProxyCfg& cfg, const std::wstring& iniPath = std::wstring());
// The WinINet proxy: enabled with host and port when the system names an
// http proxy; false when the query fails or the proxy text has no usable host:port.
bool GetSystemProxy(bool& enabled, std::string& host, std::string& port);
// Direct unless the setting names a proxy; a setting that cannot be read
// gives a WAR line and a direct connection.
void GetProxyCfg(SConnProxy& proxy, const std::wstring& iniPath = std::wstring());
