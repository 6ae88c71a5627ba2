#include <gtest/gtest.h>

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include "App.h"
#include "BoxListWnd.h"
#include "BoxSearchCallBackImpl.h"
#include "DlgConnBox.h"
#include "EventWait.h"
#include "FWIniDatFile.h"
#include "QtTestMain.h"
#include "SimBox.h"
#include "TransCtrlCallBackImpl.h"

namespace {

using namespace CORVANESDK;

constexpr int kSessionId = 4711;

void Answer(SimBox& box, int act, const QByteArray& body) {
  box.config().actReplies[act] = {SimActReply{SimActReply::Kind::Answer, body, -1}};
}

TEST(LoopbackTest, TypedAddressWithACodeConnectsAndIsRemembered) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  FWIniDatFile::instance().setFile(dir.filePath("UserCfg.ini"));
  SimBox box(SimBoxConfig{});
  // Any free port: a box's own 5625 may be taken on a shared machine.
  ASSERT_TRUE(box.listen(QHostAddress::LocalHost, 0));
  Answer(box, 2, SimAnswer::Connected(kSessionId, 1));
  Answer(box, 4, SimAnswer::Code(0));
  Answer(box, 8, R"({"SN":1})");
  Answer(box, 7, "{}");

  BoxListWnd page;
  QSignalSpy chosen(&page, &BoxListWnd::s_connectBox);
  page.findChild<QLineEdit*>("edit_ip")->setText("127.0.0.1");
  page.slot_userAdd();
  ASSERT_EQ(chosen.count(), 1);
  MEETING_BOX_INFO typed = chosen[0][0].value<MEETING_BOX_INFO>();
  EXPECT_EQ(typed.port, 5625);
  typed.port = box.tcpPort();

  DlgConnBox dialog(typed, nullptr);
  QSignalSpy finished(&dialog, &QDialog::finished);
  dialog.open();
  auto* stack = dialog.findChild<QStackedWidget*>("stackedWidget");
  ASSERT_TRUE(WaitFor([&] { return stack->currentWidget()->objectName() == "page_inputcode"; }, 10000));
  QTest::keyClicks(dialog.findChild<QLineEdit*>("codeEdit"), "2468");
  dialog.findChild<QPushButton*>("sureBtn")->click();
  ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }, 10000));

  EXPECT_EQ(GetTransCtrlEngine().getState(), CVSTATE_CONNECTED);
  EXPECT_EQ(theApp.lastUserAddIp(), "127.0.0.1");
  const QList<SimFrame> checks = box.commandsWithAct(4);
  ASSERT_EQ(checks.size(), 1);
  const QJsonObject body = QJsonDocument::fromJson(checks[0].body).object();
  EXPECT_EQ(body.value("ConnCode").toString(), "2468");
  EXPECT_EQ(body.value("SessionID").toInt(), kSessionId);

  GetTransCtrlEngine().disconnectBox();
  EXPECT_TRUE(WaitFor([] { return GetTransCtrlEngine().getState() == CVSTATE_IDLE; }, 10000));
}

}  // namespace

// The SDK wired to the client's adapters, as start-up wires it.
const TestProgramHooks kHooks([] {
  GetCorvaneSDK().init(nullptr, &FWIniDatFile::instance());
  GetBoxSearchEngine().setCallBack(&CBoxSearchCallBackImpl::instance());
  GetTransCtrlEngine().setCallBack(&CTransCtrlCallBackImpl::instance());
  return true;
});
