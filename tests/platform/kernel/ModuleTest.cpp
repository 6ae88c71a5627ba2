#include <gtest/gtest.h>
#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "RowName.h"
#include "ScopedTempDir.h"

extern "C" DWORD ModuleProbeFileName(wchar_t* buffer, DWORD size);

namespace {

namespace fs = std::filesystem;

std::wstring ExecutablePath() { return Utf8ToWide(fs::read_symlink("/proc/self/exe").string()); }

TEST(ModuleFileName, IsTheRunningExecutable) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  EXPECT_EQ(std::wstring(path), ExecutablePath());
  EXPECT_EQ(length, ExecutablePath().size());
}

TEST(ModuleFileName, IsTheExecutableWhenASharedLibraryAsks) {
  wchar_t path[MAX_PATH];
  const DWORD length = ModuleProbeFileName(path, MAX_PATH);
  EXPECT_EQ(std::wstring(path), ExecutablePath());
  EXPECT_EQ(length, ExecutablePath().size());
  EXPECT_NE(std::wstring(path), Utf8ToWide(KERNEL_MODULE_PROBE));
}

TEST(ModuleFileName, OnlyTheNullModule) {
  wchar_t path[MAX_PATH];
  int someModule = 0;
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(&someModule), path, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

struct TruncationCase {
  const char* name;
  int sizeFromLength;  // buffer size = path length + this
};

const TruncationCase kTruncationCases[] = {
    {"RoomForTerminator", 1},
    {"ExactlyThePath", 0},
    {"OneShort", -1},
    {"OnlyTheTerminator", -100000},
};

class ModuleFileNameTruncation : public ::testing::TestWithParam<TruncationCase> {};

// Vista's rule: a buffer too small gets size - 1 characters and a terminator,
// the call returns the size and sets ERROR_INSUFFICIENT_BUFFER.
TEST_P(ModuleFileNameTruncation, FollowsTheWindowsRule) {
  const std::wstring full = ExecutablePath();
  const long wanted = static_cast<long>(full.size()) + GetParam().sizeFromLength;
  const DWORD size = static_cast<DWORD>(std::max(1L, wanted));
  // A guard past the given size shows a write beyond it.
  std::vector<wchar_t> buffer(size + 4, L'#');
  SetLastError(0);
  const DWORD result = GetModuleFileNameW(nullptr, buffer.data(), size);
  if (size > full.size()) {
    EXPECT_EQ(result, full.size());
    EXPECT_EQ(std::wstring(buffer.data()), full);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  } else {
    EXPECT_EQ(result, size);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::wstring(buffer.data()), full.substr(0, size - 1));
  }
  for (size_t i = size; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], L'#') << "written at " << i;
}

INSTANTIATE_TEST_SUITE_P(Sizes, ModuleFileNameTruncation, ::testing::ValuesIn(kTruncationCases), RowName());

TEST(ModuleFileName, ZeroSizeWritesNothing) {
  wchar_t guard = L'#';
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameW(nullptr, &guard, 0), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(guard, L'#');
}

class CurrentDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = fs::current_path();
    ASSERT_TRUE(temp_.ok());
    dir_ = temp_.path();
  }
  void TearDown() override { fs::current_path(saved_); }
  fs::path saved_;
  ScopedTempDir temp_{"kernel-folder"};
  fs::path dir_;
};

TEST_F(CurrentDirectoryTest, SetThenGet) {
  const fs::path target = dir_ / "\xC3\xA9t\xC3\xA9";
  fs::create_directory(target);
  ASSERT_TRUE(SetCurrentDirectoryW(Utf8ToWide(target.string()).c_str()));
  const std::wstring expected = Utf8ToWide(target.string());

  EXPECT_EQ(GetCurrentDirectoryW(0, nullptr), expected.size() + 1) << "the size it needs, terminator included";
  std::vector<wchar_t> small(expected.size(), L'#');
  EXPECT_EQ(GetCurrentDirectoryW(static_cast<DWORD>(small.size()), small.data()), expected.size() + 1);
  EXPECT_EQ(small[0], L'#') << "a buffer too small is left alone";

  std::vector<wchar_t> buffer(expected.size() + 1);
  EXPECT_EQ(GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data()), expected.size());
  EXPECT_EQ(std::wstring(buffer.data()), expected);
}

TEST_F(CurrentDirectoryTest, FailuresKeepTheFolder) {
  std::ofstream(dir_ / "file") << "x";
  ASSERT_TRUE(SetCurrentDirectoryW(Utf8ToWide(dir_.string()).c_str()));
  const struct {
    std::string path;
    DWORD error;
  } cases[] = {
      {(dir_ / "missing").string(), ERROR_FILE_NOT_FOUND},
      {(dir_ / "missing" / "deeper").string(), ERROR_PATH_NOT_FOUND},
      {"missing-relative", ERROR_FILE_NOT_FOUND},
      {(dir_ / "file").string(), ERROR_DIRECTORY},
      {"", ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_FALSE(SetCurrentDirectoryW(Utf8ToWide(c.path).c_str())) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
    EXPECT_EQ(fs::current_path(), dir_);
  }
}

TEST(Version, IsSixPointTwo) {
  const DWORD version = GetVersion();
  EXPECT_GT(LOBYTE(version), 5) << "callers take the low byte for the major version";
  EXPECT_EQ(LOBYTE(version), 6);
  EXPECT_EQ(LOBYTE(version >> 8), 2);
  EXPECT_EQ(version & 0x80000000u, 0u);
}

uint64_t MonotonicMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

TEST(TickCount, IsTheMonotonicClockInMillisecondsModulo32Bits) {
  const uint64_t before = MonotonicMs();
  const DWORD tick = GetTickCount();
  const uint64_t after = MonotonicMs();
  // Compared as differences, which survive the 32-bit wrap.
  EXPECT_LE(static_cast<DWORD>(tick - static_cast<DWORD>(before)), static_cast<DWORD>(after - before));
}

TEST(TickCount, SleepWaitsAtLeastItsTime) {
  const DWORD start = GetTickCount();
  Sleep(30);
  EXPECT_GE(static_cast<DWORD>(GetTickCount() - start), 30u);
}

}  // namespace
