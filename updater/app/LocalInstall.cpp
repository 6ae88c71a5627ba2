#include "LocalInstall.h"

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <cwctype>

#include "FileHelpers.h"
#include "MsgTable.h"
#include "PRXCmdLineAnalyse.h"
#include "PathHelpers.h"
#include "ProcessHelpers.h"
#include "TestHooks.h"
#include "Trace.h"
#include "UpdateResult.h"
#include "UpdateState.h"

// Items of the server tree: 1 marked for installing; 2 installed in this
// run, so an item listed by two sections is applied by the first only.
enum { ITEM_MARKED = 1, ITEM_APPLIED = 2 };

static std::string U8(const std::wstring& text) { return WideToUtf8(text); }

static std::wstring Trim(const std::wstring& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::iswspace(text[begin])) ++begin;
  while (end > begin && std::iswspace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

static bool SameNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

CLocalInstall::CLocalInstall(SUpdateState& state, DownFilesFn downFiles)
    : m_state(state), m_downFiles(std::move(downFiles)) {}

std::wstring CLocalInstall::UpdaterName() const {
  std::wstring name;
  // The description was checked before the install: a name that leaves the
  // folder never gets this far, and matches no item if it did.
  CFingerFile::ItemName(GetUpdateExe(m_state.serverIni), &name);
  return name;
}

bool CLocalInstall::Holds(const std::vector<SFingerItem*>& items, const std::wstring& name) const {
  for (const SFingerItem* item : items)
    if (item->type == FIT_DOWNFILE && item->name == name) return true;
  return false;
}

int CLocalInstall::UpdateSelfExe() {
  const std::wstring name = UpdaterName();
  if (!Holds(m_state.updateItems, name)) return URC_NO_ERR;
  if (Holds(m_state.downItems, name)) {
    if (m_state.RunsInStaging() && SameNoCase(m_state.exeName, name)) {
      TraceErr("udpate running in tmpdir，why need update again!");
      return URC_UNKNOW_ERR;
    }
    std::vector<SFingerItem*> one;
    for (SFingerItem* item : m_state.downItems)
      if (item->type == FIT_DOWNFILE && item->name == name) one.push_back(item);
    if (!m_downFiles || !m_downFiles(one, m_state.stagingDir)) {
      TraceErr("down downloadexe file failed! ");
      return URC_DOWNLOAD_ERR;
    }
  }
  if (m_state.RunsInStaging()) return URC_NO_ERR;
  const int started = StartNewUpdate();
  return started == 0 ? URC_START_NEWUPDATE_ERR : started;
}

int CLocalInstall::StartNewUpdate() {
  const std::wstring path = m_state.stagingDir + UpdaterName();
  if (!IsPathExist(path)) {
    TraceErr("start new update notexist! (new:%s)", U8(path).c_str());
    return 1;
  }
  const std::wstring args = m_state.cmdLine ? m_state.cmdLine->ToCmdLine() : m_state.cmdLineText;
  // Written by the transfer, the staged copy cannot run yet: it gets the
  // mode of the updater that runs now.
  const std::wstring self = m_state.exeDir + m_state.exeName;
  if (!CopyFileModeW(self.c_str(), path.c_str()))
    TraceWar("cannot make the new update runnable! (errCode:%d, file:%s)", static_cast<int>(GetLastError()),
             U8(path).c_str());
  const std::wstring command = L"\"" + path + L"\" " + args;
  TraceInf("run new update: %s", U8(command).c_str());
  DWORD pid = 0;
  const DWORD err = RunProcess(command, SW_SHOW, nullptr, &pid);
  if (err != 0) {
    TraceErr("run new update failed! (errCode:%d, cmd:%s)", static_cast<int>(err), U8(command).c_str());
    return 0;
  }
  TraceInf("run new-update(pid:%d) success! ", static_cast<int>(pid));
  return static_cast<int>(pid);
}

int CLocalInstall::LocalVerUpdate() {
  TraceInf("LocalVerUpdate...");
  if (!m_state.RunsInStaging() && Holds(m_state.updateItems, UpdaterName())) {
    TraceInf("LocalVerUpdate, But running in main dir!");
    const int started = StartNewUpdate();
    return started == 0 ? URC_START_NEWUPDATE_ERR : started;
  }
  for (SFingerItem* item : m_state.updateItems) item->state = ITEM_MARKED;
  SFingerSection* root = m_state.serverFinger.Root();
  if (!root) return URC_LOCAL_UPDATE_ERR;
  const int result = UpdateSection(root);
  if (result != 0) {
    TraceErr("update [%s] failed!", U8(root->name).c_str());
    return result;
  }

  TraceInf("Update finger file...");
  UpdaterTestPause("PAUSE_BEFORE_DESCRIPTION_COPY");
  const std::wstring from = m_state.serverIni.GetPath();
  const std::wstring to = m_state.appDir + L"UpdateInfo.ini";
  if (!CopyFileRetry(from, to, false)) {
    TraceErr("Update finger file failed! (errCode:%d, cmd:'%s'-->'%s')", static_cast<int>(GetLastError()),
             U8(from).c_str(), U8(to).c_str());
    return URC_LOCAL_FILE_COPY_ERR;
  }
  m_state.localVer = m_state.LoadDescription(m_state.localIni, to);
  if (!ClearupFolder(m_state.stagingDir)) TraceWar("ClearupFolder failed! (file:'%s')", U8(m_state.stagingDir).c_str());
  return URC_NO_ERR;
}

int CLocalInstall::UpdateSection(SFingerSection* section) {
  bool stopped = false;
  for (SFingerItem* child : section->children) {
    if (child->type == FIT_SECTION) {
      const int result = UpdateSection(static_cast<SFingerSection*>(child));
      if (result != 0) return result;
      continue;
    }
    if (child->state != ITEM_MARKED) continue;
    if (!stopped) {
      stopped = true;
      const int stop = RunCmd(m_state.localIni, section->name, L"StopCmd", false);
      if (m_state.commandStalled) return URC_DOWNLOAD_ERR;
      if (stop != 0) TraceErr("Stop mode[%s] failed! (err:%d)", U8(section->name).c_str(), stop);
    }
    const int result = DealItemJob(child);
    if (result != 0) return result;
    child->state = ITEM_APPLIED;
  }
  const int check = RunCmd(m_state.localIni, section->name, L"CheckCmd", false);
  if (m_state.commandStalled) return URC_DOWNLOAD_ERR;
  if (check != 0) {
    const int setup = RunCmd(m_state.serverIni, section->name, L"SetupCmd", false);
    if (m_state.commandStalled) return URC_DOWNLOAD_ERR;
    if (setup != 0) {
      TraceErr("setup mode[%s] failed! (err:%d)", U8(section->name).c_str(), setup);
      return URC_LOCAL_UPDATE_ERR;
    }
  }
  return URC_NO_ERR;
}

int CLocalInstall::DealItemJob(SFingerItem* item) {
  if (item->type == FIT_DOWNFILE) {
    const std::wstring source = m_state.stagingDir + item->name;
    const std::wstring target = m_state.appDir + item->name;
    std::wstring folder;
    SplitFilePath(target, &folder, nullptr);
    CreateDirTree(folder);
    TraceInf("MoveFile:'%s'-->'%s')", U8(source).c_str(), U8(target).c_str());
    // The installed file's mode stays: a replaced program must still run.
    if (IsPathExist(target) && !CopyFileModeW(target.c_str(), source.c_str()))
      TraceWar("keep mode failed! (errCode:%d, file:'%s')", static_cast<int>(GetLastError()), U8(target).c_str());
    if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) &&
        !CopyFileRetry(source, target, false)) {
      TraceErr("CopyFile failed! (errCode:%d, cmd:'%s'-->'%s')", static_cast<int>(GetLastError()),
               U8(source).c_str(), U8(target).c_str());
      return URC_LOCAL_FILE_COPY_ERR;
    }
    UpdaterTestPause("PAUSE_AFTER_MOVE");
    if (m_alive) m_alive();
    return URC_NO_ERR;
  }
  if (item->type == FIT_DELFILE) {
    const std::wstring path = m_state.appDir + item->name;
    TraceInf("Delfile:'%s')", U8(path).c_str());
    if (!DeleteFileEx(path, false) && static_cast<SFingerDelItem*>(item)->flag == 0) {
      TraceErr("DeleteFileEx failed! (errCode:%d, file:'%s')", static_cast<int>(GetLastError()), U8(path).c_str());
      return URC_LOCAL_FILE_COPY_ERR;
    }
    return URC_NO_ERR;
  }
  TraceWar("Unknow jobType:'%d')", item->type);
  return URC_NO_ERR;
}

