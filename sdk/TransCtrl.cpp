#include "TransCtrl.h"

#include <map>
#include <string>

#include <QMutexLocker>
#include <QSize>
#include <QTimer>

#include "AppPaths.h"
#include "BoxCmd.h"
#include "CodecSetup.h"
#include "JsonHelpers.h"
#include "JsonKeyScan.h"
#include "SdkLog.h"

using namespace CORVANESDK;

namespace {

class IgnoreNotifications : public ITransCtrlCallBack {
 public:
  void onNetNfy(NET_NOTIFY, const std::map<std::string, std::string>&) override {}
};

IgnoreNotifications g_ignoreNotifications;

}  // namespace

static std::map<std::string, std::string> StrMapToStdMap(const QMap<QString, QString>& from) {
  std::map<std::string, std::string> to;
  for (auto it = from.cbegin(); it != from.cend(); ++it)
    to[it.key().toUtf8().toStdString()] = it.value().toUtf8().toStdString();
  return to;
}

// Every value of the body as its text; a body that is no JSON object is
// logged and read as an empty one. A body whose objects repeat a key says
// two things at once: it is logged and refused (false).
static bool ReadBody(CORVANESVR_ACT_DEF act, const QByteArray& data, QMap<QString, QString>* out) {
  if (JsonRepeatsKey(data)) {
    sdkLogWarn("act %d: body of %d bytes repeats a key, message dropped", static_cast<int>(act),
               static_cast<int>(data.size()));
    return false;
  }
  const QVariant body = JsonToVariant(data);
  if (!data.isEmpty() && body.type() != QVariant::Map)
    sdkLogWarn("act %d: body of %d bytes is no JSON object, read as empty", static_cast<int>(act),
               static_cast<int>(data.size()));
  *out = VariantToStrMap(body);
  return true;
}

// The acts whose handler reads the body; no other body is parsed at all.
static bool HandlerReadsBody(CORVANESVR_ACT_DEF act) {
  switch (act) {
    case CVACT_CONNECT:
    case CVACT_CHECK_CODE:
    case CVACT_START_SHARE:
    case CVACT_HEARTBEAT:
    case CVACT_BOX_DISCONNECT:
    case CVACT_FRAME_REQUEST:
    case CVACT_ENC_PARAM:
      return true;
    default:
      return false;
  }
}

CTransCtrl::CTransCtrl() : QNamedThread(nullptr), m_callBack(&g_ignoreNotifications) {
  qRegisterMetaType<QMap<QString, QString>>("QMap<QString,QString>");
  qRegisterMetaType<CORVANESVR_ACT_DEF>("CORVANESVR_ACT_DEF");
  qRegisterMetaType<MEETING_BOX_INFO>("MEETING_BOX_INFO");
  qRegisterMetaType<MEETING_BOX_INFO>("CORVANESDK::MEETING_BOX_INFO");
  qRegisterMetaType<SOCKET_NTY>("SOCKET_NTY");
  setObjectName(QStringLiteral("TransCtrl"));
  connect(this, &CTransCtrl::s_connect, this, &CTransCtrl::slot_connect, Qt::QueuedConnection);
  connect(this, &CTransCtrl::s_checkConnect, this, &CTransCtrl::slot_checkConnect, Qt::QueuedConnection);
  connect(this, &CTransCtrl::s_cancleConnect, this, &CTransCtrl::slot_cancleConnect, Qt::QueuedConnection);
  connect(this, &CTransCtrl::s_disconncet, this, &CTransCtrl::slot_disconncet, Qt::QueuedConnection);
  connect(this, &CTransCtrl::s_startShare, this, &CTransCtrl::slot_startShare, Qt::QueuedConnection);
  connect(this, &CTransCtrl::s_stopShare, this, &CTransCtrl::slot_stopShare, Qt::QueuedConnection);
  connect(&m_catch, &CatchThread::s_CatchFailed, this, &CTransCtrl::slot_OnCatchFail, Qt::QueuedConnection);
  connect(&m_catch, &CatchThread::s_CatchRsp, this, &CTransCtrl::slot_OnCatchRsp, Qt::QueuedConnection);
  moveToThread(this);
  start();
}

CTransCtrl::~CTransCtrl() {
  quit();
  wait();
}

