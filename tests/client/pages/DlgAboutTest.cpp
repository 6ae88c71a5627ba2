#include <QLabel>
#include <QPushButton>

#include "App.h"
#include "DlgAbout.h"
#include "EventWait.h"
#include "PageFixture.h"
#include "ScreenScale.h"

namespace {

class DlgAboutTest : public PageFixture {};

TEST_F(DlgAboutTest, OneWindowOfScaledSizeThatOkHides) {
  // The dialog is made once, so the scale it sees is the one of its first use.
  setScreenScaleForTest(1.5f);
  QWidget owner;
  DlgAbout* first = DlgAbout::instance(&owner);
  first->show();
  EXPECT_EQ(first->size(), QSize(474, 337));
  EXPECT_EQ(first->windowTitle(), "About Corvane");
  EXPECT_EQ(first->productName()->text(), "Corvane");
  EXPECT_EQ(first->versionLabel()->text(), "Version: " + theApp.appVersion());
  EXPECT_FALSE(first->isModal());
  first->okButton()->click();
  EXPECT_FALSE(first->isVisible());
  QWidget other;
  DlgAbout* second = DlgAbout::instance(&other);
  EXPECT_EQ(second, first);
  EXPECT_EQ(second->parentWidget(), &owner);
  second->show();
  EXPECT_TRUE(second->isVisible());
  second->close();
  setScreenScaleForTest(1.0f);
  first->setParent(nullptr);
}

}  // namespace
