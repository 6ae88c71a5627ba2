#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "EventWait.h"
#include "FWMsgBox.h"
#include "StandardTitleBar.h"
#include "RowName.h"

namespace {

QStringList Texts(const FWMsgBox& box) {
  QStringList texts;
  for (QWidget* widget : box.buttons()) texts << static_cast<QAbstractButton*>(widget)->text();
  return texts;
}

struct MaskCase {
  const char* name;
  int mask;
  QStringList texts;
};

const MaskCase kMaskCases[] = {
    {"None", 0, {}},
    {"Ok", 1, {"Ok"}},
    {"YesNo", 6, {"Yes", "No"}},
    {"UnknownBitsOnly", 32 | 64 | (1 << 30) | static_cast<int>(1u << 31), {}},
    {"AllKnown", 31, {"Ok", "Yes", "No", "Close", "Cancel"}},
    {"KnownAndUnknown", 6 | 128, {"Yes", "No"}},
};

class MsgBoxMaskTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MsgBoxMaskTest, ButtonsInBitOrder) {
  FWMsgBox box(nullptr, "title", "text", GetParam().mask);
  EXPECT_EQ(Texts(box), GetParam().texts);
  for (QWidget* widget : box.buttons()) {
    auto* button = static_cast<QAbstractButton*>(widget);
    EXPECT_EQ(box.button(box.standardButton(button)), button);
  }
}

INSTANTIATE_TEST_SUITE_P(Masks, MsgBoxMaskTest, ::testing::ValuesIn(kMaskCases), RowName());

enum class Dismiss { Escape, CloseButton, CloseWindow };

struct DismissCase {
  const char* name;
  int mask;
  Dismiss how;
  int result;  // -1: the box stays open
};

const DismissCase kDismissCases[] = {
    {"OkEscape", 1, Dismiss::Escape, 1},
    {"OkTitleClose", 1, Dismiss::CloseButton, 1},
    {"YesNoEscape", 6, Dismiss::Escape, 4},
    {"YesNoClose", 6, Dismiss::CloseWindow, 4},
    {"CancelBeforeClose", 2 | 8 | 16, Dismiss::Escape, 16},
    {"CloseBeforeNo", 2 | 4 | 8, Dismiss::CloseWindow, 8},
    {"NoButtonsEscape", 0, Dismiss::Escape, -1},
    {"NoButtonsClose", 0, Dismiss::CloseWindow, -1},
    {"YesOnlyStaysWithoutWayOut", 2 | 1, Dismiss::Escape, -1},
};

class MsgBoxDismissTest : public ::testing::TestWithParam<DismissCase> {};

TEST_P(MsgBoxDismissTest, Result) {
  const DismissCase& c = GetParam();
  FWMsgBox box(nullptr, "title", "text", c.mask);
  bool stayedOpen = false;
  QTimer::singleShot(0, &box, [&] {
    switch (c.how) {
      case Dismiss::Escape: QTest::keyClick(&box, Qt::Key_Escape); break;
      case Dismiss::CloseButton: box.titleBar()->titleButton(1)->click(); break;
      case Dismiss::CloseWindow: box.close(); break;
    }
    QCoreApplication::processEvents();
    stayedOpen = box.isVisible();
    if (stayedOpen) box.done(-1);
  });
  EXPECT_EQ(box.exec(), c.result);
  EXPECT_EQ(stayedOpen, c.result == -1);
}

INSTANTIATE_TEST_SUITE_P(Ways, MsgBoxDismissTest, ::testing::ValuesIn(kDismissCases), RowName());

TEST(MsgBoxTest, ClickEmitsAndEnds) {
  qRegisterMetaType<QAbstractButton*>();
  FWMsgBox box(nullptr, "title", "text", 6);
  QSignalSpy clicked(&box, &FWMsgBox::buttonClicked);
  QTimer::singleShot(0, &box, [&] { box.button(4)->click(); });
  EXPECT_EQ(box.exec(), 4);
  ASSERT_EQ(clicked.count(), 1);
  EXPECT_EQ(clicked.at(0).at(1).value<QAbstractButton*>(), box.button(4));
}

TEST(MsgBoxTest, CountDownTexts) {
  FWMsgBox box(nullptr, "title", "text", 6);
  QSignalSpy clicked(&box, &FWMsgBox::buttonClicked);
  box.show();
  box.setDefaultButton(2, 3);
  QAbstractButton* yes = box.button(2);
  EXPECT_EQ(yes->text(), "Yes (3)");
  EXPECT_EQ(box.focusWidget(), yes);
  box.slot_countDown();
  EXPECT_EQ(yes->text(), "Yes (2)");
  box.slot_countDown();
  EXPECT_EQ(yes->text(), "Yes (1)");
  EXPECT_EQ(clicked.count(), 0);
  box.slot_countDown();
  EXPECT_EQ(yes->text(), "Yes");
  EXPECT_EQ(clicked.count(), 1);
  EXPECT_EQ(box.result(), 2);
}

