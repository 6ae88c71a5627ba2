// The kernel's file and folder calls: enumeration without following links,
// share modes between handles, removal and creation errors.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include <platform/Kernel.h>
#include <platform/Strings.h>
#include "RowName.h"
#include "ScopedTempDir.h"

namespace fs = std::filesystem;

namespace {

class FileCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_temp.ok());
    m_root = m_temp.path();
  }
  std::wstring W(const std::string& name) const { return (m_root / name).wstring(); }
  void Touch(const std::string& name, const std::string& text = "x") { std::ofstream(m_root / name) << text; }

  std::set<std::string> Find(const std::string& pattern, std::map<std::string, DWORD>* attributes = nullptr) {
    std::set<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(W(pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      names.insert(WideToUtf8(data.cFileName));
      if (attributes) (*attributes)[WideToUtf8(data.cFileName)] = data.dwFileAttributes;
    } while (FindNextFileW(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
    return names;
  }

  ScopedTempDir m_temp{"files"};
  fs::path m_root;
};

TEST_F(FileCalls, FindPatterns) {
  Touch("a.txt");
  Touch("b.log");
  Touch("noext");
  fs::create_directory(m_root / "sub.d");
  EXPECT_EQ(Find("*.*"), (std::set<std::string>{".", "..", "a.txt", "b.log", "noext", "sub.d"}));
  EXPECT_EQ(Find("*.txt"), (std::set<std::string>{"a.txt"}));
  EXPECT_EQ(Find("?.log"), (std::set<std::string>{"b.log"}));
  EXPECT_EQ(Find("noext"), (std::set<std::string>{"noext"}));
  WIN32_FIND_DATAW data;
  EXPECT_EQ(FindFirstFileW(W("*.none").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirstFileW(W("missing/*.*").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileCalls, LinksAreEntriesOfTheirOwn) {
  fs::create_directory(m_root / "target");
  Touch("target/inside");
  fs::create_directory_symlink(m_root / "target", m_root / "link");
  std::map<std::string, DWORD> attributes;
  Find("*", &attributes);
  EXPECT_EQ(attributes["link"], FILE_ATTRIBUTE_REPARSE_POINT) << "never a folder: a walk must not enter it";
  EXPECT_EQ(attributes["target"], FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesW(W("link").c_str()), FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_TRUE(DeleteFileW(W("link").c_str()));
  EXPECT_TRUE(fs::exists(m_root / "target/inside"));
}

TEST_F(FileCalls, RemovalAndCreationErrors) {
  fs::create_directory(m_root / "dir");
  Touch("dir/f");
  EXPECT_FALSE(DeleteFileW(W("dir").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(RemoveDirectoryW(W("dir").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
  EXPECT_FALSE(DeleteFileW(W("missing").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(DeleteFileW(W("nofolder/missing").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(CreateDirectoryW(W("dir").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryW(W("a/b").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW(W("missing").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FileCalls, ReadOnlyAttribute) {
  Touch("f");
  EXPECT_EQ(GetFileAttributesW(W("f").c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(SetFileAttributesW(W("f").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesW(W("f").c_str()), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(SetFileAttributesW(W("f").c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesW(W("f").c_str()), FILE_ATTRIBUTE_NORMAL);
}

// A fetched file takes the mode of the program it replaces; set-id bits and
// folders as models are refused, a missing model is "not found".
TEST_F(FileCalls, CopyFileModeMakesAReplacementRunnable) {
  Touch("installed");
  Touch("fetched");
  ASSERT_EQ(chmod((m_root / "installed").c_str(), 04750), 0);
  ASSERT_EQ(chmod((m_root / "fetched").c_str(), 0600), 0);
  EXPECT_TRUE(CopyFileModeW(W("installed").c_str(), W("fetched").c_str()));
  struct stat info;
  ASSERT_EQ(stat((m_root / "fetched").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0750u);

  EXPECT_FALSE(CopyFileModeW(W("missing").c_str(), W("fetched").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(CopyFileModeW(m_root.wstring().c_str(), W("fetched").c_str()));
  EXPECT_FALSE(CopyFileModeW(W("installed").c_str(), W("missing").c_str()));
}

struct ShareCase {
  const char* name;
  DWORD firstAccess, firstShare, secondAccess, secondShare;
  bool secondOpens;
};

const ShareCase kShareCases[] = {
    {"ReadersSharingRead", GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true},
    {"ReaderThenExclusive", GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, 0, false},
    {"ExclusiveThenReader", GENERIC_READ, 0, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
    {"WriterDenyingWrite", GENERIC_WRITE, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, false},
    {"SharingEverything", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_WRITE,
     FILE_SHARE_READ | FILE_SHARE_WRITE, true},
};

class ShareModes : public FileCalls, public ::testing::WithParamInterface<ShareCase> {};

TEST_P(ShareModes, SecondHandle) {
  Touch("f", "content");
  const ShareCase& c = GetParam();
  HANDLE first = CreateFileW(W("f").c_str(), c.firstAccess, c.firstShare, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  // CREATE_ALWAYS would truncate: a refused open must not have.
  HANDLE second = CreateFileW(W("f").c_str(), c.secondAccess, c.secondShare, nullptr,
                              (c.secondAccess & GENERIC_WRITE) ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens);
  if (second == INVALID_HANDLE_VALUE) {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(fs::file_size(m_root / "f"), 7u);
  } else {
    CloseHandle(second);
  }
  CloseHandle(first);
  HANDLE again = CreateFileW(W("f").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(again, INVALID_HANDLE_VALUE) << "closing releases the lock";
  CloseHandle(again);
}

INSTANTIATE_TEST_SUITE_P(Pairs, ShareModes, ::testing::ValuesIn(kShareCases), RowName());

TEST_F(FileCalls, HandleCalls) {
  HANDLE file = CreateFileW(W("f").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, "0123456789", 10, &written, nullptr));
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(file, &high), 10u);
  EXPECT_EQ(high, 0u);
  SetFilePointer(file, 4, nullptr, FILE_BEGIN);
  EXPECT_TRUE(SetEndOfFile(file));
  EXPECT_EQ(GetFileSize(file, nullptr), 4u);
  EXPECT_TRUE(FlushFileBuffers(file));
  const FILETIME when{0xD53E8000u, 0x019DB1DEu};  // 1970-01-01
  EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &when));
  FILETIME back{};
  EXPECT_TRUE(GetFileTime(file, nullptr, nullptr, &back));
  EXPECT_EQ(back.dwLowDateTime, when.dwLowDateTime);
  EXPECT_EQ(back.dwHighDateTime, when.dwHighDateTime);
  CloseHandle(file);
  EXPECT_EQ(GetFileSize(file, nullptr), INVALID_FILE_SIZE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  ULARGE_INTEGER available{}, total{}, free{};
  EXPECT_TRUE(GetDiskFreeSpaceExW(m_root.wstring().c_str(), &available, &total, &free));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(available.QuadPart, free.QuadPart);
}

// The mount point names where a low-disk warning is about.
TEST(VolumePathTest, MountPointThatHoldsThePath) {
  struct Case {
    const wchar_t* path;
    const wchar_t* volume;
  };
  const Case cases[] = {
      {L"/", L"/"},
      {L"/proc/self/status", L"/proc/"},
      {L"/proc", L"/proc/"},
      {L"/sys/kernel", L"/sys/"},
  };
  for (const Case& c : cases) {
    wchar_t volume[256] = L"stale";
    ASSERT_TRUE(GetVolumePathNameW(c.path, volume, 256)) << c.path;
    EXPECT_STREQ(volume, c.volume) << c.path;
  }
  wchar_t small[3];
  EXPECT_FALSE(GetVolumePathNameW(L"/proc/self", small, 3));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  wchar_t volume[256];
  EXPECT_FALSE(GetVolumePathNameW(L"/no/such/folder", volume, 256));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
