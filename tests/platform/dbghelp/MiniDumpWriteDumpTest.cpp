#include <platform/DbgHelp.h>
#include <platform/Kernel.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ScopedTempDir.h"

namespace fs = std::filesystem;

namespace {

// A context as a crash on this thread would give: enough for the writer.
struct FakeCrash {
  FakeCrash() {
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionAddress = reinterpret_cast<void*>(&FakeCrash::Here);
    context.ContextFlags = CONTEXT_CONTROL;
    context.Rip = reinterpret_cast<DWORD64>(&FakeCrash::Here);
    context.Rsp = reinterpret_cast<DWORD64>(&stackMark);
    info = {GetCurrentThreadId(), &pointers, TRUE};
  }
  static void Here() {}
  EXCEPTION_RECORD record{};
  CONTEXT context{};
  EXCEPTION_POINTERS pointers{&record, &context};
  MINIDUMP_EXCEPTION_INFORMATION info{};
  int stackMark = 0;
};

class MiniDumpWriteDumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_temp.ok());
    m_folder = m_temp.path();
    m_file = CreateFileW((m_folder / "t.dmp").wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(m_file, INVALID_HANDLE_VALUE);
  }
  void TearDown() override {
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
  }
  ScopedTempDir m_temp{"dump"};
  fs::path m_folder;
  HANDLE m_file = INVALID_HANDLE_VALUE;
  FakeCrash m_crash;
};

TEST_F(MiniDumpWriteDumpTest, RefusesWhatItDoesNotSupport) {
  MINIDUMP_EXCEPTION_INFORMATION noPointers{GetCurrentThreadId(), nullptr, TRUE};
  int userStreams = 0;
  struct Case {
    const char* what;
    DWORD processId;
    HANDLE file;
    MINIDUMP_TYPE type;
    PMINIDUMP_EXCEPTION_INFORMATION exception;
    LPVOID userStreams;
    DWORD lastError;
  };
  const Case cases[] = {
      {"another process", GetCurrentProcessId() + 1, m_file, MiniDumpNormal, &m_crash.info, nullptr, ERROR_NOT_SUPPORTED},
      {"another dump type", GetCurrentProcessId(), m_file, static_cast<MINIDUMP_TYPE>(2), &m_crash.info, nullptr,
       ERROR_INVALID_PARAMETER},
      {"no exception", GetCurrentProcessId(), m_file, MiniDumpNormal, nullptr, nullptr, ERROR_INVALID_PARAMETER},
      {"no pointers", GetCurrentProcessId(), m_file, MiniDumpNormal, &noPointers, nullptr, ERROR_INVALID_PARAMETER},
      {"user streams", GetCurrentProcessId(), m_file, MiniDumpNormal, &m_crash.info, &userStreams,
       ERROR_INVALID_PARAMETER},
      {"not a file", GetCurrentProcessId(), INVALID_HANDLE_VALUE, MiniDumpNormal, &m_crash.info, nullptr,
       ERROR_INVALID_HANDLE},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_FALSE(MiniDumpWriteDump(GetCurrentProcess(), c.processId, c.file, c.type, c.exception, c.userStreams, nullptr))
        << c.what;
    EXPECT_EQ(GetLastError(), c.lastError) << c.what;
  }
  EXPECT_EQ(fs::file_size(m_folder / "t.dmp"), 0u) << "a refused dump writes nothing";
}

// Callers append their trailer where the dump ends; a second dump is not
// blocked by the first.
TEST_F(MiniDumpWriteDumpTest, LeavesThePositionAfterTheDump) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    LONG high = 0;
    SetFilePointer(m_file, 0, &high, FILE_BEGIN);
    ASSERT_TRUE(MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), m_file, MiniDumpNormal, &m_crash.info,
                                  nullptr, nullptr));
    const DWORD end = SetFilePointer(m_file, 0, &high, FILE_CURRENT);
    EXPECT_EQ(end, fs::file_size(m_folder / "t.dmp"));
    std::ifstream in(m_folder / "t.dmp", std::ios::binary);
    char signature[4] = {};
    in.read(signature, 4);
    EXPECT_EQ(std::string(signature, 4), "MDMP");
  }
}

}  // namespace