bool CLocalInstall::StartMainExe() {
  m_state.ShowText(GetMsg(MSG_STARTING));
  TraceInf("Start main exe...");
  const int result = RunCmd(m_state.localIni, GetMainSection(m_state.localIni), L"StartCmd", true);
  if (result != 0) {
    TraceErr("Start main exe failed! (errCode:%d)", result);
    return false;
  }
  return true;
}

int CLocalInstall::RunCmd(CIniFile& ini, const std::wstring& section, const wchar_t* key, bool required) {
  std::wstring command = Trim(GetCommand(ini, section, key));
  TraceInf("runCmd: [%s]%s=%s", U8(section).c_str(), U8(key).c_str(), U8(command).c_str());
  if (command.empty() && !required) return 0;
  SRunOptions options;
  ParseRunOptions(command, options);
  if (options.doWhenExist) {
    std::wstring program, arguments;
    SplitCmdLine(command, program, arguments);
    if (!IsPathExist(program)) {
      TraceInf("not exist: %s", U8(program).c_str());
      return 0;
    }
  }
  // Once one command was given up on, the run is over: start no other.
  if (m_state.commandStalled) return static_cast<int>(ERROR_TIMEOUT);
  DWORD exitCode = 0;
  m_state.commandRunning = true;
  const DWORD err = RunProcessWait(exitCode, command, SW_SHOW, options.admin, options.waitMode.c_str(),
                                   m_state.abandonCommand.GetHandle());
  m_state.commandRunning = false;
  if (err == ERROR_TIMEOUT) {
    m_state.commandStalled = true;
    TraceErr("cmd gives no sign of life, ended! (cmd:%s)", U8(command).c_str());
    return static_cast<int>(err);
  }
  // A finished command is a sign of life of the install.
  if (m_alive) m_alive();
  if (err != 0) {
    TraceErr("run exe failed! (errCode:%d, cmd:%s)", static_cast<int>(err), U8(command).c_str());
    return static_cast<int>(err);
  }
  TraceInf("cmd exitCode:%d (cmd:%s)", static_cast<int>(exitCode), U8(command).c_str());
  return static_cast<int>(exitCode);
}

// Removes every occurrence of word that follows at least one character.
static bool RemoveAll(std::wstring& command, const std::wstring& word) {
  bool found = false;
  for (size_t at = command.find(word, 1); at != std::wstring::npos; at = command.find(word, 1)) {
    command.erase(at, word.size());
    found = true;
  }
  return found;
}

void CLocalInstall::ParseRunOptions(std::wstring& command, SRunOptions& options) {
  options = SRunOptions();
  if (command.find(L" /ADMIN", 1) != std::wstring::npos && IsVistaOrLater()) {
    options.admin = true;
    RemoveAll(command, L" /ADMIN");
  }
  const size_t wait = command.find(L" /WAIT", 1);
  if (wait != std::wstring::npos) {
    size_t end = command.find(L' ', wait + 2);
    if (end == std::wstring::npos) end = command.size();
    options.waitMode = command.substr(wait + 2, end - wait - 2);
    command.erase(wait, end - wait);
  }
  if (RemoveAll(command, L" /WAITIDLE")) options.waitMode = L"WAITIDLE";
  if (RemoveAll(command, L" /DOWHENEXIST")) options.doWhenExist = true;
}
