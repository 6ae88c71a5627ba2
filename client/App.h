// The client's application object: start-up with the one-client-per-desktop
// check, the event loop, exit, the crash text and the update launch.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTranslator>

#include <platform/Win32Types.h>

#include "CmdParamDeal.h"
#include "CrashText.h"
#include "InstanceBlock.h"
#include "MiniDumpMakeCtrl.h"

class QApplication;

// init's result when the command-line stop is done; the process exits 0.
constexpr int kInitStopDone = 710;
// init's result when the command-line stop could not end the client; exits 1.
constexpr int kInitStopFailed = 711;

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

  // The one-client-per-desktop block, this process's view of it.
  CInstanceBlock& instanceBlock() { return instanceBlock_; }

 private:
  QString language_;
  QApplication* application_ = nullptr;
  QTranslator qtTranslator_;
  QTranslator appTranslator_;
  CInstanceBlock instanceBlock_;
  QString version_;
  CmdParamDeal cmdLine_;
  CCrashText crashText_;
};

// Constructed before main, lives until the process ends.
extern CApp theApp;

void AppMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);
