#include "UpdateState.h"

#include "PathHelpers.h"
#include "UpdateHandle.h"

void SUpdateState::SetFolders(const std::wstring& programDir, const std::wstring& exePath) {
  appDir = programDir;
  stagingDir = appDir + L"UpdateVer/";
  userCfgPath = appDir + L"UserCfg.ini";
  SplitFilePath(exePath, &exeDir, &exeName);
}

void SUpdateState::ShowText(const std::wstring& text) const {
  if (handle) handle->ShowUpdateText(text);
}

std::wstring SUpdateState::LoadDescription(CFWUpdateIni& ini, const std::wstring& path) const {
  const std::wstring version = LoadUpdateIni(ini, path, cmdLineText);
  // The same folder in the program; a test's updater runs from elsewhere.
  ini.SetVar(kAppDirVar, appDir);
  return version;
}
