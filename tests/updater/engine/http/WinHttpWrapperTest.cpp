// The WinHTTP wrappers against the scripted update server, driven the way a
// transfer connection drives them.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "FW_WinHttpConnection.h"
#include "FW_WinHttpRequest.h"
#include "FW_WinHttpSession.h"
#include "UpdateServer.h"

namespace {

// Records each slot and answers it as the connection does.
class Recorder : public FW_RequestCallBack {
 public:
  explicit Recorder(FW_WinHttpRequest* request, std::string body = std::string())
      : request_(request), body_(std::move(body)), buffer_(10240) {}

  void OnRequestError(const WINHTTP_ASYNC_RESULT* result) override {
    Add("Error " + std::to_string(result->dwError));
    if (request_) request_->Close();
  }
  void OnHandleClosing() override {
    std::lock_guard<std::mutex> guard(lock_);
    slots_.push_back("Closing");
    callbackAtClosing_ = request_->Callback();
    closed_ = true;
    changed_.notify_all();
  }
  void OnRedirect(const std::wstring& url) override { Add("Redirect " + std::string(url.begin(), url.end())); }
  void OnSendRequestComplete() override {
    Add("SendComplete");
    SendContent();
  }
  void OnWriteComplete(DWORD written) override {
    Add("Write " + std::to_string(written));
    sent_ += written;
    SendContent();
  }
  void OnHeadersAvailable() override {
    DWORD status = 0;
    request_->QueryHeaderNumber(WINHTTP_QUERY_STATUS_CODE, &status);
    Add("Headers " + std::to_string(status));
    request_->ReadData(buffer_.data(), static_cast<DWORD>(buffer_.size()));
  }
  void OnReadComplete(DWORD read) override {
    received_ += read;
    if (read == 0) {
      Add("End " + std::to_string(received_));
      request_->Close();
      return;
    }
    request_->ReadData(buffer_.data(), static_cast<DWORD>(buffer_.size()));
  }

  bool WaitClosed(int ms = 10000) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return closed_; });
  }
  std::vector<std::string> slots() {
    std::lock_guard<std::mutex> guard(lock_);
    return slots_;
  }
  FW_RequestCallBack* callbackAtClosing() {
    std::lock_guard<std::mutex> guard(lock_);
    return callbackAtClosing_;
  }

 private:
  void Add(const std::string& slot) {
    std::lock_guard<std::mutex> guard(lock_);
    slots_.push_back(slot);
  }
  void SendContent() {
    if (!request_) return;  // a listener only
    if (sent_ < body_.size()) {
      request_->WriteData(body_.data() + sent_, static_cast<DWORD>(std::min<size_t>(10240, body_.size() - sent_)));
      return;
    }
    request_->ReceiveResponse();
  }

  FW_WinHttpRequest* request_;
  std::string body_;
  std::vector<char> buffer_;
  size_t sent_ = 0;
  size_t received_ = 0;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> slots_;
  FW_RequestCallBack* callbackAtClosing_ = reinterpret_cast<FW_RequestCallBack*>(1);
  bool closed_ = false;
};

class WinHttpWrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start("127.0.0.1"));
    server_.PutFile("/up/file.bin", std::string(30000, 'f'));
    ASSERT_EQ(session_.Open(L"Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)", true), 0u);
    ASSERT_EQ(connection_.Connect(L"127.0.0.1", server_.port(), &session_), 0u);
  }
  void Run(FW_WinHttpRequest* request, Recorder* recorder, const wchar_t* verb, DWORD total) {
    ASSERT_EQ(request->Open(verb, L"/up/file.bin", &connection_, 3), 0u);
    EXPECT_EQ(request->Context(), 3);
    ASSERT_EQ(request->SetCallback(recorder), 0u);
    ASSERT_EQ(request->AddHeaders(L"Accept: */*"), 0u);
    ASSERT_EQ(request->AddHeaders(L"Connection: Keep-Alive"), 0u);
    ASSERT_EQ(request->SendRequest(total), 0u);
    ASSERT_TRUE(recorder->WaitClosed());
  }
  UpdateServer server_;
  FW_WinHttpSession session_;
  FW_WinHttpConnection connection_;
};

TEST_F(WinHttpWrapperTest, DownloadReachesEverySlotInOrder) {
  FW_WinHttpRequest request;
  Recorder recorder(&request);
  Run(&request, &recorder, L"GET", 0);
  EXPECT_EQ(recorder.slots(), (std::vector<std::string>{"SendComplete", "Headers 200", "End 30000", "Closing"}));
  // Cleared before OnHandleClosing ran.
  EXPECT_EQ(recorder.callbackAtClosing(), nullptr);
  EXPECT_EQ(request.Handle(), nullptr);
}

