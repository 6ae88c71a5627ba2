// Box discovery against simulated boxes on the far end of a veth pair. Runs
// only under run-in-netns.sh: every search is a broadcast.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <QUdpSocket>

#include "BoxMgr.h"
#include "EventWait.h"
#include "JsonHelpers.h"
#include "NetnsSocket.h"
#include "SimBox.h"
#include "SimFrame.h"

using namespace CORVANESDK;

namespace {

class Collector : public IBoxSearchCallBack {
 public:
  void onBoxJoin(const BOX_INFO& box) override { boxes.push_back(box); }
  std::vector<BOX_INFO> boxes;
};

class Discovery : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string problem = NamespaceProblem();
    ASSERT_EQ(problem, "");
    mgr_.setCallBack(&collector_);
  }

  SimBox* AddBox(const SimBoxConfig& config) {
    std::string error;
    const int fd = UdpSocketInNamespace(std::getenv("CORVANE_NETNS_BOX"), BoxMgr::kSearchPort, &error);
    EXPECT_GE(fd, 0) << error;
    if (fd < 0) return nullptr;
    boxes_.push_back(std::make_unique<SimBox>(config));
    EXPECT_TRUE(boxes_.back()->adoptDiscoverySocket(fd));
    return boxes_.back().get();
  }

  // Waits for the expected number of calls, then a little longer so that an
  // extra call would show too.
  void ExpectCalls(size_t count) {
    EXPECT_TRUE(WaitFor([&] { return collector_.boxes.size() >= count; }))
        << collector_.boxes.size() << " of " << count << " calls arrived";
    Settle(300);
    ASSERT_EQ(collector_.boxes.size(), count);
  }

  static SimBoxConfig Config(const char* name, const char* id) {
    SimBoxConfig config;
    config.dispName = QString::fromUtf8(name);
    config.boxId = QString::fromUtf8(id);
    return config;
  }

  Collector collector_;
  std::vector<std::unique_ptr<SimBox>> boxes_;
  BoxMgr mgr_;
};

TEST_F(Discovery, TwoBoxesGiveTwoCalls) {
  SimBoxConfig first = Config("Room A", "A-1");
  first.extraKeys.insert(QStringLiteral("Model"), QStringLiteral("X2"));
  ASSERT_NE(AddBox(first), nullptr);
  ASSERT_NE(AddBox(Config("Raum S\xC3\xBC" "d", "B-1")), nullptr);
  mgr_.search();
  ExpectCalls(2);
  std::sort(collector_.boxes.begin(), collector_.boxes.end(),
            [](const BOX_INFO& a, const BOX_INFO& b) { return a.boxID < b.boxID; });
  const BOX_INFO& a = collector_.boxes[0];
  EXPECT_EQ(a.boxID, "A-1");
  EXPECT_EQ(a.dispName, "Room A");
  EXPECT_EQ(a.ip, "10.77.0.2");
  EXPECT_EQ(a.port, 5625);
  EXPECT_EQ(a.attrs.at("Model"), "X2");
  EXPECT_EQ(a.attrs.size(), 3u);
  const BOX_INFO& b = collector_.boxes[1];
  EXPECT_EQ(b.boxID, "B-1");
  EXPECT_EQ(b.dispName, "Raum S\xC3\xBC" "d");
  EXPECT_EQ(b.ip, "10.77.0.2");
}

TEST_F(Discovery, BoxAnsweringTwiceGivesTwoCalls) {
  SimBoxConfig config = Config("Room A", "A-1");
  config.discoveryReplies = {SimDiscoveryReply(), SimDiscoveryReply()};
  ASSERT_NE(AddBox(config), nullptr);
  mgr_.search();
  ExpectCalls(2);
  EXPECT_EQ(collector_.boxes[0].boxID, "A-1");
  EXPECT_EQ(collector_.boxes[1].boxID, "A-1");
}

