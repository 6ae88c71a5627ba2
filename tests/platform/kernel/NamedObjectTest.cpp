// Named mutexes, mappings and events, within one process and between this
// process and named_object_peer.
#include <gtest/gtest.h>

#include <platform/Kernel.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "RuntimeDir.h"
#include "RowName.h"
#include "ScopedTempDir.h"

namespace {

std::string PeerProgram() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "named_object_peer";
}

// A peer process with a pipe each way. Its stdin closing is its signal to let
// go of what it holds; the destructor kills it if it does not end in time.
class Peer {
 public:
  explicit Peer(const std::vector<std::string>& args) {
    std::vector<std::string> argv{PeerProgram()};
    argv.insert(argv.end(), args.begin(), args.end());
    child_.startPiped(argv, &in_, &out_);
  }
  ~Peer() {
    CloseStdin();
    if (!WaitExit(5000)) Kill();
    if (out_ >= 0) close(out_);
  }

  // One line of output, or "" when none comes within the time.
  std::string ReadLine(int ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      const size_t newline = buffer_.find('\n');
      if (newline != std::string::npos) {
        std::string line = buffer_.substr(0, newline);
        buffer_.erase(0, newline + 1);
        return line;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0 || out_ < 0) return "";
      pollfd p = {out_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[256];
      const ssize_t n = read(out_, chunk, sizeof chunk);
      if (n <= 0) return "";
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  void CloseStdin() {
    if (in_ >= 0) close(in_);
    in_ = -1;
  }
  bool WaitExit(int ms) { return !child_.running() || child_.wait(std::chrono::milliseconds(ms)).finished; }
  void Finish() {
    CloseStdin();
    ASSERT_TRUE(WaitExit(5000)) << "the peer did not end";
  }
  void Kill() { child_.kill(); }

 private:
  ChildProcess child_;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
};

// Every test gets its own runtime folder, inherited by its peers, so no test
// sees another's objects and nothing is left behind.
class NamedObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.ok());
    folder_ = temp_.path().string();
    const char* old = getenv("XDG_RUNTIME_DIR");
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    if (hadOld_) setenv("XDG_RUNTIME_DIR", old_.c_str(), 1);
    else unsetenv("XDG_RUNTIME_DIR");
  }

  ScopedTempDir temp_{"named-objects"};
  std::string folder_;
  std::string old_;
  bool hadOld_ = false;
};

constexpr DWORD kBlock = 256;

// Maps a named block in this process, closing it on scope exit.
struct Block {
  explicit Block(const char* name, DWORD size = kBlock) {
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    error = GetLastError();
    if (mapping) view = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, size));
  }
  ~Block() {
    if (view) UnmapViewOfFile(view);
    if (mapping) CloseHandle(mapping);
  }
  HANDLE mapping = nullptr;
  DWORD error = 0;
  unsigned char* view = nullptr;
};

TEST_F(NamedObjectTest, SecondCreatorSharesTheBlock) {
  Block block("CORVANE_MAIN1");
  ASSERT_NE(block.view, nullptr);
  EXPECT_EQ(block.error, ERROR_SUCCESS);
  block.view[0] = 0x5A;
  Peer peer({"mapping", "CORVANE_MAIN1", std::to_string(kBlock), "c3"});
  EXPECT_EQ(peer.ReadLine(), "existed=1 first=5a nonzero=1");
  ASSERT_EQ(peer.ReadLine(), "ready");
  for (DWORD i = 0; i < kBlock; ++i) ASSERT_EQ(block.view[i], 0xC3) << "byte " << i;
}

// Whether its last holder closed it or was killed, a block nobody holds any
// more is new and zero-filled for the next creator.
struct LeaveCase {
  const char* name;
  bool kill;
};
class BlockAfterHolderTest : public NamedObjectTest, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(BlockAfterHolderTest, IsNewAndZeroAgain) {
  {
    Peer peer({"mapping", "Local\\Block", std::to_string(kBlock), "ab"});
    ASSERT_EQ(peer.ReadLine(), "existed=0 first=00 nonzero=0");
    ASSERT_EQ(peer.ReadLine(), "ready");
    {
      Block shared("Local\\Block");
      ASSERT_NE(shared.view, nullptr);
      EXPECT_EQ(shared.error, ERROR_ALREADY_EXISTS);
      EXPECT_EQ(shared.view[kBlock - 1], 0xAB);
    }
    if (GetParam().kill) peer.Kill();
    else peer.Finish();
  }
  Block again("Local\\Block");
  ASSERT_NE(again.view, nullptr);
  EXPECT_EQ(again.error, ERROR_SUCCESS);
  for (DWORD i = 0; i < kBlock; ++i) ASSERT_EQ(again.view[i], 0) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(Holder, BlockAfterHolderTest,
                         ::testing::ValuesIn(std::vector<LeaveCase>{{"Closed", false}, {"Killed", true}}), RowName());

TEST_F(NamedObjectTest, ViewKeepsTheBlockAfterItsHandleCloses) {
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"Held");
  ASSERT_NE(mapping, nullptr);
  auto* view = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  view[100] = 7;
  ASSERT_TRUE(CloseHandle(mapping));
  {
    Block second("Held", 4096);
    EXPECT_EQ(second.error, ERROR_ALREADY_EXISTS);
    ASSERT_NE(second.view, nullptr);
    EXPECT_EQ(second.view[100], 7);
  }
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
  Block fresh("Held", 4096);
  EXPECT_EQ(fresh.error, ERROR_SUCCESS);
  ASSERT_NE(fresh.view, nullptr);
  EXPECT_EQ(fresh.view[100], 0);
}

