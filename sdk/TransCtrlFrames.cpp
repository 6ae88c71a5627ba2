// CTransCtrl's side of the frame requests: one encode job at a time goes to
// the capture thread, and each packet it gives back answers the oldest
// waiting request.
#include <algorithm>

#include "BoxCmd.h"
#include "SdkLog.h"
#include "TransCtrl.h"

using namespace CORVANESDK;

void CTransCtrl::dispatchFrameJob() {
  if (m_staleAnswerMarks > 0 || m_frameRequests.inFlight() || m_frameRequests.waiting() == 0) return;
  if (!m_catch.isRunning() || m_socket == nullptr) return;
  // A box that reads slowly or not at all holds the requests back, not the
  // frames: what waits costs its SN, and the unsent bytes stay bounded.
  const qint64 unsent = m_socket->bytesToWrite();
  if (unsent > 0 && unsent + m_largestFrame > m_maxUnsentBytes.load()) {
    if (!m_framesHeld)
      sdkLogWarn("frame requests wait: %lld bytes wait to be sent, %d requests", static_cast<long long>(unsent),
                 m_frameRequests.waiting());
    m_framesHeld = true;
    return;
  }
  m_framesHeld = false;
  m_catch.postJob(*m_frameRequests.startNext());
}

void CTransCtrl::dropFrameRequests() {
  const int dropped = m_frameRequests.clear();
  if (dropped > 0) sdkLog("%d frame requests dropped with the capture", dropped);
  m_framesHeld = false;
  m_requestsFull = false;
  // The capture thread's last packet may already wait in our queue; this
  // mark arrives behind it.
  ++m_staleAnswerMarks;
  QMetaObject::invokeMethod(
      this,
      [this] {
        --m_staleAnswerMarks;
        dispatchFrameJob();
      },
      Qt::QueuedConnection);
}

void CTransCtrl::slot_OnCatchRsp(const QByteArray& packet) {
  int sn = 0;
  const bool hasSn = BoxCmd::packetSn(packet, &sn);
  if (m_staleAnswerMarks > 0 || state() <= CVSTATE_SHARE_STARTING) {
    sdkLog("catchRsp sn=%d, but screen share allready stopped!", sn);
    return;
  }
  FrameRequestQueue::Request request;
  if (!hasSn || !m_frameRequests.finish(sn, &request)) {
    sdkLogWarn("catchRsp of %d bytes (sn=%d) answers no waiting request: dropped", static_cast<int>(packet.size()),
               sn);
    return;
  }
  if (m_socket->state() != QAbstractSocket::ConnectedState) {
    // Requests of a connection that is gone cannot be answered on another.
    const int dropped = m_frameRequests.clear();
    sdkLog("frame sn:%d not sent: no connection; %d frame requests dropped", sn, dropped);
    return;
  }
  m_largestFrame = std::max<qint64>(m_largestFrame, packet.size() + TransHeader::kSize + 4);
  m_socket->sendResponse(CVACT_FRAME_REQUEST, BoxCmd::frameResponseBody(m_sessionId.load(), packet),
                         request.headerSn);
  sdkLog("send a frame sn:%d!", sn);
  dispatchFrameJob();
}
