// The updater's application object: the program folder, the trace log, the
// single-instance block that also ends an older updater, the crash-dump
// hooks and the command line. The window comes after it.
#pragma once

#include <string>

#include "MiniDumpMakeCtrl.h"
#include "NamedShareMem.h"
#include "PRXCmdLineAnalyse.h"

class CFileDownloadApp : public CMiniDumpMakeCtrl {
 public:
  static constexpr DWORD kInstanceBlockSize = 256;
  static constexpr int kMainLogLimit = 0xA00000;
  static constexpr int kErrLogLimit = 20480;

  CFileDownloadApp();
  virtual ~CFileDownloadApp();
  CFileDownloadApp(const CFileDownloadApp&) = delete;
  CFileDownloadApp& operator=(const CFileDownloadApp&) = delete;

  // Every step of start-up before the window; false ends the process with -1.
  bool InitInstance(const std::wstring& argument);
  // Gives the instance block back and shuts the trace log down.
  void ExitInstance();

  // With a trailing '/'.
  const std::wstring& GetAppDir() const { return m_appDir; }
  const std::wstring& GetCmdLineText() const { return m_cmdLine; }
  const PRXCmdLineAnalyse& GetCmdLine() const { return m_parsedCmdLine; }
  // `UsrID` of UserCfg.ini, empty when absent.
  std::wstring GetUsrId() const;

  // Ends a running updater recorded in the instance block and records this
  // process instead. A recorded pid that now runs another program is left
  // running.
  bool StopOtherInstance();

  // Tests use a block of their own, so a real updater is never touched.
  void SetInstanceBlockName(const std::wstring& name) { m_blockName = name; }
  void SetAppDir(const std::wstring& folder) { m_appDir = folder; }

  void GetDumpPath(std::wstring& path) override;
  void GetDumpText(std::wstring& text) override;

 protected:
  // A start-up failure the user must see: message row and caption row. The
  // window layer shows it as a box; until then it is only logged.
  virtual void ShowStartupError(int messageRow, int captionRow);

 private:
  void StartTraceLog();
  std::wstring InstalledVersion() const;

  CNamedShareMem m_block;
  std::wstring m_blockName;
  std::wstring m_appDir;
  std::wstring m_cmdLine;
  PRXCmdLineAnalyse m_parsedCmdLine;
  bool m_bWinsock = false;
};
