#include "ProxyCfg.h"

#include <cstdlib>
#include <vector>

#include <platform/Kernel.h>
#include <platform/Proxy.h>
#include <platform/Strings.h>

#include "Base64.h"
#include "PathHelpers.h"
#include "StrHelpers.h"
#include "SystemHelpers.h"
#include "Trace.h"

SConnProxy::SConnProxy() : info{WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr} {}

SConnProxy::SConnProxy(const SConnProxy& other)
    : info(other.info), proxy(other.proxy), user(other.user), password(other.password) {
  if (info.lpszProxy) info.lpszProxy = &proxy[0];
}

SConnProxy& SConnProxy::operator=(const SConnProxy& other) {
  if (this == &other) return *this;
  info = other.info;
  proxy = other.proxy;
  user = other.user;
  password = other.password;
  if (info.lpszProxy) info.lpszProxy = &proxy[0];
  return *this;
}

// Decoding keeps the zero bytes that padding gives ("dXNlcg==" is "user" and
// two zeros); they would become part of the credentials, so the text ends at
// the first one.
static std::string DecodeCredential(const std::string& field) {
  std::string bytes;
  Base64DecodeBytes(field, bytes);
  const size_t zero = bytes.find('\0');
  if (zero != std::string::npos) bytes.resize(zero);
  return bytes;
}

int ReadProxyCfg(SProxyCfg& cfg, const std::wstring& iniPath) {
  std::wstring file = iniPath;
  if (file.empty()) {
    GetModuleDirAndName(&file, nullptr);
    file += L"UserCfg.ini";
  }
  const std::string setting = WideToUtf8(IniReadString(L"CFG", L"cfgProxy", L"", 256, file.c_str()));
  cfg = SProxyCfg();
  if (setting.empty()) return 0;
  std::vector<std::string> fields;
  SplitString(fields, setting, ';', true);
  if (fields.empty()) return -1;
  cfg.type = std::atoi(fields[0].c_str());
  if (cfg.type == 0) return 0;
  if (cfg.type == 1) {
    bool enabled = false;
    if (!GetSystemProxy(enabled, cfg.host, cfg.port)) return -2;
    cfg.user.clear();
    cfg.password.clear();
    return 0;
  }
  if (fields.size() < 2) return -3;
  cfg.host = fields[1];
  if (fields.size() < 3) return -4;
  cfg.port = fields[2];
  if (fields.size() < 4) return -5;
  cfg.user = DecodeCredential(fields[3]);
  if (fields.size() < 5) return -6;
  cfg.password = DecodeCredential(fields[4]);
  return 0;
}

bool GetSystemProxy(bool& enabled, std::string& host, std::string& port) {
  DWORD size = 0;
  if (!InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, nullptr, &size) &&
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return false;
  }
  if (size < sizeof(INTERNET_PROXY_INFO)) return false;
  std::vector<char> buffer(size);
  if (!InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, buffer.data(), &size)) return false;
  const auto* info = reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer.data());
  if (info->dwAccessType != INTERNET_OPEN_TYPE_PROXY) {
    enabled = false;
    host.clear();
    port.clear();
    return true;
  }
  enabled = true;
  std::vector<std::string> parts;
  SplitString(parts, info->lpszProxy ? info->lpszProxy : "", ' ', false);
  std::string candidate;
  for (const std::string& part : parts) {
    if (part.find('=') == std::string::npos) {
      candidate = part;
    } else if (part.compare(0, 5, "http=") == 0) {
      candidate = part.substr(5);
      break;
    }
  }
  if (candidate.empty() || candidate.find(':', 1) == std::string::npos) return false;
  const size_t colon = candidate.find(':');
  host = candidate.substr(0, colon);
  port = candidate.substr(colon + 1);
  return true;
}

void GetProxyCfg(SConnProxy& proxy, const std::wstring& iniPath) {
  SProxyCfg cfg;
  const int result = ReadProxyCfg(cfg, iniPath);
  if (result != 0) {
    TraceWar("Get proxycfg faild(%d), connect directly!", result);
    cfg.type = 0;
  }
  proxy = SConnProxy();
  if (cfg.type == 2 || (cfg.type == 1 && !cfg.host.empty())) {
    proxy.proxy = Utf8ToWide("http=" + cfg.host + ":" + cfg.port);
    proxy.user = Utf8ToWide(cfg.user);
    proxy.password = Utf8ToWide(cfg.password);
    proxy.info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    proxy.info.lpszProxy = &proxy.proxy[0];
  }
}
