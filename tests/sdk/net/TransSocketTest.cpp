#include "TransSocket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>

#include "EventWait.h"
#include "RecordingLog.h"
#include "SdkLog.h"
#include "SimFrame.h"
#include "RowName.h"

namespace {

struct Received {
  short sn;
  int act;
  bool response;
  QByteArray body;
};

// A connected TransSocket and the raw peer socket at the other end.
class TransSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.listen(QHostAddress::LocalHost, 0));
    socket_ = std::make_unique<TransSocket>(nullptr);
    QObject::connect(socket_.get(), &TransSocket::s_recvCommand, socket_.get(),
                     [this](short sn, CORVANESVR_ACT_DEF act, bool response, QByteArray data) {
                       received_.push_back({sn, act, response, data});
                     });
    QObject::connect(socket_.get(), &TransSocket::s_socketNfy, socket_.get(),
                     [this](SOCKET_NTY nty) { notes_.push_back(nty); });
    ConnectPeer();
  }

  void ConnectPeer() {
    socket_->connectTo(QStringLiteral("127.0.0.1"), server_.serverPort());
    ASSERT_EQ(socket_->state(), QAbstractSocket::ConnectedState);
    ASSERT_TRUE(WaitFor([this] { return server_.hasPendingConnections(); }));
    peer_.reset(server_.nextPendingConnection());
    peer_->setParent(nullptr);
  }

  void PeerWrite(const QByteArray& bytes) {
    ASSERT_EQ(peer_->write(bytes), bytes.size());
    ASSERT_TRUE(peer_->waitForBytesWritten(2000) || peer_->bytesToWrite() == 0);
  }

  QByteArray PeerRead(int count) {
    QByteArray got;
    const bool arrived = WaitFor([&] {
      got += peer_->readAll();
      return got.size() >= count;
    });
    EXPECT_TRUE(arrived) << "the peer got " << got.size() << " of " << count << " bytes";
    return got;
  }

  int Count(SOCKET_NTY nty) const { return static_cast<int>(std::count(notes_.begin(), notes_.end(), nty)); }

  // Declared first so that they outlive the sockets that report into them.
  std::vector<Received> received_;
  std::vector<SOCKET_NTY> notes_;
  QTcpServer server_;
  std::unique_ptr<TransSocket> socket_;
  std::unique_ptr<QTcpSocket> peer_;
};

TEST_F(TransSocketTest, ReportsTheConnection) {
  ASSERT_TRUE(WaitFor([this] { return !notes_.empty(); }));
  EXPECT_EQ(Count(SNTY_CONNECTED), 1);
  EXPECT_TRUE(socket_->socketOption(QAbstractSocket::LowDelayOption).toBool());
}

TEST_F(TransSocketTest, RequestCarriesReqSnAndExactBytes) {
  const QByteArray body(45, 'b');
  socket_->send(CVACT_CONNECT, body, false);
  const QByteArray wire = PeerRead(57);
  ASSERT_EQ(wire.size(), 57);
  EXPECT_EQ(wire.left(12).toHex().toStdString(), "656e61562d00000001000200");
  EXPECT_EQ(wire.mid(12), body);
  EXPECT_EQ(Count(SNTY_SEND_FAILED), 0);
}

TEST_F(TransSocketTest, ResponseCarriesTheSnOfTheBoxsLastRequest) {
  PeerWrite(SimFrame{0x1234, 81, false, R"({"IFrame":1,"SN":3})"}.encode());
  ASSERT_TRUE(WaitFor([this] { return received_.size() == 1; }));
  EXPECT_EQ(socket_->rspSN(), 0x1234);
  socket_->send(CVACT_FRAME_REQUEST, QByteArray("\x01\x00\x00\x00", 4), true);
  const QByteArray wire = PeerRead(16);
  EXPECT_EQ(wire.mid(8, 4).toHex().toStdString(), "34125180");
  // Sending changes neither number.
  EXPECT_EQ(socket_->rspSN(), 0x1234);
  EXPECT_EQ(socket_->reqSN(), 1);
}

