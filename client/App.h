// The client's application object: start-up, the one-client-per-desktop
// protocol, the event loop, exit, the crash text and the update launch.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTranslator>

#include <platform/Win32Types.h>

#include "CmdParamDeal.h"
#include "CrashText.h"
#include "MiniDumpMakeCtrl.h"
#include "NamedShareMem.h"

class QApplication;

// The message a second client sends to the running one's main window, and
// the running client's answers.
constexpr unsigned int WM_ACTIVATE_MAIN = 0x590;
constexpr unsigned int ACTIVATE_REPLY_OK = 0x11110001;
constexpr unsigned int ACTIVATE_REPLY_WAIT = 0x11110002;
// init's result when the command-line stop is done; the process exits 0.
constexpr int kInitStopDone = 710;
// init's result when the command-line stop could not end the client; exits 1.
constexpr int kInitStopFailed = 711;

extern const char* const kMainInstanceBlock;
extern const wchar_t* const kMainIdleEvent;

class CApp : public QObject, public CMiniDumpMakeCtrl {
  Q_OBJECT

 public:
  CApp();

  // 0 = run the event loop; kInitStopDone / kInitStopFailed = the command-line
  // stop ran; -1 = end.
  int init(int argc, char** argv);
  int exec();
  void quit();
  // Ends the process with code; does not return.
  [[noreturn]] void exit(int code);

  void setMainWnd(int pid, int hwnd);
  QString appVersion() const { return version_; }

  // The box id of the last box connected from the list.
  void saveLastBoxInfo(const QString& boxId);
  // The last address the user typed and connected to; "" when none.
  QString lastUserAddIp();
  void saveLastUserAddIp(const QString& ip);

  void startUpdate(const QString& newVersion, const QString& updateUrl);
  // The updater's server list and its whole command line.
  static QString updateServerList(const QString& newVersion, const QString& updateUrl);
  static QString updateCommand(const QString& programDir, const QString& newVersion, const QString& updateUrl);

  // The crash text's lines, each prepared as soon as its value is known, so
  // the hook reads no settings, takes no lock and allocates nothing.
  void prepareExecutableLines();
  void preparePcIdLine();
  // Run again on a timer: the line follows a change of address.
  void prepareIpLine();
  void GetDumpInfo(const QString& dumpPath, QByteArray& text) override;
  void OnDumped() override {}

  // The instance protocol, public for its tests.
  DWORD openInstanceBlock();
  // 1 when a running client answered and raised itself; 0 when this process
  // now owns the block.
  int checkInstance();
  // Ends the recorded client, waiting waitMs for it first. False when none was
  // recorded; *killError gets 0 or why it could not be ended.
  bool stopPrevInstance(int waitMs, DWORD* killError = nullptr);
  // True while the block names another live client that has no window yet.
  bool clientStillStarting();
  void clearInstanceBlock();
  // Word 0 (pid) and word 1 (window) of the block; 0 when it is not open.
  int instanceWord(int index);
  // Time the running client gets to answer the activation message.
  void setActivateTimeoutForTest(unsigned ms) { activateTimeoutMs_ = ms; }

 private:
  QString language_;
  QApplication* application_ = nullptr;
  QTranslator qtTranslator_;
  QTranslator appTranslator_;
  CNamedShareMem instanceBlock_;
  QString version_;
  CmdParamDeal cmdLine_;
  unsigned activateTimeoutMs_ = 2000;
  CCrashText crashText_;
};

// Constructed before main, lives until the process ends.
extern CApp theApp;

void AppMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);
