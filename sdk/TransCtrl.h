// The SDK's session with one box: the command connection, the session state
// machine with its heartbeat, time-outs and single automatic reconnect, and
// the capture thread that answers the box's frame requests. Runs on its own
// thread; the host's requests cross to it as queued signals.
#pragma once

#include <atomic>

#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QString>

#include "CatchThread.h"
#include "CorvaneSDK.h"
#include "FrameRequestQueue.h"
#include "NamedThread.h"
#include "TransHeader.h"
#include "TransSocket.h"

class QTimer;

class CTransCtrl : public QNamedThread, public CORVANESDK::ITransCtrl {
  Q_OBJECT

 public:
  static constexpr int kHeartbeatMs = 3000;
  static constexpr int kHandshakeMs = 10000;
  static constexpr int kResponseMs = 10000;
  // Bytes of frame responses that may wait for a box that reads slowly or
  // not at all; past it a frame is dropped, not buffered.
  static constexpr qint64 kMaxUnsentBytes = 32 * 1024 * 1024;

  CTransCtrl();
  ~CTransCtrl() override;

  void setCallBack(CORVANESDK::ITransCtrlCallBack* cb) override;
  void setCaptureCfg(const CORVANESDK::SSCFG& cfg) override;
  void connectBox(const CORVANESDK::BOX_INFO& box) override;
  void cancelConnect() override;
  void disconnectBox() override;
  void startShare() override;
  void stopShare() override;
  int getState() override;
  CORVANESDK::BOX_INFO getCurBox() override;
  void checkConnect(const char* code) override;
  int getIFrameMSecond() override;

  // For tests that cannot wait for the real lengths; takes effect at the
  // next start of each timer.
  void setTimerLengths(int heartbeatMs, int handshakeMs, int responseMs);
  // For tests that cannot fill kMaxUnsentBytes quickly.
  void setMaxUnsentBytes(qint64 bytes) { m_maxUnsentBytes.store(bytes); }

 signals:
  void s_connect(CORVANESDK::MEETING_BOX_INFO box);
  void s_checkConnect(QString code);
  void s_cancleConnect();
  void s_disconncet();
  void s_startShare();
  void s_stopShare();

 private slots:
  void slot_connect(CORVANESDK::MEETING_BOX_INFO box);
  void slot_checkConnect(QString code);
  void slot_cancleConnect();
  void slot_disconncet();
  void slot_startShare();
  void slot_stopShare();

  void slot_socketNfy(SOCKET_NTY nty);
  void slot_command(short actSN, CORVANESVR_ACT_DEF act, bool response, QByteArray data);
  void slot_OnCatchRsp(const QByteArray& packet);
  void slot_OnCatchFail();
  void slot_handShake();
  void slot_connectTimeout();
  void slot_waitForSvrResponse();

 protected:
  void onThreadEnd() override;

 private:
  using StrMap = QMap<QString, QString>;

  void connectTo(const CORVANESDK::MEETING_BOX_INFO& box);
  void createConnection();
  void send(CORVANESVR_ACT_DEF act, const QByteArray& body, bool response = false);
  // The start-share request in state 5, the stop-share one in state 8: sent
  // at once, or once the box took the session back after a reconnect under
  // way. True when sent now.
  bool sendShareRequest();
  // After a reconnect: the request of state 5 or 8 that the new connection
  // has not carried yet.
  void resendShareRequest();
  void sendHeartbeat(bool reconnect);
  // Defers the reconnect until the socket's own signal has returned.
  void requestReconnect();
  void reconnect();
  void closeSession(bool notify);
  void notifyClosed(int reason, bool autoReconn);
  void notify(CORVANESDK::NET_NOTIFY nty, const StrMap& params);
  void setState(int state);
  int state() const { return m_state.load(); }
  void stopTimers();
  void startResponseTimer();
  void startCatch();
  void stopCatch();
  // Hands the oldest waiting frame request to the capture thread, one at a
  // time, while the box reads what it was sent.
  void dispatchFrameJob();
  // Every waiting request goes; an answer the capture thread already gave
  // for one of them is dropped when it arrives.
  void dropFrameRequests();
  QString boxName() const;

  // The box's messages, by act.
  void OnConnectResponse(const StrMap& body, const QByteArray& raw);
  void OnConnectCodeResponse(const StrMap& body, const QByteArray& raw);
  void OnSvrStartShare(const StrMap& body);
  void OnStopShareResponse();
  void OnHeartbeatResponse(const StrMap& body);
  void OnSvrDisconnect(const StrMap& body);
  void OnSvrReqSCreen(short actSN, const StrMap& body);
  void OnSvrSharePause();
  void OnSvrShareStopped();
  void EncParamChanged(const StrMap& body, const QByteArray& raw);

  std::atomic<int> m_sessionId{-1};
  // Set from the start of the automatic reconnect until the box answers on
  // the new connection: one attempt per loss.
  bool m_reconnecting = false;
  bool m_reconnectQueued = false;
  // The request of state 5 or 8 went over the current connection, so its
  // answer can still come.
  bool m_shareRequestOut = false;
  QTimer* m_heartbeatTimer = nullptr;
  QTimer* m_handshakeTimer = nullptr;
  QTimer* m_responseTimer = nullptr;
  int m_heartbeatSN = 0;
  std::atomic<int> m_backstage{0};
  TransSocket* m_socket = nullptr;
  std::atomic<short> m_sharer{-1};
  CatchThread m_catch;
  mutable QMutex m_boxLock;  // guards m_curBox: host threads copy it
  CORVANESDK::MEETING_BOX_INFO m_curBox;
  std::atomic<int> m_state{CORVANESDK::CVSTATE_IDLE};
  std::atomic<CORVANESDK::ITransCtrlCallBack*> m_callBack;
  // Protocol thread only.
  FrameRequestQueue m_frameRequests;
  // Answers the capture thread may still have queued to us from before the
  // last stops of the capture: one mark per stop, gone once they are through.
  int m_staleAnswerMarks = 0;
  // The largest frame response of the share: the next is held back while it
  // would not fit under the bound of unsent bytes.
  qint64 m_largestFrame = 0;
  bool m_framesHeld = false;
  bool m_requestsFull = false;

  std::atomic<int> m_heartbeatMs{kHeartbeatMs};
  std::atomic<int> m_handshakeMs{kHandshakeMs};
  std::atomic<int> m_responseMs{kResponseMs};
  std::atomic<qint64> m_maxUnsentBytes{kMaxUnsentBytes};
};