void CTransCtrl::onThreadEnd() {
  // The socket and the timers live on this thread and can only be closed
  // and stopped here; the capture thread must not outlive its session.
  stopCatch();
  delete m_socket;
  delete m_heartbeatTimer;
  delete m_handshakeTimer;
  delete m_responseTimer;
  m_socket = nullptr;
  m_heartbeatTimer = m_handshakeTimer = m_responseTimer = nullptr;
}

// ---- host threads --------------------------------------------------------

void CTransCtrl::setCallBack(ITransCtrlCallBack* cb) {
  m_callBack.store(cb != nullptr ? cb : &g_ignoreNotifications);
}

void CTransCtrl::setCaptureCfg(const SSCFG& cfg) {
  const short sharer = m_sharer.load();
  sdkLog("setCaptureCfg sharer:%d, Backstage:%d, encodetype:%d, width:%d, height:%d", sharer,
         m_backstage.load(), cfg.encodetype, cfg.encSize.width(), cfg.encSize.height());
  emit m_catch.s_CatchCfg(sharer, cfg);
}

void CTransCtrl::connectBox(const BOX_INFO& box) {
  MEETING_BOX_INFO meetingBox;
  BoxInfoToMeetingBox(box, meetingBox);
  emit s_connect(meetingBox);
}

void CTransCtrl::cancelConnect() { emit s_cancleConnect(); }
void CTransCtrl::disconnectBox() { emit s_disconncet(); }
void CTransCtrl::startShare() { emit s_startShare(); }
void CTransCtrl::stopShare() { emit s_stopShare(); }
int CTransCtrl::getState() { return m_state.load(); }

BOX_INFO CTransCtrl::getCurBox() {
  MEETING_BOX_INFO box;
  {
    QMutexLocker hold(&m_boxLock);
    box = m_curBox;
  }
  BOX_INFO info;
  MeetingBoxToBoxInfo(box, info);
  return info;
}

void CTransCtrl::checkConnect(const char* code) {
  emit s_checkConnect(QString::fromUtf8(code != nullptr ? code : ""));
}

int CTransCtrl::getIFrameMSecond() { return g_h264EncOpt.iFrameMSecond.load(); }

void CTransCtrl::setTimerLengths(int heartbeatMs, int handshakeMs, int responseMs) {
  m_heartbeatMs.store(heartbeatMs);
  m_handshakeMs.store(handshakeMs);
  m_responseMs.store(responseMs);
}

// ---- protocol thread: requests -------------------------------------------

void CTransCtrl::slot_connect(MEETING_BOX_INFO box) {
  // Going on from the old state would greet the new box with a reconnect
  // under the old box's session id.
  if (state() != CVSTATE_IDLE) {
    sdkLogWarn("connect to %s in state %d: closing the session with %s first", qPrintable(box.ip),
               state(), qPrintable(boxName()));
    closeSession(false);
  }
  connectTo(box);
}

void CTransCtrl::connectTo(const MEETING_BOX_INFO& box) {
  createConnection();
  if (state() == CVSTATE_IDLE) setState(CVSTATE_CONNECTING);
  {
    QMutexLocker hold(&m_boxLock);
    m_curBox = box;
  }
  sdkLog("connect to addr %s(boxID:)!", qPrintable(box.ip));
  {
    // A connection a failed answer left open would report its abort as a
    // failure of the connect that is only starting.
    const QSignalBlocker quiet(m_socket);
    m_socket->abort();
  }
  m_socket->connectTo(box.ip, box.port);
}

void CTransCtrl::createConnection() {
  if (m_socket != nullptr) return;
  m_socket = new TransSocket(this);
  connect(m_socket, &TransSocket::s_recvCommand, this, &CTransCtrl::slot_command);
  connect(m_socket, &TransSocket::s_socketNfy, this, &CTransCtrl::slot_socketNfy);
  connect(m_socket, &QIODevice::bytesWritten, this, [this] { dispatchFrameJob(); });
  m_heartbeatTimer = new QTimer(this);
  m_handshakeTimer = new QTimer(this);
  m_responseTimer = new QTimer(this);
  for (QTimer* timer : {m_heartbeatTimer, m_handshakeTimer, m_responseTimer}) timer->setSingleShot(true);
  connect(m_heartbeatTimer, &QTimer::timeout, this, &CTransCtrl::slot_handShake);
  connect(m_handshakeTimer, &QTimer::timeout, this, &CTransCtrl::slot_connectTimeout);
  connect(m_responseTimer, &QTimer::timeout, this, &CTransCtrl::slot_waitForSvrResponse);
}

