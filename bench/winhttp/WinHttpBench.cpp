// A 64 MiB download through the WinHTTP layer (10240-byte reads, as the
// transfer engine reads) against nginx, and curl's own download of the same
// file: throughput and CPU seconds of the downloading side.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <platform/WinHttp.h>

#include "NginxServer.h"

extern char** environ;

namespace {

constexpr size_t kFileSize = 64u << 20;
constexpr DWORD kReadSize = 10240;

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Result {
  double seconds = 0;
  double cpu = 0;
  size_t bytes = 0;
  bool ok = false;
};

// One download; with handOff the reads are asked for from another thread, as
// the engine's connection thread does after a posted message.
class Download {
 public:
  Download(INTERNET_PORT port, bool handOff) : port_(port), handOff_(handOff), buffer_(kReadSize) {}

  Result Run() {
    HINTERNET session = WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, WINHTTP_FLAG_ASYNC);
    HINTERNET connection = WinHttpConnect(session, L"127.0.0.1", port_, 0);
    request_ = WinHttpOpenRequest(connection, L"GET", L"/big.bin", nullptr, nullptr, nullptr, 0);
    WinHttpSetStatusCallback(request_, &Download::Status, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0);
    std::thread helper;
    if (handOff_) helper = std::thread([this] { HelperLoop(); });
    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    const auto start = std::chrono::steady_clock::now();
    WinHttpSendRequest(request_, nullptr, 0, nullptr, 0, 0, reinterpret_cast<DWORD_PTR>(this));
    {
      std::unique_lock<std::mutex> guard(lock_);
      changed_.wait_for(guard, std::chrono::seconds(120), [this] { return closed_; });
    }
    Result result;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.cpu = CpuSeconds(RUSAGE_SELF) - cpu0;
    result.bytes = received_;
    result.ok = closed_ && !failed_ && received_ == kFileSize;
    {
      std::lock_guard<std::mutex> guard(lock_);
      stop_ = true;
      changed_.notify_all();
    }
    if (helper.joinable()) helper.join();
    WinHttpCloseHandle(connection);
    WinHttpCloseHandle(session);
    return result;
  }

 private:
  static void Status(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    auto* self = reinterpret_cast<Download*>(context);
    if (self) self->On(handle, status, info, length);
  }

  void Next(HINTERNET handle, bool receive) {
    if (!handOff_) {
      receive ? WinHttpReceiveResponse(handle, nullptr)
              : WinHttpReadData(handle, buffer_.data(), kReadSize, nullptr);
      return;
    }
    std::lock_guard<std::mutex> guard(lock_);
    work_.push_back(receive);
    changed_.notify_all();
  }

  void HelperLoop() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
      changed_.wait(guard, [this] { return stop_ || !work_.empty(); });
      if (stop_) return;
      const bool receive = work_.front();
      work_.pop_front();
      guard.unlock();
      receive ? WinHttpReceiveResponse(request_, nullptr) : WinHttpReadData(request_, buffer_.data(), kReadSize, nullptr);
      guard.lock();
    }
  }

  void On(HINTERNET handle, DWORD status, LPVOID, DWORD length) {
    switch (status) {
      case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        Next(handle, true);
        break;
      case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        Next(handle, false);
        break;
      case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        received_ += length;
        if (length) {
          Next(handle, false);
        } else {
          WinHttpCloseHandle(handle);
        }
        break;
      case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        failed_ = true;
        WinHttpCloseHandle(handle);
        break;
      case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING: {
        std::lock_guard<std::mutex> guard(lock_);
        closed_ = true;
        changed_.notify_all();
        break;
      }
      default:
        break;
    }
  }

  INTERNET_PORT port_;
  bool handOff_;
  std::vector<char> buffer_;
  HINTERNET request_ = nullptr;
  size_t received_ = 0;
  bool failed_ = false;
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<bool> work_;
  bool closed_ = false;
  bool stop_ = false;
};

Result RunCurl(INTERNET_PORT port) {
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/big.bin";
  const char* argv[] = {"curl", "-s", "-f", "--noproxy", "*", "-o", "/dev/null", url.c_str(), nullptr};
  const double cpu0 = CpuSeconds(RUSAGE_CHILDREN);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  Result result;
  if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return result;
  int status = 0;
  waitpid(pid, &status, 0);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.cpu = CpuSeconds(RUSAGE_CHILDREN) - cpu0;
  result.bytes = kFileSize;
  result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

// The run with the median time.
Result Median(std::vector<Result> runs) {
  std::sort(runs.begin(), runs.end(), [](const Result& a, const Result& b) { return a.seconds < b.seconds; });
  return runs[runs.size() / 2];
}

void Print(const char* name, const Result& r) {
  std::printf("%-34s %9.1f %10.3f %9.3f %s\n", name, r.bytes / r.seconds / 1e6, r.seconds, r.cpu,
              r.ok ? "" : "FAILED");
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  char folder[] = "/tmp/corvane-winhttp-bench-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  {
    std::ofstream out(std::string(folder) + "/big.bin", std::ios::binary);
    std::vector<char> block(1 << 20);
    for (size_t i = 0; i < kFileSize / block.size(); ++i) {
      for (size_t j = 0; j < block.size(); ++j) block[j] = static_cast<char>((i * 131 + j * 7) & 0xff);
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }
  NginxServer nginx;
  if (!nginx.Start(folder, "127.0.0.1")) {
    std::fprintf(stderr, "nginx: %s\n", nginx.error().c_str());
    std::filesystem::remove_all(folder);
    return 1;
  }
  std::vector<Result> inCallback, handedOff, curl;
  for (int i = 0; i < runs; ++i) {
    inCallback.push_back(Download(nginx.port(), false).Run());
    handedOff.push_back(Download(nginx.port(), true).Run());
    curl.push_back(RunCurl(nginx.port()));
  }
  nginx.Stop();
  std::filesystem::remove_all(folder);
  std::printf("64 MiB GET from nginx on 127.0.0.1, unthrottled; median of %d runs\n", runs);
  std::printf("%-34s %9s %10s %9s\n", "client", "MB/s", "seconds", "CPU s");
  Print("layer, reads from the callback", Median(inCallback));
  Print("layer, reads from another thread", Median(handedOff));
  Print("curl -o /dev/null", Median(curl));
  return 0;
}
