// The decode thread: what it writes, what it checks, and what a failure leaves.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "ChildProcess.h"
#include "DecodeNetFileThead.h"
#include "FileItem.h"
#include "NetFile.h"
#include "ScopedTempDir.h"
#include "TransferTestSupport.h"
#include "UpdateFixture.h"
#include "Zf7zWriter.h"
#include "RowName.h"

namespace {

void WriteAll(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

struct DecodeCase {
  const char* name;
  int zipType;
  bool corrupt;    // the served container is broken
  bool wrongMd5;   // the listed check value is another file's
  bool wrongSize;
  int fileTime;
  int state;
};

const DecodeCase kCases[] = {
    {"PlainFile", ZIP_NONE, false, false, false, 1500000000, DFS_DONE},
    {"Zf7zFile", ZIP_ZF7Z, false, false, false, 1500000000, DFS_DONE},
    {"TimeZeroLeavesTimes", ZIP_NONE, false, false, false, 0, DFS_DONE},
    {"ZlibHasNoDecoder", ZIP_ZLIB, false, false, false, 0, DFS_FAILED},
    {"CorruptZf7z", ZIP_ZF7Z, true, false, false, 0, DFS_FAILED},
    {"CheckMismatch", ZIP_NONE, false, true, false, 1500000000, DFS_FAILED},
    {"SizeMismatch", ZIP_NONE, false, false, true, 0, DFS_FAILED},
};

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, StateAndFileOnDisk) {
  const DecodeCase& c = GetParam();
  ScopedTempDir folder{"upd"};
  const std::string content = TestBytes(50000, 3);
  // A longer file of the same name from before must leave no tail.
  WriteAll(folder.path() / "f.bin", std::string(80000, 'o'));
  SFileTransItem item(L"f.bin", true);
  item.zipType = c.zipType;
  item.size = c.wrongSize ? 50001 : 50000;
  item.fileTime = c.fileTime;
  item.checkType = CHK_MD5;
  const std::string md5 = FixtureMd5(c.wrongMd5 ? content + "x" : content);
  item.checkValue.assign(md5.begin(), md5.end());
  std::string served = c.zipType == ZIP_ZF7Z ? Zf7zEncode(content) : content;
  if (c.corrupt) served.replace(served.size() / 2, 64, std::string(64, '\x5a'));
  item.transSize = static_cast<int>(served.size());
  CNetFile file(0, &item, folder.wideFolder());
  ASSERT_TRUE(file.WriteBlkData(nullptr, 0, served));
  ASSERT_TRUE(file.IsComplete());

  CDecodeNetFileThead decoder;
  ASSERT_TRUE(decoder.StartThread());
  ASSERT_TRUE(decoder.PostDecodeFile(&file));
  decoder.StopThread(0);
  ASSERT_TRUE(decoder.WaitExit(10000));
  EXPECT_EQ(decoder.GetDecodeState(&file), c.state);
  // A batch keeps every record to its end: the bytes must not stay with them.
  EXPECT_TRUE(file.Data().empty()) << "the fetched bytes are still held";

  const auto path = folder.path() / "f.bin";
  if (c.state != DFS_DONE) {
    EXPECT_FALSE(std::filesystem::exists(path));
    return;
  }
  EXPECT_EQ(ReadWholeFile(path), content);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  if (c.fileTime != 0) {
    EXPECT_EQ(info.st_mtime, c.fileTime);
  } else {
    EXPECT_GT(info.st_mtime, 1600000000);  // written now, not stamped
  }
}

INSTANTIATE_TEST_SUITE_P(Files, DecodeTest, ::testing::ValuesIn(kCases), RowName());

TEST(Decode, NeverPostedReadsFailedAndUploadsWriteNothing) {
  ScopedTempDir folder{"upd"};
  SFileTransItem up(L"reporterr", false);
  up.data = "report body";
  CNetFile upload(0, &up, folder.wideFolder());
  SFileTransItem unlisted(L"UpdateInfo.ini", true);  // size -1, no check
  CNetFile ini(1, &unlisted, folder.wideFolder());
  ASSERT_TRUE(ini.WriteBlkData(nullptr, 0, "[MAIN]\n"));
  ini.FinishUnknownSize();
  CNetFile never(2, &unlisted, folder.wideFolder());

  CDecodeNetFileThead decoder;
  ASSERT_TRUE(decoder.StartThread());
  ASSERT_TRUE(decoder.PostDecodeFile(&upload));
  ASSERT_TRUE(decoder.PostDecodeFile(&ini));
  decoder.StopThread(0);
  ASSERT_TRUE(decoder.WaitExit(10000));
  EXPECT_EQ(decoder.GetDecodeState(&upload), DFS_DONE);
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "reporterr"));
  EXPECT_EQ(decoder.GetDecodeState(&ini), DFS_DONE);
  EXPECT_EQ(ReadWholeFile(folder.path() / "UpdateInfo.ini"), "[MAIN]\n");
  EXPECT_EQ(decoder.GetDecodeState(&never), DFS_FAILED);
}

// A posted file reads DFS_WAIT until the thread takes it.
TEST(Decode, PostedFileWaitsWhileTheThreadIsBusy) {
  ScopedTempDir folder{"upd"};
  SFileTransItem bigItem(L"big.bin", true);
  bigItem.checkType = CHK_MD5;
  bigItem.size = 8 << 20;
  bigItem.transSize = 8 << 20;
  CNetFile big(0, &bigItem, folder.wideFolder());
  SFileTransItem smallItem(L"small.bin", true);
  smallItem.transSize = 0;
  CNetFile small(1, &smallItem, folder.wideFolder());
  CDecodeNetFileThead decoder;
  ASSERT_TRUE(decoder.StartThread());
  ASSERT_TRUE(decoder.PostDecodeFile(&big));
  ASSERT_TRUE(decoder.PostDecodeFile(&small));
  const int early = decoder.GetDecodeState(&small);
  EXPECT_TRUE(early == DFS_WAIT || early == DFS_DECODING || early == DFS_DONE);
  decoder.StopThread(0);
  ASSERT_TRUE(decoder.WaitExit(20000));
  EXPECT_EQ(decoder.GetDecodeState(&small), DFS_DONE);
  EXPECT_EQ(std::filesystem::file_size(folder.path() / "small.bin"), 0u);
}

}  // namespace
