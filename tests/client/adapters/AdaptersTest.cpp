#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <vector>

#include "BoxSearchCallBackImpl.h"
#include "EventWait.h"
#include "FakeSdk.h"
#include "TransCtrlCallBackImpl.h"

namespace {

using namespace CORVANESDK;

class AdaptersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakesdk::Reset();
    GetBoxSearchEngine().setCallBack(&CBoxSearchCallBackImpl::instance());
    GetTransCtrlEngine().setCallBack(&CTransCtrlCallBackImpl::instance());
  }
  void TearDown() override {
    ASSERT_TRUE(fakesdk::WaitForNotifications());
    QObject::disconnect(&CBoxSearchCallBackImpl::instance(), nullptr, nullptr, nullptr);
    QObject::disconnect(&CTransCtrlCallBackImpl::instance(), nullptr, nullptr, nullptr);
  }
};

TEST_F(AdaptersTest, BoxJoinArrivesInsideTheCallWithNonAsciiTexts) {
  BOX_INFO box = fakesdk::MakeBox("id-7", "192.168.5.9", "会议室 Zürich");
  box.attrs["Location"] = "三楼";
  std::vector<MEETING_BOX_INFO> joined;
  QObject context;
  QObject::connect(&CBoxSearchCallBackImpl::instance(), &CBoxSearchCallBackImpl::s_boxJoin, &context,
                   [&](const MEETING_BOX_INFO& b) { joined.push_back(b); });
  fakesdk::DeliverBoxJoin(box);
  ASSERT_EQ(joined.size(), 1u);  // no event loop ran
  EXPECT_EQ(joined[0].boxID, "id-7");
  EXPECT_EQ(joined[0].ip, "192.168.5.9");
  EXPECT_EQ(joined[0].port, 5625);
  EXPECT_EQ(joined[0].dispName, QStringLiteral("会议室 Zürich"));
  EXPECT_EQ(joined[0].attrs.value("Location"), QStringLiteral("三楼"));
  EXPECT_EQ(joined[0].attrs.value("DispName"), QStringLiteral("会议室 Zürich"));
}

TEST_F(AdaptersTest, NotificationsCrossToTheGuiThreadWithNonAsciiValues) {
  std::atomic<bool> emittedElsewhere{false};
  QObject direct;
  QObject::connect(
      &CTransCtrlCallBackImpl::instance(), &CTransCtrlCallBackImpl::ss_netNfy, &direct,
      [&](NET_NOTIFY, const QMap<QString, QString>&) {
        emittedElsewhere = QThread::currentThread() != qApp->thread();
      },
      Qt::DirectConnection);
  std::vector<std::pair<NET_NOTIFY, QMap<QString, QString>>> received;
  QThread* receivedOn = nullptr;
  QObject context;
  QObject::connect(&CTransCtrlCallBackImpl::instance(), &CTransCtrlCallBackImpl::ss_netNfy, &context,
                   [&](NET_NOTIFY nty, const QMap<QString, QString>& params) {
                     received.emplace_back(nty, params);
                     receivedOn = QThread::currentThread();
                   });
  fakesdk::Notify(CVNTY_DISCONNECTED, {{"Reason", "67"}, {"Note", "连接断开 ü"}, {"Schlüssel", "値"}});
  ASSERT_TRUE(WaitFor([&] { return !received.empty(); }));
  EXPECT_TRUE(emittedElsewhere);
  EXPECT_EQ(receivedOn, qApp->thread());
  EXPECT_EQ(received[0].first, CVNTY_DISCONNECTED);
  const QMap<QString, QString> expected{{"Reason", "67"},
                                        {"Note", QStringLiteral("连接断开 ü")},
                                        {QStringLiteral("Schlüssel"), QStringLiteral("値")}};
  EXPECT_EQ(received[0].second, expected);
}

TEST_F(AdaptersTest, BackToBackNotificationsKeepTheirOrder) {
  std::vector<int> order;
  QObject context;
  QObject::connect(&CTransCtrlCallBackImpl::instance(), &CTransCtrlCallBackImpl::ss_netNfy, &context,
                   [&](NET_NOTIFY nty, const QMap<QString, QString>& params) {
                     order.push_back(static_cast<int>(nty) * 1000 + params.value("N").toInt());
                   });
  std::vector<int> sent;
  const NET_NOTIFY codes[] = {CVNTY_CONNECTED, CVNTY_ENC_PARAM_CHANGED, CVNTY_SHARE_STARTED, CVNTY_DISCONNECTED};
  for (int n = 0; n < 200; ++n) {
    const NET_NOTIFY code = codes[n % 4];
    fakesdk::Notify(code, {{"N", std::to_string(n)}});
    sent.push_back(static_cast<int>(code) * 1000 + n);
  }
  ASSERT_TRUE(WaitFor([&] { return order.size() == sent.size(); }));
  EXPECT_EQ(order, sent);
}

TEST_F(AdaptersTest, SearchAnswersComeThroughTheEventLoop) {
  std::vector<QString> names;
  QObject context;
  QObject::connect(&CBoxSearchCallBackImpl::instance(), &CBoxSearchCallBackImpl::s_boxJoin, &context,
                   [&](const MEETING_BOX_INFO& b) { names.push_back(b.dispName); });
  fakesdk::ScriptSearch({fakesdk::MakeBox("a", "10.0.0.1", "A"), fakesdk::MakeBox("", "10.0.0.2", "B")});
  GetBoxSearchEngine().search();
  EXPECT_TRUE(names.empty());
  ASSERT_TRUE(WaitFor([&] { return names.size() == 2; }));
  EXPECT_EQ(names, (std::vector<QString>{"A", "B"}));
}

}  // namespace
