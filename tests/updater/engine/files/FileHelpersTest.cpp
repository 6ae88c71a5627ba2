// Folder and file helpers, CWinFile and the zlib helper.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <platform/Kernel.h>

#include "FileHelpers.h"
#include "PathHelpers.h"
#include "ScopedTempDir.h"
#include "WinFile.h"
#include "ZlibCompress.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string Read(const fs::path& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

time_t MTime(const fs::path& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mtime;
}

// Tests run as root, where permissions stop nothing: a bind mount on a file
// is what makes it undeletable (EBUSY) until it is unmounted.
class BindMount {
 public:
  BindMount(const fs::path& source, const fs::path& target) : m_target(target) {
    m_mounted = mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0;
  }
  ~BindMount() {
    if (m_mounted) umount2(m_target.c_str(), MNT_DETACH);
  }
  bool mounted() const { return m_mounted; }

 private:
  fs::path m_target;
  bool m_mounted = false;
};

class FileHelpers : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_folder.path().empty());
    SetRetryPausesForTests(5, 5);
  }
  void TearDown() override { SetRetryPausesForTests(0, 0); }
  fs::path At(const std::string& name) const { return m_folder.path() / name; }

  ScopedTempDir m_folder{"upd"};
};

TEST_F(FileHelpers, CreateDirTreeMakesEveryLevel) {
  EXPECT_TRUE(CreateDirTree((At("a") / "b" / "c").wstring() + L"/"));
  EXPECT_TRUE(fs::is_directory(At("a/b/c")));
  EXPECT_TRUE(CreateDirTree(At("a").wstring() + L"\\d\\e\\"));
  EXPECT_TRUE(fs::is_directory(At("a/d/e")));
  EXPECT_TRUE(CreateDirTree(At("a/b").wstring())) << "an existing folder";
  Write(At("file"), "x");
  EXPECT_FALSE(CreateDirTree(At("file/sub").wstring()));
}

TEST_F(FileHelpers, DeleteFileExOfMissingAndReadOnlyFiles) {
  EXPECT_TRUE(DeleteFileEx(At("missing").wstring(), false));
  EXPECT_FALSE(DeleteFileEx(At("missing").wstring(), true));
  Write(At("ro"), "x");
  chmod(At("ro").c_str(), 0444);
  EXPECT_NE(GetFileAttributesW(At("ro").wstring().c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_TRUE(DeleteFileEx(At("ro").wstring(), true));
  EXPECT_FALSE(fs::exists(At("ro")));
}

TEST_F(FileHelpers, ClearupFolderRemovesLinksNotTheirTargets) {
  ScopedTempDir outside{"upd"};
  Write(outside.path() / "precious", "keep me");
  fs::create_directories(At("stage/sub/deeper"));
  Write(At("stage/a"), "1");
  Write(At("stage/sub/deeper/b"), "2");
  fs::create_directory_symlink(outside.path(), At("stage/link-to-folder"));
  fs::create_symlink(outside.path() / "precious", At("stage/sub/link-to-file"));
  fs::create_symlink(At("nowhere"), At("stage/dangling"));

  EXPECT_TRUE(ClearupFolder(At("stage").wstring() + L"/"));
  EXPECT_TRUE(fs::is_empty(At("stage"))) << "the folder itself stays, empty";
  EXPECT_EQ(Read(outside.path() / "precious"), "keep me");
  EXPECT_TRUE(ClearupFolder(At("missing").wstring() + L"/")) << "a missing folder counts as empty";
  EXPECT_TRUE(DeleteFolder(At("stage").wstring() + L"/"));
  EXPECT_FALSE(fs::exists(At("stage")));
}

TEST_F(FileHelpers, ClearupFolderGoesOnPastAFileThatStays) {
  if (geteuid() != 0) GTEST_SKIP() << "a bind mount needs root";
  fs::create_directories(At("stage/sub"));
  Write(At("stage/a"), "1");
  Write(At("stage/locked"), "2");
  Write(At("stage/sub/c"), "3");
  Write(At("stage/z"), "4");
  Write(At("source"), "mounted");
  BindMount mount(At("source"), At("stage/locked"));
  ASSERT_TRUE(mount.mounted());

  EXPECT_FALSE(ClearupFolder(At("stage").wstring() + L"/"));
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(At("stage"))) left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"locked"});
}

