#include "MainWnd.h"

#include <platform/Kernel.h>
#include <platform/User.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTimer>

#include <type_traits>
#include <utility>

#include "App.h"
#include "AppIconPath.h"
#include "AppLog.h"
#include "ActionStyleBtn.h"
#include "BoxListWnd.h"
#include "DlgAbout.h"
#include "DlgConnBox.h"
#include "FWMsgBox.h"
#include "ScreenScale.h"
#include "ScreenShareWnd.h"
#include "StandardTitleBar.h"
#include "SystemTrayIcon.h"
#include "ui_MainWnd.h"

namespace {

constexpr int kStateConnected = 4;
constexpr int kStateSharing = 6;

int TransState() { return CORVANESDK::GetTransCtrlEngine().getState(); }

bool PortSink(void* context, MSG* message, LRESULT* result) {
  long answer = 0;
  const bool handled = static_cast<MainWnd*>(context)->portMessage(message, &answer);
  *result = answer;
  return handled;
}

// The sharing page drops the reconnect it still has pending, where it offers that.
template <typename Page>
auto AbandonReconnect(Page* page, int) -> decltype(page->abandonReconnect(), void()) {
  page->abandonReconnect();
}
template <typename Page>
void AbandonReconnect(Page*, long) {}

}  // namespace

MainWnd::MainWnd(QWidget* parent)
    : QNoNCDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint,
                  0),
      ui(new Ui::MainWnd) {
  auto* central = new QWidget(this);
  ui->setupUi(central);
  const QString product = QCoreApplication::translate("MainWnd", "Corvane");
  setWindowTitle(product);

  titleBar_ = new StandardTitleBar(this, 1);
  auto* about = new QActionStyleBtn(titleBar_);
  about->setObjectName(QStringLiteral("title_abount"));
  titleBar_->addRightWidget(about);
  connect(about, &QAbstractButton::clicked, this, &MainWnd::slot_showAboutDialog);
  titleBar_->setTitleIcon(QIcon(AppIconPath(0)).pixmap(20, 20));
  titleBar_->setTitleText(product);
  setTitleBar(titleBar_, true);
  setCentralWidget(central, true);
  setWindowIcon(QIcon(AppIconPath(0)));

  // The window is published only once its port listens: a second start that
  // finds it must reach it, or it takes this client for a hung one.
  const WId id = winId();
  port_ = OpenWindowMessagePort(reinterpret_cast<HWND>(static_cast<uintptr_t>(id)), PortSink, this);
  if (port_ == nullptr) {
    AppLogErr("Corvane: no message port for the main window (err:%u)", GetLastError());
  } else {
    theApp.instanceBlock().setMainWnd(static_cast<int>(GetCurrentProcessId()), static_cast<int>(id));
  }

  boxList_ = new BoxListWnd(this);
  ui->horizontalLayout->addWidget(boxList_);
  screenShare_ = new ScreenShareWnd(this);
  ui->horizontalLayout_2->addWidget(screenShare_);

  CSystemTrayIcon& tray = CSystemTrayIcon::instance();
  // Without a tray its menu would be out of reach: the title bar offers it.
  trayMenuBtn_ = new QActionStyleBtn(titleBar_);
  trayMenuBtn_->setObjectName(QStringLiteral("title_menu"));
  trayMenuBtn_->setToolTip(tr("Menu"));
  trayMenuBtn_->setPopupMode(QToolButton::InstantPopup);
  trayMenuBtn_->setMenu(tray.menu());
  trayMenuBtn_->setVisible(!tray.available());
  titleBar_->addRightWidget(trayMenuBtn_);
  connect(&tray, &CSystemTrayIcon::s_showNormal, this, &MainWnd::slot_showNormal);
  connect(&tray, &CSystemTrayIcon::s_exitApp, this, &MainWnd::slot_exitApp);
  connect(&tray, &CSystemTrayIcon::s_showAboutDialog, this, &MainWnd::slot_showAboutDialog);
  connect(screenShare_, &ScreenShareWnd::s_selectOtherBox, this, &MainWnd::slot_showSearchWnd);
  connect(screenShare_, &ScreenShareWnd::s_titleChange, this, &MainWnd::slot_titleChange);
  connect(screenShare_, &ScreenShareWnd::s_AcitveMainDlg, this, &MainWnd::slot_showNormal);
  connect(screenShare_, &ScreenShareWnd::s_reconnBox, this, &MainWnd::slot_reConnectBox);
  connect(this, &MainWnd::s_boxSearch, boxList_, &BoxListWnd::slot_search);
  connect(this, &MainWnd::s_AcitveMainDlg, this, &MainWnd::slot_showNormal);
  qRegisterMetaType<CORVANESDK::MEETING_BOX_INFO>("MEETING_BOX_INFO");
  connect(boxList_, &BoxListWnd::s_connectBox, this, &MainWnd::slot_connectBox);
  connect(&CTransCtrlCallBackImpl::instance(), &CTransCtrlCallBackImpl::ss_netNfy, this, &MainWnd::slot_netNfy);

  tray.setVisible(true);
  QTimer::singleShot(100, this, &MainWnd::s_boxSearch);
  setFixedSize(static_cast<int>(560 * screenScale()), static_cast<int>(410 * screenScale()));
}

