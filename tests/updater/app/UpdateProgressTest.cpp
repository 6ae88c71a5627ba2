// Progress windows: the percent reported inside a step's window, and how a
// batch of files shares the window by size.
#include <gtest/gtest.h>

#include <vector>

#include "RowName.h"
#include "UpdateHandle.h"
#include "UpdateProgress.h"

namespace {

class PercentRecorder : public CUpdateHandle {
 public:
  void OnUpdateFinished(int) override {}
  void OnUpdatePercent(int percent) override { percents.push_back(percent); }
  void ShowUpdateWnd(int) override {}
  void ShowUpdateText(const std::wstring&) override {}
  void SetSvrErrText(const std::wstring&) override {}
  std::vector<int> percents;
};

TEST(UpdateProgressTest, PercentInsideTheWindow) {
  PercentRecorder handle;
  CUpdateProgress progress(&handle);
  progress.SetProgressRange(13, 90);
  progress.SetProgress(50);
  progress.SetProgress(100);
  EXPECT_EQ(handle.percents, (std::vector<int>{13, 51, 90}));
}

TEST(UpdateProgressTest, TransferPastTwentyOneMegabytes) {
  PercentRecorder handle;
  CUpdateProgress progress(&handle);
  progress.SetProgressRange(0, 100);
  // done x 100 no longer fits 32 bits here.
  progress.OnTransProgress(int64_t{40} << 20, int64_t{30} << 20);
  progress.OnTransProgress(0, 5);
  EXPECT_EQ(handle.percents, (std::vector<int>{0, 75, 0}));
}

struct WindowCase {
  const char* name;
  int lo, hi;
  int64_t done, size, total;
  int fileLo, fileHi;
};

const WindowCase kWindowCases[] = {
    // Two files of unknown size count 5 MiB each: half and half.
    {"FirstUnknownHalf", 13, 90, 0, CUpdateProgress::kUnknownSize, 2 * CUpdateProgress::kUnknownSize, 13, 51},
    {"SecondUnknownHalf", 13, 90, CUpdateProgress::kUnknownSize, CUpdateProgress::kUnknownSize,
     2 * CUpdateProgress::kUnknownSize, 51, 90},
    {"EveryFileEmpty", 13, 90, 0, 0, 0, 13, 90},
    {"LargeBatch", 13, 90, int64_t{30} << 20, int64_t{10} << 20, int64_t{40} << 20, 70, 90},
    {"SmallFirstOfLarge", 0, 100, 0, 1, 1000, 0, 0},
};

class FileWindowTest : public ::testing::TestWithParam<WindowCase> {};

TEST_P(FileWindowTest, SharesTheWindowBySize) {
  const WindowCase& c = GetParam();
  int lo = -1, hi = -1;
  CUpdateProgress::FileWindow(c.lo, c.hi, c.done, c.size, c.total, &lo, &hi);
  EXPECT_EQ(lo, c.fileLo);
  EXPECT_EQ(hi, c.fileHi);
}

INSTANTIATE_TEST_SUITE_P(Batches, FileWindowTest, ::testing::ValuesIn(kWindowCases), RowName());

TEST(UpdateProgressTest, UnknownSizeCountsFiveMegabytes) {
  EXPECT_EQ(CUpdateProgress::CountedSize(-1), 0x500000);
  EXPECT_EQ(CUpdateProgress::CountedSize(0), 0);
  EXPECT_EQ(CUpdateProgress::CountedSize(77), 77);
}

}  // namespace
