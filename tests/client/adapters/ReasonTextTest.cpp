#include <gtest/gtest.h>

#include <string>

#include "ReasonText.h"
#include "RowName.h"

namespace {

struct TextCase {
  const char* name;
  int code;
  const char* english;
};

const TextCase kReasons[] = {
    {"Code0", 0, "connect code error!"},
    {"Code65", 65, "connect code error!"},
    {"Code1", 1, "the meeting is over!"},
    {"Code2", 2, "connection dropped!"},
    {"Code67", 67, "connection dropped!"},
    {"Code3", 3, "new user connected!"},
    {"Code16", 16, "no sharing rights, please contact the host to open it!"},
    {"Code17", 17, "already sharing!"},
    {"Code64", 64, "someone else is connected!"},
    {"Code66", 66, "failed to establish connection!"},
    {"Code4", 4, "unknow reason!"},
    {"Negative", -1, "unknow reason!"},
};

const TextCase kSdkErrors[] = {
    {"Code1", 1, "param error"},       {"Code5", 5, "unable share"},   {"Code7", 7, "unable to connect to box"},
    {"Code14", 14, "server disconnect"}, {"Code2", 2, "Unknow error"}, {"Code0", 0, "Unknow error"},
};

class ShareFailReasonTextTest : public ::testing::TestWithParam<TextCase> {};
TEST_P(ShareFailReasonTextTest, English) {
  EXPECT_EQ(shareFailReasonText(GetParam().code).toStdString(), GetParam().english);
}
INSTANTIATE_TEST_SUITE_P(Codes, ShareFailReasonTextTest, ::testing::ValuesIn(kReasons), RowName());

class SdkErrorTextTest : public ::testing::TestWithParam<TextCase> {};
TEST_P(SdkErrorTextTest, English) { EXPECT_EQ(sdkErrorText(GetParam().code).toStdString(), GetParam().english); }
INSTANTIATE_TEST_SUITE_P(Codes, SdkErrorTextTest, ::testing::ValuesIn(kSdkErrors), RowName());

}  // namespace