MainWnd::~MainWnd() {
  CSystemTrayIcon::instance().setVisible(false);
  CloseWindowMessagePort(port_);
  delete ui;
}

QStackedWidget* MainWnd::stack() const { return ui->stackedWidget; }

bool MainWnd::portMessage(void* message, long* result) {
  return nativeEvent(QByteArrayLiteral("windows_generic_MSG"), message, result);
}

void MainWnd::slot_showNormal() {
  showNormal();
  const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(winId()));
  SwitchToThisWindow(window, TRUE);
  SetForegroundWindow(window);
  BringWindowToTop(window);
}

void MainWnd::slot_exitApp() {
  const int state = TransState();
  bool disconnect = state == kStateConnected;
  if (state > 5) {
    const int answer =
        FWMsgBox::question(this, tr("Tips"), tr("you are sharing the screen, do you still want to close?"),
                           FWMsgBox::Yes | FWMsgBox::No, FWMsgBox::Yes, -1);
    if (answer == FWMsgBox::No) return;
    disconnect = true;
  }
  if (disconnect) {
    hide();
    CORVANESDK::GetTransCtrlEngine().disconnectBox();
  }
  theApp.quit();
}

void MainWnd::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (TransState() < kStateSharing) {
    slot_exitApp();
  } else if (CSystemTrayIcon::instance().available()) {
    hide();
  } else {
    // A hidden window could not be brought back without a tray icon.
    showMinimized();
  }
}

void MainWnd::showEvent(QShowEvent* event) {
  trayMenuBtn_->setVisible(!CSystemTrayIcon::instance().available());
  QNoNCDialog::showEvent(event);
}

bool MainWnd::nativeEvent(const QByteArray& eventType, void* message, long* result) {
  const bool handled = QNoNCDialog::nativeEvent(eventType, message, result);
  if (eventType == "windows_generic_MSG" && message != nullptr &&
      static_cast<MSG*>(message)->message == WM_ACTIVATE_MAIN) {
    *result = ACTIVATE_REPLY_OK;
    emit s_AcitveMainDlg();
    return true;
  }
  return handled;
}

void MainWnd::slot_showAboutDialog() { DlgAbout::instance(this)->show(); }

void MainWnd::showSharePage() {
  ui->stackedWidget->setCurrentIndex(1);
  screenShare_->setShareState(0);
}

void MainWnd::slot_connectBox(CORVANESDK::MEETING_BOX_INFO box) {
  {
    DlgConnBox dialog(box, this);
    dialog.exec();
  }
  if (TransState() > 3) showSharePage();
}

void MainWnd::slot_reConnectBox(CORVANESDK::MEETING_BOX_INFO box) {
  bool stillReconnecting = false;
  {
    DlgConnBox dialog(box, this);
    dialog.setAutoCloseOnFail(true);
    dialog.exec();
    stillReconnecting = dialog.autoCloseOnFail();
  }
  if (TransState() >= kStateConnected) {
    showSharePage();
  } else if (stillReconnecting) {
    screenShare_->retryReconnect();
  } else {
    // Back to the search: the old share must not restart on the next box.
    AbandonReconnect(screenShare_, 0);
    slot_showSearchWnd();
  }
}

void MainWnd::slot_showSearchWnd() {
  emit s_boxSearch();
  show();
  ui->stackedWidget->setCurrentIndex(0);
  titleBar_->setTitleText(QCoreApplication::translate("MainWnd", "Corvane"));
}

void MainWnd::slot_titleChange(QString title) { titleBar_->setTitleText(title); }

void MainWnd::slot_netNfy(CORVANESDK::NET_NOTIFY ret, QMap<QString, QString> params) {
  if (ret != CORVANESDK::CVNTY_NEED_UPDATE) return;
  const QString newVersion = params.value(QStringLiteral("NewVersion"));
  const QString updateUrl = params.value(QStringLiteral("UpdateUrl"));
  MainLogDbg("need update, newVer:%s, updateUrl:%s", newVersion.toUtf8().constData(),
             updateUrl.toUtf8().constData());
  theApp.startUpdate(newVersion, updateUrl);
  FWMsgBox::information(this, tr("Tips"), tr("Version too low, need update!"), FWMsgBox::Ok, FWMsgBox::Ok, -1);
}
