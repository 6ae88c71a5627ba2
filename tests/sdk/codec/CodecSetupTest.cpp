#include "CodecSetup.h"

#include <gtest/gtest.h>

#include <string>
#include "RowName.h"

namespace {

// Nothing in this binary writes the option record, so it still holds what the
// library was loaded with.
TEST(H264EncOptTest, StartsWithHigh444AndNoKeyFrameInterval) {
  EXPECT_EQ(g_h264EncOpt.profile.load(), 5);
  EXPECT_EQ(g_h264EncOpt.iFrameMSecond.load(), 0);
}

struct CapCase {
  const char* name;
  int threads;
  int cap;
};

const CapCase kCapCases[] = {
    {"Eight", 8, 4}, {"Four", 4, 4}, {"Two", 2, 2},
    {"One", 1, 1},   {"Zero", 0, 1}, {"Negative", -3, 1},
};

class CodecThreadCapTest : public ::testing::TestWithParam<CapCase> {};

TEST_P(CodecThreadCapTest, CapIsThreadsUpToFourAndAtLeastOne) {
  vpu_init(GetParam().threads);
  EXPECT_EQ(vpu_codecThreadCap(), GetParam().cap);
  vpu_init(4);  // the SDK's own value, for whatever runs next
}

INSTANTIATE_TEST_SUITE_P(Init, CodecThreadCapTest, ::testing::ValuesIn(kCapCases), RowName());

}  // namespace
