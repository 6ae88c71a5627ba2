#include "ScreenShareWnd.h"

#include <QScreen>

#include <platform/Kernel.h>
#include <platform/User.h>

#include <cstdint>

#include "AppLog.h"
#include "EnumWndDlg.h"
#include "FWIniDatFile.h"
#include "FWMsgBox.h"
#include "Monitor.h"
#include "ReasonText.h"
#include "TransCtrlCallBackImpl.h"
#include "ui_ScreenShareWnd.h"

using CORVANESDK::MEETING_BOX_INFO;

namespace {

const int kReconnectDelayMs = 10000;
// No machine has more; bounds the walk over the capture's monitor list.
const int kMaxMonitors = 64;

CORVANESDK::ITransCtrl& Trans() { return CORVANESDK::GetTransCtrlEngine(); }

MEETING_BOX_INFO CurBox() {
  MEETING_BOX_INFO box;
  CORVANESDK::BoxInfoToMeetingBox(Trans().getCurBox(), box);
  return box;
}

unsigned HandleValue(HWND window) { return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(window)); }

}  // namespace

ScreenShareWnd::ScreenShareWnd(QWidget* parent)
    : QWidget(parent), ui(new Ui::ScreenShareWnd), m_areaDlg(nullptr), m_mainWnd(parent) {
  ui->setupUi(this);
  qRegisterMetaType<MEETING_BOX_INFO>("MEETING_BOX_INFO");
  qRegisterMetaType<CORVANESDK::NET_NOTIFY>("CORVANESDK::NET_NOTIFY");
  m_reconnTimer.setSingleShot(true);
  m_reconnTimer.setInterval(kReconnectDelayMs);
  connect(&m_reconnTimer, &QTimer::timeout, this, &ScreenShareWnd::slot_onTimeReconn);
  ui->screenButton->setChecked(true);
  connect(ui->startShareBtn, &QToolButton::clicked, this, &ScreenShareWnd::slot_startShare);
  connect(ui->stopShareBtn, &QToolButton::clicked, this, &ScreenShareWnd::slot_stopShare);
  connect(&m_areaDlg, &CShareAreaDlg::s_updateShareRt, this, &ScreenShareWnd::slot_updateAreaShareRt);
  connect(&m_shareManager, &ShareManager::s_AppShareStoped, this, &ScreenShareWnd::slot_stopShare);
  ui->selOtherBoxBtn->hide();
  connect(&CTransCtrlCallBackImpl::instance(), &CTransCtrlCallBackImpl::ss_netNfy, this, &ScreenShareWnd::slot_netNfy);
}

ScreenShareWnd::~ScreenShareWnd() {
  if (m_reconnTimer.isActive()) m_reconnTimer.stop();
  delete ui;
}

QString ScreenShareWnd::curBoxName() const { return CurBox().dispName; }

void ScreenShareWnd::setShareState(int state) {
  ui->stopShareBtn->setText(tr("Stop sharing"));
  const QString name = curBoxName();
  QString title;
  switch (state) {
    case 0:
      ui->startShareBtn->setEnabled(true);
      ui->stopShareBtn->setEnabled(false);
      ui->shareType->setEnabled(true);
      title = tr("%1-connected").arg(name);
      if (m_reconnectPending) {
        m_reconnectPending = false;
        // Only a share the box had confirmed and that was still running when
        // the connection broke comes back by itself.
        if (m_shareRunning && m_cfg.monitorID != -1) {
          setShareState(1);
          Trans().startShare();
          return;
        }
      }
      break;
    case 1:
      ui->startShareBtn->setEnabled(false);
      ui->stopShareBtn->setEnabled(false);
      ui->shareType->setEnabled(false);
      title = tr("%1-start sharing, please wait...").arg(name);
      break;
    case 2:
      ui->startShareBtn->setEnabled(false);
      ui->stopShareBtn->setEnabled(true);
      ui->shareType->setEnabled(false);
      title = tr("%1-sharing").arg(name);
      break;
    case 3:
      ui->startShareBtn->setEnabled(false);
      ui->stopShareBtn->setEnabled(true);
      ui->stopShareBtn->setText(tr("Disconnect"));
      ui->shareType->setEnabled(false);
      title = tr("%1-disconnected, try reconnecting...").arg(name);
      break;
    default:
      break;
  }
  emit s_titleChange(title);
}