void CTransCtrl::slot_checkConnect(QString code) {
  send(CVACT_CHECK_CODE, BoxCmd::checkCodeBody(code, m_sessionId.load()));
  sdkLog("send request connect command(code:%s)", qPrintable(code));
  startResponseTimer();
}

void CTransCtrl::slot_cancleConnect() {
  send(CVACT_CANCEL_CONNECT, BoxCmd::sessionBody(m_sessionId.load()));
  sdkLog("send cancle connect command!");
  closeSession(false);
}

void CTransCtrl::slot_disconncet() {
  if (state() >= CVSTATE_SHARING) {
    stopCatch();
    // One stop-share per share: in state 8 it went out already.
    if (state() != CVSTATE_SHARE_STOPPING) send(CVACT_STOP_SHARE, BoxCmd::sessionBody(m_sessionId.load()));
    setState(CVSTATE_CONNECTED);
  }
  if (state() == CVSTATE_CONNECTED) send(CVACT_DISCONNECT, BoxCmd::sessionBody(m_sessionId.load()));
  {
    QMutexLocker hold(&m_boxLock);
    sdkLog("pc active disconnected with %s:%s(%d)!", qPrintable(m_curBox.dispName),
           qPrintable(m_curBox.boxID), state());
  }
  // Lets the last requests leave before the connection closes under them.
  SleepMs(100);
  closeSession(false);
}

void CTransCtrl::slot_startShare() {
  if (state() != CVSTATE_CONNECTED) {
    sdkLogWarn("screen start share refuse:%d!", state());
    closeSession(true);
    return;
  }
  setState(CVSTATE_SHARE_STARTING);
  if (sendShareRequest()) sdkLog("send start share command!");
}

void CTransCtrl::slot_stopShare() {
  if (state() < CVSTATE_SHARING) {
    sdkLogWarn("screen has stop share:%d!", state());
    return;
  }
  // A capture failure and the host's stop can both be queued: a second
  // stop-share would draw a second answer, which then finds the share
  // stopped and ends the session.
  if (state() == CVSTATE_SHARE_STOPPING) {
    sdkLog("stop share already asked for");
    return;
  }
  stopCatch();
  setState(CVSTATE_SHARE_STOPPING);
  if (sendShareRequest()) sdkLog("send stop share command!");
}

// ---- protocol thread: socket, capture thread, timers ---------------------

void CTransCtrl::slot_socketNfy(SOCKET_NTY nty) {
  const int st = state();
  if (m_reconnectQueued) {
    sdkLog("socket notify:%d while a reconnect waits, state:%d", static_cast<int>(nty), st);
    return;
  }
  if (nty == SNTY_CONNECTED) {
    sdkLog("socket notify connect succ, state:%d", st);
    if (st == CVSTATE_IDLE) return;
    if (st == CVSTATE_CONNECTING) {
      send(CVACT_CONNECT, BoxCmd::connectBody(GetAppVersion()));
      setState(CVSTATE_REQUESTING);
      startResponseTimer();
      return;
    }
    sendHeartbeat(true);
    if (m_handshakeTimer != nullptr) m_handshakeTimer->start(m_handshakeMs.load());
    return;
  }
  sdkLog("socket notify:%d, state:%d", static_cast<int>(nty), st);
  if (st <= CVSTATE_WAIT_CONNCODE) {
    closeSession(true);
    return;
  }
  if (m_reconnecting) {
    sdkLog("reconn to addr %s(boxID:) fail!", qPrintable(boxName()));
    closeSession(true);
    return;
  }
  requestReconnect();
}

