#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <optional>

#include "App.h"
#include "DlgConnBox.h"
#include "EventWait.h"
#include "FWIniDatFile.h"
#include "FakeSdk.h"
#include "PageFixture.h"
#include "RowName.h"

namespace {

using namespace CORVANESDK;
using fakesdk::Call;

MEETING_BOX_INFO Typed() {
  MEETING_BOX_INFO box;
  box.ip = "10.1.1.1";
  box.port = 5625;
  box.dispName = "10.1.1.1";
  return box;
}

class DlgConnBoxTest : public PageFixture {
 protected:
  void Open(const MEETING_BOX_INFO& box, bool autoClose = false) {
    dialog_ = std::make_unique<DlgConnBox>(box, nullptr);
    dialog_->setAutoCloseOnFail(autoClose);
    finished_ = std::make_unique<QSignalSpy>(dialog_.get(), &QDialog::finished);
    dialog_->open();
  }
  void TearDown() override {
    dialog_.reset();
    PageFixture::TearDown();
  }
  QString page() const { return dialog_->findChild<QStackedWidget*>("stackedWidget")->currentWidget()->objectName(); }
  QString failText() const { return dialog_->findChild<QLabel*>("fail_label")->text(); }
  QLineEdit* code() const { return dialog_->findChild<QLineEdit*>("codeEdit"); }
  bool WaitPage(const char* name) { return WaitFor([&] { return page() == name; }); }
  bool WaitClosed() { return WaitFor([&] { return finished_->count() > 0; }); }
  QString setting(const char* key) { return FWIniDatFile::instance().getString(key, "CFG"); }

