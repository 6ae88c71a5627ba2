// Version N+1's description against a generated program folder of version N,
// with part of N+1 already fetched into the staging folder: the lists the
// update thread computes from it.
#include <gtest/gtest.h>

#include <platform/Strings.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "FingerTestSupport.h"
#include "ScopedTempDir.h"
#include "UpdateFixture.h"

namespace {

namespace fs = std::filesystem;

const char kLayout[] = R"(
old 1.0.0.1
new 1.0.0.2
file Corvane client
file CorvaneUpdate updater
file lib/a.dll random 4096 zf7z changed
file Res/readme.txt text 300
file Res/skin.ini ini
file empty.dat empty
file small.txt small changed
file big.bin random 300000 zf7z changed staged
file gone.dll random 100 oldonly
file gone2.dll random 100 oldonly keep
file mod/m1.dat random 2048 module changed
file mod/m2.dat random 512 module
file added.dll random 700 newonly
)";

class FingerTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok());
    FixtureLayout layout;
    std::string error;
    ASSERT_TRUE(ParseFixtureLayout(kLayout, &layout, &error)) << error;
    const FixtureBinaries binaries{UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, UPDATEFIXTURE_COMMAND};
    ASSERT_TRUE(WriteFixture(layout, binaries, root_.folder(), &tree_, &error)) << error;
    program_ = Utf8ToWide(tree_.oldProgram);
  }
  void TearDown() override { CFingerFile::SetNoUpdateFiles(L""); }

  // The server's description as the update thread stores it after fetching it.
  void FetchDescription() {
    fs::copy_file(tree_.ServedDescription("1.0.0.2"), tree_.oldProgram + "UpdateVer/UpdateInfo.ini",
                  fs::copy_options::overwrite_existing);
  }

  ScopedTempDir root_{ScopedTempDir::kAwkwardPrefix};
  FixtureTree tree_;
  std::wstring program_;
};

TEST_F(FingerTreeTest, SameVersionFolderIsCurrent) {
  CFWUpdateIni ini;
  EXPECT_EQ(LoadUpdateIni(ini, program_ + L"UpdateInfo.ini", L""), L"1.0.0.1");
  ASSERT_EQ(GetMainSection(ini), L"MAIN_V2");
  EXPECT_EQ(GetUpdateExe(ini), L"CorvaneUpdate");
  // Times that differ make every check value count: the updater's by its
  // rewritten version record, the version file by its VER section.
  for (const char* name : {"CorvaneUpdate", "Res/skin.ini", "lib/a.dll"}) {
    const struct timespec times[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (tree_.oldProgram + name).c_str(), times, 0), 0);
  }
  CFingerFile finger;
  ASSERT_TRUE(finger.InitSection(&ini, GetMainSection(ini)));
  EXPECT_EQ(Names(finger.UnOkItems()), L"");
  EXPECT_EQ(finger.OkItems().size(), finger.Items().size());
  EXPECT_EQ(finger.Items().size(), 12u);
}

TEST_F(FingerTreeTest, ChangedFileInTheFolderIsNotCurrent) {
  std::string bytes(4096, 'x');
  const std::string path = tree_.oldProgram + "lib/a.dll";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  CFWUpdateIni ini;
  LoadUpdateIni(ini, program_ + L"UpdateInfo.ini", L"");
  CFingerFile finger;
  ASSERT_TRUE(finger.InitSection(&ini, GetMainSection(ini)));
  EXPECT_EQ(Names(finger.UnOkItems()), L"lib/a.dll");
  // Unless the user's list keeps it.
  CFingerFile::SetNoUpdateFiles(L"lib/a.dll");
  ASSERT_TRUE(finger.InitSection(&ini, GetMainSection(ini)));
  EXPECT_EQ(Names(finger.UnOkItems()), L"");
}

TEST_F(FingerTreeTest, NextVersionGivesTheDownloadAndInstallLists) {
  FetchDescription();
  CFWUpdateIni serverIni;
  EXPECT_EQ(LoadUpdateIni(serverIni, program_ + L"UpdateVer/UpdateInfo.ini", L""), L"1.0.0.2");
  CFingerFile server;
  ASSERT_TRUE(server.InitSection(&serverIni, GetMainSection(serverIni)));
  EXPECT_EQ(DescribeSection(server.Root()),
            L"Corvane,CorvaneUpdate,lib/a.dll,Res/readme.txt,Res/skin.ini,empty.dat,small.txt,big.bin,added.dll,"
            L"module{mod/m1.dat,mod/m2.dat},!gone.dll,-gone2.dll");
  const SFileItem* a = nullptr;
  for (const SFingerItem* item : server.Items())
    if (item->name == L"lib/a.dll") a = static_cast<const SFileItem*>(item);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->remoteName, L"lib/a.dll.z");
  EXPECT_EQ(a->zipType, ZIP_ZF7Z);
  EXPECT_EQ(a->transSize, static_cast<int>(fs::file_size(tree_.ServedFolder("1.0.0.2") + "lib/a.dll.z")));

  // Checked against the staging folder: only what was fetched before is there.
  EXPECT_EQ(Names(server.OkItems()), L"big.bin");
  EXPECT_EQ(server.UnOkItems().size(), server.Items().size() - 1 - 2) << "deletions are not checked in staging";

  // As the update thread computes them.
  std::vector<SFingerItem*> updateItems = server.Items();
  server.CheckItems(program_, updateItems, nullptr);
  EXPECT_EQ(Names(updateItems),
            L"CorvaneUpdate,lib/a.dll,Res/skin.ini,small.txt,big.bin,added.dll,mod/m1.dat,gone.dll,gone2.dll");
  std::vector<SFingerItem*> downItems = updateItems;
  CFingerFile::SubtractItems(downItems, server.OkItems(), nullptr);
  EXPECT_EQ(Names(downItems), L"CorvaneUpdate,lib/a.dll,Res/skin.ini,small.txt,added.dll,mod/m1.dat,gone.dll,gone2.dll");
}

TEST_F(FingerTreeTest, InstalledNextVersionLeavesNothingToDo) {
  CFWUpdateIni ini;
  EXPECT_EQ(LoadUpdateIni(ini, Utf8ToWide(tree_.newProgram) + L"UpdateInfo.ini", L""), L"1.0.0.2");
  CFingerFile finger;
  ASSERT_TRUE(finger.InitSection(&ini, GetMainSection(ini)));
  EXPECT_EQ(Names(finger.UnOkItems()), L"");
}

}  // namespace
