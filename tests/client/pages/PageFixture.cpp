#include "PageFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTimer>

#include "FWIniDatFile.h"
#include "FakeSdk.h"

void PageFixture::SetUp() {
  ASSERT_TRUE(dir_.isValid());
  FWIniDatFile::instance().setFile(dir_.filePath(QStringLiteral("UserCfg.ini")));
  fakesdk::Reset();
}

void PageFixture::TearDown() { EXPECT_TRUE(fakesdk::WaitForNotifications()); }

CORVANESDK::MEETING_BOX_INFO ListedBox() {
  CORVANESDK::MEETING_BOX_INFO box;
  CORVANESDK::BoxInfoToMeetingBox(fakesdk::MakeBox("box-1", "10.0.0.5", "Room 5"), box);
  return box;
}

bool QuitsDuring(const std::function<void()>& action, int boundMs) {
  QTimer bound;
  bound.setSingleShot(true);
  QObject::connect(&bound, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  bound.start(boundMs);
  QTimer::singleShot(0, action);
  return QCoreApplication::exec() == 0;
}

QStringList AnswerModals(const std::function<void()>& run, const QString& button) {
  QStringList seen;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!modal || !modal->isVisible()) return;
    QStringList texts;
    for (QLabel* label : modal->findChildren<QLabel*>())
      if (!label->text().isEmpty()) texts << label->text();
    seen << texts.join('|');
    for (QAbstractButton* b : modal->findChildren<QAbstractButton*>())
      if (!button.isEmpty() && b->isVisible() && b->text().startsWith(button)) {
        b->click();
        return;
      }
    modal->reject();
  });
  poll.start(10);
  run();
  return seen;
}