TEST_F(Discovery, NonJsonAnswerGivesACallWithEmptyFields) {
  SimBoxConfig config = Config("Room A", "A-1");
  config.discoveryReplies = {{SimDiscoveryReply::Kind::RawBody, "DispName=Room A"}};
  ASSERT_NE(AddBox(config), nullptr);
  mgr_.search();
  ExpectCalls(1);
  const BOX_INFO& box = collector_.boxes[0];
  EXPECT_EQ(box.boxID, "");
  EXPECT_EQ(box.dispName, "");
  EXPECT_TRUE(box.attrs.empty());
  EXPECT_EQ(box.ip, "10.77.0.2");
  EXPECT_EQ(box.port, 5625);
}

TEST_F(Discovery, OwnBroadcastIsSkippedAndHidesNoLaterAnswer) {
  SimBoxConfig config = Config("Room A", "A-1");
  // The request comes back first, as a PC hears its own broadcast, and an
  // answer is queued right behind it.
  config.discoveryReplies = {{SimDiscoveryReply::Kind::EchoRequest, {}}, SimDiscoveryReply()};
  ASSERT_NE(AddBox(config), nullptr);
  mgr_.search();
  ExpectCalls(1);
  EXPECT_EQ(collector_.boxes[0].boxID, "A-1");
}

TEST_F(Discovery, NonAnswerDoesNotEndTheReadingPass) {
  mgr_.search();
  std::string error;
  ScopedFd fromBox(UdpSocketInNamespace(std::getenv("CORVANE_NETNS_BOX"), 0, &error));
  ASSERT_GE(fromBox.get(), 0) << error;
  QUdpSocket probe;
  ASSERT_TRUE(probe.bind(QHostAddress(QStringLiteral("10.77.0.1")), 0));
  // Both datagrams wait in the search socket before it reads once. The probe
  // goes out last on the same path: once it is in, so are they.
  ASSERT_TRUE(SendDatagram(fromBox.get(), SimFrame{1, 1, false, {}}.encode(), "10.77.0.1", BoxMgr::kSearchPort));
  ASSERT_TRUE(SendDatagram(fromBox.get(), SimFrame{1, 1, true, R"({"BoxID":"A-1"})"}.encode(), "10.77.0.1",
                           BoxMgr::kSearchPort));
  ASSERT_TRUE(SendDatagram(fromBox.get(), "probe", "10.77.0.1", probe.localPort()));
  ASSERT_TRUE(probe.waitForReadyRead(2000));
  ASSERT_TRUE(QMetaObject::invokeMethod(&mgr_, "slot_readyRead", Qt::DirectConnection));
  ASSERT_EQ(collector_.boxes.size(), 1u);
  EXPECT_EQ(collector_.boxes[0].boxID, "A-1");
}

TEST_F(Discovery, EachSearchSendsOneTwelveByteRequestWithTheNextSn) {
  SimBox* box = AddBox(Config("Room A", "A-1"));
  ASSERT_NE(box, nullptr);
  const quint16 firstSn = mgr_.searchSN();
  mgr_.search();
  ASSERT_TRUE(WaitFor([&] { return box->discoveryRequests().size() == 1; }));
  mgr_.search();
  ASSERT_TRUE(WaitFor([&] { return box->discoveryRequests().size() == 2; }));
  ExpectCalls(2);
  for (int i = 0; i < 2; ++i) {
    const quint16 sn = static_cast<quint16>(firstSn + i);
    QByteArray expected = QByteArray::fromHex("656E615600000000");
    expected.append(static_cast<char>(sn & 0xFF)).append(static_cast<char>(sn >> 8)).append("\x01\x00", 2);
    EXPECT_EQ(box->discoveryRequests()[i].toHex().toStdString(), expected.toHex().toStdString()) << "search " << i;
  }
  EXPECT_EQ(mgr_.searchSN(), static_cast<quint16>(firstSn + 2));
}

TEST(DiscoveryAddresses, BroadcastNicAndLocalAddress) {
  ASSERT_EQ(NamespaceProblem(), "");
  // The search binds the first IPv4 address of the broadcast-capable link...
  EXPECT_EQ(BoxMgr::getBroadcastNicIp().toStdString(), "10.77.0.1");
  // ...while the local address text is the last one of the first adapter.
  char out[kLocalIPv4Size];
  GetLocalIPv4(out);
  EXPECT_STREQ(out, "10.77.0.11");
}

}  // namespace
