#include "ErrReport.h"

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <vector>

#include "FileItem.h"
#include "LocalAddress.h"
#include "MutilThreadMgr.h"
#include "NetFile.h"
#include "PRXCmdLineAnalyse.h"
#include "StrHelpers.h"
#include "SystemHelpers.h"
#include "Trace.h"
#include "UpdateState.h"
#include "ZlibCompress.h"

const wchar_t CErrReport::kBuiltInEntry[] = L"127.0.0.1:12005:3366";

static std::string U8(const std::wstring& text) { return WideToUtf8(text); }

bool CErrReport::GetReportServer(const PRXCmdLineAnalyse* cmdLine, std::wstring& serverList) {
  serverList.clear();
  std::wstring value;
  if (!cmdLine || !cmdLine->GetValue(L"-LOGCFG", value)) TraceWar("no LOGCFG param!");
  std::wstring entry;
  if (value.empty() || !ExtractSubStr(value.c_str(), 1, L';', entry)) {
    TraceWar("LOGCFG param err!");
    entry = kBuiltInEntry;
  }
  std::wstring host, httpPort;
  if (!ExtractSubStr(entry.c_str(), 0, L':', host) || host.empty()) {
    TraceErr("LOGSvr ip param err!");
    return false;
  }
  if (!ExtractSubStr(entry.c_str(), 2, L':', httpPort) || httpPort.empty()) httpPort = L"80";
  serverList = host + L":" + httpPort + L"/logsvr/reporterr";
  return true;
}

void CErrReport::BuildReportHead(std::string& head) {
  const wchar_t* cfg = m_state.userCfgPath.c_str();
  std::wstring usrId = IniReadString(L"CFG", L"UsrID", L"", 64, cfg);
  if (usrId.empty()) {
    CreateUuidText(usrId);
    if (!WritePrivateProfileStringW(L"CFG", L"UsrID", usrId.c_str(), cfg))
      TraceWar("write UsrID failed! (err:%d)", static_cast<int>(GetLastError()));
  }
  char ip[64] = {};
  GetLocalIPv4(ip, sizeof ip);
  head = "--------------------\n";
  head += "version:" + U8(m_state.localVer) + ";";
  head += "client:" + U8(usrId) + ";";
  head += std::string("clientIP:") + ip + ";";
  head += "module:update;conferenceID:0;termID:;\n";
}

bool CErrReport::PackErrLog(std::string& body) {
  body.clear();
  std::string head;
  BuildReportHead(head);
  std::vector<char> tail(kErrLogTail);
  const int got = GetLastErrLogData(tail.data(), kErrLogTail, true);
  if (got <= 0) {
    TraceErr("Get LastErrLogData failed!");
    return false;
  }
  std::string text, log;
  AnsiToUtf8(head.data(), head.size(), text);
  AnsiToUtf8(tail.data(), static_cast<size_t>(got), log);
  text += log;
  const int err = ZlibCompress(text, body, 6);
  if (err != 0) {
    TraceErr("zip err log failed! (err:%d)", err);
    body.clear();
    return false;
  }
  return true;
}

void CErrReport::ReportErr(CMutilThreadMgr& mgr, CMutiThreadUpDownHandler* sink) {
  std::wstring list;
  if (!GetReportServer(m_state.cmdLine, list)) return;
  if (!mgr.SetSverInfo(list)) return;
  mgr.SetConnCfg(1, 1);
  mgr.SetNoDataTimeout(10000);
  std::string body;
  if (!PackErrLog(body)) return;
  const std::unique_ptr<SFileTransItem> item = MakeUploadItem(std::move(body));
  // Only the transfer: an upload has nothing to write or check locally, so
  // it never goes to the decode thread.
  CNetFile file(0, item.get(), std::wstring());
  if (!mgr.Start(&file, sink)) return;
  mgr.WaitExit(INFINITE);
}

std::unique_ptr<SFileTransItem> CErrReport::MakeUploadItem(std::string body) {
  auto item = std::make_unique<SFileTransItem>(L"reporterr", false);
  item->transSize = static_cast<int>(body.size());
  item->data = std::move(body);
  return item;
}
