#include <fcntl.h>
#include <gtest/gtest.h>
#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include "ChildProcess.h"
#include "RowName.h"
#include "ScopedTempDir.h"

namespace {

namespace fs = std::filesystem;

const DWORD kWaitMs = 10000;  // far above any child's run time; only failures reach it

const std::string kChild = KERNEL_PROCESS_CHILD;

std::wstring Quoted(const std::string& text) { return L"\"" + Utf8ToWide(text) + L"\""; }

template <typename Ready>
bool PollFor(Ready ready, int milliseconds = static_cast<int>(kWaitMs)) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// The process state letter from /proc/<pid>/stat, or 0 when the pid is gone.
char ProcState(DWORD pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return 0;
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : 0;
}

// Owns what CreateProcess handed out; a child still running at the end of a
// test is killed and waited for, so no test leaves one behind.
class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() { Release(); }

  PROCESS_INFORMATION* info() { return &info_; }
  HANDLE process() const { return info_.hProcess; }
  DWORD pid() const { return info_.dwProcessId; }
  void CloseHandles() {
    if (info_.hThread) CloseHandle(info_.hThread);
    if (info_.hProcess) CloseHandle(info_.hProcess);
    info_ = {};
  }
  void Release() {
    if (info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
      kill(static_cast<pid_t>(info_.dwProcessId), SIGKILL);
      WaitForSingleObject(info_.hProcess, kWaitMs);
      DWORD code = 0;
      GetExitCodeProcess(info_.hProcess, &code);  // reaps it
    }
    CloseHandles();
  }

 private:
  PROCESS_INFORMATION info_ = {};
};

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.ok());
    dir_ = temp_.path();
  }

  // Starts the child program with these arguments (already in command-line form).
  BOOL Start(Child* child, const std::wstring& arguments, LPCWSTR folder = nullptr) {
    std::wstring line = Quoted(kChild) + L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    return CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, child->info());
  }

  DWORD RunToEnd(const std::wstring& arguments) {
    Child child;
    EXPECT_TRUE(Start(&child, arguments)) << GetLastError();
    EXPECT_EQ(WaitForSingleObject(child.process(), kWaitMs), WAIT_OBJECT_0);
    DWORD code = 0xDEADBEEF;
    EXPECT_TRUE(GetExitCodeProcess(child.process(), &code));
    return code;
  }

  ScopedTempDir temp_{"kernel-process"};
  fs::path dir_;
};

struct ExitCase {
  const char* name;
  const wchar_t* code;
  DWORD expected;
};

// Linux keeps 8 bits of an exit status: -1 reads as 255, 300 as 44.
const ExitCase kExitCases[] = {
    {"Zero", L"0", 0}, {"Seven", L"7", 7}, {"Max", L"255", 255}, {"MinusOne", L"-1", 255}, {"Wraps", L"300", 44},
};

