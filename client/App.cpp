#include "App.h"

#include <platform/Errand.h>
#include <platform/ExceptionFilter.h>
#include <platform/Kernel.h>
#include <platform/Scribe.h>
#include <platform/Threads.h>
#include <platform/User.h>

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QResource>
#include <QScreen>
#include <QTextCodec>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "AppLog.h"
#include "AppPaths.h"
#include "BoxSearchCallBackImpl.h"
#include "CorvaneSDK.h"
#include "FWIniDatFile.h"
#include "JsonHelpers.h"
#include "MainWnd.h"
#include "NamedEvent.h"
#include "PRXCmdLineAnalyse.h"
#include "ScreenScale.h"
#include "SetupErrand.h"
#include "SystemHelpers.h"
#include "TransCtrlCallBackImpl.h"

const wchar_t* const kMainIdleEvent = L"FWCORVANEIDEL";

namespace {
// The crash hook runs on the alternate signal stack: the log tail stays off it.
char g_crashLogTail[CCrashText::kLogTailMax];
}  // namespace

// How often the crash text's address is looked at again.
constexpr int kIpWatchMs = 5000;

// Tests of the real program crash it at a named step of start-up through
// "CORVANE_CLIENT_TEST_CRASH_AT=<step>"; the product never sets it.
static void CrashAtTestStep(const char* step) {
  const char* wanted = std::getenv("CORVANE_CLIENT_TEST_CRASH_AT");
  if (wanted == nullptr || std::strcmp(wanted, step) != 0) return;
  FaultForTests();
}

CApp theApp;

CApp::CApp() : QObject(nullptr), version_(GetAppVersion()) {}

void AppMessageHandler(QtMsgType, const QMessageLogContext&, const QString& message) {
  const std::wstring text = (message + QStringLiteral("\n")).toStdWString();
  OutputDebugStringW(text.c_str());
}