int ScreenShareWnd::captureMonitorIndex(const QRect& screen, bool primary) {
  if (primary) return 0;
  CMonitors monitors;
  for (int index = 1; index <= kMaxMonitors; ++index) {
    CMonitor monitor = monitors.GetMonitor(index);
    if (!monitor.IsValid()) break;
    RECT rect;
    if (!monitor.GetMonitorRect(rect)) continue;
    if (QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1)) == screen) return index;
  }
  AppLogWar("screen (%d,%d %dx%d) is no monitor of the capture, sharing the primary one", screen.x(), screen.y(),
            screen.width(), screen.height());
  return 0;
}

void ScreenShareWnd::slot_startShare() {
  m_cfg.reset();
  m_shareRunning = false;
  QScreen* pageScreen = screen();
  const QRect geometry = pageScreen ? pageScreen->geometry() : QRect();
  m_cfg.monitorID = captureMonitorIndex(geometry, pageScreen == QGuiApplication::primaryScreen());
  if (ui->screenButton->isChecked()) {
    AppLogDbg("screen share all screen");
  } else if (ui->areaButton->isChecked()) {
    CORVANESDK::SSRECT area;
    area.x = geometry.left() + geometry.width() / 5;
    area.y = geometry.top() + geometry.height() / 5;
    area.width = geometry.width() * 3 / 5;
    area.height = geometry.height() * 3 / 5;
    m_cfg.catchRt.clear();
    m_cfg.catchRt.push_back(area);
    AppLogDbg("screen share area(l=%d, t=%d, w=%d, h=%d)", area.x, area.y, area.width, area.height);
  } else if (ui->windowButton->isChecked()) {
    HWND window = nullptr;
    QString title;
    // A cancelled chooser leaves nothing behind that a reconnect could start.
    if (!chooseWindow(&window, &title)) {
      m_cfg.reset();
      return;
    }
    m_cfg.catchWndPro.insert(window);
    AppLogDbg("screen share programme(hWnd:0x%x, %s)", HandleValue(window), title.toLocal8Bit().constData());
  }
  setShareState(1);
  Trans().startShare();
}

bool ScreenShareWnd::chooseWindow(HWND* window, QString* title) {
  CEnumWndDlg chooser(this);
  if (chooser.exec() != QDialog::Accepted) return false;
  *window = chooser.selectedWnd();
  *title = chooser.selectedTitle();
  return true;
}

int ScreenShareWnd::windowProcessId(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  return static_cast<int>(processId);
}

void ScreenShareWnd::raiseWindow(HWND window) {
  ShowWindow(window, SW_SHOWNORMAL);
  BringWindowToTop(window);
  SetForegroundWindow(window);
}

void ScreenShareWnd::slot_stopShare() {
  if (m_reconnectPending) {
    abandonReconnect();
    emit s_selectOtherBox();
  } else if (Trans().getState() < CORVANESDK::CVSTATE_SHARING) {
    AppLogDbg("corvane current is not sharing !!!");
    return;
  } else {
    setShareState(1);
  }
  m_cfg.reset();
  m_shareRunning = false;
  Trans().stopShare();
}

void ScreenShareWnd::abandonReconnect() {
  if (!m_reconnectPending) return;
  m_reconnectPending = false;
  m_reconnTimer.stop();
  resetShare();
}

void ScreenShareWnd::retryReconnect() {
  if (m_reconnectPending) startReconnectTimer();
}

void ScreenShareWnd::slot_updateAreaShareRt(QRect rt) {
  CORVANESDK::SSRECT area;
  area.x = rt.left();
  area.y = rt.top();
  area.width = rt.width();
  area.height = rt.height();
  m_cfg.catchRt.clear();
  m_cfg.catchRt.push_back(area);
  applyCaptureCfg();
}

void ScreenShareWnd::slot_netNfy(CORVANESDK::NET_NOTIFY ret, QMap<QString, QString> params) {
  switch (ret) {
    case CORVANESDK::CVNTY_SHARE_REFUSED:
    case CORVANESDK::CVNTY_SHARE_FAILED:
      onStartShareFailed(params);
      break;
    case CORVANESDK::CVNTY_SHARE_STARTED:
      onShareStarted();
      break;
    case CORVANESDK::CVNTY_SHARE_STOPPED:
      onShareStopped();
      break;
    case CORVANESDK::CVNTY_BOX_STOPPED_SHARE:
      onBoxStoppedShare();
      break;
    case CORVANESDK::CVNTY_DISCONNECTED:
      onDisconnected(params);
      break;
    case CORVANESDK::CVNTY_ENC_PARAM_CHANGED:
      encParamChanged(params);
      break;
    default:
      break;
  }
}