class ProcessExitTest : public ProcessTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ProcessExitTest, ExitCodeIsReadBackAfterTheWait) {
  EXPECT_EQ(RunToEnd(L"exit " + std::wstring(GetParam().code)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Codes, ProcessExitTest, ::testing::ValuesIn(kExitCases), RowName());

TEST_F(ProcessTest, ChildEndingByItselfIsReapedAndKeepsItsCode) {
  Child child;
  ASSERT_TRUE(Start(&child, L"sleep 50"));
  EXPECT_EQ(WaitForSingleObject(child.info()->hThread, kWaitMs), WAIT_OBJECT_0);
  DWORD code = 0xDEADBEEF;
  ASSERT_TRUE(GetExitCodeProcess(child.process(), &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(ProcState(child.pid()), 0) << "an ended child stays a zombie";
  // Asking again gives the same answer, not an error about a reaped child.
  code = 0xDEADBEEF;
  EXPECT_TRUE(GetExitCodeProcess(child.process(), &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(WaitForSingleObject(child.process(), 0), WAIT_OBJECT_0);
}

TEST_F(ProcessTest, TerminatedChildReportsTheGivenCodeWhole) {
  Child child;
  ASSERT_TRUE(Start(&child, L"sleep 60000"));
  EXPECT_EQ(WaitForSingleObject(child.process(), 20), WAIT_TIMEOUT);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(child.process(), &code));
  EXPECT_EQ(code, STILL_ACTIVE);

  // A code wider than 8 bits, as the updater passes its own pid.
  const UINT given = 0x12345;
  ASSERT_TRUE(TerminateProcess(child.process(), given)) << GetLastError();
  ASSERT_EQ(WaitForSingleObject(child.process(), kWaitMs), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeProcess(child.process(), &code));
  EXPECT_EQ(code, given);

  SetLastError(0);
  EXPECT_FALSE(TerminateProcess(child.process(), 1)) << "ending an ended process";
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(ProcessTest, OpenedPidCanBeWaitedForAndEnded) {
  Child child;
  ASSERT_TRUE(Start(&child, L"sleep 60000"));
  HANDLE opened = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, child.pid());
  ASSERT_NE(opened, nullptr) << GetLastError();
  EXPECT_EQ(WaitForSingleObject(opened, 10), WAIT_TIMEOUT);
  EXPECT_TRUE(TerminateProcess(opened, 77));
  EXPECT_EQ(WaitForSingleObject(opened, kWaitMs), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(opened, &code));
  EXPECT_EQ(code, 77u);
  EXPECT_TRUE(CloseHandle(opened));
  // The starter's handle sees a process ended by SIGKILL from elsewhere.
  ASSERT_TRUE(GetExitCodeProcess(child.process(), &code));
  EXPECT_EQ(code, 128u + SIGKILL);
}

TEST_F(ProcessTest, OpenedPidReadsTheCodeOfAnUnreapedProcess) {
  Child child;
  ASSERT_TRUE(Start(&child, L"exit 9"));
  HANDLE opened = OpenProcess(SYNCHRONIZE, FALSE, child.pid());
  ASSERT_NE(opened, nullptr) << GetLastError();
  ASSERT_EQ(WaitForSingleObject(opened, kWaitMs), WAIT_OBJECT_0);
  // The pidfd turns readable a moment before the zombie's status is published.
  ASSERT_TRUE(PollFor([&] { return ProcState(child.pid()) == 'Z'; }));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(opened, &code));
  EXPECT_EQ(code, 9u);
  EXPECT_TRUE(CloseHandle(opened));
  ASSERT_TRUE(GetExitCodeProcess(child.process(), &code));
  EXPECT_EQ(code, 9u);
}

TEST_F(ProcessTest, PidThatDoesNotExistIsAnInvalidParameter) {
  for (DWORD pid : {0u, 0x7FFFFFF0u, 0xFFFFFFFFu}) {
    SetLastError(0);
    EXPECT_EQ(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid), nullptr) << pid;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << pid;
  }
  // A pid freed a moment ago (and not yet reused).
  DWORD gone = 0;
  {
    Child child;
    ASSERT_TRUE(Start(&child, L"exit 0"));
    gone = child.pid();
  }
  if (ProcState(gone) == 0) {
    SetLastError(0);
    EXPECT_EQ(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, gone), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
}

TEST_F(ProcessTest, ProcessHandleCallsRejectOtherHandles) {
  int notAHandle = 0;
  DWORD code = 0;
  SetLastError(0);
  EXPECT_FALSE(TerminateProcess(&notAHandle, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(GetExitCodeProcess(nullptr, &code));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  ASSERT_TRUE(GetExitCodeProcess(GetCurrentProcess(), &code));
  EXPECT_EQ(code, STILL_ACTIVE);

  Child child;
  ASSERT_TRUE(Start(&child, L"sleep 60000"));
  EXPECT_FALSE(TerminateProcess(child.info()->hThread, 1)) << "a thread handle is not a process";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// A pid that has run exec since we opened it is no longer the program we
// meant to end.
TEST_F(ProcessTest, TerminateRefusesAPidRunningAnotherProgram) {
  const fs::path go = dir_ / "go";
  Child child;
  ASSERT_TRUE(Start(&child, L"await " + Quoted(go.string()) + L" /bin/sleep 60"));
  HANDLE opened = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, child.pid());
  ASSERT_NE(opened, nullptr);
  std::ofstream(go).put('x');
  const std::string exeLink = "/proc/" + std::to_string(child.pid()) + "/exe";
  ASSERT_TRUE(PollFor([&] {
    std::error_code error;
    return fs::equivalent(fs::read_symlink(exeLink, error), "/bin/sleep", error);
  }));

  for (HANDLE handle : {child.process(), opened}) {
    SetLastError(0);
    EXPECT_FALSE(TerminateProcess(handle, 1));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  }
  EXPECT_EQ(WaitForSingleObject(child.process(), 0), WAIT_TIMEOUT) << "it was ended anyway";
  EXPECT_TRUE(CloseHandle(opened));
}

// What the updater asks before it ends a recorded pid: a copy of the program
// in another folder is that program, a program of another name is not, and a
// copy removed while it runs keeps its name.
TEST_F(ProcessTest, ProgramOfOwnNameIsTheFileNameInAnyFolder) {
  const fs::path ownName = fs::read_symlink("/proc/self/exe").filename();
  const fs::path sameName = dir_ / ownName;
  fs::copy_file(kChild, sameName);
  fs::permissions(sameName, fs::perms::owner_all);
  Child renamed, other;
  std::wstring line = Quoted(sameName.string()) + L" sleep 60000";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             renamed.info()))
      << GetLastError();
  ASSERT_TRUE(Start(&other, L"sleep 60000"));

  EXPECT_TRUE(ProcessRunsProgramOfOwnName(GetCurrentProcessId()));
  EXPECT_TRUE(ProcessRunsProgramOfOwnName(renamed.pid())) << "a copy under our name, elsewhere";
  EXPECT_FALSE(ProcessRunsProgramOfOwnName(other.pid())) << "another program";
  EXPECT_FALSE(ProcessRunsProgramOfOwnName(0));
  fs::remove(sameName);
  EXPECT_TRUE(ProcessRunsProgramOfOwnName(renamed.pid())) << "its file removed while it runs";
}

struct StartFailure {
  const char* name;
  std::string program;  // relative to the test's folder when not absolute
  std::string folder;   // the child's current folder; empty for ours
  DWORD error;
};

class ProcessStartFailureTest : public ProcessTest, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(ProcessStartFailureTest, FailsWithTheWindowsError) {
  const StartFailure& c = GetParam();
  std::ofstream(dir_ / "text.txt") << "not a program\n";
  const fs::path script = dir_ / "text.sh";
  std::ofstream(script) << "garbage\n";
  fs::permissions(script, fs::perms::owner_all);

  std::string program = c.program;
  if (!program.empty() && program[0] == '@') program = (dir_ / program.substr(1)).string();
  std::wstring line = program.empty() ? std::wstring() : Quoted(program) + L" arg";
  const std::wstring folder = Utf8ToWide(c.folder);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  Child child;
  SetLastError(0);
  EXPECT_FALSE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                              c.folder.empty() ? nullptr : folder.c_str(), &startup, child.info()));
  EXPECT_EQ(GetLastError(), c.error);
  EXPECT_EQ(child.process(), nullptr);
}

const StartFailure kStartFailures[] = {
    {"MissingPath", "/nonexistent/folder/program", "", ERROR_FILE_NOT_FOUND},
    {"MissingBareName", "corvane-no-such-program-here", "", ERROR_FILE_NOT_FOUND},
    {"NotExecutable", "@text.txt", "", ERROR_ACCESS_DENIED},
    {"ExecutableGarbage", "@text.sh", "", ERROR_BAD_EXE_FORMAT},
    {"EmptyCommand", "", "", ERROR_FILE_NOT_FOUND},
    {"MissingCurrentFolder", "/bin/true", "/nonexistent/folder", ERROR_DIRECTORY},
    {"CurrentFolderIsAFile", "/bin/true", "/bin/true", ERROR_DIRECTORY},
};

INSTANTIATE_TEST_SUITE_P(Windows, ProcessStartFailureTest, ::testing::ValuesIn(kStartFailures), RowName());

TEST_F(ProcessTest, ChildInheritsNoDescriptorBeyondTheStandardOnes) {
  // Opened without close-on-exec on purpose: exactly what a careless caller
  // leaves open when it starts the updater.
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const int file = open((dir_ / "held").c_str(), O_CREAT | O_RDWR, 0600);
  ASSERT_GE(file, 0);
  EXPECT_EQ(RunToEnd(L"fds"), 0u) << "the child lists what it inherited on stderr";
  close(pipeEnds[0]);
  close(pipeEnds[1]);
  close(file);
}

TEST_F(ProcessTest, ChildStartsWithDefaultSignals) {
  struct sigaction ignore = {}, old = {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGPIPE, &ignore, &old), 0);
  sigset_t block, oldMask;
  sigemptyset(&block);
  sigaddset(&block, SIGUSR1);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &block, &oldMask), 0);
  EXPECT_EQ(RunToEnd(L"signals"), 0u) << "the child names the signal on stderr";
  pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
  sigaction(SIGPIPE, &old, nullptr);
}

