// Checking items against a folder: when a file counts as current, and the
// lists the update computes from two finger trees.
#include <gtest/gtest.h>

#include <platform/Strings.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>

#include "FingerTestSupport.h"
#include "MD5.h"
#include "ScopedTempDir.h"

namespace {

const char kHello[] = "hello";  // MD5 5D41402ABC4B2A76B9719D911017C592
const wchar_t kHelloMd5[] = L"5D41402ABC4B2A76B9719D911017C592";
const long kListedTime = 1700000000;

long MTime(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_mtime) : -1;
}

void SetMTime(const std::string& path, long seconds) {
  const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class FingerCheckTest : public ::testing::Test {
 protected:
  void TearDown() override { CFingerFile::SetNoUpdateFiles(L""); }

  // One file item as listed, checked against the folder.
  bool Check(const std::wstring& name, int size, long fileTime, int checkType, const std::wstring& value) {
    SFileTransItem item(name, true);
    item.size = size;
    item.fileTime = static_cast<int>(fileTime);
    item.checkType = checkType;
    item.checkValue = value;
    return finger_.CheckFileItem(folder_.wideFolder(), &item);
  }

  ScopedTempDir folder_{ScopedTempDir::kAwkwardPrefix};
  CFingerFile finger_;
};

TEST_F(FingerCheckTest, CurrentBySizeAndTimeWithoutTheCheckValue) {
  const std::string path = folder_.put("a.dll", kHello);
  SetMTime(path, kListedTime);
  // The listed MD5 is wrong: only a check that skips it calls the file current.
  EXPECT_TRUE(Check(L"a.dll", 5, kListedTime, CHK_MD5, L"00000000000000000000000000000000"));
  EXPECT_FALSE(Check(L"a.dll", 5, kListedTime + 1, CHK_MD5, L"00000000000000000000000000000000"));
}

TEST_F(FingerCheckTest, CurrentByContentGetsTheListedTime) {
  const std::string path = folder_.put("a.dll", kHello);
  SetMTime(path, 1000);
  EXPECT_TRUE(Check(L"a.dll", 5, kListedTime, CHK_MD5, kHelloMd5));
  EXPECT_EQ(MTime(path), kListedTime);
}

TEST_F(FingerCheckTest, NoCheckWithAnotherTimeIsCurrentAndGetsTheListedTime) {
  const std::string path = folder_.put("a.dll", kHello);
  SetMTime(path, 1000);
  EXPECT_TRUE(Check(L"a.dll", 5, kListedTime, CHK_NONE, L""));
  EXPECT_EQ(MTime(path), kListedTime);
}

TEST_F(FingerCheckTest, ListedTimeZeroLeavesTheTime) {
  const std::string path = folder_.put("a.dll", kHello);
  SetMTime(path, 1000);
  EXPECT_TRUE(Check(L"a.dll", 5, 0, CHK_MD5, kHelloMd5));
  EXPECT_EQ(MTime(path), 1000);
}

TEST_F(FingerCheckTest, NotCurrent) {
  const std::string path = folder_.put("sub/a.dll", kHello);
  SetMTime(path, 1000);
  EXPECT_FALSE(Check(L"sub/a.dll", 5, kListedTime, CHK_MD5, L"5D41402ABC4B2A76B9719D911017C593")) << "content";
  EXPECT_EQ(MTime(path), 1000) << "a file that differs keeps its time";
  EXPECT_FALSE(Check(L"sub/a.dll", 6, 1000, CHK_NONE, L"")) << "size";
  EXPECT_FALSE(Check(L"sub/a.dll", -1, 1000, CHK_NONE, L"")) << "unknown size";
  EXPECT_FALSE(Check(L"sub/b.dll", 5, 1000, CHK_NONE, L"")) << "missing";
  EXPECT_FALSE(Check(L"sub", 0, 0, CHK_MD5, kHelloMd5)) << "a folder";
  EXPECT_FALSE(Check(L"sub/a.dll", 5, kListedTime, CHK_VER, L"1.0.0.1")) << "no version record";
}

TEST_F(FingerCheckTest, NoUpdateListIsASubstringSearchForNameAndSemicolon) {
  struct Case {
    const wchar_t* list;
    const wchar_t* name;
    bool current;
  };
  for (const Case& c : {Case{L"b.dll", L"b.dll", true}, Case{L"a.dll;b.dll;;;", L"b.dll", true},
                        Case{L"ab.dll;", L"b.dll", true}, Case{L"b.dll.bak", L"b.dll", false},
                        Case{L"B.DLL", L"b.dll", false}, Case{L"", L"b.dll", false}, Case{L";", L"b.dll", false},
                        Case{L"a.dll;lib\\b.dll", L"lib/b.dll", true}, Case{L"lib/b.dll;", L"lib/b.dll", true},
                        Case{L"lib\\c.dll", L"lib/b.dll", false}}) {
    CFingerFile::SetNoUpdateFiles(c.list);
    // The file is missing: only the list can make it current.
    EXPECT_EQ(Check(c.name, 5, 0, CHK_MD5, kHelloMd5), c.current) << WideToUtf8(c.list);
  }
}

// A built program carries the project's version record, which VER reads.
TEST_F(FingerCheckTest, VerOfABuiltProgram) {
  const std::string program = folder_.folder() + "Corvane";
  std::filesystem::copy_file(UPDATER_APP_TEST_PROGRAM, program);
  SFileTransItem item(L"Corvane", true);
  item.checkType = CHK_VER;
  std::wstring value;
  ASSERT_TRUE(item.CalculateCheckValue(Utf8ToWide(program), value));
  EXPECT_EQ(value, Utf8ToWide(UPDATER_APP_TEST_VERSION));
  const int size = static_cast<int>(std::filesystem::file_size(program));
  EXPECT_TRUE(Check(L"Corvane", size, kListedTime, CHK_VER, Utf8ToWide(UPDATER_APP_TEST_VERSION)));
  EXPECT_FALSE(Check(L"Corvane", size, kListedTime + 1, CHK_VER, L"9.9.9.9"));
}

TEST_F(FingerCheckTest, CheckItemsAndSubtractItems) {
  FingerFixture f;
  ASSERT_TRUE(f.folder.ok());
  SetMTime(f.folder.put("same.dat", kHello), kListedTime);
  f.folder.put("differs.dat", "HELLO");
  f.folder.put("old.dat", "x");
  ASSERT_TRUE(f.Load("[MAIN]\n"
                     "Job_1=dlfl;same.dat;5;1700000000;;same.dat;5;MD5;5d41402abc4b2a76b9719d911017c592;\n"
                     "Job_2=dlfl;differs.dat;5;1700000000;;differs.dat;5;MD5;5d41402abc4b2a76b9719d911017c592;\n"
                     "Job_3=dlfl;missing.dat;5;1700000000;;missing.dat;5;MD5;5d41402abc4b2a76b9719d911017c592;\n"
                     "Job_4=rmfl;old.dat\n"
                     "Job_5=rmfl;gone.dat\n"));
  EXPECT_EQ(Names(f.finger.Items()), L"same.dat,differs.dat,missing.dat,old.dat,gone.dat");
  EXPECT_EQ(Names(f.finger.OkItems()), L"same.dat");
  EXPECT_EQ(Names(f.finger.UnOkItems()), L"differs.dat,missing.dat,old.dat");

  std::vector<SFingerItem*> list = f.finger.Items();
  std::vector<SFingerItem*> taken;
  CFingerFile::SubtractItems(list, f.finger.UnOkItems(), &taken);
  EXPECT_EQ(Names(list), L"same.dat,gone.dat");
  EXPECT_EQ(Names(taken), L"differs.dat,missing.dat,old.dat");
  // By type and name: a deletion does not take away a file of the same name.
  SFingerDelItem del(L"same.dat");
  std::vector<SFingerItem*> other{&del};
  CFingerFile::SubtractItems(list, other, nullptr);
  EXPECT_EQ(Names(list), L"same.dat,gone.dat");
}

}  // namespace