void CTransCtrl::slot_command(short actSN, CORVANESVR_ACT_DEF act, bool, QByteArray data) {
  // A refused body goes as if it had not come: the session runs on unchanged.
  StrMap body;
  if (HandlerReadsBody(act) && !ReadBody(act, data, &body)) return;
  stopTimers();
  // The box answered on the new connection: the reconnect worked.
  const bool reconnected = m_reconnecting && !m_reconnectQueued;
  if (reconnected) m_reconnecting = false;
  switch (act) {
    case CVACT_CONNECT:
      OnConnectResponse(body, data);
      break;
    case CVACT_CHECK_CODE:
      OnConnectCodeResponse(body, data);
      break;
    case CVACT_START_SHARE:
      OnSvrStartShare(body);
      break;
    case CVACT_STOP_SHARE:
      OnStopShareResponse();
      break;
    case CVACT_HEARTBEAT:
      OnHeartbeatResponse(body);
      break;
    case CVACT_BOX_DISCONNECT:
      OnSvrDisconnect(body);
      break;
    case CVACT_FRAME_REQUEST:
      OnSvrReqSCreen(actSN, body);
      break;
    case CVACT_SHARE_PAUSE:
      OnSvrSharePause();
      break;
    case CVACT_SHARE_STOPPED:
      OnSvrShareStopped();
      break;
    case CVACT_ENC_PARAM:
      EncParamChanged(body, data);
      break;
    default:
      break;
  }
  if (state() > CVSTATE_WAIT_CONNCODE && m_heartbeatTimer != nullptr && !m_reconnectQueued)
    m_heartbeatTimer->start(m_heartbeatMs.load());
  if (reconnected) resendShareRequest();
}

void CTransCtrl::slot_OnCatchFail() {
  sdkLog("catchFail!");
  slot_stopShare();
}

void CTransCtrl::slot_handShake() {
  if (state() > CVSTATE_WAIT_CONNCODE) sendHeartbeat(false);
  m_handshakeTimer->start(m_handshakeMs.load());
}

void CTransCtrl::slot_connectTimeout() {
  if (state() == CVSTATE_IDLE) return;
  if (m_reconnecting) {
    sdkLogWarn("socket reconnect time out:%d", state());
    closeSession(true);
    return;
  }
  sdkLogWarn("handShake timeout, server maybe disconnected, reconn");
  requestReconnect();
}

void CTransCtrl::slot_waitForSvrResponse() {
  switch (state()) {
    case CVSTATE_REQUESTING:
      sdkLog("wait for svr connecting response timeout!");
      break;
    case CVSTATE_WAIT_CONNCODE:
      sdkLog("wait for svr checking response timeout!");
      break;
    case CVSTATE_SHARE_STARTING:
      sdkLog("wait for svr start share response timeout!");
      break;
    case CVSTATE_SHARE_STOPPING:
      sdkLog("wait for svr stop share response timeout!");
      break;
    default:
      return;
  }
  closeSession(true);
}

// ---- protocol thread: session --------------------------------------------

void CTransCtrl::send(CORVANESVR_ACT_DEF act, const QByteArray& body, bool response) {
  if (m_socket == nullptr || m_socket->state() != QAbstractSocket::ConnectedState) {
    sdkLogWarn("act %d not sent: no connection to the box", static_cast<int>(act));
    return;
  }
  m_socket->send(act, body, response);
}

bool CTransCtrl::sendShareRequest() {
  const CORVANESVR_ACT_DEF act = state() == CVSTATE_SHARE_STARTING ? CVACT_START_SHARE : CVACT_STOP_SHARE;
  m_shareRequestOut = false;
  const bool connected = m_socket != nullptr && m_socket->state() == QAbstractSocket::ConnectedState;
  if (m_reconnectQueued || m_reconnecting || !connected) {
    // Sent now it would be lost with the connection, and the answer that
    // never comes would leave the state waiting for good.
    sdkLogWarn("act %d waits for the reconnect, state:%d", static_cast<int>(act), state());
    // A connection that is gone with no reconnect under way is a failed
    // send, and a failed send starts the reconnect.
    if (!m_reconnectQueued && !m_reconnecting) requestReconnect();
    return false;
  }
  send(act, BoxCmd::sessionBody(m_sessionId.load()));
  m_shareRequestOut = true;
  startResponseTimer();
  return true;
}

void CTransCtrl::resendShareRequest() {
  const int st = state();
  if (m_shareRequestOut || (st != CVSTATE_SHARE_STARTING && st != CVSTATE_SHARE_STOPPING)) return;
  if (sendShareRequest())
    sdkLog("%s share command sent again after the reconnect", st == CVSTATE_SHARE_STARTING ? "start" : "stop");
}

void CTransCtrl::sendHeartbeat(bool reconnect) {
  const int sn = m_heartbeatSN++;
  send(CVACT_HEARTBEAT, BoxCmd::heartbeatBody(m_sessionId.load(), reconnect, sn));
  sdkLog("send heartbeat SN:%d, sessionID:%d,ReConn:%d!", sn, m_sessionId.load(), reconnect ? 1 : 0);
}

