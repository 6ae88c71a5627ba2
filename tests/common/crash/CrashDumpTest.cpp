// Crashes a child that installed the crash-dump writer and checks what it
// leaves: the dump file, its trailer, the minidump inside and what a real
// debugger makes of it.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "ChildProcess.h"
#include "ElfSymbols.h"
#include "MinidumpReader.h"
#include "RowName.h"
#include "ScopedTempDir.h"

namespace fs = std::filesystem;

namespace {

const std::string kChild = CRASH_CHILD_PATH;

std::map<std::string, std::string> ReadReport(const fs::path& file) {
  std::map<std::string, std::string> report;
  std::istringstream lines(ReadWholeFile(file.string()));
  std::string key;
  std::string value;
  while (lines >> key && std::getline(lines, value)) report[key] = value.substr(value.find_first_not_of(' '));
  return report;
}

std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) files.push_back(entry.path());
  return files;
}

std::string Hex(uint64_t value) {
  char text[24];
  snprintf(text, sizeof(text), "%" PRIX64, value);
  return text;
}

struct CrashCase {
  const char* name;
  const char* mode;
  uint32_t exceptionCode;
  int signal;
  const char* function;
  bool faultsInFunction;  // false: the fault is raised inside the C library
  const char* threadName;  // of the crashing thread; unnamed threads carry the program's
};

const CrashCase kCrashCases[] = {
    {"NullWrite", "null-write", 0xC0000005, SIGSEGV, "CrashByNullWrite", true, "crash_child"},
    {"DivideByZero", "divide", 0xC0000094, SIGFPE, "CrashByDivideByZero", true, "crash_child"},
    {"IllegalInstruction", "illegal", 0xC000001D, SIGILL, "CrashByIllegalInstruction", true, "crash_child"},
    {"Abort", "abort", 0xC0000409, SIGABRT, "CrashByAbort", false, "crash_child"},
    {"NullWriteOnWorkerThread", "worker-null-write", 0xC0000005, SIGSEGV, "CrashByNullWrite", true, "crash_child"},
    // An overflow leaves the thread no stack for the handler: only its own
    // alternate stack lets the dump be written.
    {"StackOverflowOnNamedThread", "named-thread-overflow", 0xC0000005, SIGSEGV, "CrashByStackOverflow", true,
     "CrashWorker"},
    {"StackOverflowOnPlatformThread", "begin-thread-overflow", 0xC0000005, SIGSEGV, "CrashByStackOverflow", true,
     "BeginWorker"},
};

// One crashed child per test: its folder, its dump and what it reported.
class CrashDumpTest : public ::testing::TestWithParam<CrashCase> {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_folder.path().empty()) << "no temporary folder";
    ASSERT_TRUE(fs::create_directory(m_folder.path() / "log"));
    const ChildResult result = RunWithDeadline({kChild, GetParam().mode, m_folder.path().string()}, 60);
    ASSERT_TRUE(result.finished) << "the child hung";
    ASSERT_TRUE(WIFSIGNALED(result.status)) << "exit status " << result.status;
    EXPECT_EQ(WTERMSIG(result.status), GetParam().signal) << "the process must still end as a crash";
    m_report = ReadReport(m_folder.path() / "child-report.txt");
    ASSERT_EQ(m_report.count("tid"), 1u) << "the child wrote no report";
    const std::vector<fs::path> dumps = FilesIn(m_folder.path() / "log");
    ASSERT_EQ(dumps.size(), 1u) << "expected exactly one dump file";
    m_dumpPath = dumps[0];
    m_bytes = ReadWholeFile(m_dumpPath.string());
    ASSERT_GE(m_bytes.size(), 4u);
    memcpy(&m_trailerLength, m_bytes.data() + m_bytes.size() - 4, 4);
    ASSERT_LE(m_trailerLength, m_bytes.size()) << "trailer length word beyond the file";
    ASSERT_GE(m_trailerLength, 4u);
    m_trailer = m_bytes.substr(m_bytes.size() - m_trailerLength, m_trailerLength - 4);
  }

  uint64_t ReportedFunction() const {
    std::istringstream value(m_report.at("function"));
    std::string name;
    std::string address;
    value >> name >> address;
    return std::stoull(address, nullptr, 16);
  }

  ScopedTempDir m_folder{"crash"};
  std::map<std::string, std::string> m_report;
  fs::path m_dumpPath;
  std::string m_bytes;
  uint32_t m_trailerLength = 0;
  std::string m_trailer;
};

