// The block map: how a file's missing bytes are handed out and shrink.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FileItem.h"
#include "HttpUpDownConnection.h"
#include "NetFile.h"
#include "RowName.h"
#include "ScopedTempDir.h"

namespace {

struct Range {
  int start, end;
  bool operator==(const Range& o) const { return start == o.start && end == o.end; }
};
std::ostream& operator<<(std::ostream& out, const Range& r) { return out << "[" << r.start << "," << r.end << ")"; }

// Connections that are never started: the block map only points at them
// and posts their cancels, which a thread-less connection refuses.
class Connections {
 public:
  explicit Connections(int count) {
    for (int i = 0; i < count; ++i) {
      list_.emplace_back(new CHttpUpDownConnection(i, nullptr, SServerInfo(), SConnProxy(), nullptr));
    }
  }
  CHttpUpDownConnection* operator[](int i) { return list_[i].get(); }

 private:
  std::vector<std::unique_ptr<CHttpUpDownConnection>> list_;
};

std::vector<Range> BlocksOf(const CNetFile& file) {
  std::vector<Range> out;
  for (const auto& entry : file.Blocks()) out.push_back({entry.second.start, entry.second.end});
  return out;
}

struct TaskCase {
  const char* name;
  int size;
  int connections;
  std::vector<Range> tasks;  // what each connection gets, in turn; none past the list
};

const TaskCase kTaskCases[] = {
    {"CutFromTheEnd25000", 25000, 4, {{14760, 25000}, {4520, 14760}, {0, 4520}, {0, 4520}}},
    {"OneBlock10240", 10240, 1, {{0, 10240}}},
    {"UnknownSizeIsOneTask", -1, 1, {{0, -1}}},
    {"FourthConnectionOnOneBlockGetsNothing", 10240, 4, {{0, 10240}, {0, 10240}, {0, 10240}}},
};

class NetFileTaskTest : public ::testing::TestWithParam<TaskCase> {};

TEST_P(NetFileTaskTest, TasksInTurn) {
  const TaskCase& c = GetParam();
  ScopedTempDir folder{"upd"};
  SFileTransItem item(L"a.bin", true);
  item.transSize = c.size;
  CNetFile file(0, &item, folder.wideFolder());
  Connections conns(c.connections);
  for (int i = 0; i < c.connections; ++i) {
    STransTask task;
    task.start = -7;  // a call that writes nothing must not pass
    const bool got = file.GetTask(conns[i], task);
    if (i < static_cast<int>(c.tasks.size())) {
      ASSERT_TRUE(got) << "connection " << i;
      EXPECT_EQ((Range{task.start, task.end}), c.tasks[i]) << "connection " << i;
      EXPECT_EQ(task.key, task.start);
      EXPECT_EQ(task.file, &file);
    } else {
      EXPECT_FALSE(got) << "connection " << i;
    }
  }
  EXPECT_FALSE(file.IsComplete());
}

INSTANTIATE_TEST_SUITE_P(BlockMap, NetFileTaskTest, ::testing::ValuesIn(kTaskCases), RowName());

struct WriteCase {
  const char* name;
  int position, length;
  std::vector<Range> blocksAfter;
  int cancelled;  // other connections told to stop
};

// On a 25000-byte file after four tasks: blocks [0,4520) [4520,14760)
// [14760,25000), each fetched by one connection, the first by two.
const WriteCase kWriteCases[] = {
    {"WholeBlockRemovesItAndCancelsTheOthers", 0, 4520, {{4520, 14760}, {14760, 25000}}, 1},
    {"FromTheStartShrinksTheFront", 4520, 100, {{0, 4520}, {4620, 14760}, {14760, 25000}}, 0},
    {"UpToTheEndShrinksTheBack", 14000, 760, {{0, 4520}, {4520, 14000}, {14760, 25000}}, 0},
    {"InTheMiddleLeavesTheBlock", 5000, 100, {{0, 4520}, {4520, 14760}, {14760, 25000}}, 0},
    {"AcrossTwoBlocks", 4000, 11000, {{0, 4000}, {15000, 25000}}, 1},
    {"PastTheKnownSizeIsCut", 24990, 100, {{0, 4520}, {4520, 14760}, {14760, 24990}}, 0},
};

class NetFileWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(NetFileWriteTest, BlocksAfterOneWrite) {
  const WriteCase& c = GetParam();
  ScopedTempDir folder{"upd"};
  SFileTransItem item(L"a.bin", true);
  item.transSize = 25000;
  CNetFile file(3, &item, folder.wideFolder());
  Connections conns(4);
  STransTask task;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(file.GetTask(conns[i], task));
  ASSERT_TRUE(file.GetTask(conns[3], task));  // a second one on [0, 4520)
  // Connection 2 writes; connection 3 shares its block, 1 and 0 hold the others.
  std::vector<CHttpUpDownConnection*> cancelled;
  const std::string data(c.length, 'x');
  ASSERT_TRUE(file.WriteBlkData(conns[2], c.position, data, &cancelled));
  EXPECT_EQ(BlocksOf(file), c.blocksAfter);
  EXPECT_EQ(static_cast<int>(cancelled.size()), c.cancelled);
  EXPECT_EQ(file.Data().size(), 25000u);
  const int end = std::min(c.position + c.length, 25000);
  EXPECT_EQ(file.Data().substr(c.position, end - c.position), std::string(end - c.position, 'x'));
}

INSTANTIATE_TEST_SUITE_P(BlockMap, NetFileWriteTest, ::testing::ValuesIn(kWriteCases), RowName());

TEST(NetFile, NegativePositionIsRefused) {
  ScopedTempDir folder{"upd"};
  SFileTransItem item(L"a.bin", true);
  item.transSize = 100;
  CNetFile file(0, &item, folder.wideFolder());
  EXPECT_FALSE(file.WriteBlkData(nullptr, -1, "ab"));
  EXPECT_EQ(BlocksOf(file), (std::vector<Range>{{0, 100}}));
}

TEST(NetFile, DoneSizeAndCompletion) {
  ScopedTempDir folder{"upd"};
  SFileTransItem item(L"sub/dir/a.bin", true);
  item.transSize = 25000;
  CNetFile file(0, &item, folder.wideFolder());
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "sub" / "dir"));
  EXPECT_EQ(file.LocalPath(), folder.wideFolder() + L"sub/dir/a.bin");
  EXPECT_EQ(file.GetDoneSize(), 0);
  ASSERT_TRUE(file.WriteBlkData(nullptr, 0, std::string(20000, 'a')));
  EXPECT_EQ(file.GetDoneSize(), 20000);
  EXPECT_FALSE(file.IsComplete());
  ASSERT_TRUE(file.WriteBlkData(nullptr, 20000, std::string(5000, 'b')));
  EXPECT_TRUE(file.IsComplete());
}