void CTransCtrl::requestReconnect() {
  if (m_reconnectQueued) return;
  m_reconnectQueued = true;
  stopTimers();
  QMetaObject::invokeMethod(this, [this] { reconnect(); }, Qt::QueuedConnection);
}

void CTransCtrl::reconnect() {
  // A close or a new connect in between took the session elsewhere.
  if (!m_reconnectQueued) return;
  m_reconnectQueued = false;
  if (state() <= CVSTATE_WAIT_CONNCODE) return;
  {
    const QSignalBlocker quiet(m_socket);
    m_socket->directDisconnect();
    m_socket->abort();
  }
  sdkLogWarn("socket reconn!");
  m_reconnecting = true;
  // An answer still owed on the old connection is lost with it.
  m_shareRequestOut = false;
  MEETING_BOX_INFO box;
  {
    QMutexLocker hold(&m_boxLock);
    box = m_curBox;
  }
  connectTo(box);
}

void CTransCtrl::closeSession(bool notify) {
  const int st = state();
  if (st == CVSTATE_IDLE) return;
  if (notify) {
    if (st == CVSTATE_CONNECTING) {
      notifyClosed(CVRSN_CONNECT_FAILED, false);
    } else {
      sdkLog("CVRSN_CONNECTION_LOST, start auto reconnect");
      notifyClosed(CVRSN_CONNECTION_LOST, true);
    }
  }
  // Every way out of a share stops the capture, notified or not.
  stopCatch();
  setState(CVSTATE_IDLE);
  m_sessionId.store(-1);
  m_heartbeatSN = 0;
  m_reconnecting = false;
  m_reconnectQueued = false;
  stopTimers();
  if (m_socket != nullptr) m_socket->directDisconnect();
}

void CTransCtrl::notifyClosed(int reason, bool autoReconn) {
  const int st = state();
  if (st == CVSTATE_IDLE) return;
  StrMap params;
  params.insert(QStringLiteral("Reason"), QString::number(reason));
  params.insert(QStringLiteral("AutoReconn"), autoReconn ? QStringLiteral("1") : QStringLiteral("0"));
  NET_NOTIFY nty = CVNTY_DISCONNECTED;
  switch (st) {
    case CVSTATE_SHARING:
    case CVSTATE_SHARE_PAUSED:
    case CVSTATE_SHARE_STOPPING:
      stopCatch();
      break;
    case CVSTATE_CONNECTING:
    case CVSTATE_REQUESTING:
      nty = CVNTY_UNREACHABLE;
      break;
    case CVSTATE_WAIT_CONNCODE:
      nty = CVNTY_CONNCODE_FAILED;
      break;
    default:
      break;
  }
  notify(nty, params);
}

void CTransCtrl::notify(NET_NOTIFY nty, const StrMap& params) {
  m_callBack.load()->onNetNfy(nty, StrMapToStdMap(params));
}

void CTransCtrl::setState(int state) { m_state.store(state); }

void CTransCtrl::stopTimers() {
  for (QTimer* timer : {m_heartbeatTimer, m_handshakeTimer, m_responseTimer})
    if (timer != nullptr) timer->stop();
}

void CTransCtrl::startResponseTimer() {
  if (m_responseTimer != nullptr) m_responseTimer->start(m_responseMs.load());
}

void CTransCtrl::startCatch() {
  // Nothing of an earlier share may be answered in this one.
  m_frameRequests.clear();
  m_catch.dropPendingJob();
  m_largestFrame = 0;
  m_catch.start(QThread::InheritPriority);
  emit m_catch.s_StartCatch();
}

void CTransCtrl::stopCatch() {
  if (!m_catch.isRunning()) return;
  // The stop then waits for one encode at most, never for a queue of them.
  m_catch.dropPendingJob();
  // Queued behind quit() the stop could be left unrun, and would then stop
  // the next share when the thread runs again: it runs before we go on.
  QMetaObject::invokeMethod(&m_catch, "slot_StopCatch", Qt::BlockingQueuedConnection);
  m_catch.quit();
  m_catch.wait();
  dropFrameRequests();
  sdkLog("capture stopped");
}

QString CTransCtrl::boxName() const {
  QMutexLocker hold(&m_boxLock);
  return m_curBox.ip;
}
