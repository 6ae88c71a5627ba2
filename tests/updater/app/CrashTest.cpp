// The real program crashing on each of its kinds of thread: the update
// thread, the transfer thread and the trace writer itself. Each crash ends
// the process with a dump whose trailer holds the end of the log as it was on
// disk; none may hang the process, the writer's own crash least of all.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "ChildProcess.h"
#include "RealUpdater.h"
#include "RowName.h"
#include "ScopedTempDir.h"
#include "UpdateFixture.h"
#include "UpdateServer.h"

namespace {

struct CrashCase {
  const char* name;
  int where;  // the CRASH hook's value
};

const CrashCase kCrashes[] = {{"UpdateThread", 1}, {"TransferThread", 2}, {"TraceWriter", 3}};

// The dump's text trailer: its length + 4 is the file's last word.
std::string Trailer(const std::string& dump) {
  if (dump.size() < 4) return "";
  const auto byte = [&dump](size_t at) { return static_cast<uint32_t>(static_cast<unsigned char>(dump[at])); };
  const size_t end = dump.size() - 4;
  const uint32_t length = byte(end) | byte(end + 1) << 8 | byte(end + 2) << 16 | byte(end + 3) << 24;
  if (length < 5 || length > dump.size()) return "";
  std::string trailer = dump.substr(dump.size() - length, length - 4);
  if (trailer.empty() || trailer.back() != '\0') return "";
  trailer.pop_back();
  return trailer;
}

class CrashTest : public ::testing::TestWithParam<CrashCase> {};

TEST_P(CrashTest, EndsWithADumpThatHoldsTheLogsLastLines) {
  ScopedTempDir root{ScopedTempDir::kAwkwardPrefix};
  ASSERT_TRUE(root.ok());
  FixtureLayout layout;
  std::string error;
  ASSERT_TRUE(ParseFixtureLayout("file Corvane client\nfile big.bin random 200000 changed\n", &layout, &error))
      << error;
  FixtureTree tree;
  ASSERT_TRUE(WriteFixture(layout, {UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, ""}, root.folder(), &tree, &error))
      << error;
  UpdateServer server;
  ASSERT_TRUE(server.Start("127.0.0.1", tree.server));
  // The transfer is still going when the crash comes.
  server.SetThrottle(50000);
  const std::string address = "127.0.0.1:" + std::to_string(server.port());

  RealUpdater updater(tree.oldProgram);
  ASSERT_TRUE(updater.ok());
  updater.AddEnvironment("CORVANE_UPDATE_TEST_CRASH=" + std::to_string(GetParam().where));
  ChildProcess child;
  ASSERT_TRUE(updater.Start(UpdaterArgument({{address}, "1.0.0.2", address}), &child));
  // Far more than a crash needs; a hang is killed here and fails below.
  const ChildResult end = child.wait(std::chrono::seconds(30));
  const std::string log = ReadWholeFile(updater.AppLog());
  ASSERT_TRUE(end.finished) << "the process hung in its crash\n" << log;
  ASSERT_TRUE(WIFSIGNALED(end.status)) << "status " << end.status << "\n" << log;
  EXPECT_EQ(WTERMSIG(end.status), SIGSEGV);

  const std::string trailer = Trailer(ReadWholeFile(tree.oldProgram + "Log/FileDownload.dmp"));
  ASSERT_NE(trailer, "") << "no dump with a trailer\n" << log;
  EXPECT_NE(trailer.find("Exception code:0xC0000005\n"), std::string::npos) << trailer;
  const std::string marker = "LastLogData:";
  const size_t at = trailer.find(marker);
  ASSERT_NE(at, std::string::npos) << trailer;
  std::string last = trailer.substr(at + marker.size());
  ASSERT_FALSE(last.empty());
  last.pop_back();  // the trailer's own line end
  // Lines well before the crash are on disk; the rest is the log as it stood.
  EXPECT_NE(last.find("destVer:1.0.0.2"), std::string::npos) << last;
  EXPECT_NE(log.find(last), std::string::npos) << "not the log's own lines:\n" << last;
}

INSTANTIATE_TEST_SUITE_P(Threads, CrashTest, ::testing::ValuesIn(kCrashes), RowName());

}  // namespace
