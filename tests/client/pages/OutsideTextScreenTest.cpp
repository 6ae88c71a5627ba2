// A box chooses its own name, and every machine that answers the search is a
// box: a name written as mark-up must reach the user as the characters it is.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

#include "BoxListItem.h"
#include "BoxListWnd.h"
#include "DlgConnBox.h"
#include "EventWait.h"
#include "FWMsgBox.h"
#include "FakeSdk.h"
#include "MainWnd.h"
#include "PageFixture.h"
#include "StandardTitleBar.h"

namespace {

using namespace CORVANESDK;

// Red text, a link and a picture, the three things a label that reads
// mark-up would turn the name into.
const char kMarkupName[] =
    "<font color=red>Red</font> <a href=\"http://example.invalid/open\">Link</a> <img src=\":/Res/App.png\">";

MEETING_BOX_INFO MarkupBox() {
  MEETING_BOX_INFO box;
  BoxInfoToMeetingBox(fakesdk::MakeBox("box-m", "10.0.0.9", kMarkupName), box);
  return box;
}

// Records every address the desktop is asked to open.
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  UrlRecorder() {
    for (const char* scheme : {"http", "https", "file"}) QDesktopServices::setUrlHandler(scheme, this, "open");
  }
  ~UrlRecorder() override {
    for (const char* scheme : {"http", "https", "file"}) QDesktopServices::unsetUrlHandler(scheme);
  }
  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened << url; }
};

// What a screen reader gets: Qt's accessible name of a label is the plain
// text of the document when the label reads its text as mark-up.
QString ReadAloud(QLabel* label) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(label);
  return accessible ? accessible->text(QAccessible::Name) : QString();
}

int RedPixels(QWidget* widget) {
  const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
  int red = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 180 && c.green() < 90 && c.blue() < 90) ++red;
    }
  return red;
}

// Clicks along the label's middle line and its first text line, wherever a
// link could have been laid out; returns the links the label reported.
int ClickAcross(QLabel* label) {
  QSignalSpy links(label, &QLabel::linkActivated);
  const int rows[] = {label->height() / 2, label->contentsRect().top() + label->fontMetrics().height() / 2};
  for (int y : rows)
    for (int x = 2; x < label->width() - 1; x += 6) QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(x, y));
  QCoreApplication::processEvents();
  return links.count();
}

struct Seen {
  QString readAloud;
  int redPixels = -1;
  int linksReported = -1;
  int urlsOpened = -1;
};

Seen Inspect(QLabel* label) {
  UrlRecorder urls;
  Seen seen;
  seen.readAloud = ReadAloud(label);
  seen.redPixels = RedPixels(label);
  seen.linksReported = ClickAcross(label);
  seen.urlsOpened = urls.opened.size();
  return seen;
}

// The label shows the name with its tags as characters, draws no red and
// opens nothing when clicked.
void ExpectShownAsText(const Seen& seen, const QString& text) {
  EXPECT_EQ(seen.readAloud, text);
  EXPECT_EQ(seen.redPixels, 0);
  EXPECT_EQ(seen.linksReported, 0);
  EXPECT_EQ(seen.urlsOpened, 0);
}

class OutsideTextScreenTest : public PageFixture {};

// The checks themselves: they see the mark-up in a label that reads it.
TEST_F(OutsideTextScreenTest, TheChecksSeeMarkupWhereALabelReadsIt) {
  QLabel label;
  label.setOpenExternalLinks(true);
  label.setText(kMarkupName);
  label.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&label));
  const Seen seen = Inspect(&label);
  EXPECT_EQ(seen.readAloud, QString::fromUtf8("Red Link \xEF\xBF\xBC"));  // the picture reads as one object mark
  EXPECT_GT(seen.redPixels, 0);
  EXPECT_GT(seen.urlsOpened, 0);
}

TEST_F(OutsideTextScreenTest, TheTileShowsTheNameAsText) {
  BoxListWnd page;
  page.setAllowClickDelayForTest(50);
  page.resize(582, 420);
  page.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
  fakesdk::ScriptSearch({fakesdk::MakeBox("box-m", "10.0.0.9", kMarkupName)});
  page.slot_search();
  BoxListItem* tile = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (tile = page.findChild<BoxListItem*>()) != nullptr && tile->isVisible(); }));
  ExpectShownAsText(Inspect(tile->findChild<QLabel*>("name_label")), kMarkupName);
}

TEST_F(OutsideTextScreenTest, TheConnectionDialogShowsTheNameAsText) {
  fakesdk::ScriptConnectUnreachable();
  DlgConnBox dialog(MarkupBox(), nullptr);
  dialog.open();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  auto* stack = dialog.findChild<QStackedWidget*>("stackedWidget");
  ExpectShownAsText(Inspect(dialog.findChild<QLabel*>("labInfo")),
                    QStringLiteral("%1 - connecting, please wait...").arg(kMarkupName));
  ASSERT_TRUE(WaitFor([&] { return stack->currentWidget()->objectName() == "page_fail"; }));
  ExpectShownAsText(Inspect(dialog.findChild<QLabel*>("fail_label")),
                    QStringLiteral("connect with %1 fail(failed to establish connection!)").arg(kMarkupName));
  dialog.done(0);
}

class MainWndOutsideTextTest : public OutsideTextScreenTest {
 protected:
  void SetUp() override {
    OutsideTextScreenTest::SetUp();
    wnd_ = std::make_unique<MainWnd>(nullptr);
    wnd_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd_.get()));
    fakesdk::ScriptConnectAccepted();
    wnd_->slot_connectBox(MarkupBox());
    ASSERT_EQ(wnd_->stack()->currentIndex(), 1);
  }
  void TearDown() override {
    wnd_.reset();
    OutsideTextScreenTest::TearDown();
  }
  std::unique_ptr<MainWnd> wnd_;
};

TEST_F(MainWndOutsideTextTest, TheTitleShowsTheNameAsText) {
  ExpectShownAsText(Inspect(wnd_->standardTitleBar()->findChild<QLabel*>("titleText")),
                    QStringLiteral("%1-connected").arg(kMarkupName));
}

TEST_F(MainWndOutsideTextTest, TheDisconnectMessageShowsTheNameAsText) {
  QStringList boxTitles;
  Seen seen;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<FWMsgBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    poll.stop();
    seen = Inspect(box->findChild<QLabel*>("FWMsg_label"));
    boxTitles << box->windowTitle();
    box->button(FWMsgBox::Ok)->click();
  });
  poll.start(20);
  fakesdk::Notify(CVNTY_DISCONNECTED, {{"Reason", "1"}});
  ASSERT_TRUE(WaitFor([&] { return !boxTitles.isEmpty(); }));
  EXPECT_EQ(boxTitles, QStringList{"Tips"});
  ExpectShownAsText(seen, QStringLiteral("you have been disconnected with %1(the meeting is over!)").arg(kMarkupName));
}

}  // namespace

#include "OutsideTextScreenTest.moc"
