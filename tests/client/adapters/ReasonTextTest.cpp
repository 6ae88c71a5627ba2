#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTranslator>

#include <string>

#include "ReasonText.h"
#include "RowName.h"

namespace {

struct TextCase {
  const char* name;
  int code;
  const char* english;
  const char* chinese;
};

const TextCase kReasons[] = {
    {"Code0", 0, "connect code error!", "连接码错误！"},
    {"Code65", 65, "connect code error!", "连接码错误！"},
    {"Code1", 1, "the meeting is over!", "会议已结束！"},
    {"Code2", 2, "connection dropped!", "连接已断开！"},
    {"Code67", 67, "connection dropped!", "连接已断开！"},
    {"Code3", 3, "new user connected!", "有新用户连接！"},
    {"Code16", 16, "no sharing rights, please contact the host to open it!", "没有共享权限，请联系主持人开启！"},
    {"Code17", 17, "already sharing!", "已在共享中！"},
    {"Code64", 64, "someone else is connected!", "已有其他人连接！"},
    {"Code66", 66, "failed to establish connection!", "建立连接失败！"},
    {"Code4", 4, "unknow reason!", "未知原因！"},
    {"Negative", -1, "unknow reason!", "未知原因！"},
};

const TextCase kSdkErrors[] = {
    {"Code1", 1, "param error", "参数错误"},       {"Code5", 5, "unable share", "无法共享"},   {"Code7", 7, "unable to connect to box", "无法连接到盒子"},
    {"Code14", 14, "server disconnect", "服务器断开连接"}, {"Code2", 2, "Unknow error", "未知错误"}, {"Code0", 0, "Unknow error", "未知错误"},
};

// The client's own catalog as the build makes it, installed as start-up does
// for zh_CN.
class Chinese {
 public:
  Chinese() {
    loaded_ = translator_.load(QStringLiteral(CORVANE_RES_DIR "/Corvane_zh_CN.qm"));
    if (loaded_) QCoreApplication::installTranslator(&translator_);
  }
  ~Chinese() { QCoreApplication::removeTranslator(&translator_); }
  bool loaded() const { return loaded_; }

 private:
  QTranslator translator_;
  bool loaded_ = false;
};

class ShareFailReasonTextTest : public ::testing::TestWithParam<TextCase> {};
TEST_P(ShareFailReasonTextTest, English) {
  EXPECT_EQ(shareFailReasonText(GetParam().code).toStdString(), GetParam().english);
}
TEST_P(ShareFailReasonTextTest, Chinese) {
  Chinese chinese;
  ASSERT_TRUE(chinese.loaded());
  EXPECT_EQ(shareFailReasonText(GetParam().code).toStdString(), GetParam().chinese);
}
INSTANTIATE_TEST_SUITE_P(Codes, ShareFailReasonTextTest, ::testing::ValuesIn(kReasons), RowName());

class SdkErrorTextTest : public ::testing::TestWithParam<TextCase> {};
TEST_P(SdkErrorTextTest, English) { EXPECT_EQ(sdkErrorText(GetParam().code).toStdString(), GetParam().english); }
TEST_P(SdkErrorTextTest, Chinese) {
  Chinese chinese;
  ASSERT_TRUE(chinese.loaded());
  EXPECT_EQ(sdkErrorText(GetParam().code).toStdString(), GetParam().chinese);
}
INSTANTIATE_TEST_SUITE_P(Codes, SdkErrorTextTest, ::testing::ValuesIn(kSdkErrors), RowName());

}  // namespace
