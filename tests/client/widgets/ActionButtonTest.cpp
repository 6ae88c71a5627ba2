#include <gtest/gtest.h>

#include <QProxyStyle>
#include <QTest>

#include "ActionStyleBtn.h"
#include "ClickedLabel.h"

namespace {

// Counts the polish calls a widget gets: a re-polish is what lets rules that
// select on a property apply.
class CountingStyle : public QProxyStyle {
 public:
  int polished = 0;
  void polish(QWidget* widget) override {
    ++polished;
    QProxyStyle::polish(widget);
  }
  using QProxyStyle::polish;
};

class ActionStyleBtnTest : public ::testing::Test {
 protected:
  void SetUp() override {
    button.setStyle(&style);
    button.resize(40, 40);
    button.show();
    style.polished = 0;
  }
  CountingStyle style;
  QActionStyleBtn button;
};

TEST_F(ActionStyleBtnTest, HoverFollowsEnterAndLeave) {
  QEvent enter(QEvent::Enter);
  QCoreApplication::sendEvent(&button, &enter);
  EXPECT_TRUE(button.property("isHover").toBool());
  EXPECT_EQ(style.polished, 1);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&button, &leave);
  EXPECT_FALSE(button.property("isHover").toBool());
  EXPECT_EQ(style.polished, 2);
}

TEST_F(ActionStyleBtnTest, PressedFollowsPressAndRelease) {
  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(button.property("isPressed").toBool());
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(button.property("isPressed").toBool());
  EXPECT_GE(style.polished, 2);
}

TEST_F(ActionStyleBtnTest, SettersRepolishEvenWithoutChange) {
  button.setProperty("isHover", false);
  button.setPressed(false);
  EXPECT_EQ(style.polished, 2);
}

TEST_F(ActionStyleBtnTest, CheckToggleRepolishes) {
  button.setCheckable(true);
  style.polished = 0;
  button.toggle();
  EXPECT_EQ(style.polished, 1);
  button.toggle();
  EXPECT_EQ(style.polished, 2);
}

TEST(ActionStyleBtnSheetTest, PropertyRuleAppliesAtOnce) {
  QActionStyleBtn button;
  button.setStyleSheet(QStringLiteral("QToolButton { min-width: 20px; } QToolButton[isHover=\"true\"] { min-width: 77px; }"));
  button.show();
  EXPECT_LT(button.sizeHint().width(), 77);
  button.setHover(true);
  EXPECT_GE(button.sizeHint().width(), 77);
}

class ClickedLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    label.resize(80, 20);
    label.show();
    connect(&label, &QClickedLabel::clicked, [this](QClickedLabel* l) {
      EXPECT_EQ(l, &label);
      signals_.push_back("clicked");
    });
    connect(&label, &QClickedLabel::doubleClick, [this](QClickedLabel* l) {
      EXPECT_EQ(l, &label);
      signals_.push_back("doubleClick");
    });
  }
  void Send(QEvent::Type type, Qt::MouseButton button) {
    QMouseEvent event(type, QPointF(5, 5), label.mapToGlobal(QPoint(5, 5)), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QCoreApplication::sendEvent(&label, &event);
  }
  static void connect(QClickedLabel* sender, void (QClickedLabel::*signal)(QClickedLabel*),
                      std::function<void(QClickedLabel*)> slot) {
    QObject::connect(sender, signal, slot);
  }
  QClickedLabel label;
  std::vector<std::string> signals_;
};

TEST_F(ClickedLabelTest, ClickEmitsOnce) {
  Send(QEvent::MouseButtonPress, Qt::LeftButton);
  Send(QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_EQ(signals_, std::vector<std::string>({"clicked"}));
}

TEST_F(ClickedLabelTest, RightButtonCounts) {
  Send(QEvent::MouseButtonPress, Qt::RightButton);
  Send(QEvent::MouseButtonRelease, Qt::RightButton);
  EXPECT_EQ(signals_, std::vector<std::string>({"clicked"}));
}

TEST_F(ClickedLabelTest, DoubleClickSequence) {
  Send(QEvent::MouseButtonPress, Qt::LeftButton);
  Send(QEvent::MouseButtonRelease, Qt::LeftButton);
  Send(QEvent::MouseButtonPress, Qt::LeftButton);
  Send(QEvent::MouseButtonDblClick, Qt::LeftButton);
  Send(QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_EQ(signals_, std::vector<std::string>({"clicked", "doubleClick", "clicked"}));
}

}  // namespace
