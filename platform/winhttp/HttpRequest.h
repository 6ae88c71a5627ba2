// A WinHTTP request on libcurl: the calls of any thread check and record what
// they can at once and hand the rest to the session's worker, which alone
// touches the easy handle. The calls of any thread are in HttpRequest.cpp, the
// worker's side with libcurl's callbacks in HttpRequestWorkerSide.cpp, the easy
// handle's options in HttpRequestOptions.cpp.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CurlOwners.h"
#include "HttpSession.h"
#include "ResponseHead.h"

class HttpWorker;

class HttpRequest : public InternetObject, public std::enable_shared_from_this<HttpRequest> {
 public:
  using Clock = std::chrono::steady_clock;

  HttpRequest(std::shared_ptr<HttpConnection> connection, std::string verb, std::string path);
  ~HttpRequest() override;

  // Any thread. Each returns ERROR_SUCCESS or the error the call sets.
  void SetHandle(HINTERNET handle);
  void SetTimeouts(const HttpTimeouts& timeouts);
  DWORD SetProxy(const WINHTTP_PROXY_INFO& info);
  DWORD SetProxyUser(std::string user);
  DWORD SetProxyPassword(std::string password);
  WINHTTP_STATUS_CALLBACK SetCallback(WINHTTP_STATUS_CALLBACK callback, DWORD flags);
  DWORD AddHeaders(const std::string& text, DWORD modifiers);
  DWORD Send(DWORD totalLength, DWORD_PTR context);
  DWORD Write(const void* buffer, DWORD length);
  DWORD Receive();
  DWORD Read(void* buffer, DWORD length);
  DWORD Query(DWORD infoLevel, void* buffer, DWORD* bufferLength);
  void Close();

  // What a notification goes to; false once HANDLE_CLOSING went out.
  struct Listener {
    WINHTTP_STATUS_CALLBACK callback = nullptr;
    DWORD flags = 0;
    DWORD_PTR context = 0;
    HINTERNET handle = nullptr;
  };
  bool ListenerFor(DWORD status, Listener* listener);

  // Worker thread only.
  void OnDone(CURLcode result);
  // Fails a network wait that made no progress for its time-out; gives the
  // milliseconds until the next check is due.
  int CheckTimer(Clock::time_point now);
  // The worker is ending: leave the multi handle.
  void Abandon();

 private:
  enum class Pending { None, Send, Write, Receive, Read };

  // Bytes buffered per request before the worker pauses its transfer. A few
  // reads' worth keeps a streaming answer flowing between reads; 256 KiB was
  // measured to add 2 MiB to the updater's peak with four servers, for no
  // gain in time or CPU.
  static constexpr size_t kBodyBufferLimit = 64 * 1024;
  // Before the first read, a successful answer's body is buffered this far: a
  // block fits whole, while a large body nobody reads yet waits in libcurl.
  static constexpr size_t kEarlyBodyLimit = 32 * 1024;
  // How long a body-less request's SENDREQUEST_COMPLETE waits for its answer.
  static constexpr int kSendHoldMs = 20;

  static std::string HeaderName(const std::string& line);
  static bool HasHeader(const std::vector<std::string>& headers, const char* name);

  HttpWorker& worker() const;
  bool Post(void (HttpRequest::*call)(), bool wake = true);
  // Worker side of the calls.
  void DoStart();
  void DoWrite();
  void DoReceive();
  void DoRead();
  void DoResume();
  void DoClose();
  // Takes up to length buffered body bytes; lock_ held. Sets *resume when the
  // worker paused the body for a full buffer that now has room again.
  size_t TakeBody(void* buffer, DWORD length, bool* resume);
  bool MayCompleteInline() const;
  void CompleteInline(DWORD status, void* buffer, DWORD number);
  bool Configure();
  void Note(DWORD status);
  void NoteError(DWORD api, DWORD error);
  void Fail(DWORD error);
  void ReportError(Pending pending);
  void HeadOut();
  void ReleaseSend();
  void HeadFinal();
  void Pause(int bits, bool paused);
  void LeaveMulti();
  static DWORD ApiOf(Pending pending);

  static size_t OnHeaderLine(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static size_t OnUpload(char* data, size_t size, size_t count, void* self);
  static int OnDebug(CURL* easy, curl_infotype type, char* data, size_t size, void* self);

  const std::shared_ptr<HttpConnection> connection_;
  const std::string verb_;
  const std::string path_;

  // Guarded by lock_: set by the calls, read by the worker.
  mutable std::mutex lock_;
  HINTERNET handle_ = nullptr;
  HttpTimeouts timeouts_;
  std::vector<std::string> headers_;  // "Name: value"
  bool namedProxy_ = false;
  std::string proxy_;  // host:port
  std::string proxyUser_;
  std::string proxyPassword_;
  WINHTTP_STATUS_CALLBACK callback_ = nullptr;
  DWORD callbackFlags_ = 0;
  DWORD_PTR context_ = 0;
  DWORD totalLength_ = 0;
  bool sent_ = false;
  bool receiveCalled_ = false;
  bool dead_ = false;  // an error was reported: every later call fails
  bool closed_ = false;
  bool closingDelivered_ = false;
  bool headPublished_ = false;
  ResponseHead publishedHead_;
  const void* writeBuffer_ = nullptr;
  DWORD writeLength_ = 0;
  void* readBuffer_ = nullptr;
  DWORD readLength_ = 0;
  // Body bytes libcurl delivered before anybody read them: a read that finds
  // some completes at once on its caller's thread, without a round trip to
  // the worker. Bounded: past the limit the worker pauses the transfer.
  std::string body_;
  size_t bodyOffset_ = 0;
  bool bodyEnded_ = false;  // the body arrived whole; what is buffered is the rest
  bool bodyPaused_ = false;
  // Before the first read only a successful answer's first bytes are
  // buffered: a request closed before it reads a refused head leaves its
  // transfer unfinished, which drops the socket.
  bool readStarted_ = false;
  // The caller took the body's end inline: nothing is pending on the worker,
  // so HANDLE_CLOSING may go out from Close at once.
  bool endTaken_ = false;

  // Worker thread only.
  CurlSlistPtr headerList_;  // before easy_: it dies after the handle that points to it
  CurlPtr easy_;
  bool inMulti_ = false;
  int pausedBits_ = 0;
  Pending pending_ = Pending::None;
  bool headOut_ = false;
  // SENDREQUEST_COMPLETE of a request without a body, held until its answer
  // begins (or for a few milliseconds): the caller's receive and first read
  // then find the head and the bytes in, and complete on its own thread.
  bool sendHeld_ = false;
  Clock::time_point sendHeldAt_;
  bool headFinal_ = false;
  bool bodyDone_ = false;
  DWORD error_ = 0;
  bool errorReported_ = false;
  Clock::time_point lastProgress_;
  std::string url_;
  ResponseHead head_;
  int redirects_ = 0;
  int proxyChallenges_ = 0;
  const unsigned char* upload_ = nullptr;
  DWORD uploadLeft_ = 0;
  DWORD uploadLength_ = 0;
  unsigned char* download_ = nullptr;
  DWORD downloadRoom_ = 0;
};