TEST_P(CrashDumpTest, TrailerFollowsTheDump) {
  const std::string expectedHead = "\nException code:0x" + Hex(GetParam().exceptionCode) + "\nFault address:0x";
  ASSERT_EQ(m_trailer.compare(0, expectedHead.size(), expectedHead), 0) << m_trailer;

  // The fault address line is whole (64 bits) and, as on Windows, names the
  // faulting instruction: the crashing thread's context agrees.
  const size_t addressStart = expectedHead.size();
  const size_t addressEnd = m_trailer.find('\n', addressStart);
  ASSERT_NE(addressEnd, std::string::npos);
  const std::string address = m_trailer.substr(addressStart, addressEnd - addressStart);
  EXPECT_THAT(address, ::testing::MatchesRegex("[1-9A-F][0-9A-F]*"));
  MinidumpReader dump;
  ASSERT_TRUE(dump.Parse(m_bytes, m_bytes.size() - m_trailerLength)) << dump.error();
  EXPECT_EQ(address, Hex(dump.exceptionContext.rip));

  const std::string relativePath = "log/" + m_dumpPath.filename().string();
  EXPECT_THAT(m_dumpPath.filename().string(),
              ::testing::MatchesRegex("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\.dmp"));
  EXPECT_EQ(m_trailer.substr(addressEnd + 1), "child info: " + relativePath + "\n");

  // OnDumped ran once the file, trailer included, was complete.
  EXPECT_EQ(ReadWholeFile((m_folder.path() / "ondumped.mark").string()),
            relativePath + " " + std::to_string(m_bytes.size()) + "\n");
}

TEST_P(CrashDumpTest, MinidumpHoldsTheCrash) {
  MinidumpReader dump;
  ASSERT_TRUE(dump.Parse(m_bytes, m_bytes.size() - m_trailerLength)) << dump.error();
  EXPECT_EQ(dump.version & 0xFFFF, 0xA793u);
  for (uint32_t type : {3u, 4u, 5u, 6u, 7u, 0x47670009u}) {
    EXPECT_EQ(dump.streams.count(type), 1u) << "stream type 0x" << std::hex << type << " missing";
  }
  EXPECT_EQ(dump.architecture, 9) << "AMD64";
  EXPECT_EQ(dump.platform, 0x8201u) << "Linux";

  EXPECT_EQ(std::to_string(dump.threads.size()), m_report.at("tasks")) << "every thread of the process";
  const uint32_t crashingThread = static_cast<uint32_t>(std::stoul(m_report.at("tid")));
  EXPECT_EQ(dump.exceptionThread, crashingThread);
  EXPECT_EQ(dump.threadNames.size(), dump.threads.size()) << "every thread has its name";
  EXPECT_EQ(dump.threadNames[crashingThread], GetParam().threadName);
  EXPECT_EQ(dump.exceptionCode, static_cast<uint32_t>(GetParam().signal)) << "Linux readers expect the signal";
  EXPECT_EQ(dump.exceptionContext.flags & 0x0010000Bu, 0x0010000Bu) << "control, integer and floating point";

  const DumpThread* crashing = nullptr;
  for (const DumpThread& thread : dump.threads) {
    if (thread.id == crashingThread) crashing = &thread;
  }
  ASSERT_NE(crashing, nullptr) << "the crashing thread is not in the thread list";
  const DumpContext context = dump.ContextAt(crashing->contextRva);
  EXPECT_EQ(context.rip, dump.exceptionContext.rip);
  EXPECT_GT(crashing->stackSize, 0u);
  // An overflow may leave the stack pointer in the guard page below the stack.
  const uint64_t guard = strstr(GetParam().mode, "overflow") != nullptr ? 4096 : 0;
  EXPECT_LE(crashing->stackStart, context.rsp + guard);
  EXPECT_GT(crashing->stackStart + crashing->stackSize, context.rsp) << "the stack must cover the stack pointer";
  size_t stacksInMemoryList = 0;
  for (const DumpThread& thread : dump.threads) {
    if (thread.stackSize == 0) continue;
    for (const auto& range : dump.memory) stacksInMemoryList += range.first == thread.stackStart;
  }
  EXPECT_GE(stacksInMemoryList, 1u + 3u) << "the crashing and the idle threads' stacks are readable";

  const uint64_t function = ReportedFunction();
  if (GetParam().faultsInFunction) {
    const uint64_t size = ElfSymbolSize(kChild, GetParam().function);
    ASSERT_GT(size, 0u) << "no symbol " << GetParam().function << " in " << kChild;
    EXPECT_GE(context.rip, function);
    EXPECT_LT(context.rip, function + size) << "the context's RIP is not inside " << GetParam().function;
  }
  const DumpModule* child = nullptr;
  for (const DumpModule& module : dump.modules) {
    if (module.name == fs::canonical(kChild).string()) child = &module;
  }
  ASSERT_NE(child, nullptr) << "the child's executable is not in the module list";
  EXPECT_LE(child->base, function);
  EXPECT_LT(function, child->base + child->size);
  EXPECT_GE(child->buildId.size(), 16u) << "debuggers match the file by its build id";
  EXPECT_NE(dump.maps.find(fs::canonical(kChild).string()), std::string::npos);
}

