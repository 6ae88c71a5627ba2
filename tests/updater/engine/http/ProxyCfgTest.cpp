// The proxy setting: read from the settings file and the system, turned into
// what each connection applies; and a manual proxy end to end through the
// scripted server acting as one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

#include <platform/Strings.h>

#include "FW_WinHttpConnection.h"
#include "FW_WinHttpRequest.h"
#include "FW_WinHttpSession.h"
#include "ProxyCfg.h"
#include "Trace.h"
#include "TraceManager.h"
#include "UpdateServer.h"
#include "RowName.h"
#include "ScopedTempDir.h"

namespace {

// A settings file and a trace log in a folder of their own.
class ProxySetting {
 public:
  ProxySetting() {
    dir_ = temp_.path().string();
    ini_ = Utf8ToWide(dir_ + "/UserCfg.ini");
  }
  void Write(const char* setting) {
    std::ofstream out(dir_ + "/UserCfg.ini");
    out << "[CFG]\n";
    if (setting) out << "cfgProxy=" << setting << "\n";
  }
  // Runs GetProxyCfg with the trace log on and gives back what it logged.
  std::string GetWithLog(SConnProxy* proxy) {
    STraceCfg cfg{};
    std::snprintf(cfg.mainLogPath, sizeof cfg.mainLogPath, "%s/main.log", dir_.c_str());
    std::snprintf(cfg.errLogPath, sizeof cfg.errLogPath, "%s/err.log", dir_.c_str());
    cfg.mainLogMaxSize = cfg.errLogMaxSize = 1 << 20;
    StartTrace(&cfg);
    GetProxyCfg(*proxy, ini_);
    StopTrace();
    std::ifstream log(dir_ + "/main.log");
    std::stringstream text;
    text << log.rdbuf();
    return text.str();
  }
  const std::wstring& ini() const { return ini_; }