void ScreenShareWnd::onStartShareFailed(const QMap<QString, QString>& params) {
  m_shareRunning = false;
  emit s_AcitveMainDlg();
  const QString text = params.contains("Reason") ? shareFailReasonText(params.value("Reason").toInt())
                                                 : tr("Start share fail!");
  FWMsgBox::information(this, tr("Tips"), text, FWMsgBox::Ok, FWMsgBox::Ok, -1);
  setShareState(0);
}

void ScreenShareWnd::onShareStarted() {
  m_shareRunning = true;
  setShareState(2);
  const int ownProcess = static_cast<int>(GetCurrentProcessId());
  bool sharesOwnWindow = false;
  for (HWND window : m_cfg.catchWndPro)
    if (windowProcessId(window) == ownProcess) sharesOwnWindow = true;
  if (m_mainWnd && !sharesOwnWindow) m_mainWnd->showMinimized();
  for (HWND window : m_cfg.catchWndPro) {
    // A window that names no process is shared as itself: watching "process
    // 0" would find no window and end the share at the first tick.
    const int processId = windowProcessId(window);
    if (processId != 0)
      m_shareManager.monitorProcess(processId);
    else
      m_shareManager.monitorWindow(window);
    if (m_mainWnd && window == reinterpret_cast<HWND>(m_mainWnd->winId()))
      m_mainWnd->showNormal();
    else
      raiseWindow(window);
  }
  if (!m_cfg.catchRt.empty()) {
    const CORVANESDK::SSRECT& area = m_cfg.catchRt.front();
    m_areaDlg.setGeometry(area.x - 4, area.y - 14, area.width + 8, area.height + 18);
    m_areaDlg.show();
    m_areaDlg.activateWindow();
  }
  applyCaptureCfg();
}

void ScreenShareWnd::onShareStopped() {
  setShareState(0);
  resetShare();
}

void ScreenShareWnd::onBoxStoppedShare() {
  emit s_AcitveMainDlg();
  onShareStopped();
  FWMsgBox::information(this, tr("Tips"), tr("Box has stopped screen share!"), FWMsgBox::Ok, FWMsgBox::Ok, -1);
}

void ScreenShareWnd::onDisconnected(const QMap<QString, QString>& params) {
  if (params.contains("AutoReconn")) {
    m_reconnectPending = params.value("AutoReconn").toInt() != 0;
    if (m_reconnectPending) {
      startReconnectTimer();
      return;
    }
  }
  emit s_AcitveMainDlg();
  setShareState(0);
  resetShare();
  const QString name = curBoxName();
  const QString text = params.contains("Reason")
                           ? tr("you have been disconnected with %1(%2)")
                                 .arg(name, shareFailReasonText(params.value("Reason").toInt()))
                           : tr("you have been disconnected with %1").arg(name);
  FWMsgBox::information(this, tr("Tips"), text, FWMsgBox::Ok, FWMsgBox::Ok, -1);
  emit s_selectOtherBox();
}

void ScreenShareWnd::encParamChanged(const QMap<QString, QString>& params) {
  m_outputSize = QSize(params.value("OutputWidth").toInt(), params.value("OutputHeight").toInt());
  m_defaultKbps = params.value("DefaultKbps").toInt();
  AppLogDbg("ScreenShareWnd::EncParamChanged(%dx%d, %dkbps!", m_outputSize.width(), m_outputSize.height(),
            m_defaultKbps);
  applyCaptureCfg();
}

void ScreenShareWnd::startReconnectTimer() {
  AppLogDbg("Try auto reconnect 10s later...");
  setShareState(3);
  m_reconnTimer.start();
}

void ScreenShareWnd::slot_onTimeReconn() {
  const MEETING_BOX_INFO box = CurBox();
  AppLogDbg("Try auto reconnect to %s", box.dispName.toUtf8().constData());
  emit s_reconnBox(box);
}

void ScreenShareWnd::applyCaptureCfg() {
  m_cfg.encodetype = 1;
  m_cfg.h264crf = 22;
  FWIniDatFile::instance().setInt("ScreenEncType", 1, "CFG");
  CORVANESDK::SSCFG cfg = m_cfg;
  cfg.kbps = Trans().getIFrameMSecond() > 0 ? 3000 : 2000;
  if (m_defaultKbps > 0) cfg.kbps = m_defaultKbps;
  if (m_outputSize.width() >= 0 && m_outputSize.height() >= 0) cfg.encSize = m_outputSize;
  Trans().setCaptureCfg(cfg);
}

void ScreenShareWnd::resetShare() {
  m_shareManager.stopMonitor();
  m_areaDlg.hide();
  m_cfg.reset();
  m_shareRunning = false;
}
