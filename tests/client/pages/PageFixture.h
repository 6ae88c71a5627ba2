// What the page tests share: a fresh settings file and a fresh fake SDK per
// test, and a way to answer the modal boxes a page opens.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

#include "CorvaneSDK.h"

class PageFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  QTemporaryDir dir_;
};

// Answers every modal box that opens while run() runs: records the texts of
// its labels and presses the button with the given text (closes it when
// there is none). Returns the texts, one entry per box.
QStringList AnswerModals(const std::function<void()>& run, const QString& button = QString());

// Runs action inside the application's event loop; true when the application
// was asked to quit (which ends every running loop) before the bound. The
// application's own loop, since only its exec clears the quit request again
// for the tests that follow.
bool QuitsDuring(const std::function<void()>& action, int boundMs = 4000);

// The box the page tests open and connect to: found by the search, with an id.
CORVANESDK::MEETING_BOX_INFO ListedBox();