int CApp::init(int argc, char** argv) {
  InstallFilter(this);
  prepareExecutableLines();
  prepareIpLine();
  std::srand(GetTickCount());
  qInstallMessageHandler(AppMessageHandler);

  const QString programFolder = GetModuleDir();
  SetCurrentDirectoryW(programFolder.toStdWString().c_str());
  FWIniDatFile::instance().setFile(programFolder + QStringLiteral("UserCfg.ini"));
  preparePcIdLine();
  CrashAtTestStep("settings");
  QCoreApplication::addLibraryPath(QStringLiteral("./plugins"));

  // Qt wants one argument, the program; the client's own are read below
  // from main's vector and never reach Qt.
  static int qtArgc = 1;
  static char qtProgram[] = "Corvane";
  static char* qtArgv[] = {qtProgram, nullptr};
  application_ = new QApplication(qtArgc, qtArgv);
  QApplication::setQuitOnLastWindowClosed(false);
  QCoreApplication::setApplicationName(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
  QTextCodec::setCodecForLocale(QTextCodec::codecForLocale());
  auto* ipWatch = new QTimer(application_);
  QObject::connect(ipWatch, &QTimer::timeout, this, &CApp::prepareIpLine);
  ipWatch->start(kIpWatchMs);

  OpenAppLog();

  const DWORD openError = instanceBlock_.open();
  if (openError != 0) {
    AppLogErr("Corvane open sh err! (err:%d)", static_cast<int>(openError));
    return -1;
  }

  cmdLine_.ParseArgs(argc, argv, QStringLiteral("="));
  const QString todo = cmdLine_.GetString(QStringLiteral("-do"), QString());
  if (todo == QLatin1String("stop")) {
    DWORD killError = 0;
    instanceBlock_.stopPrevInstance(1000, &killError);
    return killError == 0 ? kInitStopDone : kInitStopFailed;
  }

  if (instanceBlock_.checkInstance() == 1) {
    CNamedEvent idle;
    if (idle.create(kMainIdleEvent, true, false)) {
      MainLogDbg("Corvane SetEvent(FWCORVANEIDEL)=%d", idle.set() ? 1 : 0);
    }
    AppLogDbg("Corvane is running!");
    idle.close();
    return -1;
  }

  FWIniDatFile& settings = FWIniDatFile::instance();
  language_ = settings.getString(QStringLiteral("Language"), QStringLiteral("CFG"));
  if (language_.isEmpty()) {
    language_ = QStringLiteral("zh_CN");
    settings.setString(QStringLiteral("Language"), language_, QStringLiteral("CFG"));
  }
  AppLogDbg("curLanguage: %s", language_.toUtf8().constData());

  if (language_ != QLatin1String("en_US")) {
    const QString qtPath = QStringLiteral("./Res/qt_") + language_ + QStringLiteral(".qm");
    if (!qtTranslator_.load(qtPath, QString(), QString(), QString())) {
      AppLogErr("QTranslator load(%s) failed!", qtPath.toUtf8().constData());
    } else {
      QCoreApplication::installTranslator(&qtTranslator_);
    }
    const QString appPath = QStringLiteral("./Res/Corvane_") + language_ + QStringLiteral(".qm");
    if (!appTranslator_.load(appPath, QString(), QString(), QString())) {
      AppLogErr("QTranslator load(%s) failed!", appPath.toUtf8().constData());
    } else {
      QCoreApplication::installTranslator(&appTranslator_);
    }
  }

  if (!QResource::registerResource(programFolder + QStringLiteral("Res/Corvane.rcc"), QString())) return -1;

  const QScreen* primary = QGuiApplication::primaryScreen();
  const QRect screen = primary != nullptr ? primary->geometry() : QRect();
  if (screen.width() > 1440 && screen.height() > 900) {
    initScreenScale(settings.getInt(QStringLiteral("HighDPI"), 1, QStringLiteral("CFG")) != 0);
  }

  QString styleSheet;
  QFile qss(programFolder + QStringLiteral("Res/Corvane.qss"));
  if (qss.open(QIODevice::ReadOnly)) {
    styleSheet = QString::fromLocal8Bit(qss.readAll());
    qss.close();
  }
  application_->setStyleSheet(scaleStyleSheet(styleSheet));

  SetupErrand();

  CORVANESDK::GetCorvaneSDK().init(&theAppLog, &settings);
  CORVANESDK::GetBoxSearchEngine().setCallBack(&CBoxSearchCallBackImpl::instance());
  CORVANESDK::GetTransCtrlEngine().setCallBack(&CTransCtrlCallBackImpl::instance());
  CrashAtTestStep("sdk");
  return 0;
}

int CApp::exec() {
  int result = 0;
  {
    MainWnd mainWnd(nullptr);
    // Without its port no later start could reach this client: it would end
    // it as a hung one. End here instead, with the error logged.
    if (!mainWnd.hasMessagePort()) {
      AppLogErr("Corvane: the main window cannot be reached, start abandoned");
      return -1;
    }
    CNamedEvent idle;
    if (idle.create(kMainIdleEvent, true, false)) {
      MainLogDbg("Corvane SetEvent(FWCORVANEIDEL)=%d", idle.set() ? 1 : 0);
    }
    mainWnd.show();
    result = QApplication::exec();
    idle.close();
  }
  return result;
}

void CApp::quit() {
  AppLogDbg("exit Corvane......");
  getErrand()->stop();
  Sleep(1000);
  QCoreApplication::quit();
}

void CApp::exit(int code) {
  InstallFilter(nullptr);
  AppLogDbg("UnitApp...");
  instanceBlock_.clear();
  AppLogDbg("exit %d", code);
  ScribeClose();
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
  std::_Exit(code);
}

void CApp::saveLastBoxInfo(const QString& boxId) {
  FWIniDatFile::instance().setString(QStringLiteral("LastBoxInfo"), boxId, QStringLiteral("CFG"));
}

QString CApp::lastUserAddIp() {
  return FWIniDatFile::instance().getString(QStringLiteral("LastUserAddIp"), QStringLiteral("CFG"));
}

void CApp::saveLastUserAddIp(const QString& ip) {
  FWIniDatFile::instance().setString(QStringLiteral("LastUserAddIp"), ip, QStringLiteral("CFG"));
}

QString CApp::updateServerList(const QString& newVersion, const QString& updateUrl) {
  const QString path = QStringLiteral("Update/Corvane/%1/Win32/").arg(newVersion);
  QStringList servers = updateUrl.split(QLatin1Char(';'), Qt::SkipEmptyParts, Qt::CaseSensitive);
  for (QString& server : servers) {
    if (!server.endsWith(QLatin1Char('/'))) server += QLatin1Char('/');
    server += path;
  }
  return servers.join(QLatin1Char(';'));
}

QString CApp::updateCommand(const QString& programDir, const QString& newVersion, const QString& updateUrl) {
  PRXCmdLineAnalyse argument;
  argument.prefix = QStringLiteral("corvane:");
  argument.SetValue(QStringLiteral("-SPVER"), newVersion);
  argument.SetValue(QStringLiteral("-UPURL"), updateServerList(newVersion, updateUrl));
  // By its absolute path: a bare name would be searched along PATH only.
  return QStringLiteral("\"%1\" %2").arg(programDir + QStringLiteral("CorvaneUpdate"), argument.ToCmdLine());
}

void CApp::startUpdate(const QString& newVersion, const QString& updateUrl) {
  const QString command = updateCommand(GetModuleDir(), newVersion, updateUrl);
  MainLogDbg("Run update: %s", command.toLocal8Bit().constData());
  const DWORD error = RunProcess(command.toLocal8Bit(), SW_SHOW);
  if (error != 0) MainLogErr("Run update failed! (err:%d)", static_cast<int>(error));
}

void CApp::prepareExecutableLines() {
  wchar_t path[4096] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
  const QFileInfo exe(QString::fromWCharArray(path, static_cast<int>(length)));
  crashText_.setModule(exe.fileName().toLocal8Bit());
  crashText_.setVersion(version_.toLocal8Bit());
  crashText_.setExeTime(exe.lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toLocal8Bit());
}

void CApp::preparePcIdLine() { crashText_.setPcId(GetUsrID().toLocal8Bit()); }

void CApp::prepareIpLine() {
  char ip[kLocalIPv4Size] = {};
  GetLocalIPv4(ip);
  crashText_.setIp(QByteArray(ip));
}

void CApp::GetDumpInfo(const QString& dumpPath, QByteArray& text) {
  AppLogErr("app dumped to: %s", dumpPath.toLocal8Bit().constData());
  ScribeFlush();
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char dumpTime[64];
  std::snprintf(dumpTime, sizeof dumpTime, "%4d-%02d-%02d %02d:%02d:%02d", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond);
  const int tail = ScribeReadTail(g_crashLogTail, CCrashText::kLogTailMax);
  crashText_.compose(dumpTime, g_crashLogTail, tail, text);
}
