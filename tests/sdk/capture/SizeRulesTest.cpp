#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "CatchThread.h"
#include "QtPrinters.h"
#include "RowName.h"


namespace {

struct EncSizeCase {
  const char* name;
  QSize requested;
  QSize boxMax;
  QSize expected;
};

// Failure messages name the row instead of dumping its bytes.
void PrintTo(const EncSizeCase& c, std::ostream* os) { *os << c.name; }

const EncSizeCase kEncSizeCases[] = {
    {"UnsetTakes1920", {-1, -1}, {1920, 1920}, {1920, 1920}},
    {"ZeroTakes1920", {0, 0}, {1920, 1920}, {1920, 1920}},
    {"WithinBoxKept", {1280, 720}, {1920, 1920}, {1280, 720}},
    {"EqualToBoxKept", {1920, 1080}, {1920, 1080}, {1920, 1080}},
    {"AboveBoxTakes1920", {1920, 1200}, {1920, 1920}, {1920, 1200}},
    // The fallback never exceeds what the box accepts.
    {"UnsetWithSmallerBoxTakesBox", {-1, -1}, {1280, 720}, {1280, 720}},
    {"AboveSmallerBoxTakesBox", {1600, 900}, {1280, 720}, {1280, 720}},
    {"OneSideAbove", {1000, 900}, {1280, 720}, {1000, 720}},
    {"BoxWithoutLimitFallsBackTo1920", {-1, 500}, {0, 0}, {1920, 500}},
};

class EncSizeTest : public ::testing::TestWithParam<EncSizeCase> {};

TEST_P(EncSizeTest, FallsBackWithinBox) {
  const EncSizeCase& c = GetParam();
  EXPECT_EQ(CatchThread::encSize(c.requested, c.boxMax), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EncSizeTest, ::testing::ValuesIn(kEncSizeCases), RowName());

struct TargetCase {
  const char* name;
  QSize pic;
  QSize enc;
  QSize expected;
};

void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.name; }

const TargetCase kTargetCases[] = {
    {"FitsAsIs", {1920, 1080}, {1920, 1920}, {1920, 1080}},
    {"WidthRoundedTo16", {1366, 768}, {1920, 1920}, {1376, 768}},
    {"HeightRoundedTo8", {1280, 1021}, {1920, 1920}, {1280, 1024}},
    {"LargeScreenScaledIntoBox", {2560, 1440}, {1920, 1920}, {1920, 1080}},
    {"TallScreenScaledIntoBox", {1440, 2560}, {1920, 1920}, {1088, 1920}},
    // 2560x1440 into 1000x1000 is 1000x562; 1008 would pass the limit.
    {"RoundingStaysWithinOddLimit", {2560, 1440}, {1000, 1000}, {992, 568}},
    // Rounding alone would pass the limit: no scaling can help, so it rounds down.
    {"RoundingUpWouldPassLimit", {995, 600}, {1000, 1000}, {992, 600}},
    {"HeightLimitBinds", {1920, 1080}, {1920, 600}, {1072, 600}},
};

class TargetSizeTest : public ::testing::TestWithParam<TargetCase> {};

TEST_P(TargetSizeTest, MultiplesOf16By8WithinEncSize) {
  const TargetCase& c = GetParam();
  const QSize target = CatchThread::targetSize(c.pic, c.enc);
  EXPECT_EQ(target, c.expected);
  EXPECT_EQ(target.width() % 16, 0);
  EXPECT_EQ(target.height() % 8, 0);
  EXPECT_LE(target.width(), c.enc.width());
  EXPECT_LE(target.height(), c.enc.height());
}

INSTANTIATE_TEST_SUITE_P(Sizes, TargetSizeTest, ::testing::ValuesIn(kTargetCases), RowName());

struct FitCase {
  const char* name;
  QSize pic;
  float ratio;
  QSize expected;
};

void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }

const FitCase kFitCases[] = {
    {"NoRatioKeepsSize", {1366, 768}, 0.0f, {1366, 768}},
    {"TinyRatioKeepsSize", {1366, 768}, 0.001f, {1366, 768}},
    {"NegativeRatioKeepsSize", {1366, 768}, -1.0f, {1366, 768}},
    {"WidenedTo16By9", {1024, 768}, 16.0f / 9.0f, {1376, 768}},
    {"WithinToleranceOnlyRounded", {1920, 1080}, 1.70f, {1920, 1080}},
    {"SameShapeRoundedUp", {1366, 768}, 16.0f / 9.0f, {1376, 768}},
    {"HeightenedTo4By3", {1920, 1080}, 4.0f / 3.0f, {1920, 1440}},
};

class FittedSizeTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(FittedSizeTest, GrowsToRatio) {
  const FitCase& c = GetParam();
  EXPECT_EQ(CatchThread::fittedSize(c.pic, c.ratio), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FittedSizeTest, ::testing::ValuesIn(kFitCases), RowName());

TEST(BoxMaxSizeTest, LimitedTo1920AndReadAsOnePair) {
  CatchThread thread;
  EXPECT_EQ(thread.boxMaxSize(), QSize(1920, 1920));
  thread.setBoxMaxSize(QSize(3840, 1080));
  EXPECT_EQ(thread.boxMaxSize(), QSize(1920, 1080));
  thread.setBoxMaxSize(QSize(1280, 4000));
  EXPECT_EQ(thread.boxMaxSize(), QSize(1280, 1920));
  thread.setBoxMaxSize(QSize(-5, 0));
  EXPECT_EQ(thread.boxMaxSize(), QSize(-5, 0));
}

}  // namespace
