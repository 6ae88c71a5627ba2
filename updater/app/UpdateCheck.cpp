#include "UpdateCheck.h"

#include <platform/ShlwApi.h>
#include <platform/Strings.h>

#include "MsgTable.h"
#include "SystemHelpers.h"
#include "Trace.h"
#include "UpdateState.h"
#include "Version.h"

static std::string U8(const std::wstring& text) { return WideToUtf8(text); }

void CUpdateCheck::InitUpdate() {
  m_state.localFinger.Clear();
  m_state.serverFinger.Clear();
  m_state.downItems.clear();
  m_state.updateItems.clear();
  m_state.localVer = m_state.LoadDescription(m_state.localIni, m_state.appDir + L"UpdateInfo.ini");
  m_state.serverVer = m_state.LoadDescription(m_state.serverIni, m_state.stagingDir + L"UpdateInfo.ini");
  if (SVersion(m_state.destVer).value == 0) TraceErr("Err dest ver:%s", U8(m_state.destVer).c_str());
}

void CUpdateCheck::ShowJobString() {
  const std::wstring job =
      m_state.localIni.GetString(GetMainSection(m_state.localIni).c_str(), L"JobString", nullptr, kJobStringSize);
  if (job.empty()) return;
  const std::wstring format = GetMsg(MSG_UPDATING_JOB);
  const std::wstring name = GetMsg(StrToIntW(job.c_str()));
  std::wstring text = format;
  const size_t at = text.find(L"%s");
  if (at != std::wstring::npos) text.replace(at, 2, name);
  m_state.ShowText(text);
}

int CUpdateCheck::CheckLocal(bool* done) {
  *done = false;
  const bool same = SVersion(m_state.destVer) == SVersion(m_state.localVer);
  if (same) {
    if (StrToIntW(IniReadString(L"CFG", L"OnlyStartMeet", L"", 32, m_state.userCfgPath.c_str()).c_str()) != 0) {
      TraceInf("OnlyStartMeet model...");
      *done = true;
      return 0;
    }
    const std::wstring noUpdate = IniReadString(L"CFG", L"noupdateFiles", L"", 4096, m_state.userCfgPath.c_str());
    TraceInf("cfg noupdateFiles: %s", U8(noUpdate).c_str());
    CFingerFile::SetNoUpdateFiles(noUpdate);
  }
  const int compatible = CheckMainDirVer();
  if (same && compatible == 0) *done = true;
  return 0;
}

int CUpdateCheck::CheckMainDirVer() {
  const bool current = m_state.localFinger.InitSection(&m_state.localIni, GetMainSection(m_state.localIni)) &&
                       m_state.localFinger.UnOkItems().empty();
  const int result = current ? 0 : 1;
  TraceInf("mainDir ver[%s]: %s", U8(m_state.localVer).c_str(), current ? "Compatible" : "Uncompatible");
  return result;
}

bool CUpdateCheck::ValidateServerDescription() {
  CFWUpdateIni& ini = m_state.serverIni;
  if (SVersion(GetIniVersion(ini)).value == 0) {
    TraceErr("server description has no version! (file:%s)", U8(ini.GetPath()).c_str());
    return false;
  }
  const std::wstring main = GetMainSection(ini);
  if (GetCommand(ini, main, L"StartCmd").empty()) {
    TraceErr("server description starts nothing! (file:%s, section:%s)", U8(ini.GetPath()).c_str(), U8(main).c_str());
    return false;
  }
  std::wstring name;
  if (!CFingerFile::ItemName(GetUpdateExe(ini), &name)) {
    TraceErr("server description names a bad updater! (UpdateExe:%s)", U8(GetUpdateExe(ini)).c_str());
    return false;
  }
  // The updater is staged as UpdateVer/<name> and an updater started from
  // there works on the folder above UpdateVer/ only: one in a folder below it
  // would take its own folder for the program folder, find nothing installed
  // and hand over again and again. The client starts the one beside it.
  if (name.find(L'/') != std::wstring::npos) {
    TraceErr("server description names an updater in a folder! (UpdateExe:%s)", U8(GetUpdateExe(ini)).c_str());
    return false;
  }
  return true;
}

bool CUpdateCheck::CalculateUpdateFigerFile() {
  const std::wstring main = GetMainSection(m_state.serverIni);
  TraceInf("Calculate: (%s:[%s])", U8(m_state.serverIni.GetPath()).c_str(), U8(main).c_str());
  if (!ValidateServerDescription()) return false;
  CFingerFile& finger = m_state.serverFinger;
  if (!finger.InitSection(&m_state.serverIni, main)) {
    TraceErr("InitSection failed! (%s:[%s])", U8(m_state.serverIni.GetPath()).c_str(), U8(main).c_str());
    return false;
  }
  TraceInf("CalculateUpdateFigerFile: total:%d, ok:%d, unOk:%d", static_cast<int>(finger.Items().size()),
           static_cast<int>(finger.OkItems().size()), static_cast<int>(finger.UnOkItems().size()));
  m_state.updateItems = finger.Items();
  finger.CheckItems(m_state.appDir, m_state.updateItems, nullptr);
  m_state.downItems = m_state.updateItems;
  CFingerFile::SubtractItems(m_state.downItems, finger.OkItems(), nullptr);
  TraceInf("CalculateReslt: downItems:%d, updateItems:%d", static_cast<int>(m_state.downItems.size()),
           static_cast<int>(m_state.updateItems.size()));
  return true;
}
