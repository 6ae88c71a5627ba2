#include <QEventLoop>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

#include "App.h"
#include "BoxList.h"
#include "BoxListItem.h"
#include "BoxListWnd.h"
#include "EventWait.h"
#include "FakeSdk.h"
#include "PageFixture.h"
#include "RowName.h"

namespace {

using CORVANESDK::MEETING_BOX_INFO;

class BoxListWndTest : public PageFixture {
 protected:
  void SetUp() override {
    PageFixture::SetUp();
    page_ = std::make_unique<BoxListWnd>();
    page_->setAllowClickDelayForTest(50);
  }
  void TearDown() override {
    page_.reset();
    PageFixture::TearDown();
  }

  QString pageShown() const { return page_->findChild<QStackedWidget*>("stackedWidget")->currentWidget()->objectName(); }
  bool controlsEnabled() const {
    return page_->findChild<QPushButton*>("refresh")->isEnabled() &&
           page_->findChild<QPushButton*>("btn_useradd")->isEnabled();
  }
  // Tiles still in the grid, in grid order.
  std::vector<BoxListItem*> tiles() const {
    std::vector<BoxListItem*> result;
    auto* grid = page_->findChild<BoxList*>("boxListW")->findChild<QGridLayout*>("gridLayout");
    for (int i = 0; i < grid->count(); ++i) result.push_back(qobject_cast<BoxListItem*>(grid->itemAt(i)->widget()));
    return result;
  }
  static void Click(BoxListItem* tile) { emit tile->findChild<QLabel*>("enter_label")->linkActivated("1"); }
  // A real click on the link, so that the label's own mouse handling is on
  // the stack below whatever the click starts.
  bool ClickLink(BoxListItem* tile) {
    page_->resize(540, 434);
    page_->show();
    if (!QTest::qWaitForWindowExposed(page_.get())) return false;
    tile->setHovered(true);
    auto* label = tile->findChild<QLabel*>("enter_label");
    QTest::qWait(20);
    const QPoint onLink(label->width() - 4, label->height() / 2);
    QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, onLink);
    QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, onLink);
    return true;
  }

  std::unique_ptr<BoxListWnd> page_;
};

TEST_F(BoxListWndTest, StartsSearchingWithControlsDisabledAndNoSearchOfItsOwn) {
  EXPECT_EQ(pageShown(), "searching");
  EXPECT_FALSE(controlsEnabled());
  EXPECT_TRUE(fakesdk::Calls().empty());
  EXPECT_EQ(page_->findChild<QLineEdit*>("edit_ip")->text(), QString());
}

TEST_F(BoxListWndTest, PrefillsTheLastTypedAddress) {
  theApp.saveLastUserAddIp("10.9.8.7");
  BoxListWnd page;
  EXPECT_EQ(page.findChild<QLineEdit*>("edit_ip")->text(), "10.9.8.7");
}

TEST_F(BoxListWndTest, DuplicateIdsAreListedOnceEmptyIdsAlways) {
  page_->slot_search();
  fakesdk::DeliverBoxJoin(fakesdk::MakeBox("x", "10.0.0.1", "X"));
  fakesdk::DeliverBoxJoin(fakesdk::MakeBox("x", "10.0.0.1", "X again"));
  fakesdk::DeliverBoxJoin(fakesdk::MakeBox("", "10.0.0.2", "typed-like one"));
  fakesdk::DeliverBoxJoin(fakesdk::MakeBox("", "10.0.0.3", "typed-like two"));
  EXPECT_EQ(page_->boxes().size(), 3);
  ASSERT_EQ(tiles().size(), 3u);
  EXPECT_EQ(tiles()[0]->findChild<QLabel*>("name_label")->text(), "X");
  EXPECT_EQ(pageShown(), "searchRst");
  EXPECT_FALSE(page_->hasBox(""));
  EXPECT_TRUE(page_->hasBox("x"));
}