TEST_F(TransSocketTest, AnyResponseRaisesReqSnOnceItsHeaderArrives) {
  // Unsolicited: this side sent nothing, yet the next request gets a new number.
  const QByteArray answer = SimFrame{77, 8, true, R"({"SN":0})"}.encode();
  PeerWrite(answer.left(12));
  ASSERT_TRUE(WaitFor([this] { return socket_->reqSN() == 2; }));
  EXPECT_TRUE(received_.empty());
  PeerWrite(answer.mid(12));
  ASSERT_TRUE(WaitFor([this] { return received_.size() == 1; }));
  EXPECT_EQ(socket_->reqSN(), 2);
  EXPECT_EQ(socket_->rspSN(), 1);
  socket_->send(CVACT_HEARTBEAT, "{}", false);
  EXPECT_EQ(PeerRead(14).mid(8, 2).toHex().toStdString(), "0200");
}

TEST_F(TransSocketTest, MessageInSingleBytesGivesOneCommand) {
  const QByteArray message = SimFrame{5, 84, false, R"({"MaxWidth":1280})"}.encode();
  for (char byte : message) {
    PeerWrite(QByteArray(1, byte));
    QCoreApplication::processEvents();
  }
  ASSERT_TRUE(WaitFor([this] { return !received_.empty(); }));
  Settle(100);
  ASSERT_EQ(received_.size(), 1u);
  EXPECT_EQ(received_[0].sn, 5);
  EXPECT_EQ(received_[0].act, 84);
  EXPECT_FALSE(received_[0].response);
  EXPECT_EQ(received_[0].body, R"({"MaxWidth":1280})");
}

TEST_F(TransSocketTest, TwoMessagesInOneWriteKeepTheirOrder) {
  PeerWrite(SimFrame{1, 2, true, R"({"RspCode":0})"}.encode() + SimFrame{2, 83, false, {}}.encode());
  ASSERT_TRUE(WaitFor([this] { return received_.size() == 2; }));
  EXPECT_EQ(received_[0].act, 2);
  EXPECT_TRUE(received_[0].response);
  EXPECT_EQ(received_[0].body, R"({"RspCode":0})");
  EXPECT_EQ(received_[1].act, 83);
  EXPECT_TRUE(received_[1].body.isEmpty());
}

TEST_F(TransSocketTest, NegativeSnSurvivesAsShort) {
  PeerWrite(SimFrame{0xFFFE, 82, false, {}}.encode());
  ASSERT_TRUE(WaitFor([this] { return received_.size() == 1; }));
  EXPECT_EQ(static_cast<quint16>(received_[0].sn), 0xFFFE);
  EXPECT_EQ(socket_->rspSN(), 0xFFFE);
}

struct FramingErrorCase {
  const char* name;
  QByteArray badHeader;
};

const FramingErrorCase kFramingErrors[] = {
    {"WrongMagic", SimFrame::rawHeader(0x12345678, 0, 1, 2)},
    {"NegativeLength", SimFrame::rawHeader(SimFrame::kMagic, -12, 1, 2)},
    {"HugeLength", SimFrame::rawHeader(SimFrame::kMagic, 0x7FFFFFF0, 1, 2)},
    {"AboveWhatIsReadPast", SimFrame::rawHeader(SimFrame::kMagic, TransHeader::kMaxSkippedBody + 1, 1, 2)},
};

class TransSocketFramingError : public TransSocketTest,
                                public ::testing::WithParamInterface<FramingErrorCase> {};

TEST_P(TransSocketFramingError, ClosesAndReportsOnce) {
  ASSERT_TRUE(WaitFor([this] { return Count(SNTY_CONNECTED) == 1; }));
  notes_.clear();
  RecordingLog log;
  SetSdkLogger(&log);
  const auto silence = qScopeGuard([] { SetSdkLogger(nullptr); });
  PeerWrite(GetParam().badHeader + SimFrame{9, 80, false, R"({"Reason":1})"}.encode());
  ASSERT_TRUE(WaitFor([this] { return !notes_.empty(); }));
  ASSERT_TRUE(WaitFor([this] { return peer_->state() == QAbstractSocket::UnconnectedState; }));
  Settle(100);
  EXPECT_EQ(notes_, std::vector<SOCKET_NTY>{SNTY_ERROR});
  EXPECT_TRUE(received_.empty()) << "nothing after a broken header may pass as a message";
  EXPECT_EQ(socket_->state(), QAbstractSocket::UnconnectedState);
  int headerLines = 0;
  for (const RecordingLog::Line& line : log.Lines()) headerLines += line.text.rfind("Unmatch header format:", 0) == 0 ? 1 : 0;
  EXPECT_EQ(headerLines, 1);
}