TEST_F(ProcessTest, ArgumentsArriveAsTheWindowsRulesSplitThem) {
  const fs::path out = dir_ / "args";
  const std::wstring tail = L"plain \"with space\" a\\\"b \"\" c\\\\\"d e\" back\\slash \"x\"\"y\" \u00e9t\u00e9";
  EXPECT_EQ(RunToEnd(L"args " + Quoted(out.string()) + L" " + tail), 0u);
  std::string expected;
  for (const char* arg : {"plain", "with space", "a\"b", "", "c\\d e", "back\\slash", "x\"y", "\xC3\xA9t\xC3\xA9"}) {
    expected.append(arg).push_back('\0');
  }
  EXPECT_EQ(ReadWholeFile(out), expected);
}

TEST_F(ProcessTest, AnsiCallTakesUtf8) {
  const fs::path out = dir_ / "\xC3\xA9t\xC3\xA9";
  std::string line = "\"" + kChild + "\" args \"" + out.string() + "\" \xE6\x96\x87";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  Child child;
  ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, child.info()))
      << GetLastError();
  ASSERT_EQ(WaitForSingleObject(child.process(), kWaitMs), WAIT_OBJECT_0);
  EXPECT_EQ(ReadWholeFile(out), std::string("\xE6\x96\x87\0", 4));
}