TEST_F(NamedObjectTest, MappingRefusesWhatIsNotBuilt) {
  struct Case {
    HANDLE file;
    DWORD protect;
    DWORD size;
  };
  for (const Case& c : {Case{reinterpret_cast<HANDLE>(3), PAGE_READWRITE, 64}, Case{INVALID_HANDLE_VALUE, 0x40, 64},
                        Case{INVALID_HANDLE_VALUE, PAGE_READWRITE, 0}}) {
    SetLastError(0);
    EXPECT_EQ(CreateFileMappingA(c.file, nullptr, c.protect, 0, c.size, "Refused"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 64, nullptr);
  ASSERT_NE(mapping, nullptr);
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 64), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 65), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 64);
  EXPECT_NE(view, nullptr);
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_TRUE(CloseHandle(mapping));
}

TEST_F(NamedObjectTest, NamesMapToDistinctSafeFiles) {
  DWORD error = 0;
  const std::string folder = NamedObjectFolder(&error);
  ASSERT_EQ(folder, folder_ + "/corvane");
  struct stat info;
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  EXPECT_EQ(NamedObjectPath(folder, "event", L"Local\\Foo"), NamedObjectPath(folder, "event", L"Foo"));
  const std::vector<std::wstring> names = {L"Foo",  L"Global\\Foo", L"foo",        L"a:b\\c",         L"a/b",
                                           L"../x", L"%2F",         L"Caf\u00e9", std::wstring(300, L'x'),
                                           std::wstring(299, L'x') + L"y"};
  std::set<std::string> paths;
  for (const std::wstring& name : names) {
    const std::string path = NamedObjectPath(folder, "event", name);
    const std::string file = path.substr(folder.size() + 1);
    EXPECT_EQ(path.compare(0, folder.size() + 1, folder + "/"), 0);
    EXPECT_EQ(file.find('/'), std::string::npos) << file;
    EXPECT_LE(file.size(), 255u) << file;
    paths.insert(path);
  }
  EXPECT_EQ(paths.size(), names.size()) << "two names share a file";
}

TEST_F(NamedObjectTest, RuntimeFolderThatIsNotPrivateIsNotUsed) {
  const std::string fallback = "/tmp/corvane-" + std::to_string(getuid());
  const bool existed = access(fallback.c_str(), F_OK) == 0;
  chmod(folder_.c_str(), 0755);
  DWORD error = 0;
  EXPECT_EQ(NamedObjectFolder(&error), fallback);
  if (!existed) rmdir(fallback.c_str());
}

TEST_F(NamedObjectTest, MutexIsRecursiveForItsOwnerOnly) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\Recursive");
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  HANDLE again = CreateMutexA(nullptr, TRUE, "Local\\Recursive");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);

  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
  ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  ASSERT_EQ(WaitForSingleObject(again, 0), WAIT_OBJECT_0);  // one object behind both handles

  DWORD otherWait = 0;
  BOOL otherRelease = TRUE;
  DWORD otherError = 0;
  std::thread([&] {
    otherWait = WaitForSingleObject(again, 20);
    otherRelease = ReleaseMutex(mutex);
    otherError = GetLastError();
  }).join();
  EXPECT_EQ(otherWait, WAIT_TIMEOUT);
  EXPECT_FALSE(otherRelease);
  EXPECT_EQ(otherError, ERROR_NOT_OWNER);

  EXPECT_TRUE(ReleaseMutex(again));
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_FALSE(ReleaseMutex(mutex));
  std::thread([&] {
    otherWait = WaitForSingleObject(mutex, 1000);
    otherRelease = ReleaseMutex(mutex);
  }).join();
  EXPECT_EQ(otherWait, WAIT_OBJECT_0);
  EXPECT_TRUE(otherRelease);
  EXPECT_TRUE(CloseHandle(again));
  EXPECT_TRUE(CloseHandle(mutex));
}

