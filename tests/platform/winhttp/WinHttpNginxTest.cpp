// The layer against a real server: nginx from Debian, started by the test on
// its own port with its own configuration.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "NginxServer.h"
#include "RequestDriver.h"
#include "ScopedTempDir.h"

namespace {

class WinHttpNginxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!NginxServer::Available()) GTEST_SKIP() << "nginx is not installed";
    ASSERT_TRUE(temp_.ok());
    root_ = temp_.path().string();
    content_.resize(300000);
    for (size_t i = 0; i < content_.size(); ++i) content_[i] = static_cast<char>((i * 13 + i / 509) & 0xff);
    std::ofstream(root_ + "/file.bin", std::ios::binary) << content_;
  }
  void TearDown() override {
    nginx_.Stop();
  }
  ScopedTempDir temp_{"nginx-root"};
  std::string root_;
  std::string content_;
  NginxServer nginx_;
};

TEST_F(WinHttpNginxTest, WholeAndRangedDownloads) {
  ASSERT_TRUE(nginx_.Start(root_, "127.0.0.6")) << nginx_.error();
  RequestDriver driver;
  ASSERT_TRUE(driver.Connect("127.0.0.6", nginx_.port()));
  RequestSpec whole;
  whole.path = L"/file.bin";
  ASSERT_TRUE(driver.Start(whole));
  ASSERT_TRUE(driver.WaitClosed());
  EXPECT_EQ(driver.Events(), (std::vector<std::string>{"SEND", "HEADERS 200", "READ", "READ 0", "CLOSING"}));
  EXPECT_EQ(driver.Body(), content_);

  RequestSpec block = whole;
  block.range = L"bytes=289760-299999";
  ASSERT_TRUE(driver.Start(block));
  ASSERT_TRUE(driver.WaitClosed());
  EXPECT_EQ(driver.status(), 206u);
  EXPECT_EQ(driver.contentRange(), L"bytes 289760-299999/300000");
  EXPECT_EQ(driver.Body(), content_.substr(289760));

  RequestSpec missing = whole;
  missing.path = L"/missing.bin";
  ASSERT_TRUE(driver.Start(missing));
  ASSERT_TRUE(driver.WaitClosed());
  EXPECT_EQ(driver.status(), 404u);
}

// A slow but steady server is no stall: bytes keep coming within the time-out.
// nginx sends the first second's worth at once, the rest in pauses under 1 s.
TEST_F(WinHttpNginxTest, RateLimitedDownloadCompletes) {
  ASSERT_TRUE(nginx_.Start(root_, "127.0.0.6", 100000)) << nginx_.error();
  RequestDriver driver;
  ASSERT_TRUE(driver.Connect("127.0.0.6", nginx_.port()));
  RequestSpec whole;
  whole.path = L"/file.bin";
  whole.receiveTimeoutMs = 3000;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(driver.Start(whole));
  ASSERT_TRUE(driver.WaitClosed(20000));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000)) << "not rate limited";
  EXPECT_EQ(driver.Events(), (std::vector<std::string>{"SEND", "HEADERS 200", "READ", "READ 0", "CLOSING"}));
  EXPECT_EQ(driver.Body(), content_);
}

}  // namespace
