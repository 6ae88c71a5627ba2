#include <fcntl.h>
#include <platform/Kernel.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include "RowName.h"
#include "ScopedTempDir.h"

namespace fs = std::filesystem;

namespace {

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_temp.ok());
    m_folder = m_temp.path();
  }
  std::string Content(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void Put(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

  ScopedTempDir m_temp{"file"};
  fs::path m_folder;
};

struct DispositionCase {
  const char* name;
  DWORD access;
  DWORD disposition;
  bool fileExists;
  bool folderExists;
  bool opens;
  DWORD lastError;
  const char* contentAfterWrite;  // the file after writing "new" at its start; null: untouched
};

// The file holds "old content" when it exists beforehand.
const DispositionCase kDispositionCases[] = {
    {"CreateAlwaysNew", GENERIC_WRITE, CREATE_ALWAYS, false, true, true, ERROR_SUCCESS, "new"},
    {"CreateAlwaysExisting", GENERIC_WRITE, CREATE_ALWAYS, true, true, true, ERROR_ALREADY_EXISTS, "new"},
    {"CreateAlwaysMissingFolder", GENERIC_WRITE, CREATE_ALWAYS, false, false, false, ERROR_PATH_NOT_FOUND, nullptr},
    {"CreateNewNew", GENERIC_WRITE, CREATE_NEW, false, true, true, ERROR_SUCCESS, "new"},
    {"CreateNewExisting", GENERIC_WRITE, CREATE_NEW, true, true, false, ERROR_FILE_EXISTS, "old content"},
    {"OpenExistingExisting", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, true, true, true, ERROR_SUCCESS,
     "new content"},
    {"OpenExistingMissingFile", GENERIC_READ, OPEN_EXISTING, false, true, false, ERROR_FILE_NOT_FOUND, nullptr},
    {"OpenExistingMissingFolder", GENERIC_READ, OPEN_EXISTING, false, false, false, ERROR_PATH_NOT_FOUND, nullptr},
    {"OpenAlwaysNew", GENERIC_WRITE, OPEN_ALWAYS, false, true, true, ERROR_SUCCESS, "new"},
    {"OpenAlwaysExisting", GENERIC_WRITE, OPEN_ALWAYS, true, true, true, ERROR_ALREADY_EXISTS, "new content"},
    {"TruncateExistingExisting", GENERIC_WRITE, TRUNCATE_EXISTING, true, true, true, ERROR_SUCCESS, "new"},
    {"TruncateExistingMissing", GENERIC_WRITE, TRUNCATE_EXISTING, false, true, false, ERROR_FILE_NOT_FOUND, nullptr},
    {"TruncateWithoutWriteAccess", GENERIC_READ, TRUNCATE_EXISTING, true, true, false, ERROR_INVALID_PARAMETER,
     "old content"},
    {"UnknownDisposition", GENERIC_WRITE, 9, false, true, false, ERROR_INVALID_PARAMETER, nullptr},
};

class CreateFileDispositionTest : public FileTest, public ::testing::WithParamInterface<DispositionCase> {};

TEST_P(CreateFileDispositionTest, OpensAndReportsAsWindowsDoes) {
  const DispositionCase& c = GetParam();
  const fs::path folder = c.folderExists ? m_folder : m_folder / "missing";
  const fs::path file = folder / "data.bin";
  if (c.fileExists) Put(file, "old content");
  SetLastError(0xDEAD);  // a call that forgets to set the error fails below
  HANDLE handle = CreateFileW(file.wstring().c_str(), c.access, 0, nullptr, c.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(GetLastError(), c.lastError);
  ASSERT_EQ(handle != INVALID_HANDLE_VALUE, c.opens);
  if (handle != INVALID_HANDLE_VALUE) {
    DWORD written = 0xDEAD;
    EXPECT_TRUE(WriteFile(handle, "new", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(CloseHandle(handle));
  }
  if (c.contentAfterWrite) {
    EXPECT_EQ(Content(file), c.contentAfterWrite);
  } else {
    EXPECT_FALSE(fs::exists(file));
  }
}

INSTANTIATE_TEST_SUITE_P(Dispositions, CreateFileDispositionTest, ::testing::ValuesIn(kDispositionCases), RowName());

struct BadNameCase {
  const char* name;
  std::wstring fileName;
  DWORD lastError;
};

const BadNameCase kBadNameCases[] = {
    {"Empty", L"", ERROR_PATH_NOT_FOUND},
    {"LoneSurrogate", std::wstring(L"a") + wchar_t(0xD800), ERROR_INVALID_NAME},
    {"BeyondUnicode", std::wstring(L"a") + wchar_t(0x110000), ERROR_INVALID_NAME},
    {"LongerThanAPath", std::wstring(5000, L'x'), ERROR_FILENAME_EXCED_RANGE},
};

class CreateFileNameTest : public ::testing::TestWithParam<BadNameCase> {};

TEST_P(CreateFileNameTest, RejectsNamesThatAreNoPath) {
  SetLastError(0xDEAD);
  EXPECT_EQ(CreateFileW(GetParam().fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), GetParam().lastError);
}

INSTANTIATE_TEST_SUITE_P(Names, CreateFileNameTest, ::testing::ValuesIn(kBadNameCases), RowName());

TEST_F(FileTest, NonAsciiNameIsWrittenAsUtf8) {
  const std::wstring name = m_folder.wstring() + L"/dump-\u00e9\U0001F600.dmp";
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_TRUE(fs::exists(m_folder.string() + "/dump-\xC3\xA9\xF0\x9F\x98\x80.dmp"));
}

TEST_F(FileTest, HandleIsNotInherited) {
  HANDLE handle = CreateFileW((m_folder / "a").wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(handle) >> 1);
  EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  CloseHandle(handle);
}

// The crash filter's sequence: write, move to the end, append, read back.
TEST_F(FileTest, PointerMovesAndReadsFollowIt) {
  const std::wstring name = (m_folder / "p").wstring();
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  DWORD count = 0;
  ASSERT_TRUE(WriteFile(handle, "0123456789", 10, &count, nullptr));

  LONG high = 0;
  EXPECT_EQ(SetFilePointer(handle, 0, &high, FILE_END), 10u);
  EXPECT_EQ(high, 0);
  ASSERT_TRUE(WriteFile(handle, "ab", 2, &count, nullptr));
  EXPECT_EQ(SetFilePointer(handle, -4, nullptr, FILE_CURRENT), 8u);
  char buffer[16] = {};
  count = 0xDEAD;
  ASSERT_TRUE(ReadFile(handle, buffer, sizeof(buffer), &count, nullptr));
  EXPECT_EQ(count, 4u) << "a short read at the end of the file";
  EXPECT_EQ(std::string(buffer, count), "89ab");
  ASSERT_TRUE(ReadFile(handle, buffer, sizeof(buffer), &count, nullptr));
  EXPECT_EQ(count, 0u);

  SetLastError(0xDEAD);
  EXPECT_EQ(SetFilePointer(handle, -100, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_NE(GetLastError(), ERROR_SUCCESS);
  // A position past 4 GiB needs the high word, or the caller could not read it.
  EXPECT_EQ(SetFilePointer(handle, 0x7FFFFFFF, nullptr, FILE_BEGIN), 0x7FFFFFFFu);
  EXPECT_EQ(SetFilePointer(handle, 0x7FFFFFFF, nullptr, FILE_CURRENT), 0xFFFFFFFEu);
  EXPECT_EQ(SetFilePointer(handle, 2, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetFilePointer(handle, 0, nullptr, FILE_CURRENT), 0xFFFFFFFEu) << "a refused move stays put";
  high = 1;
  EXPECT_EQ(SetFilePointer(handle, 5, &high, FILE_BEGIN), 5u);
  EXPECT_EQ(high, 1);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_TRUE(CloseHandle(handle));
}

TEST(FileHandleTest, CallsOnAForeignHandleFail) {
  HANDLE notAFile = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x1000));
  char buffer[4];
  DWORD count = 0xDEAD;
  for (HANDLE handle : {notAFile, INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr)}) {
    SetLastError(0);
    EXPECT_FALSE(WriteFile(handle, "x", 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(count, 0u);
    SetLastError(0);
    EXPECT_FALSE(ReadFile(handle, buffer, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetFilePointer(handle, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  }
}

}  // namespace
