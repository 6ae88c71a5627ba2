// The SDK's command connection to a box: frames outgoing commands, splits the
// incoming stream into messages, keeps the two sequence numbers and reports
// socket events. Lives on the protocol thread; send() is only called there.
#pragma once

#include <QByteArray>
#include <QTcpSocket>

#include "TransHeader.h"
#include "TransSplitter.h"

enum SOCKET_NTY {
  SNTY_CONNECTED = 0,
  SNTY_ERROR = 1,
  SNTY_CONNECT_FAILED = 2,
  SNTY_DISCONNECTED = 3,
  SNTY_SEND_FAILED = 4,
};
Q_DECLARE_METATYPE(SOCKET_NTY)

class TransSocket : public QTcpSocket {
  Q_OBJECT

 public:
  static constexpr int kConnectWaitMs = 10000;
  static constexpr int kDisconnectWaitMs = 1000;

  explicit TransSocket(QObject* parent);
  ~TransSocket() override;

  // Blocks until connected or kConnectWaitMs passed; a failure is reported
  // as SNTY_CONNECT_FAILED.
  void connectTo(const QString& host, quint16 port);
  void send(CORVANESVR_ACT_DEF act, const QByteArray& body, bool response);
  // A response to a given request of the box, which need not be the last
  // one received (a frame is answered after later requests came in).
  void sendResponse(CORVANESVR_ACT_DEF act, const QByteArray& body, quint16 sn);
  void directDisconnect();

  quint16 reqSN() const { return m_reqSN; }
  quint16 rspSN() const { return m_rspSN; }

 signals:
  void s_recvCommand(short actSN, CORVANESVR_ACT_DEF act, bool response, QByteArray data);
  void s_socketNfy(SOCKET_NTY nty);

 private slots:
  void slot_connected();
  void slot_disconnected();
  void slot_readyRead();
  void slot_error(QAbstractSocket::SocketError err);

 private:
  void writeFramed(CORVANESVR_ACT_DEF act, const QByteArray& framed);
  void takeHeader(const TransHeader& header);
  void dropForFramingError(const QByteArray& headerBytes);

  quint16 m_reqSN = 1;  // carried by every request we send
  quint16 m_rspSN = 1;  // carried by every response we send
  TransSplitter m_splitter;
  // Counts connections, so a receiver that reconnects while we hand out
  // messages stops the hand-out of the old connection's bytes.
  quint64 m_generation = 0;
};