TEST(MsgBoxTest, NewDefaultClearsTheOldSuffix) {
  FWMsgBox box(nullptr, "title", "text", 6);
  box.setDefaultButton(2, 5);
  EXPECT_EQ(box.button(2)->text(), "Yes (5)");
  box.setDefaultButton(4, -1);
  EXPECT_EQ(box.button(2)->text(), "Yes");
  EXPECT_EQ(box.button(4)->text(), "No");
}

TEST(MsgBoxTest, NoCountDownWithoutSeconds) {
  FWMsgBox box(nullptr, "title", "text", 1);
  box.setCountDownIntervalForTest(10);
  box.show();
  box.setDefaultButton(1, -1);
  Settle(100);
  EXPECT_TRUE(box.isVisible());
  EXPECT_EQ(box.button(1)->text(), "Ok");
}

TEST(MsgBoxTest, ZeroSecondsStillTicksOnce) {
  FWMsgBox box(nullptr, "title", "text", 1);
  box.setCountDownIntervalForTest(10);
  box.show();
  box.setDefaultButton(1, 0);
  EXPECT_EQ(box.button(1)->text(), "Ok");
  EXPECT_TRUE(WaitFor([&] { return !box.isVisible(); }, 2000));
  EXPECT_EQ(box.result(), 1);
}

// The real count-down: three one-second steps, then Yes.
TEST(MsgBoxTest, QuestionClicksYesAfterThreeSeconds) {
  QElapsedTimer clock;
  clock.start();
  QStringList seen;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<FWMsgBox*>(QApplication::activeModalWidget())) {
      const QString text = box->button(2)->text();
      if (seen.isEmpty() || seen.back() != text) seen << text;
    }
  });
  sampler.start(50);
  EXPECT_EQ(FWMsgBox::question(nullptr, "title", "question", 6, 2, 3), 2);
  EXPECT_GE(clock.elapsed(), 2500);
  EXPECT_EQ(seen, QStringList({"Yes (3)", "Yes (2)", "Yes (1)"}));
}

TEST(MsgBoxTest, InformationOkOnEnter) {
  QTimer::singleShot(0, [] {
    if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, Qt::Key_Return);
  });
  EXPECT_EQ(FWMsgBox::information(nullptr, "title", "notice", 1, 1, -1), 1);
}

struct IconCase {
  const char* name;
  int type;
  bool shown;
};

class MsgBoxIconTest : public ::testing::TestWithParam<IconCase> {};

TEST_P(MsgBoxIconTest, IconLabel) {
  FWMsgBox box(nullptr, "title", "text", 1);
  box.setIconType(GetParam().type);
  auto* icon = box.findChild<QLabel*>(QStringLiteral("FWMsg_icon"));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(!icon->isHidden(), GetParam().shown);
  if (!GetParam().shown) return;
  const QImage image = icon->pixmap(Qt::ReturnByValue).toImage();
  EXPECT_EQ(image.size(), QSize(32, 32));
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(image.pixel(16, 18)), 255);
}

INSTANTIATE_TEST_SUITE_P(Types, MsgBoxIconTest,
                         ::testing::Values(IconCase{"None", 0, false}, IconCase{"Information", 1, true},
                                           IconCase{"Warning", 2, true}, IconCase{"Error", 3, true},
                                           IconCase{"Question", 4, true}, IconCase{"Unknown", 5, false}), RowName());

int Limit() { return std::min(600, QGuiApplication::primaryScreen()->availableGeometry().width() / 2); }

TEST(MsgBoxFitTest, LongTextWrapsAtTheLimit) {
  const QString text = QString("A rather long message that goes on and on. ").repeated(20);
  FWMsgBox box(nullptr, "title", text, 1);
  box.show();
  auto* label = box.findChild<QLabel*>(QStringLiteral("FWMsg_label"));
  EXPECT_TRUE(label->wordWrap());
  EXPECT_EQ(box.width(), Limit());
  EXPECT_EQ(box.minimumSize(), box.maximumSize());
  Settle(50);
  EXPECT_EQ(box.width(), Limit());
  EXPECT_GE(label->height(), 2 * label->fontMetrics().height());
}

TEST(MsgBoxFitTest, ShortTextIsNarrow) {
  FWMsgBox box(nullptr, "title", "Short.", 1);
  box.show();
  auto* label = box.findChild<QLabel*>(QStringLiteral("FWMsg_label"));
  EXPECT_FALSE(label->wordWrap());
  EXPECT_LT(box.width(), Limit());
  EXPECT_EQ(box.width(), box.layout()->totalMinimumSize().width());
}

}  // namespace
