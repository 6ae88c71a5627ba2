// The search page against a simulated box on the far end of a veth pair. Runs
// only under run-in-netns.sh: every search is a broadcast.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QSignalSpy>

#include <cstdlib>
#include <string>

#include "BoxList.h"
#include "BoxListItem.h"
#include "BoxListWnd.h"
#include "BoxMgr.h"
#include "BoxSearchCallBackImpl.h"
#include "EventWait.h"
#include "NetnsSocket.h"
#include "QtTestMain.h"
#include "SimBox.h"

namespace {

using namespace CORVANESDK;

TEST(PageDiscovery, ABoxAnsweringWithAndWithoutIdGivesTwoTilesAndOneClickOneDialog) {
  ASSERT_EQ(NamespaceProblem(), "");
  SimBoxConfig config;
  config.dispName = QStringLiteral("Room A");
  config.boxId = QStringLiteral("A-1");
  SimDiscoveryReply withoutId;
  withoutId.kind = SimDiscoveryReply::Kind::RawBody;
  withoutId.rawBody = R"({"DispName":"Room A, no id"})";
  config.discoveryReplies = {SimDiscoveryReply(), withoutId};
  std::string error;
  const int fd = UdpSocketInNamespace(std::getenv("CORVANE_NETNS_BOX"), BoxMgr::kSearchPort, &error);
  ASSERT_GE(fd, 0) << error;
  SimBox box(config);
  ASSERT_TRUE(box.adoptDiscoverySocket(fd));

  BoxListWnd page;
  page.setAllowClickDelayForTest(2000);
  page.slot_search();
  auto* grid = page.findChild<BoxList*>("boxListW")->findChild<QGridLayout*>("gridLayout");
  ASSERT_TRUE(WaitFor([&] { return grid->count() >= 2; }, 5000));
  Settle(300);
  ASSERT_EQ(grid->count(), 2);

  BoxListItem* noId = nullptr;
  for (int i = 0; i < grid->count(); ++i) {
    auto* tile = qobject_cast<BoxListItem*>(grid->itemAt(i)->widget());
    if (tile->box().boxID.isEmpty()) noId = tile;
  }
  ASSERT_NE(noId, nullptr);
  QSignalSpy dialogs(&page, &BoxListWnd::s_connectBox);
  emit noId->findChild<QLabel*>("enter_label")->linkActivated("1");
  Settle(200);
  ASSERT_EQ(dialogs.count(), 1);
  const auto chosen = dialogs[0][0].value<MEETING_BOX_INFO>();
  EXPECT_EQ(chosen.dispName, "Room A, no id");
  EXPECT_EQ(chosen.ip, "10.77.0.2");
}

}  // namespace

const TestProgramHooks kHooks([] {
  GetCorvaneSDK().init(nullptr, nullptr);
  GetBoxSearchEngine().setCallBack(&CBoxSearchCallBackImpl::instance());
  return true;
});
