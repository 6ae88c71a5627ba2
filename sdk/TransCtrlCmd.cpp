// CTransCtrl's handlers of the box's messages, by act.
#include <cmath>

#include <QSize>

#include "BoxCmd.h"
#include "CodecSetup.h"
#include "SdkLog.h"
#include "TransCtrl.h"

using namespace CORVANESDK;

static const QString kRspCode = QStringLiteral("RspCode");
static const QString kReason = QStringLiteral("Reason");
// An answer without RspCode counts as this failure.
static constexpr int kNoRspCode = 7;
// No screen is wider than this many times its height, or the other way
// round; a ratio beyond would pad the picture to an absurd size. Up to 0.001
// means "keep the screen's shape".
static constexpr float kMaxAspectRatio = 16.0f;
static constexpr float kNoAspectRatio = 0.001f;

static bool UsableRatio(float ratio) {
  if (!std::isfinite(ratio) || ratio < 0.0f) return false;
  return ratio <= kNoAspectRatio || (ratio >= 1.0f / kMaxAspectRatio && ratio <= kMaxAspectRatio);
}
// Log lines carry at most this much of a body.
static constexpr int kMaxLoggedBody = 900;

void CTransCtrl::OnConnectResponse(const StrMap& body, const QByteArray& raw) {
  if (state() != CVSTATE_REQUESTING) {
    sdkLog("OnConnectResponse, state error:%d", state());
    closeSession(true);
    return;
  }
  const int code = BoxCmd::number(body, kRspCode, kNoRspCode);
  if (code != 0) {
    const NET_NOTIFY nty = code == 2 ? CVNTY_NEED_UPDATE : code == 3 ? CVNTY_BOX_BUSY : CVNTY_CONNECT_FAILED;
    notify(nty, body);
    sdkLog("%s:%s connect request fail:%d", qPrintable(m_curBox.dispName), qPrintable(m_curBox.boxID), code);
    setState(CVSTATE_IDLE);
    return;
  }
  m_sessionId.store(BoxCmd::number(body, QStringLiteral("SessionID")));
  if (body.contains(QStringLiteral("NeedCode")) && BoxCmd::number(body, QStringLiteral("NeedCode")) == 0) {
    setState(CVSTATE_CONNECTED);
    sdkLog("%s(boxID:%s) connected, SessionID:%d!", qPrintable(m_curBox.dispName), qPrintable(m_curBox.boxID),
           m_sessionId.load());
    notify(CVNTY_CONNECTED, body);
    EncParamChanged(body, raw);
    return;
  }
  setState(CVSTATE_WAIT_CONNCODE);
  sdkLog("%s(boxID:%s) connect request succ, SessionID:%d!", qPrintable(m_curBox.dispName),
         qPrintable(m_curBox.boxID), m_sessionId.load());
  notify(CVNTY_NEED_CONNCODE, body);
}

void CTransCtrl::OnConnectCodeResponse(const StrMap& body, const QByteArray& raw) {
  if (state() != CVSTATE_WAIT_CONNCODE) {
    sdkLogWarn("OnConnectCodeResponse, state error:%d", state());
    closeSession(true);
    return;
  }
  const int code = BoxCmd::number(body, kRspCode, kNoRspCode);
  if (code != 0) {
    StrMap params = body;
    NET_NOTIFY nty = CVNTY_CONNECT_FAILED;
    if (code == 3) {
      params.insert(kReason, QString::number(CVRSN_OTHER_CONNECTED));
      nty = CVNTY_BOX_BUSY;
    } else if (code == 4) {
      params.insert(kReason, QString::number(CVRSN_CONNCODE_ERROR));
      nty = CVNTY_CONNCODE_FAILED;
    }
    notify(nty, params);
    sdkLog("%s:%s connected fail:%d", qPrintable(m_curBox.dispName), qPrintable(m_curBox.boxID), code);
    setState(CVSTATE_IDLE);
    return;
  }
  setState(CVSTATE_CONNECTED);
  sdkLog("%s(boxID:%s) has connected", qPrintable(m_curBox.dispName), qPrintable(m_curBox.boxID));
  notify(CVNTY_CONNECTED, body);
  EncParamChanged(body, raw);
}

void CTransCtrl::OnSvrStartShare(const StrMap& body) {
  if (state() != CVSTATE_SHARE_STARTING) {
    sdkLogWarn("OnSvrStartShare, state error:%d", state());
    closeSession(true);
    return;
  }
  const int code = BoxCmd::number(body, kRspCode, kNoRspCode);
  // The host sees only the reason when there is one; the session still
  // needs the answer's other keys.
  StrMap shown = body;
  if (body.contains(kReason)) {
    shown.clear();
    shown.insert(kReason, body.value(kReason));
  }
  if (code != 0) {
    notify(code == 5 ? CVNTY_SHARE_REFUSED : CVNTY_SHARE_FAILED, shown);
    setState(CVSTATE_CONNECTED);
    sdkLog("OnSvrStartShare fail:%d %s", code, qPrintable(body.value(QStringLiteral("RspDesc"))));
    return;
  }
  setState(CVSTATE_SHARING);
  m_sharer.store(static_cast<short>(BoxCmd::number(body, QStringLiteral("Sharer"))));
  m_backstage.store(BoxCmd::number(body, QStringLiteral("Backstage")));
  sdkLog("OnSvrStartShare sharer:%d, Backstage:%d", m_sharer.load(), m_backstage.load());
  startCatch();
  notify(CVNTY_SHARE_STARTED, shown);
}

