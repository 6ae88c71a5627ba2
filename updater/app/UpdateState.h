// What one update run knows: its folders, versions, the two descriptions and
// their finger trees, and the lists of items to fetch and to install. The
// update thread owns it; the check, the install and the error report work
// on it.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "FWUpdateIni.h"
#include "FingerFile.h"
#include "NamedEvent.h"

class CUpdateHandle;
class PRXCmdLineAnalyse;

struct SUpdateState {
  SUpdateState() = default;
  SUpdateState(const SUpdateState&) = delete;
  SUpdateState& operator=(const SUpdateState&) = delete;

  // Folders end in '/'. exeDir is the running updater's own folder: it
  // differs from appDir when the updater runs from the staging folder.
  std::wstring appDir;
  std::wstring exeDir;
  std::wstring exeName;
  std::wstring stagingDir;
  std::wstring userCfgPath;

  std::wstring cmdLineText;                    // the argument as received, %ORGPARAM%
  const PRXCmdLineAnalyse* cmdLine = nullptr;  // parsed; not owned
  CUpdateHandle* handle = nullptr;             // not owned

  std::wstring localVer, serverVer, destVer, servers;
  CFWUpdateIni localIni, serverIni;
  CFingerFile localFinger, serverFinger;
  std::vector<SFingerItem*> downItems;    // owned by serverFinger
  std::vector<SFingerItem*> updateItems;  // owned by serverFinger

  // A command that gives no sign of life is given up on from the dialog's
  // thread: it sets the event while a command runs; the run then ends.
  CNamedEvent abandonCommand;  // unnamed, manual reset
  std::atomic<bool> commandRunning{false};
  bool commandStalled = false;

  bool RunsInStaging() const { return exeDir != appDir; }
  // Fills the folders from the program folder and the running executable.
  void SetFolders(const std::wstring& programDir, const std::wstring& exePath);
  void ShowText(const std::wstring& text) const;
  // Loads a copy of the description for this run (%ORGPARAM% the command
  // line, %APPDIR% the program folder) and returns its version.
  std::wstring LoadDescription(CFWUpdateIni& ini, const std::wstring& path) const;
};