  std::unique_ptr<DlgConnBox> dialog_;
  std::unique_ptr<QSignalSpy> finished_;
};

TEST_F(DlgConnBoxTest, ABoxWithoutCodeClosesTheDialogAndIsRemembered) {
  fakesdk::ScriptConnectAccepted();
  Open(ListedBox());
  EXPECT_EQ(page(), "page_connecting");
  EXPECT_TRUE(dialog_->findChild<QLabel*>("labInfo")->text().contains("Room 5 - connecting, please wait..."));
  ASSERT_TRUE(WaitClosed());
  const auto connects = fakesdk::RequestsOf(Call::ConnectBox);
  ASSERT_EQ(connects.size(), 1u);
  EXPECT_EQ(connects[0].box.boxID, "box-1");
  EXPECT_EQ(connects[0].box.ip, "10.0.0.5");
  EXPECT_EQ(setting("LastBoxInfo"), "box-1");
  EXPECT_EQ(setting("LastUserAddIp"), "");
}

TEST_F(DlgConnBoxTest, ACodeIsSentAndATypedAddressRemembered) {
  fakesdk::ScriptConnectNeedsCode();
  fakesdk::ScriptCodeAccepted();
  Open(Typed());
  ASSERT_TRUE(WaitPage("page_inputcode"));
  QTest::keyClicks(code(), "4711");
  dialog_->findChild<QPushButton*>("sureBtn")->click();
  ASSERT_TRUE(WaitClosed());
  const auto checks = fakesdk::RequestsOf(Call::CheckConnect);
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_EQ(checks[0].code, "4711");
  EXPECT_EQ(setting("LastUserAddIp"), "10.1.1.1");
}

TEST_F(DlgConnBoxTest, AnEmptyCodeIsNotSent) {
  fakesdk::ScriptConnectNeedsCode();
  Open(ListedBox());
  ASSERT_TRUE(WaitPage("page_inputcode"));
  const QStringList notices = AnswerModals([&] { dialog_->findChild<QPushButton*>("sureBtn")->click(); });
  ASSERT_EQ(notices.size(), 1);
  EXPECT_TRUE(notices[0].contains("connect code can't be empty!")) << notices[0].toStdString();
  EXPECT_EQ(page(), "page_inputcode");
  EXPECT_TRUE(fakesdk::RequestsOf(Call::CheckConnect).empty());
}

TEST_F(DlgConnBoxTest, AWrongCodeThenReConnGivesAnEmptyField) {
  fakesdk::ScriptConnectNeedsCode();
  fakesdk::ScriptCodeRejected();
  fakesdk::ScriptConnectNeedsCode();
  Open(ListedBox());
  ASSERT_TRUE(WaitPage("page_inputcode"));
  QTest::keyClicks(code(), "0000");
  dialog_->findChild<QPushButton*>("sureBtn")->click();
  ASSERT_TRUE(WaitPage("page_fail"));
  EXPECT_EQ(failText(), "connect with Room 5 fail(connect code error!)");
  dialog_->findChild<QToolButton*>("reConnBtn")->click();
  ASSERT_TRUE(WaitPage("page_inputcode"));
  EXPECT_EQ(code()->text(), "");
  EXPECT_EQ(fakesdk::RequestsOf(Call::ConnectBox).size(), 2u);
}

TEST_F(DlgConnBoxTest, AnUnreachableBoxShowsReason66AndAFailureWithoutReasonTheSdkText) {
  fakesdk::ScriptConnectUnreachable();
  Open(ListedBox());
  ASSERT_TRUE(WaitPage("page_fail"));
  EXPECT_EQ(failText(), "connect with Room 5 fail(failed to establish connection!)");
  EXPECT_EQ(finished_->count(), 0);
  fakesdk::Notify(CVNTY_CONNECT_FAILED, {{"RspCode", "9"}});
  ASSERT_TRUE(WaitFor([&] { return failText().contains("param error"); }));
}

TEST_F(DlgConnBoxTest, AutoCloseEndsAFailureButNotAWrongCode) {
  fakesdk::ScriptConnectUnreachable();
  Open(ListedBox(), true);
  ASSERT_TRUE(WaitClosed());

  fakesdk::Reset();
  fakesdk::ScriptConnectNeedsCode();
  fakesdk::ScriptCodeRejected();
  Open(ListedBox(), true);
  ASSERT_TRUE(WaitPage("page_inputcode"));
  QTest::keyClicks(code(), "1");
  dialog_->findChild<QPushButton*>("sureBtn")->click();
  ASSERT_TRUE(WaitPage("page_fail"));
  Settle(100);
  EXPECT_EQ(finished_->count(), 0);
}

struct CloseCase {
  const char* name;
  int state;
  const char* answer;  // nullptr: no question expected
  bool closes;
  std::optional<Call> request;
  // How the close is asked: the Leave button, Escape or the window manager.
  enum Way { Leave, Escape, WindowManager } way;
};

const CloseCase kCloses[] = {
    {"IdleClosesAtOnce", CVSTATE_IDLE, nullptr, true, std::nullopt, CloseCase::Leave},
    {"ConnectedClosesAtOnce", CVSTATE_CONNECTED, nullptr, true, std::nullopt, CloseCase::Leave},
    {"ConnectingYesDisconnects", CVSTATE_CONNECTING, "Yes", true, Call::DisconnectBox, CloseCase::Leave},
    {"RequestingYesDisconnects", CVSTATE_REQUESTING, "Yes", true, Call::DisconnectBox, CloseCase::Leave},
    {"WaitingCodeYesCancels", CVSTATE_WAIT_CONNCODE, "Yes", true, Call::CancelConnect, CloseCase::Leave},
    {"ConnectingNoStays", CVSTATE_CONNECTING, "No", false, std::nullopt, CloseCase::Leave},
    {"EscapeWhileConnectingAsks", CVSTATE_CONNECTING, "No", false, std::nullopt, CloseCase::Escape},
    {"EscapeYesDisconnects", CVSTATE_REQUESTING, "Yes", true, Call::DisconnectBox, CloseCase::Escape},
    {"WindowManagerCloseAsks", CVSTATE_WAIT_CONNCODE, "No", false, std::nullopt, CloseCase::WindowManager},
    {"WindowManagerYesCancels", CVSTATE_WAIT_CONNCODE, "Yes", true, Call::CancelConnect, CloseCase::WindowManager},
};

class DlgConnBoxCloseTest : public DlgConnBoxTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(DlgConnBoxCloseTest, AsksWhileConnecting) {
  const CloseCase& c = GetParam();
  Open(ListedBox());
  ASSERT_TRUE(WaitFor([] { return !fakesdk::RequestsOf(Call::ConnectBox).empty(); }));
  fakesdk::SetState(c.state);
  const QStringList questions = AnswerModals(
      [&] {
        switch (c.way) {
          case CloseCase::Leave: dialog_->slot_close(); break;
          case CloseCase::Escape: QTest::keyClick(dialog_.get(), Qt::Key_Escape); break;
          case CloseCase::WindowManager: dialog_->close(); break;
        }
      },
      c.answer ? QString::fromLatin1(c.answer) : QString());
  EXPECT_EQ(questions.size(), c.answer ? 1 : 0);
  if (c.answer) {
    EXPECT_TRUE(questions.value(0).contains("you are connecting box, do you still want to close?"));
  }
  Settle(20);
  EXPECT_EQ(finished_->count(), c.closes ? 1 : 0);
  EXPECT_EQ(dialog_->isVisible(), !c.closes);
  const std::vector<Call> calls = fakesdk::Calls();
  EXPECT_EQ(calls.back(), c.request.value_or(Call::ConnectBox));
}

INSTANTIATE_TEST_SUITE_P(States, DlgConnBoxCloseTest, ::testing::ValuesIn(kCloses), RowName());

}  // namespace
