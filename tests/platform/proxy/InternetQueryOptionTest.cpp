#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <platform/Kernel.h>
#include <platform/Proxy.h>
#include "RowName.h"

namespace {

struct ProxyCase {
  const char* name;
  const char* httpProxy;  // null: unset
  DWORD accessType;
  const char* proxy;      // null: none
};

const ProxyCase kProxyCases[] = {
    {"Unset", nullptr, INTERNET_OPEN_TYPE_DIRECT, nullptr},
    {"Empty", "", INTERNET_OPEN_TYPE_DIRECT, nullptr},
    {"HostAndPort", "proxy.lan:3128", INTERNET_OPEN_TYPE_PROXY, "proxy.lan:3128"},
    {"Url", "http://proxy.lan:8080/", INTERNET_OPEN_TYPE_PROXY, "proxy.lan:8080"},
    {"UrlWithCredentials", "http://me:pw@10.1.2.3:8080", INTERNET_OPEN_TYPE_PROXY, "10.1.2.3:8080"},
    {"NoPort", "http://proxy.lan", INTERNET_OPEN_TYPE_PROXY, "proxy.lan"},
};

class InternetQueryOptionTest : public ::testing::TestWithParam<ProxyCase> {
 protected:
  void SetUp() override {
    unsetenv("HTTP_PROXY");
    if (GetParam().httpProxy) {
      setenv("http_proxy", GetParam().httpProxy, 1);
    } else {
      unsetenv("http_proxy");
    }
  }
  void TearDown() override { unsetenv("http_proxy"); }
};

// The caller's way: ask for the size first, then query into that much.
TEST_P(InternetQueryOptionTest, SizeFirstThenTheRecord) {
  const ProxyCase& c = GetParam();
  DWORD size = 0;
  EXPECT_FALSE(InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, nullptr, &size));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_GE(size, sizeof(INTERNET_PROXY_INFO));
  std::vector<char> buffer(size, '\x5a');
  DWORD length = size;
  ASSERT_TRUE(InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, buffer.data(), &length));
  const auto* info = reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer.data());
  EXPECT_EQ(info->dwAccessType, c.accessType);
  if (c.proxy) {
    ASSERT_NE(info->lpszProxy, nullptr);
    EXPECT_STREQ(info->lpszProxy, c.proxy);
    // The text lies inside the caller's buffer.
    EXPECT_GE(info->lpszProxy, buffer.data());
    EXPECT_LT(info->lpszProxy, buffer.data() + size);
  } else {
    EXPECT_EQ(info->lpszProxy, nullptr);
  }
  EXPECT_EQ(info->lpszProxyBypass, nullptr);
  // One byte short is refused as well, with the same size.
  DWORD shortLength = size - 1;
  EXPECT_FALSE(InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, buffer.data(), &shortLength));
  EXPECT_EQ(shortLength, size);
}

INSTANTIATE_TEST_SUITE_P(HttpProxy, InternetQueryOptionTest, ::testing::ValuesIn(kProxyCases), RowName());

TEST(InternetQueryOptionCalls, OtherOptionsAndHandlesAreRefused) {
  char buffer[64];
  DWORD size = sizeof buffer;
  EXPECT_FALSE(InternetQueryOptionA(nullptr, 31, buffer, &size));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_OPTION);
  int notAHandle = 0;
  EXPECT_FALSE(InternetQueryOptionA(reinterpret_cast<HINTERNET>(&notAHandle), INTERNET_OPTION_PROXY, buffer, &size));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
}

}  // namespace
