// The report a failed update sends to the log server: a one-line head that
// identifies the installation, then the tail of the updater's error log, the
// whole zlib-compressed, posted as one upload item.
#pragma once

#include <memory>
#include <string>

class CMutilThreadMgr;
class CMutiThreadUpDownHandler;
class PRXCmdLineAnalyse;
struct SFileTransItem;
struct SUpdateState;

class CErrReport {
 public:
  // The entry used when the command line names no report server. Loopback:
  // nothing leaves the machine unless -LOGCFG says where.
  static const wchar_t kBuiltInEntry[];  // host:port:httpPort
  static constexpr int kErrLogTail = 20480;

  explicit CErrReport(SUpdateState& state) : m_state(state) {}

  // The one-entry server list the report goes to ("host:httpPort/logsvr/reporterr");
  // false when its host is empty (nothing is sent).
  static bool GetReportServer(const PRXCmdLineAnalyse* cmdLine, std::wstring& serverList);
  // "--------------------\n" and the line naming version, installation,
  // address and module. An installation without an id gets one, kept in UserCfg.ini.
  void BuildReportHead(std::string& head);
  // The compressed head and error-log tail; the error log is deleted once
  // read. False when there is no log or it does not compress.
  bool PackErrLog(std::string& body);
  // Posts the report once through the manager, which then points at the
  // report server alone. Nothing is looked at afterwards: a failed upload
  // only loses the report.
  void ReportErr(CMutilThreadMgr& mgr, CMutiThreadUpDownHandler* sink);
  // The upload item carrying the body.
  static std::unique_ptr<SFileTransItem> MakeUploadItem(std::string body);

 private:
  SUpdateState& m_state;
};
