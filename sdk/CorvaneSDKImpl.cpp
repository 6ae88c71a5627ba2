#include "CorvaneSDKImpl.h"

#include <cstdio>
#include <string>

#include <platform/Kernel.h>

#include "CodecSetup.h"
#include "SdkLog.h"

int CCorvaneSDKImpl::init(FWlogger* log, FWCfgger* cfg) {
  SetSdkLogger(log);
  SetSdkCfgger(cfg);
  vpu_init(4);
  sdkLog("ICorvaneSDK init...");
  return (log ? 0 : 1) | (cfg ? 0 : 2);
}

void CCorvaneSDKImpl::uninit() { sdkLog("ICorvaneSDK uninit..."); }

// Fills out with "a.b.c.d" from the executable's version record; false when
// it has none.
static bool ReadExecutableVersion(char* out, size_t size) {
  wchar_t path[4096] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, sizeof(path) / sizeof(path[0]));
  if (length == 0 || length >= sizeof(path) / sizeof(path[0])) {
    sdkLogWarn("getVersion: GetModuleFileNameW failed, error %u", GetLastError());
    return false;
  }
  static constexpr DWORD kInfoSize = 8192;
  std::string info(kInfoSize, '\0');
  if (!GetFileVersionInfoW(path, 0, kInfoSize, info.data())) {
    sdkLog("getVersion: no version record, error %u", GetLastError());
    return false;
  }
  void* block = nullptr;
  UINT blockSize = 0;
  if (!VerQueryValueW(info.data(), L"\\", &block, &blockSize) || !block || blockSize < sizeof(VS_FIXEDFILEINFO)) {
    sdkLog("getVersion: no fixed file info");
    return false;
  }
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
  std::snprintf(out, size, "%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  return true;
}

const char* CCorvaneSDKImpl::getVersion() {
  std::lock_guard<std::mutex> hold(m_versionLock);
  // Once read, the text never changes, so the pointer stays valid for readers
  // that hold it without the lock.
  if (m_version[0] == '\0' && !ReadExecutableVersion(m_version, sizeof(m_version))) m_version[0] = '\0';
  return m_version;
}