TEST_F(WinHttpWrapperTest, UploadGoesOutInWritesOfAtMost10240) {
  FW_WinHttpRequest request;
  Recorder recorder(&request, std::string(25000, 'u'));
  Run(&request, &recorder, L"POST", 25000);
  EXPECT_EQ(recorder.slots(), (std::vector<std::string>{"SendComplete", "Write 10240", "Write 10240", "Write 4520",
                                                        "Headers 200", "End 2", "Closing"}));
  ASSERT_EQ(server_.Log().size(), 1u);
  EXPECT_EQ(server_.Log()[0].body, std::string(25000, 'u'));
}

TEST_F(WinHttpWrapperTest, RedirectSlotGetsTheNewAddress) {
  ServerFault moved;
  moved.path = "/up/file.bin";
  moved.kind = FaultKind::Redirect302;
  moved.target = "/up/other.bin";
  server_.AddFault(moved);
  server_.PutFile("/up/other.bin", "other");
  FW_WinHttpRequest request;
  Recorder recorder(&request);
  Run(&request, &recorder, L"GET", 0);
  const std::string url = "http://127.0.0.1:" + std::to_string(server_.port()) + "/up/other.bin";
  EXPECT_EQ(recorder.slots(),
            (std::vector<std::string>{"SendComplete", "Redirect " + url, "Headers 200", "End 5", "Closing"}));
}

TEST_F(WinHttpWrapperTest, ErrorSlotGetsTheError) {
  ServerFault drop;
  drop.path = "/up/file.bin";
  drop.kind = FaultKind::DropAt;
  drop.amount = 100;
  server_.AddFault(drop);
  FW_WinHttpRequest request;
  Recorder recorder(&request);
  Run(&request, &recorder, L"GET", 0);
  EXPECT_EQ(recorder.slots(), (std::vector<std::string>{"SendComplete", "Headers 200", "Error 12030", "Closing"}));
}

TEST(WinHttpWrapperHandles, CloseWithoutAHandleIsTrueAndCallsNothing) {
  FW_WinHttpSession session;
  EXPECT_TRUE(session.Close());
  FW_WinHttpRequest request;
  EXPECT_TRUE(request.Close());
  // Calls on a wrapper that never opened fail with the layer's error.
  EXPECT_EQ(request.SendRequest(0), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(request.SetProxyCredentials(L"user", L"password"), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(WinHttpWrapperHandles, SynchronousSessionsAreRefused) {
  FW_WinHttpSession session;
  EXPECT_NE(session.Open(L"agent", false), 0u);
  EXPECT_FALSE(session.IsAsync());
}

// Only a request with its callback set hears anything.
TEST(WinHttpWrapperStatus, NullContextOrClearedCallbackIsDropped) {
  struct Counter : FW_RequestCallBack {
    int calls = 0;
    void OnSendRequestComplete() override { ++calls; }
    void OnReadComplete(DWORD) override { ++calls; }
  } counter;
  FW_WinHttpRequest request;
  FW_WinHttpRequest::StatusCallback(nullptr, 0, WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE, nullptr, 0);
  FW_WinHttpRequest::StatusCallback(nullptr, reinterpret_cast<DWORD_PTR>(&request),
                                    WINHTTP_CALLBACK_STATUS_READ_COMPLETE, nullptr, 5);
  EXPECT_EQ(counter.calls, 0);
}

// A request destroyed with its handle open hears nothing more: its
// HANDLE_CLOSING would otherwise reach freed memory (ASan watches this one).
TEST_F(WinHttpWrapperTest, DestroyedRequestGetsNoLateNotification) {
  ServerFault stall;
  stall.path = "/up/file.bin";
  stall.kind = FaultKind::StallBeforeHead;
  server_.AddFault(stall);
  Recorder recorder(nullptr);  // listens without driving
  {
    FW_WinHttpRequest request;
    ASSERT_EQ(request.Open(L"GET", L"/up/file.bin", &connection_, 1), 0u);
    ASSERT_EQ(request.SetCallback(&recorder), 0u);
    ASSERT_EQ(request.SendRequest(0), 0u);
    ASSERT_TRUE(server_.WaitForRequests(1, 5000));
  }
  EXPECT_FALSE(recorder.WaitClosed(300));
}

}  // namespace