TEST_F(ProcessTest, CurrentFolderIsOursOrTheOneGiven) {
  const fs::path out = dir_ / "cwd";
  const fs::path other = dir_ / "other";
  fs::create_directory(other);
  EXPECT_EQ(RunToEnd(L"cwd " + Quoted(out.string())), 0u);
  EXPECT_EQ(fs::path(ReadWholeFile(out)), fs::current_path());

  Child child;
  const std::wstring folder = Utf8ToWide(other.string());
  ASSERT_TRUE(Start(&child, L"cwd " + Quoted(out.string()), folder.c_str()));
  ASSERT_EQ(WaitForSingleObject(child.process(), kWaitMs), WAIT_OBJECT_0);
  EXPECT_EQ(fs::path(ReadWholeFile(out)), other);
}

// A relative program path names a file in our folder, not in the folder the
// child is given.
TEST_F(ProcessTest, RelativeProgramIsFoundFromOurFolder) {
  const fs::path saved = fs::current_path();
  fs::current_path(fs::path(kChild).parent_path());
  const fs::path out = dir_ / "cwd";
  std::wstring line = L"./" + Utf8ToWide(fs::path(kChild).filename().string()) + L" cwd " + Quoted(out.string());
  const std::wstring folder = Utf8ToWide(dir_.string());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  Child child;
  const BOOL started =
      CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, child.info());
  const DWORD error = GetLastError();
  fs::current_path(saved);
  ASSERT_TRUE(started) << error;
  ASSERT_EQ(WaitForSingleObject(child.process(), kWaitMs), WAIT_OBJECT_0);
  EXPECT_EQ(fs::path(ReadWholeFile(out)), dir_);
}

TEST_F(ProcessTest, ApplicationNameIsTheProgram) {
  const fs::path out = dir_ / "args";
  const std::wstring app = Utf8ToWide(kChild);
  // The command line's first token is only argv[0].
  std::wstring line = L"not-the-program args " + Quoted(out.string()) + L" one";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  Child child;
  ASSERT_TRUE(
      CreateProcessW(app.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, child.info()))
      << GetLastError();
  ASSERT_EQ(WaitForSingleObject(child.process(), kWaitMs), WAIT_OBJECT_0);
  EXPECT_EQ(ReadWholeFile(out), std::string("one\0", 4));
}

// The updater's file can be replaced while it runs; it still names the path
// it was started from.
TEST_F(ProcessTest, ModuleFileNameOfAReplacedProgramIsItsPath) {
  const fs::path copy = dir_ / "program";
  fs::copy_file(kChild, copy);
  fs::permissions(copy, fs::perms::owner_all);
  const fs::path go = dir_ / "go";
  const fs::path out = dir_ / "module";
  std::wstring line = Quoted(copy.string()) + L" await " + Quoted(go.string()) + L" module " + Quoted(out.string());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  Child child;
  ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             child.info()))
      << GetLastError();
  ASSERT_TRUE(fs::remove(copy));
  std::ofstream(go).put('x');
  ASSERT_EQ(WaitForSingleObject(child.process(), kWaitMs), WAIT_OBJECT_0);
  DWORD code = 1;
  ASSERT_TRUE(GetExitCodeProcess(child.process(), &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(ReadWholeFile(out), copy.string());
}

// A program written from memory has no execute bits; Windows would start it
// all the same, so the start gives them.
TEST_F(ProcessTest, ProgramWithoutExecuteBitsStarts) {
  const fs::path copy = dir_ / "fetched";
  fs::copy_file(kChild, copy);
  fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  std::wstring line = Quoted(copy.string()) + L" exit 7";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  Child child;
  ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             child.info()))
      << GetLastError();
  ASSERT_EQ(WaitForSingleObject(child.process(), kWaitMs), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(child.process(), &code));
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(fs::status(copy).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::owner_exec |
                                                fs::perms::group_read | fs::perms::group_exec)
      << "execute bits where it may be read, no more";
}

// A child whose handles were closed while it ran is reaped by a later process
// call instead of staying a zombie until we exit.
TEST_F(ProcessTest, ClosedChildIsReapedLater) {
  const fs::path go = dir_ / "go";
  Child child;
  ASSERT_TRUE(Start(&child, L"await " + Quoted(go.string())));
  const DWORD pid = child.pid();
  child.CloseHandles();
  std::ofstream(go).put('x');
  ASSERT_TRUE(PollFor([&] { return ProcState(pid) == 'Z' || ProcState(pid) == 0; }));
  EXPECT_EQ(RunToEnd(L"exit 0"), 0u);
  EXPECT_EQ(ProcState(pid), 0) << "the closed child is still a zombie";
}

}  // namespace