// An empty file has nothing to fetch and no byte to write.
TEST(NetFile, EmptyFileIsCompleteWithNoBytes) {
  ScopedTempDir folder{"upd"};
  SFileTransItem item(L"a.bin", true);
  item.transSize = 0;
  CNetFile file(0, &item, folder.wideFolder());
  EXPECT_TRUE(file.IsComplete());
  EXPECT_TRUE(file.Data().empty());
}

// Of unknown size, what arrived is the file once a body ended cleanly.
TEST(NetFile, UnknownSizeGrowsWithWritesAndFinishesAtWhatArrived) {
  ScopedTempDir folder{"upd"};
  SFileTransItem item(L"a.bin", true);
  item.transSize = -1;
  CNetFile file(0, &item, folder.wideFolder());
  EXPECT_EQ(file.GetDoneSize(), -1);
  ASSERT_TRUE(file.WriteBlkData(nullptr, 0, "hello "));
  ASSERT_TRUE(file.WriteBlkData(nullptr, 6, "world"));
  EXPECT_EQ(BlocksOf(file), (std::vector<Range>{{0, -1}}));
  EXPECT_FALSE(file.IsComplete());
  file.FinishUnknownSize();
  EXPECT_TRUE(file.IsComplete());
  EXPECT_EQ(file.GetTransSize(), 11);
  EXPECT_EQ(file.Data(), "hello world");
  // Beyond the cap for sizes nobody listed, nothing is stored.
  SFileTransItem endless(L"b.bin", true);
  CNetFile big(1, &endless, folder.wideFolder());
  EXPECT_FALSE(big.WriteBlkData(nullptr, CNetFile::kMaxUnlistedSize - 1, "ab"));
}

TEST(NetFile, ReleaseLetsTheBlockGoOutAgain) {
  ScopedTempDir folder{"upd"};
  SFileTransItem item(L"a.bin", true);
  item.transSize = 10240;
  CNetFile file(0, &item, folder.wideFolder());
  Connections conns(4);
  STransTask task;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(file.GetTask(conns[i], task));
  EXPECT_FALSE(file.GetTask(conns[3], task));
  file.ReleaseTask(conns[1], task.key);
  file.ReleaseTask(conns[1], 12345);  // no such block: nothing
  EXPECT_TRUE(file.GetTask(conns[3], task));
}

TEST(NetFile, ResetDeletesAnOlderDownloadAndUploadsGetNoTask) {
  ScopedTempDir folder{"upd"};
  const std::filesystem::path old = folder.path() / "a.bin";
  { std::FILE* f = std::fopen(old.c_str(), "w"); std::fputs("old", f); std::fclose(f); }
  SFileTransItem item(L"a.bin", true);
  item.transSize = 10;
  CNetFile file(0, &item, folder.wideFolder());
  EXPECT_FALSE(std::filesystem::exists(old));
  file.ResetBlocks(20);
  EXPECT_EQ(item.transSize, 20);
  EXPECT_EQ(BlocksOf(file), (std::vector<Range>{{0, 20}}));

  SFileTransItem up(L"report", false);
  up.transSize = 10;
  CNetFile upload(1, &up, folder.wideFolder());
  STransTask task;
  EXPECT_FALSE(upload.GetTask(nullptr, task));
}

}  // namespace