TEST_F(NamedObjectTest, UnnamedMutexWaitsAcrossThreads) {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
  ASSERT_NE(mutex, nullptr);
  DWORD result = 0;
  std::thread waiter([&] {
    result = WaitForSingleObject(mutex, 5000);
    ReleaseMutex(mutex);
  });
  usleep(20000);
  EXPECT_TRUE(ReleaseMutex(mutex));
  waiter.join();
  EXPECT_EQ(result, WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(mutex));
}

TEST_F(NamedObjectTest, MutexOwnedByAnotherProcessBlocks) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, "CORVANE_MAIN1Mut");
  ASSERT_NE(mutex, nullptr);
  {
    Peer peer({"try-mutex", "CORVANE_MAIN1Mut", "50"});
    EXPECT_EQ(peer.ReadLine(), "wait " + std::to_string(WAIT_TIMEOUT));
  }
  EXPECT_TRUE(ReleaseMutex(mutex));
  Peer peer({"try-mutex", "CORVANE_MAIN1Mut", "5000"});
  EXPECT_EQ(peer.ReadLine(), "wait " + std::to_string(WAIT_OBJECT_0));
  EXPECT_TRUE(CloseHandle(mutex));
}

// A holder that releases hands over a plain mutex; one that dies holding it
// releases it too, and the next owner learns it was abandoned.
TEST_F(NamedObjectTest, DeadHolderReleasesTheMutex) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "Global\\Handover");
  ASSERT_NE(mutex, nullptr);
  for (bool kill : {false, true}) {
    SCOPED_TRACE(kill ? "killed" : "released");
    Peer peer({"mutex", "Global\\Handover"});
    ASSERT_EQ(peer.ReadLine(), "wait " + std::to_string(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(mutex, 30), WAIT_TIMEOUT);
    if (kill) peer.Kill();
    else peer.Finish();
    EXPECT_EQ(WaitForSingleObject(mutex, 5000), kill ? WAIT_ABANDONED : WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
  }
  EXPECT_TRUE(CloseHandle(mutex));
}

TEST_F(NamedObjectTest, OpenEventFailsWhenNobodyHoldsIt) {
  SetLastError(0);
  EXPECT_EQ(OpenEventW(SYNCHRONIZE, FALSE, L"FWCORVANEIDEL"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  {
    Peer peer({"event", "FWCORVANEIDEL", "1", "1"});
    ASSERT_EQ(peer.ReadLine(), "created");
    ASSERT_EQ(peer.ReadLine(), "set 1");
    peer.Kill();
  }
  EXPECT_EQ(OpenEventW(SYNCHRONIZE, FALSE, L"FWCORVANEIDEL"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  // Made again after its holder died, it starts unsignalled.
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"FWCORVANEIDEL");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(CloseHandle(event));
}

TEST_F(NamedObjectTest, EventSetInOneProcessEndsAWaitInAnother) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"Local\\Idle");
  ASSERT_NE(event, nullptr);
  {
    Peer waiter({"wait-event", "Idle", "10000"});
    ASSERT_EQ(waiter.ReadLine(), "opened");
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(waiter.ReadLine(), "wait " + std::to_string(WAIT_OBJECT_0));
  }
  EXPECT_TRUE(ResetEvent(event));
  {
    Peer setter({"event", "Idle", "0", "1"});
    EXPECT_EQ(setter.ReadLine(), "existed");
    EXPECT_EQ(setter.ReadLine(), "set 1");
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
  }
  EXPECT_TRUE(CloseHandle(event));
}

struct ResetCase {
  const char* name;
  bool manual;
  bool named;
};
class EventResetTest : public NamedObjectTest, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(EventResetTest, SignalLastsAsItsKindSays) {
  const ResetCase& c = GetParam();
  HANDLE event = CreateEventW(nullptr, c.manual, TRUE, c.named ? L"Kind" : nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), c.manual ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
  EXPECT_TRUE(ResetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 20), WAIT_TIMEOUT);

  // A waiting thread is woken by SetEvent rather than by its deadline.
  DWORD result = WAIT_FAILED;
  std::thread waiter([&] { result = WaitForSingleObject(event, 10000); });
  usleep(20000);
  EXPECT_TRUE(SetEvent(event));
  waiter.join();
  EXPECT_EQ(result, WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), c.manual ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
  EXPECT_TRUE(CloseHandle(event));
  EXPECT_FALSE(SetEvent(event));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EventResetTest,
                         ::testing::ValuesIn(std::vector<ResetCase>{{"ManualNamed", true, true},
                                                                    {"AutoNamed", false, true},
                                                                    {"ManualUnnamed", true, false},
                                                                    {"AutoUnnamed", false, false}}), RowName());

TEST_F(NamedObjectTest, WrongKindOfHandleIsRefused) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(SetEvent(mutex));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(ReleaseMutex(event));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(MapViewOfFile(event, FILE_MAP_READ, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(mutex);
  CloseHandle(event);
}

}  // namespace
