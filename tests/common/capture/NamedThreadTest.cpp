#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <QFile>
#include <QMetaObject>

#include <atomic>
#include <fstream>
#include <string>

#include "NamedThread.h"
#include "RowName.h"

namespace {

std::string CurrentThreadName() {
  std::ifstream comm("/proc/self/task/" + std::to_string(syscall(SYS_gettid)) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

class RecordingThread : public QNamedThread {
  Q_OBJECT

 public:
  std::string nameAtBegin;
  long beginThread = 0;
  long endThread = -1;
  std::atomic<bool> began{false};

 protected:
  void onThreadBegin() override {
    QNamedThread::onThreadBegin();
    nameAtBegin = CurrentThreadName();
    beginThread = syscall(SYS_gettid);
    began = true;
  }
  void onThreadEnd() override { endThread = syscall(SYS_gettid); }
};

struct NameCase {
  const char* name;
  bool setName;
  const char* objectName;
  const char* expected;
};

class NamedThreadTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NamedThreadTest, ThreadCarriesTheObjectName) {
  const NameCase& c = GetParam();
  RecordingThread thread;
  if (c.setName) thread.setObjectName(QString::fromUtf8(c.objectName));
  thread.start();
  for (int i = 0; i < 500 && !thread.began; ++i) QThread::msleep(10);
  ASSERT_TRUE(thread.began);
  thread.quit();
  ASSERT_TRUE(thread.wait(5000));
  EXPECT_EQ(thread.nameAtBegin, c.expected);
  EXPECT_EQ(thread.endThread, thread.beginThread) << "the end hook runs on the thread after its loop";
}

const NameCase kNameCases[] = {
    {"Default", false, "", "QNamedThread"},
    {"Chosen", true, "CatchThread", "CatchThread"},
    {"ClearedGivesClassName", true, "", "RecordingThread"},
    {"LongNameIsCut", true, "AVeryLongThreadName", "AVeryLongThread"},
    {"CutKeepsWholeCharacters", true, "Captures\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "Captures\xC3\xA9\xC3\xA9\xC3\xA9"},
};

INSTANTIATE_TEST_SUITE_P(Names, NamedThreadTest, ::testing::ValuesIn(kNameCases), RowName());

}  // namespace

#include "NamedThreadTest.moc"
