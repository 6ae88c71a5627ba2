// What needs a process of its own: a crash through the updater's filter, the
// start path after the running program was renamed, the local address in a
// network namespace without any link up.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "ChildProcess.h"
#include "MinidumpReader.h"
#include "ScopedTempDir.h"

namespace fs = std::filesystem;

namespace {

const std::string kChild = UPDATER_CRASH_CHILD;

TEST(UpdaterCrash, DumpWithTheUpdaterTrailer) {
  ScopedTempDir folder{"upd"};
  const fs::path dump = folder.path() / "updater \u00e9.dmp";
  const ChildResult result = RunWithDeadline({kChild, "crash", dump.string()}, 60);
  ASSERT_TRUE(result.finished) << "the child hung";
  ASSERT_TRUE(WIFSIGNALED(result.status));
  EXPECT_EQ(WTERMSIG(result.status), SIGSEGV);

  const std::string bytes = ReadWholeFile(dump.string());
  ASSERT_GE(bytes.size(), 8u);
  uint32_t length = 0;
  memcpy(&length, bytes.data() + bytes.size() - 4, 4);
  ASSERT_LE(length, bytes.size());
  ASSERT_GE(length, 5u);
  EXPECT_EQ(bytes[bytes.size() - 5], '\0') << "the zero byte is written and counted";
  const std::string trailer = bytes.substr(bytes.size() - length, length - 5);
  EXPECT_THAT(trailer, ::testing::MatchesRegex(dump.string() +
                                               "\nException code:0xC0000005\nFault address:0x[0-9A-F]+\n"
                                               "Version:1.0.0.1\nUser:\u00e9t\u00e9\n"));

  MinidumpReader reader;
  ASSERT_TRUE(reader.Parse(bytes, bytes.size() - length)) << reader.error();
  EXPECT_EQ(reader.exceptionCode, static_cast<uint32_t>(SIGSEGV));
  const std::string address = trailer.substr(trailer.find("address:0x") + 10);
  EXPECT_EQ(std::stoull(address, nullptr, 16), reader.exceptionContext.rip);

  const std::string lldb = FindInPath("lldb");
  if (lldb.empty()) GTEST_SKIP() << "lldb is not installed";
  const fs::path output = folder.path() / "lldb.txt";
  const ChildResult opened =
      RunWithDeadline({lldb, "--batch", "--no-lldbinit", "--core", dump.string(), kChild, "-o", "bt"}, 120,
                      output.string());
  ASSERT_TRUE(opened.finished) << "lldb hung";
  EXPECT_THAT(ReadWholeFile(output.string()), ::testing::HasSubstr("UpdaterCrashByNullWrite"));
}

// The install renames the running updater; the path it started from stays.
TEST(ModulePath, KeptAfterTheProgramWasRenamed) {
  ScopedTempDir folder{"upd"};
  const fs::path copy = folder.path() / "CorvaneUpdate";
  fs::copy_file(kChild, copy);
  const fs::path renamed = folder.path() / "CorvaneUpdate.old";
  const fs::path output = folder.path() / "out.txt";
  const ChildResult result = RunWithDeadline({copy.string(), "module-path", renamed.string()}, 60, output.string());
  ASSERT_TRUE(result.finished);
  ASSERT_TRUE(WIFEXITED(result.status) && WEXITSTATUS(result.status) == 0) << ReadWholeFile(output.string());
  EXPECT_EQ(ReadWholeFile(output.string()), copy.string() + "\n" + copy.string() + "\n");
  EXPECT_TRUE(fs::exists(renamed));
}

std::string LocalIp(const std::vector<std::string>& prefix) {
  ScopedTempDir folder{"upd"};
  const fs::path output = folder.path() / "out.txt";
  std::vector<std::string> argv = prefix;
  argv.push_back(kChild);
  argv.push_back("local-ip");
  const ChildResult result = RunWithDeadline(argv, 30, output.string());
  if (!result.finished || !WIFEXITED(result.status) || WEXITSTATUS(result.status) != 0) return "failed";
  return ReadWholeFile(output.string());
}

TEST(LocalAddress, NoLinkUpGivesFalse) {
  if (geteuid() != 0) GTEST_SKIP() << "a network namespace needs root";
  const std::string unshare = FindInPath("unshare");
  const std::string sh = FindInPath("sh");
  if (unshare.empty() || sh.empty()) GTEST_SKIP() << "unshare (util-linux) is missing";
  EXPECT_EQ(LocalIp({unshare, "-n"}), "0 []\n");
  // Loopback alone is still an address, the last resort.
  EXPECT_EQ(LocalIp({unshare, "-n", sh, "-c", "ip link set lo up && exec \"$0\" \"$@\""}), "1 [127.0.0.1]\n");
}

}  // namespace
