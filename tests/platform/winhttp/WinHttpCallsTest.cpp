// The WinHTTP calls one by one: handle kinds, header queries, options and the
// proxy the engine configures, against the scripted server.
#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/WinHttp.h>

#include "RequestDriver.h"
#include "UpdateServer.h"

namespace {

class WinHttpCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = WinHttpOpen(L"agent", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, WINHTTP_FLAG_ASYNC);
    ASSERT_NE(session_, nullptr);
    connection_ = WinHttpConnect(session_, L"127.0.0.1", 9, 0);
    ASSERT_NE(connection_, nullptr);
    request_ = WinHttpOpenRequest(connection_, L"GET", L"/x", nullptr, nullptr, nullptr, 0);
    ASSERT_NE(request_, nullptr);
  }
  void TearDown() override {
    if (request_) WinHttpCloseHandle(request_);
    WinHttpCloseHandle(connection_);
    WinHttpCloseHandle(session_);
  }
  HINTERNET session_ = nullptr;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
};

TEST_F(WinHttpCallsTest, HandlesOfTheWrongKindOrClosedAreRefused) {
  DWORD number = 0, size = sizeof number;
  EXPECT_FALSE(WinHttpQueryHeaders(session_, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr,
                                   &number, &size, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
  EXPECT_EQ(WinHttpConnect(request_, L"127.0.0.1", 80, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
  // A kernel handle's value is no WinHTTP handle.
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_FALSE(WinHttpReadData(reinterpret_cast<HINTERNET>(event), &number, 4, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(event);
  ASSERT_TRUE(WinHttpCloseHandle(request_));
  EXPECT_FALSE(WinHttpCloseHandle(request_));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  request_ = nullptr;
}

TEST_F(WinHttpCallsTest, CallsOutOfOrderFailWithHandleState) {
  DWORD number = 0, size = sizeof number;
  EXPECT_FALSE(WinHttpQueryHeaders(request_, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr,
                                   &number, &size, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  EXPECT_FALSE(WinHttpReceiveResponse(request_, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  char buffer[16];
  EXPECT_FALSE(WinHttpReadData(request_, buffer, sizeof buffer, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
}

TEST_F(WinHttpCallsTest, OptionsTheLayerDoesNotKnowAreRefused) {
  DWORD value = 1;
  EXPECT_FALSE(WinHttpSetOption(request_, 31, &value, sizeof value));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INVALID_OPTION);
  WINHTTP_PROXY_INFO onlyFtp{WINHTTP_ACCESS_TYPE_NAMED_PROXY, const_cast<wchar_t*>(L"ftp=h:21"), nullptr};
  EXPECT_FALSE(WinHttpSetOption(request_, WINHTTP_OPTION_PROXY, &onlyFtp, sizeof onlyFtp));
  EXPECT_FALSE(WinHttpOpen(L"agent", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0));
}

TEST_F(WinHttpCallsTest, HeadersWithoutAColonAreRefused) {
  EXPECT_FALSE(WinHttpAddRequestHeaders(request_, L"NoColon", static_cast<DWORD>(-1),
                                        WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_INVALID_HEADER);
}

TEST_F(WinHttpCallsTest, ACallbackCanBeReplacedAndTheOldOneComesBack) {
  auto first = [](HINTERNET, DWORD_PTR, DWORD, LPVOID, DWORD) {};
  WINHTTP_STATUS_CALLBACK firstPtr = first;
  EXPECT_EQ(WinHttpSetStatusCallback(request_, firstPtr, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0), nullptr);
  EXPECT_EQ(WinHttpSetStatusCallback(request_, nullptr, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0), firstPtr);
  EXPECT_EQ(WinHttpSetStatusCallback(session_, firstPtr, 0, 0), WINHTTP_INVALID_STATUS_CALLBACK);
}

class WinHttpQueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start("127.0.0.1"));
    server_.PutFile("/file.bin", std::string(1000, 'q'));
    ASSERT_TRUE(driver_.Connect("127.0.0.1", server_.port()));
    RequestSpec spec;
    spec.path = L"/file.bin";
    spec.closeAtEnd = false;
    ASSERT_TRUE(driver_.Start(spec));
    ASSERT_TRUE(driver_.WaitFor("READ 0"));
  }
  UpdateServer server_;
  RequestDriver driver_;
};

TEST_F(WinHttpQueryTest, NumbersTextsAndMissingHeaders) {
  DWORD number = 0, size = sizeof number;
  ASSERT_TRUE(WinHttpQueryHeaders(driver_.request(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                  nullptr, &number, &size, nullptr));
  EXPECT_EQ(number, 1000u);
  wchar_t text[8];
  size = sizeof text;
  EXPECT_FALSE(WinHttpQueryHeaders(driver_.request(), WINHTTP_QUERY_CONTENT_RANGE, nullptr, text, &size, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_WINHTTP_HEADER_NOT_FOUND);
  size = 2 * sizeof(wchar_t);
  EXPECT_FALSE(WinHttpQueryHeaders(driver_.request(), WINHTTP_QUERY_CONTENT_LENGTH, nullptr, text, &size, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(size, 5 * sizeof(wchar_t));
  ASSERT_TRUE(WinHttpQueryHeaders(driver_.request(), WINHTTP_QUERY_CONTENT_LENGTH, nullptr, text, &size, nullptr));
  EXPECT_EQ(std::wstring(text), L"1000");
  EXPECT_EQ(size, 4 * sizeof(wchar_t));
  // Reading on after the end gives 0 again.
  char buffer[16];
  ASSERT_TRUE(WinHttpReadData(driver_.request(), buffer, sizeof buffer, nullptr));
  driver_.Close();
  ASSERT_TRUE(driver_.WaitClosed());
  const std::vector<std::string> events = driver_.Events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "READ 0"), 2);
  EXPECT_EQ(events.back(), "CLOSING");
}

// A named proxy: the absolute-form request goes to it, its 407 challenge is
// answered with Basic credentials, and the padding zeros of a decoded name
// never become part of them.
TEST(WinHttpProxyTest, NamedProxyGetsAbsoluteFormAndBasicCredentials) {
  UpdateServer proxy;
  ASSERT_TRUE(proxy.Start("127.0.0.4"));
  proxy.PutFile("/updates/file.bin", std::string(5000, 'p'));
  proxy.ActAsProxy("user", "secret");
  RequestDriver driver;
  ASSERT_TRUE(driver.Connect("updates.invalid", 80));
  HINTERNET request = WinHttpOpenRequest(driver.connection(), L"GET", L"/updates/file.bin", nullptr, nullptr,
                                         nullptr, 0);
  ASSERT_NE(request, nullptr);
  const std::wstring proxyText = L"ftp=127.0.0.4:21 http=127.0.0.4:" + std::to_wstring(proxy.port());
  WINHTTP_PROXY_INFO info{WINHTTP_ACCESS_TYPE_NAMED_PROXY, const_cast<wchar_t*>(proxyText.c_str()), nullptr};
  ASSERT_TRUE(WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof info));
  const wchar_t user[] = {L'u', L's', L'e', L'r', 0, 0};
  const wchar_t password[] = {L's', L'e', L'c', L'r', L'e', L't', 0};
  ASSERT_TRUE(WinHttpSetOption(request, WINHTTP_OPTION_PROXY_USERNAME, const_cast<wchar_t*>(user), 6));
  ASSERT_TRUE(WinHttpSetOption(request, WINHTTP_OPTION_PROXY_PASSWORD, const_cast<wchar_t*>(password), 7));
  struct Seen {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<DWORD> statuses;
    DWORD code = 0;
  } seen;
  auto callback = [](HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID, DWORD length) {
    auto* s = reinterpret_cast<Seen*>(context);
    static char buffer[10240];
    if (status == WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE) WinHttpReceiveResponse(handle, nullptr);
    if (status == WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE) {
      DWORD size = sizeof s->code;
      WinHttpQueryHeaders(handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr, &s->code, &size,
                          nullptr);
      WinHttpReadData(handle, buffer, sizeof buffer, nullptr);
    }
    if (status == WINHTTP_CALLBACK_STATUS_READ_COMPLETE && length > 0) WinHttpReadData(handle, buffer, sizeof buffer, nullptr);
    if (status == WINHTTP_CALLBACK_STATUS_READ_COMPLETE && length == 0) WinHttpCloseHandle(handle);
    if (status == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR) WinHttpCloseHandle(handle);
    std::lock_guard<std::mutex> guard(s->lock);
    s->statuses.push_back(status);
    s->changed.notify_all();
  };
  ASSERT_NE(WinHttpSetStatusCallback(request, callback, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0),
            WINHTTP_INVALID_STATUS_CALLBACK);
  ASSERT_TRUE(WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, reinterpret_cast<DWORD_PTR>(&seen)));
  {
    std::unique_lock<std::mutex> guard(seen.lock);
    ASSERT_TRUE(seen.changed.wait_for(guard, std::chrono::seconds(10), [&] {
      return !seen.statuses.empty() && seen.statuses.back() == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING;
    }));
  }
  EXPECT_EQ(seen.code, 200u);
  const std::vector<LoggedRequest> log = proxy.Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].target.rfind("http://updates.invalid", 0), 0u) << log[0].target;
  EXPECT_EQ(log[0].status, 407);
  EXPECT_EQ(log[0].Header("Proxy-Authorization"), "");
  EXPECT_EQ(log[1].status, 200);
  EXPECT_EQ(log[1].Header("Proxy-Authorization"), "Basic dXNlcjpzZWNyZXQ=");  // user:secret
  EXPECT_EQ(log[1].Header("Proxy-Connection"), "");
}

}  // namespace