TEST_F(BoxListWndTest, RowsAlternateSingleAndDouble) {
  for (int n = 0; n < 6; ++n)
    page_->slot_join([&] {
      MEETING_BOX_INFO box;
      box.boxID = QString::number(n);
      box.dispName = QStringLiteral("Box %1").arg(n);
      return box;
    }());
  const std::vector<BoxListItem*> all = tiles();
  ASSERT_EQ(all.size(), 6u);
  const char* names[] = {"item_single", "item_single", "item_double", "item_double", "item_single", "item_single"};
  auto* grid = page_->findChild<BoxList*>("boxListW")->findChild<QGridLayout*>("gridLayout");
  for (int n = 0; n < 6; ++n) {
    EXPECT_EQ(all[n]->objectName(), names[n]) << n;
    int row, column, rowSpan, columnSpan;
    grid->getItemPosition(n, &row, &column, &rowSpan, &columnSpan);
    EXPECT_EQ(row, n / 2);
    EXPECT_EQ(column, n % 2);
    EXPECT_EQ(grid->itemAt(n)->alignment(), n % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
  }
}

TEST_F(BoxListWndTest, NoAnswerShowsTheNoBoxPageAndALateAnswerTheList) {
  page_->slot_search();
  EXPECT_EQ(fakesdk::Calls(), std::vector<fakesdk::Call>{fakesdk::Call::Search});
  EXPECT_EQ(pageShown(), "searching");
  EXPECT_FALSE(controlsEnabled());
  ASSERT_TRUE(WaitFor([&] { return pageShown() == "search_nodata"; }));
  EXPECT_TRUE(controlsEnabled());
  fakesdk::DeliverBoxJoin(fakesdk::MakeBox("late", "10.0.0.9", "Late"));
  EXPECT_EQ(pageShown(), "searchRst");
  EXPECT_EQ(tiles().size(), 1u);
}

TEST_F(BoxListWndTest, AnAnswerInTimeKeepsTheListAndRefreshStartsAnew) {
  fakesdk::ScriptSearch({fakesdk::MakeBox("a", "10.0.0.1", "A")});
  page_->findChild<QPushButton*>("reSearch")->click();
  ASSERT_TRUE(WaitFor([&] { return controlsEnabled(); }));
  EXPECT_EQ(pageShown(), "searchRst");
  page_->findChild<QPushButton*>("refresh")->click();
  EXPECT_TRUE(page_->boxes().isEmpty());
  EXPECT_EQ(pageShown(), "searching");
  EXPECT_EQ(fakesdk::RequestsOf(fakesdk::Call::Search).size(), 2u);
}

// The real delay once: the buttons stay disabled until the search is a second old.
TEST_F(BoxListWndTest, RealDelayKeepsRefreshDisabledForASecond) {
  BoxListWnd page;
  page.slot_search();
  Settle(300);
  EXPECT_FALSE(page.findChild<QPushButton*>("refresh")->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return page.findChild<QPushButton*>("refresh")->isEnabled(); }, 3000));
}

struct EntryCase {
  const char* name;
  const char* typed;
  const char* ip;  // nullptr: refused with the notice
};

const EntryCase kEntries[] = {
    {"Plain", "192.168.1.10", "192.168.1.10"},
    {"LeadingZerosAreDecimal", "010.1.1.1", "10.1.1.1"},
    {"ZeroPadded", "192.168.001.010", "192.168.1.10"},
    {"Broadcast", "255.255.255.255", "255.255.255.255"},
    {"OctetTooLarge", "256.1.1.1", nullptr},
    {"ThreeParts", "1.2.3", nullptr},
    {"TrailingDot", "1.2.3.4.", nullptr},
    {"LeadingSpace", " 1.2.3.4", nullptr},
    {"TrailingSpace", "1.2.3.4 ", nullptr},
    {"FourDigits", "1.2.3.0004", nullptr},
    {"Name", "box.local", nullptr},
};