 private:
  ScopedTempDir temp_{"proxycfg"};
  std::string dir_;
  std::wstring ini_;
};

struct ProxyCase {
  const char* name;
  const char* setting;    // null: no key at all
  const char* httpProxy;  // the system's proxy; null for none
  int readResult;
  const wchar_t* proxy;   // null: a direct connection
  const wchar_t* user;
  const wchar_t* password;
};

// Base64 of "user" is "dXNlcg==" (two padding zeros), of "secret" "c2VjcmV0".
const ProxyCase kProxyCases[] = {
    {"ManualWithCredentials", "2;proxy.lan;8080;dXNlcg==;c2VjcmV0", nullptr, 0, L"http=proxy.lan:8080", L"user",
     L"secret"},
    {"ManualWithoutPassword", "2;proxy.lan;8080;dXNlcg==", nullptr, -6, nullptr, L"", L""},
    {"ManualWithoutUser", "2;proxy.lan;8080", nullptr, -5, nullptr, L"", L""},
    {"ManualWithoutPort", "2;proxy.lan", nullptr, -4, nullptr, L"", L""},
    {"ManualWithoutHost", "2", nullptr, -3, nullptr, L"", L""},
    {"ManualEmptyCredentials", "2;proxy.lan;3128;;", nullptr, 0, L"http=proxy.lan:3128", L"", L""},
    {"SystemHttpPartAfterFtpPart", "1", "ftp=ftp.lan:21 http=web.lan:8080", 0, L"http=web.lan:8080", L"", L""},
    {"SystemPlainHostPort", "1;ignored;1;dXNlcg==;c2VjcmV0", "proxy.lan:3128", 0, L"http=proxy.lan:3128", L"", L""},
    {"SystemWithoutPort", "1", "http://proxy.lan", -2, nullptr, L"", L""},
    {"SystemDirect", "1", nullptr, 0, nullptr, L"", L""},
    {"OtherTypeIgnored", "3;proxy.lan;8080;dXNlcg==;c2VjcmV0", nullptr, 0, nullptr, L"", L""},
    {"NoneType", "0;proxy.lan;8080", nullptr, 0, nullptr, L"", L""},
    {"EmptySetting", "", nullptr, 0, nullptr, L"", L""},
    {"NoKey", nullptr, nullptr, 0, nullptr, L"", L""},
};

class ProxyCfgTest : public ::testing::TestWithParam<ProxyCase> {
 protected:
  void SetUp() override {
    unsetenv("HTTP_PROXY");
    if (GetParam().httpProxy) {
      setenv("http_proxy", GetParam().httpProxy, 1);
    } else {
      unsetenv("http_proxy");
    }
    setting_.Write(GetParam().setting);
  }
  void TearDown() override { unsetenv("http_proxy"); }
  ProxySetting setting_;
};

TEST_P(ProxyCfgTest, ReadResult) {
  SProxyCfg cfg;
  EXPECT_EQ(ReadProxyCfg(cfg, setting_.ini()), GetParam().readResult);
}

TEST_P(ProxyCfgTest, ConnectionSettingAndLogLine) {
  const ProxyCase& c = GetParam();
  SConnProxy proxy;
  proxy.user = L"stale";
  const std::string log = setting_.GetWithLog(&proxy);
  if (c.proxy) {
    EXPECT_EQ(proxy.info.dwAccessType, WINHTTP_ACCESS_TYPE_NAMED_PROXY);
    ASSERT_NE(proxy.info.lpszProxy, nullptr);
    EXPECT_EQ(std::wstring(proxy.info.lpszProxy), c.proxy);
  } else {
    EXPECT_EQ(proxy.info.dwAccessType, WINHTTP_ACCESS_TYPE_NO_PROXY);
    EXPECT_EQ(proxy.info.lpszProxy, nullptr);
  }
  EXPECT_EQ(proxy.info.lpszProxyBypass, nullptr);
  EXPECT_EQ(proxy.user, c.user);
  EXPECT_EQ(proxy.password, c.password);
  if (c.readResult != 0) {
    const std::string line = "Get proxycfg faild(" + std::to_string(c.readResult) + "), connect directly!";
    EXPECT_NE(log.find(line), std::string::npos) << log;
  } else {
    EXPECT_EQ(log.find("proxycfg"), std::string::npos) << log;
  }
}

INSTANTIATE_TEST_SUITE_P(Settings, ProxyCfgTest, ::testing::ValuesIn(kProxyCases), RowName());

TEST(ConnProxyCopy, ACopyPointsAtItsOwnText) {
  SConnProxy copy;
  {
    SConnProxy original;
    original.proxy = L"http=proxy.lan:8080";
    original.info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    original.info.lpszProxy = &original.proxy[0];
    copy = original;
    SConnProxy constructed(original);
    EXPECT_EQ(constructed.info.lpszProxy, constructed.proxy.c_str());
  }
  EXPECT_EQ(copy.info.lpszProxy, copy.proxy.c_str());
  EXPECT_EQ(std::wstring(copy.info.lpszProxy), L"http=proxy.lan:8080");
}

// A manual proxy setting applied as a transfer connection applies it.
TEST(ProxyCfgThroughProxy, ManualProxyGetsAbsoluteFormThenBasicCredentials) {
  UpdateServer proxyServer;
  ASSERT_TRUE(proxyServer.Start("127.0.0.5"));
  proxyServer.PutFile("/Win32/file.bin", std::string(3000, 'z'));
  proxyServer.ActAsProxy("user", "secret");
  ProxySetting setting;
  const std::string text = "2;127.0.0.5;" + std::to_string(proxyServer.port()) + ";dXNlcg==;c2VjcmV0";
  setting.Write(text.c_str());
  SConnProxy proxy;
  GetProxyCfg(proxy, setting.ini());
  ASSERT_EQ(proxy.info.dwAccessType, WINHTTP_ACCESS_TYPE_NAMED_PROXY);

  struct Listener : FW_RequestCallBack {
    FW_WinHttpRequest* request = nullptr;
    char buffer[10240];
    std::mutex lock;
    std::condition_variable changed;
    bool closed = false;
    DWORD status = 0;
    void OnSendRequestComplete() override { request->ReceiveResponse(); }
    void OnHeadersAvailable() override {
      request->QueryHeaderNumber(WINHTTP_QUERY_STATUS_CODE, &status);
      request->ReadData(buffer, sizeof buffer);
    }
    void OnReadComplete(DWORD read) override {
      if (read) {
        request->ReadData(buffer, sizeof buffer);
      } else {
        request->Close();
      }
    }
    void OnRequestError(const WINHTTP_ASYNC_RESULT*) override { request->Close(); }
    void OnHandleClosing() override {
      std::lock_guard<std::mutex> guard(lock);
      closed = true;
      changed.notify_all();
    }
  } listener;
  FW_WinHttpSession session;
  ASSERT_EQ(session.Open(L"Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)", true), 0u);
  FW_WinHttpConnection connection;
  // The update server's own name is never resolved: only the proxy is contacted.
  ASSERT_EQ(connection.Connect(L"updates.invalid", 80, &session), 0u);
  FW_WinHttpRequest request;
  listener.request = &request;
  ASSERT_EQ(request.Open(L"GET", L"/Win32/file.bin", &connection, 0), 0u);
  ASSERT_EQ(request.SetCallback(&listener), 0u);
  ASSERT_EQ(request.SetProxy(&proxy.info), 0u);
  ASSERT_EQ(request.SetProxyCredentials(proxy.user, proxy.password), 0u);
  ASSERT_EQ(request.AddHeaders(L"Accept: */*"), 0u);
  ASSERT_EQ(request.SendRequest(0), 0u);
  {
    std::unique_lock<std::mutex> guard(listener.lock);
    ASSERT_TRUE(listener.changed.wait_for(guard, std::chrono::seconds(10), [&] { return listener.closed; }));
  }
  EXPECT_EQ(listener.status, 200u);
  const std::vector<LoggedRequest> log = proxyServer.Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].target, "http://updates.invalid/Win32/file.bin");
  EXPECT_EQ(log[0].status, 407);
  EXPECT_EQ(log[1].target, "http://updates.invalid/Win32/file.bin");
  // "user:secret", no zero byte from the padding of "dXNlcg==".
  EXPECT_EQ(log[1].Header("Proxy-Authorization"), "Basic dXNlcjpzZWNyZXQ=");
  EXPECT_EQ(log[1].status, 200);
}

}  // namespace
