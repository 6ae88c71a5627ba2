#include "TransSocket.h"

#include "SdkLog.h"

TransSocket::TransSocket(QObject* parent) : QTcpSocket(parent) {
  connect(this, &QTcpSocket::connected, this, &TransSocket::slot_connected);
  connect(this, &QTcpSocket::disconnected, this, &TransSocket::slot_disconnected);
  connect(this, &QTcpSocket::readyRead, this, &TransSocket::slot_readyRead);
  connect(this, &QAbstractSocket::errorOccurred, this, &TransSocket::slot_error);
}

TransSocket::~TransSocket() {
  // QAbstractSocket's destructor would report the close through our slots
  // after this part of the object is gone; the owner needs no report anyway.
  blockSignals(true);
  abort();
}

void TransSocket::connectTo(const QString& host, quint16 port) {
  abort();
  // Half a message left by the previous connection must not prefix the
  // first message of this one.
  m_splitter.reset();
  ++m_generation;
  connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
  if (waitForConnected(kConnectWaitMs)) return;
  sdkLog("waitForConnected error:%d, socket state:", static_cast<int>(error()));
  abort();
  emit s_socketNfy(SNTY_CONNECT_FAILED);
}

void TransSocket::send(CORVANESVR_ACT_DEF act, const QByteArray& body, bool response) {
  writeFramed(act, TransHeader::frame(act, response ? m_rspSN : m_reqSN, response, body));
}

void TransSocket::sendResponse(CORVANESVR_ACT_DEF act, const QByteArray& body, quint16 sn) {
  writeFramed(act, TransHeader::frame(act, sn, true, body));
}

void TransSocket::writeFramed(CORVANESVR_ACT_DEF act, const QByteArray& framed) {
  const qint64 written = write(framed);
  if (written == framed.size()) return;
  sdkLog("Send data length unmatch:%d, data length: %d, send length: %d", static_cast<int>(act),
         static_cast<int>(framed.size()), static_cast<int>(written));
  emit s_socketNfy(SNTY_SEND_FAILED);
}

void TransSocket::directDisconnect() {
  if (state() == QAbstractSocket::UnconnectedState) return;
  sdkLog("directDisconnect");
  disconnectFromHost();
  if (state() == QAbstractSocket::UnconnectedState || waitForDisconnected(kDisconnectWaitMs))
    sdkLog("disconnect succ");
}

void TransSocket::slot_connected() {
  // Set here: before a connection there is no socket to take the option.
  setSocketOption(QAbstractSocket::LowDelayOption, 1);
  sdkLog("socket connected");
  emit s_socketNfy(SNTY_CONNECTED);
}

void TransSocket::slot_disconnected() {
  sdkLog("socket disconnected");
  emit s_socketNfy(SNTY_DISCONNECTED);
}

void TransSocket::slot_error(QAbstractSocket::SocketError err) {
  sdkLogWarn("socket error:%d", static_cast<int>(err));
  const bool connectFailed =
      err == QAbstractSocket::ConnectionRefusedError || err == QAbstractSocket::SocketTimeoutError;
  emit s_socketNfy(connectFailed ? SNTY_CONNECT_FAILED : SNTY_ERROR);
}

void TransSocket::takeHeader(const TransHeader& header) {
  // Our next request gets a new number only once an answer came back; our
  // next response carries the number of the box's last request.
  if (header.response())
    ++m_reqSN;
  else
    m_rspSN = header.sn;
}

void TransSocket::dropForFramingError(const QByteArray& headerBytes) {
  sdkLogWarn("Unmatch header format:%s", headerBytes.toHex(' ').constData());
  m_splitter.reset();
  // After a broken header nothing that follows can be trusted to start a
  // message: the connection is dropped and reported as an error instead.
  const bool wasBlocked = blockSignals(true);
  abort();
  blockSignals(wasBlocked);
  emit s_socketNfy(SNTY_ERROR);
}

void TransSocket::slot_readyRead() {
  m_splitter.append(readAll());
  const quint64 generation = m_generation;
  // Every step but NeedMore consumes at least a header, so the loop ends.
  for (;;) {
    switch (m_splitter.next()) {
      case TransSplitter::Step::NeedMore:
        return;
      case TransSplitter::Step::Header:
        takeHeader(m_splitter.header());
        break;
      case TransSplitter::Step::Oversized: {
        // As if it had not come: no sequence number moves, nothing is
        // handed on, and the message after it is read as usual.
        const TransHeader& header = m_splitter.header();
        sdkLogWarn("act %d: body of %d bytes is above %d, read past", header.act(), header.length,
                   TransHeader::kMaxBody);
        break;
      }
      case TransSplitter::Step::BadHeader:
        dropForFramingError(m_splitter.badBytes());
        return;
      case TransSplitter::Step::Frame: {
        const TransHeader header = m_splitter.header();
        emit s_recvCommand(static_cast<short>(header.sn), static_cast<CORVANESVR_ACT_DEF>(header.act()),
                           header.response(), m_splitter.body());
        if (generation != m_generation || state() != QAbstractSocket::ConnectedState) return;
        break;
      }
    }
  }
}