class ManualEntryTest : public BoxListWndTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(ManualEntryTest, ConnectsToTheDecimalReadingOrRefuses) {
  QSignalSpy connects(page_.get(), &BoxListWnd::s_connectBox);
  page_->findChild<QLineEdit*>("edit_ip")->setText(GetParam().typed);
  const QStringList notices = AnswerModals([&] { page_->slot_userAdd(); });
  EXPECT_EQ(page_->findChild<QLineEdit*>("edit_ip")->text(), GetParam().typed);
  if (!GetParam().ip) {
    EXPECT_EQ(connects.count(), 0);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].contains("Please input the correct box IP!")) << notices[0].toStdString();
    EXPECT_TRUE(notices[0].contains("Tip"));
    return;
  }
  EXPECT_TRUE(notices.isEmpty());
  ASSERT_EQ(connects.count(), 1);
  const auto box = connects[0][0].value<MEETING_BOX_INFO>();
  EXPECT_EQ(box.ip, GetParam().ip);
  EXPECT_EQ(box.dispName, GetParam().ip);
  EXPECT_EQ(box.port, 5625);
  EXPECT_TRUE(box.boxID.isEmpty());
  EXPECT_TRUE(box.attrs.isEmpty());
  EXPECT_TRUE(page_->boxes().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Texts, ManualEntryTest, ::testing::ValuesIn(kEntries), RowName());

TEST_F(BoxListWndTest, EmptyEntryAsksForAnAddress) {
  QSignalSpy connects(page_.get(), &BoxListWnd::s_connectBox);
  const QStringList notices = AnswerModals([&] { page_->slot_userAdd(); });
  ASSERT_EQ(notices.size(), 1);
  EXPECT_TRUE(notices[0].contains("Please input the box IP!")) << notices[0].toStdString();
  EXPECT_EQ(connects.count(), 0);
}

TEST_F(BoxListWndTest, OneClickOnABoxWithoutIdConnectsThatBoxOnce) {
  fakesdk::DeliverBoxJoin(fakesdk::MakeBox("", "10.0.0.2", "First"));
  fakesdk::DeliverBoxJoin(fakesdk::MakeBox("", "10.0.0.3", "Second"));
  fakesdk::DeliverBoxJoin(fakesdk::MakeBox("id", "10.0.0.4", "Third"));
  QSignalSpy connects(page_.get(), &BoxListWnd::s_connectBox);
  Click(tiles()[1]);
  Settle(50);
  ASSERT_EQ(connects.count(), 1);
  EXPECT_EQ(connects[0][0].value<MEETING_BOX_INFO>().ip, "10.0.0.3");
  EXPECT_EQ(connects[0][0].value<MEETING_BOX_INFO>().dispName, "Second");
}

// The connection dialog that a click opens runs its own loop; a box that ends
// the session at once sends the client back to the search page, which
// searches again inside that loop and removes the clicked tile.
TEST_F(BoxListWndTest, ASearchInsideTheClickedBoxsDialogLeavesNoTileBehind) {
  fakesdk::DeliverBoxJoin(fakesdk::MakeBox("", "10.0.0.2", "First"));
  fakesdk::DeliverBoxJoin(fakesdk::MakeBox("b", "10.0.0.3", "Second"));
  QList<MEETING_BOX_INFO> opened;
  QObject::connect(page_.get(), &BoxListWnd::s_connectBox, page_.get(), [&](const MEETING_BOX_INFO& box) {
    QEventLoop dialog;
    QTimer::singleShot(0, page_.get(), [&] { page_->slot_search(); });
    QTimer::singleShot(50, &dialog, &QEventLoop::quit);
    dialog.exec();
    opened << box;
  });
  ASSERT_TRUE(ClickLink(tiles()[0]));
  ASSERT_TRUE(WaitFor([&] { return !opened.isEmpty(); }));
  Settle(100);
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0].ip, "10.0.0.2");
  EXPECT_TRUE(tiles().empty());
  EXPECT_TRUE(page_->findChild<BoxList*>("boxListW")->findChildren<BoxListItem*>().isEmpty());
}

}  // namespace