void CTransCtrl::OnStopShareResponse() {
  if (state() != CVSTATE_SHARE_STOPPING) {
    sdkLogWarn("OnStopShareResponse, state error:%d", state());
    closeSession(true);
    return;
  }
  sdkLog("stop share response!");
  setState(CVSTATE_CONNECTED);
  notify(CVNTY_SHARE_STOPPED, StrMap());
}

void CTransCtrl::OnHeartbeatResponse(const StrMap& body) {
  const int sn = BoxCmd::number(body, QStringLiteral("SN"), -1);
  if (!body.contains(kRspCode)) {
    sdkLog("HeartBeat response SN:%d!", sn);
    return;
  }
  const int code = BoxCmd::number(body, kRspCode);
  sdkLog("HeartBeat response SN:%d,RspCode:%d!", sn, code);
  // 6: the box no longer knows this session.
  if (code == 6) closeSession(true);
}

void CTransCtrl::OnSvrDisconnect(const StrMap& body) {
  if (state() == CVSTATE_IDLE) return;
  const QString reason = body.value(kReason);
  sdkLog("OnSvrDisconnect, reason:%s!", qPrintable(reason));
  notifyClosed(BoxCmd::number(body, kReason), false);
  closeSession(false);
}

void CTransCtrl::OnSvrReqSCreen(short actSN, const StrMap& body) {
  if (state() <= CVSTATE_SHARE_STARTING) {
    sdkLogWarn("OnSvrReqSCreen, state error:%d", state());
    closeSession(true);
    return;
  }
  SCDoEnc job;
  job.bNewFrame = state() == CVSTATE_SHARING;
  job.sn = BoxCmd::number(body, QStringLiteral("SN"));
  job.iFrame = BoxCmd::number(body, QStringLiteral("IFrame")) != 0 ? 1 : 0;
  sdkLog("svr request a frame, isI:%d, sn:%d", job.iFrame, job.sn);
  // The capture stopped with the stop request; a job parked on it now would
  // be answered in the next share, under this share's SN.
  if (state() == CVSTATE_SHARE_STOPPING) {
    sdkLog("frame request sn:%d dropped: the share is stopping", job.sn);
    return;
  }
  if (!m_frameRequests.push(job, static_cast<quint16>(actSN))) {
    if (!m_requestsFull)
      sdkLogWarn("frame request sn:%d dropped: %d requests wait already", job.sn, FrameRequestQueue::kMaxWaiting);
    m_requestsFull = true;
    return;
  }
  m_requestsFull = false;
  dispatchFrameJob();
}

void CTransCtrl::OnSvrSharePause() {
  if (state() <= CVSTATE_SHARE_STARTING) {
    sdkLogWarn("OnSvrReqSCreen, state error:%d", state());
    closeSession(true);
    return;
  }
  // A stop already asked for stays asked for: the box's answer to it must
  // still find the stopping state.
  if (state() == CVSTATE_SHARE_STOPPING) return;
  setState(CVSTATE_SHARE_PAUSED);
}

void CTransCtrl::OnSvrShareStopped() {
  if (state() < CVSTATE_SHARING) {
    sdkLog("OnSvrShareStopped but already stopped!");
    return;
  }
  sdkLog("OnSvrShareStopped");
  notify(CVNTY_BOX_STOPPED_SHARE, StrMap());
  setState(CVSTATE_CONNECTED);
  stopCatch();
}

void CTransCtrl::EncParamChanged(const StrMap& body, const QByteArray& raw) {
  sdkLog("CTransCtrl::EncParamChanged: %s", raw.left(kMaxLoggedBody).constData());
  m_catch.setBoxMaxSize(QSize(BoxCmd::number(body, QStringLiteral("MaxWidth")),
                              BoxCmd::number(body, QStringLiteral("MaxHeight"))));
  bool ok = false;
  float ratio = body.value(QStringLiteral("AspectRatio")).toFloat(&ok);
  if (!ok || !UsableRatio(ratio)) {
    if (body.contains(QStringLiteral("AspectRatio")))
      sdkLogWarn("AspectRatio \"%s\" ignored: the picture keeps its shape",
                 qPrintable(body.value(QStringLiteral("AspectRatio")).left(40)));
    ratio = 0.0f;
  }
  m_catch.setAspectRatio(ratio);
  g_h264EncOpt.profile.store(BoxCmd::number(body, QStringLiteral("H264Profile")));
  g_h264EncOpt.iFrameMSecond.store(BoxCmd::number(body, QStringLiteral("IFrameMSecond")));
  notify(CVNTY_ENC_PARAM_CHANGED, body);
}