INSTANTIATE_TEST_SUITE_P(Wire, TransSocketFramingError, ::testing::ValuesIn(kFramingErrors), RowName());

// One odd message of a box ends nothing: its body is read past, its SN
// counts for nothing, and the next message comes through.
TEST_F(TransSocketTest, BodyAboveTheBoundIsReadPastOnce) {
  ASSERT_TRUE(WaitFor([this] { return Count(SNTY_CONNECTED) == 1; }));
  notes_.clear();
  RecordingLog log;
  SetSdkLogger(&log);
  const auto silence = qScopeGuard([] { SetSdkLogger(nullptr); });
  const quint16 reqSn = socket_->reqSN();
  PeerWrite(SimFrame{0x4242, 84, false, QByteArray(3 * TransHeader::kMaxBody, 'k')}.encode() +
            SimFrame{0x4343, 8, true, R"({"SN":1})"}.encode() + SimFrame{9, 80, false, R"({"Reason":1})"}.encode());
  ASSERT_TRUE(WaitFor([this] { return received_.size() == 2; }));
  Settle(50);
  EXPECT_EQ(received_[0].act, 8);
  EXPECT_EQ(received_[1].act, 80);
  EXPECT_EQ(received_[1].body, R"({"Reason":1})");
  EXPECT_TRUE(notes_.empty());
  EXPECT_EQ(socket_->state(), QAbstractSocket::ConnectedState);
  EXPECT_EQ(socket_->rspSN(), 9);
  EXPECT_EQ(socket_->reqSN(), static_cast<quint16>(reqSn + 1));
  int lines = 0;
  for (const RecordingLog::Line& line : log.Lines()) lines += line.text.rfind("act 84: body of ", 0) == 0 ? 1 : 0;
  EXPECT_EQ(lines, 1);
}

TEST_F(TransSocketTest, NewConnectionDropsHalfAMessageOfTheOldOne) {
  const QByteArray old = SimFrame{1, 84, false, R"({"MaxWidth":640})"}.encode();
  PeerWrite(old.left(20));
  ASSERT_TRUE(WaitFor([this] { return socket_->bytesAvailable() == 0; }));
  Settle(50);
  ConnectPeer();
  PeerWrite(SimFrame{2, 83, false, {}}.encode());
  ASSERT_TRUE(WaitFor([this] { return !received_.empty(); }));
  Settle(50);
  ASSERT_EQ(received_.size(), 1u);
  EXPECT_EQ(received_[0].act, 83);
  EXPECT_EQ(received_[0].sn, 2);
}

TEST_F(TransSocketTest, PeerCloseIsReported) {
  peer_->disconnectFromHost();
  ASSERT_TRUE(WaitFor([this] { return Count(SNTY_DISCONNECTED) == 1; }));
}

TEST_F(TransSocketTest, DirectDisconnectLeavesItUnconnected) {
  socket_->directDisconnect();
  EXPECT_EQ(socket_->state(), QAbstractSocket::UnconnectedState);
  socket_->directDisconnect();  // already unconnected: nothing to do
  EXPECT_EQ(socket_->state(), QAbstractSocket::UnconnectedState);
}

TEST(TransSocketConnect, RefusedConnectReportsConnectFailed) {
  quint16 port = 0;
  {
    // A port that was just free: nothing listens there afterwards.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    port = probe.serverPort();
  }
  TransSocket socket(nullptr);
  std::vector<SOCKET_NTY> notes;
  QObject::connect(&socket, &TransSocket::s_socketNfy, &socket, [&](SOCKET_NTY nty) { notes.push_back(nty); });
  socket.connectTo(QStringLiteral("127.0.0.1"), port);
  EXPECT_EQ(socket.state(), QAbstractSocket::UnconnectedState);
  ASSERT_FALSE(notes.empty());
  for (SOCKET_NTY nty : notes) EXPECT_EQ(nty, SNTY_CONNECT_FAILED);
}

}  // namespace