// With the real pauses: ten attempts, then the reason of the last one.
TEST(FileHelpersRealPauses, DeleteFileExGivesUpOnAFileThatStays) {
  if (geteuid() != 0) GTEST_SKIP() << "a bind mount needs root";
  ScopedTempDir folder{"upd"};
  Write(folder.path() / "source", "s");
  Write(folder.path() / "target", "t");
  BindMount mount(folder.path() / "source", folder.path() / "target");
  ASSERT_TRUE(mount.mounted());
  EXPECT_FALSE(DeleteFileEx((folder.path() / "target").wstring(), true));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
}

// A copy target held open by a handle that denies writing fails with a
// sharing violation; the retries outlast the holder.
TEST_F(FileHelpers, CopyFileRetryOutlastsAHolder) {
  Write(At("new"), "new content");
  Write(At("target"), "old");
  HANDLE holder = CreateFileW(At("target").wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CopyFileW(At("new").wstring().c_str(), At("target").wstring().c_str(), FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

  std::thread release([holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    CloseHandle(holder);
  });
  SetRetryPausesForTests(5, 20);
  EXPECT_TRUE(CopyFileRetry(At("new").wstring(), At("target").wstring(), false));
  release.join();
  EXPECT_EQ(Read(At("target")), "new content");
  EXPECT_FALSE(CopyFileRetry(At("new").wstring(), At("target").wstring(), true)) << "fail-if-exists";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
}

TEST_F(FileHelpers, CopyAndMoveKeepTheLastWriteTime) {
  const uint32_t when = 1500000000;
  Write(At("source"), "payload");
  ASSERT_TRUE(SetFileUnixTime(At("source").wstring(), when));
  ASSERT_EQ(MTime(At("source")), static_cast<time_t>(when));

  ASSERT_TRUE(CopyFileW(At("source").wstring().c_str(), At("copy").wstring().c_str(), FALSE));
  EXPECT_EQ(MTime(At("copy")), static_cast<time_t>(when));
  ASSERT_TRUE(MoveFileExW(At("copy").wstring().c_str(), At("moved").wstring().c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
  EXPECT_EQ(MTime(At("moved")), static_cast<time_t>(when));

  // Across file systems the move is a copy: the time must survive that too.
  ScopedTempDir other{"upd"};
  ASSERT_TRUE(SetFileUnixTime(At("moved").wstring(), when));
  if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no second file system";
  const fs::path shm = fs::path("/dev/shm") / ("corvane-move-" + std::to_string(getpid()));
  ASSERT_TRUE(MoveFileExW(At("moved").wstring().c_str(), shm.wstring().c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
  EXPECT_FALSE(fs::exists(At("moved")));
  EXPECT_EQ(MTime(shm), static_cast<time_t>(when));
  EXPECT_EQ(Read(shm), "payload");
  fs::remove(shm);
}

TEST_F(FileHelpers, CopyReplacesTheTargetInOneStep) {
  Write(At("source"), "new");
  Write(At("target"), "old");
  std::ifstream reader(At("target"));  // one who had the old file keeps it whole
  struct stat before {};
  stat(At("target").c_str(), &before);
  ASSERT_TRUE(CopyFileW(At("source").wstring().c_str(), At("target").wstring().c_str(), FALSE));
  struct stat after {};
  stat(At("target").c_str(), &after);
  EXPECT_NE(before.st_ino, after.st_ino) << "a new file renamed into place, not the old one rewritten";
  std::string old;
  reader >> old;
  EXPECT_EQ(old, "old");
  EXPECT_EQ(Read(At("target")), "new");
  size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(m_folder.path())) entries += entry.is_regular_file();
  EXPECT_EQ(entries, 2u) << "no temporary file left behind";
}

TEST_F(FileHelpers, MoveWithoutReplaceKeepsBoth) {
  Write(At("a"), "a");
  Write(At("b"), "b");
  EXPECT_FALSE(MoveFileExW(At("a").wstring().c_str(), At("b").wstring().c_str(), MOVEFILE_COPY_ALLOWED));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(Read(At("a")), "a");
  EXPECT_EQ(Read(At("b")), "b");
}

TEST_F(FileHelpers, TimesAndSizesThroughFindData) {
  Write(At("f"), std::string(5000, 'x'));
  EXPECT_EQ(GetFileSize32(At("f").wstring()), 5000u);
  EXPECT_EQ(GetFileSize32(At("missing").wstring()), 0u);
  // After January 2038 too: the stored word is unsigned.
  for (uint32_t when : {0u, 1700000000u, 0x90000000u}) {
    ASSERT_TRUE(SetFileUnixTime(At("f").wstring(), when));
    WIN32_FIND_DATAW data;
    ASSERT_TRUE(GetFileFindData(At("f").wstring(), data));
    EXPECT_EQ(FileTimeToUnixTime(data.ftLastWriteTime), when);
  }
  EXPECT_FALSE(SetFileUnixTime(At("missing").wstring(), 1));
  EXPECT_FALSE(fs::exists(At("missing"))) << "never created";
  EXPECT_EQ(FileTimeToUnixTime(FILETIME{0xD53E8000u, 0x019DB1DEu}), 0u);
  const FILETIME epoch = UnixTimeToFileTime(0);
  EXPECT_EQ((static_cast<uint64_t>(epoch.dwHighDateTime) << 32) | epoch.dwLowDateTime, 116444736000000000ULL);
}

TEST_F(FileHelpers, WinFileShareModes) {
  Write(At("f"), "0123456789");
  CWinFile reader;
  ASSERT_TRUE(reader.Open(At("f").wstring(), CWinFile::modeRead, false, false));
  CWinFile secondReader;
  EXPECT_TRUE(secondReader.Open(At("f").wstring(), CWinFile::modeRead, false, false)) << "readers share";
  CWinFile writer;
  EXPECT_FALSE(writer.Open(At("f").wstring(), CWinFile::modeWrite, false, true));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(Read(At("f")), "0123456789") << "a refused truncation truncates nothing";

  EXPECT_EQ(reader.GetSize(), 10);
  char buffer[4];
  EXPECT_TRUE(reader.Read(buffer, 4));
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_TRUE(reader.Seek(8, FILE_BEGIN));
  EXPECT_FALSE(reader.Read(buffer, 4)) << "only 2 bytes left";
  reader.Close();
  secondReader.Close();

  ASSERT_TRUE(writer.Open(At("f").wstring(), CWinFile::modeRead | CWinFile::modeWrite, false, false));
  EXPECT_FALSE(reader.Open(At("f").wstring(), CWinFile::modeRead, false, false)) << "a writer shares nothing";
  EXPECT_TRUE(writer.Truncate(4));
  EXPECT_TRUE(writer.Write("", 0));
  EXPECT_TRUE(writer.Seek(0, FILE_END));
  EXPECT_TRUE(writer.Write("ab", 2));
  writer.Close();
  EXPECT_EQ(Read(At("f")), "0123ab");
  EXPECT_FALSE(writer.Open(At("missing").wstring(), CWinFile::modeRead, false, false));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(writer.Open(At("created").wstring(), CWinFile::modeWrite, true, true));
}

TEST(ZlibCompressTest, ShrinkingAndNot) {
  std::string out = "stale";
  EXPECT_EQ(ZlibCompress("short", out, 6), Z_BUF_ERROR);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(ZlibCompress("", out, 6), Z_BUF_ERROR);
  const std::string text(10000, 'a');
  ASSERT_EQ(ZlibCompress(text, out, 6), Z_OK);
  EXPECT_LT(out.size(), text.size());
  std::string back(text.size(), '\0');
  uLongf length = back.size();
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(&back[0]), &length, reinterpret_cast<const Bytef*>(out.data()),
                       out.size()),
            Z_OK);
  EXPECT_EQ(back.substr(0, length), text);
}

TEST(PathHelpersTest, SplitAndModule) {
  std::wstring folder, name;
  SplitFilePath(L"/opt/corvane/CorvaneUpdate", &folder, &name);
  EXPECT_EQ(folder, L"/opt/corvane/");
  EXPECT_EQ(name, L"CorvaneUpdate");
  SplitFilePath(L"plain", &folder, &name);
  EXPECT_EQ(folder, L"");
  EXPECT_EQ(name, L"plain");
  std::wstring drive = L"stale";
  GetPathDrive(L"/opt/x", drive);
  EXPECT_EQ(drive, L"");
  GetModuleDirAndName(&folder, &name);
  EXPECT_EQ(name, L"updater_engine_files_tests");
  EXPECT_TRUE(IsPathExist(folder + name));
}

}  // namespace