TEST_P(CrashDumpTest, DebuggerShowsTheCrashingFunction) {
  const std::string lldb = FindInPath("lldb");
  if (lldb.empty()) GTEST_SKIP() << "lldb is not installed: cannot check the dump with a real reader";
  // The trailer after the dump is part of the file lldb opens: it must cope.
  const fs::path output = m_folder.path() / "lldb.txt";
  const ChildResult result = RunWithDeadline(
      {lldb, "--batch", "--no-lldbinit", "--core", m_dumpPath.string(), kChild, "-o", "bt"}, 120, output.string());
  const std::string text = ReadWholeFile(output.string());
  ASSERT_TRUE(result.finished) << "lldb hung:\n" << text;
  // A frame of the child's own module, e.g. "crash_child`::CrashByAbort() at ...".
  EXPECT_THAT(text, ::testing::ContainsRegex(std::string("crash_child`(::)?") + GetParam().function + "\\("))
      << "the backtrace does not show " << GetParam().function;
}

INSTANTIATE_TEST_SUITE_P(Crashes, CrashDumpTest, ::testing::ValuesIn(kCrashCases), RowName());

// A crash that writes no dump still ends the process as a crash.
struct NoDumpCase {
  const char* name;
  const char* mode;
  bool withLogFolder;
};

const NoDumpCase kNoDumpCases[] = {
    {"FilterInstalledWithNone", "uninstalled", true},
    {"LogFolderMissing", "null-write", false},
};

class CrashWithoutDumpTest : public ::testing::TestWithParam<NoDumpCase> {};

TEST_P(CrashWithoutDumpTest, WritesNothingAndStillCrashes) {
  ScopedTempDir folder{"crash"};
  ASSERT_FALSE(folder.path().empty());
  if (GetParam().withLogFolder) {
    ASSERT_TRUE(fs::create_directory(folder.path() / "log"));
  }
  const ChildResult result = RunWithDeadline({kChild, GetParam().mode, folder.path().string()}, 60);
  ASSERT_TRUE(result.finished) << "the child hung";
  ASSERT_TRUE(WIFSIGNALED(result.status)) << "exit status " << result.status;
  EXPECT_EQ(WTERMSIG(result.status), SIGSEGV);
  std::vector<fs::path> expected = {folder.path() / "child-report.txt"};
  if (GetParam().withLogFolder) expected.push_back(folder.path() / "log");
  std::vector<fs::path> files = FilesIn(folder.path());
  std::sort(files.begin(), files.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(files, expected) << "no dump and no OnDumped mark";
  if (GetParam().withLogFolder) {
    EXPECT_TRUE(FilesIn(folder.path() / "log").empty());
  }
}

INSTANTIATE_TEST_SUITE_P(NoDump, CrashWithoutDumpTest, ::testing::ValuesIn(kNoDumpCases), RowName());

}  // namespace
