// The floor under the transfer engine's CPU time: bare libcurl fetching a
// 64 MiB file as 10240-byte ranged GETs over one kept-alive connection to
// each of four nginx servers throttled to 10 MB/s, as the engine's block
// tasks do. "discard" copies each piece into one reused buffer; "buffer"
// copies it into a buffer of the whole file, had as the engine has its own
// (VirtualAlloc); "heap" into one from new[], in small pages. Each fetch runs
// in a child process, so its CPU time is its own.
#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <platform/KernelMemory.h>
#include <platform/KernelOwners.h>

#include "NginxServer.h"
#include "TracedChild.h"

namespace {

constexpr long long kRate = 10 * 1000 * 1000;
constexpr size_t kFileSize = 64u << 20;
constexpr size_t kBlock = 10240;

struct Fetch {
  CURL* easy = nullptr;
  std::string url;
  size_t offset = 0;  // where the current block's bytes go
  size_t got = 0;
  char* target = nullptr;
  bool whole = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* context) {
  auto* fetch = static_cast<Fetch*>(context);
  const size_t n = size * count;
  const size_t room = kBlock - std::min(kBlock, fetch->got);
  const size_t copied = std::min(n, room);
  std::memcpy(fetch->target + (fetch->whole ? fetch->offset + fetch->got : fetch->got), data, copied);
  fetch->got += n;
  return n;
}

// Gives the fetch the next block, if any is left.
bool NextBlock(Fetch& fetch, size_t* next, char* buffer, char* scratch) {
  if (*next >= kFileSize) return false;
  fetch.offset = *next;
  fetch.got = 0;
  fetch.target = fetch.whole ? buffer : scratch;
  *next += kBlock;
  const std::string range = std::to_string(fetch.offset) + "-" + std::to_string(fetch.offset + kBlock - 1);
  curl_easy_setopt(fetch.easy, CURLOPT_RANGE, range.c_str());
  return true;
}

int FetchBlocks(const std::string& mode, const std::vector<std::string>& urls) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURLM* multi = curl_multi_init();
  std::unique_ptr<char[]> heap(mode == "heap" ? new char[kFileSize] : nullptr);
  UniqueVirtualMemory region(
      mode == "buffer" ? static_cast<char*>(VirtualAlloc(nullptr, kFileSize, MEM_COMMIT, PAGE_READWRITE)) : nullptr);
  const bool whole = heap || region;
  char* const buffer = heap ? heap.get() : region.get();
  std::vector<char> scratch(kBlock);
  std::vector<Fetch> fetches(urls.size());
  size_t next = 0;
  for (size_t i = 0; i < urls.size(); ++i) {
    Fetch& fetch = fetches[i];
    fetch.url = urls[i];
    fetch.whole = whole;
    fetch.easy = curl_easy_init();
    curl_easy_setopt(fetch.easy, CURLOPT_URL, fetch.url.c_str());
    curl_easy_setopt(fetch.easy, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(fetch.easy, CURLOPT_WRITEDATA, &fetch);
    curl_easy_setopt(fetch.easy, CURLOPT_PRIVATE, &fetch);
    curl_easy_setopt(fetch.easy, CURLOPT_NOSIGNAL, 1L);  // as the engine has it
    if (NextBlock(fetch, &next, buffer, scratch.data())) curl_multi_add_handle(multi, fetch.easy);
  }
  int running = 1;
  int failures = 0;
  while (running > 0) {
    curl_multi_perform(multi, &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg != CURLMSG_DONE) continue;
      CURL* easy = message->easy_handle;
      if (message->data.result != CURLE_OK) ++failures;
      Fetch* fetch = nullptr;
      curl_easy_getinfo(easy, CURLINFO_PRIVATE, reinterpret_cast<char**>(&fetch));
      curl_multi_remove_handle(multi, easy);
      if (NextBlock(*fetch, &next, buffer, scratch.data())) {
        curl_multi_add_handle(multi, easy);
        ++running;
      }
    }
    if (running > 0) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
  }
  for (Fetch& fetch : fetches) curl_easy_cleanup(fetch.easy);
  curl_multi_cleanup(multi);
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--fetch") {
    return FetchBlocks(argv[2], std::vector<std::string>(argv + 3, argv + argc));
  }
  if (!NginxServer::Available()) {
    std::printf("nginx is not installed\n");
    return 1;
  }
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("corvane-curl-blocks-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  {
    std::ofstream out(dir / "f64.bin", std::ios::binary);
    const std::string chunk(1 << 20, 'x');
    for (size_t i = 0; i < kFileSize / chunk.size(); ++i) out << chunk;
  }
  std::vector<std::unique_ptr<NginxServer>> servers;
  std::vector<std::string> urls;
  for (int i = 1; i <= 4; ++i) {
    servers.emplace_back(new NginxServer);
    const std::string address = "127.0.0." + std::to_string(i);
    if (!servers.back()->Start(dir.string(), address, kRate)) {
      std::printf("nginx: %s\n", servers.back()->error().c_str());
      return 1;
    }
    urls.push_back("http://" + address + ":" + std::to_string(servers.back()->port()) + "/f64.bin");
  }
  std::printf("%-8s %9s  %8s  %8s  %s\n", "mode", "wall", "cpu", "switches", "result");
  for (int run = 0; run < runs; ++run) {
    for (const char* mode : {"discard", "buffer", "heap"}) {
      std::vector<std::string> args = {self, "--fetch", mode};
      args.insert(args.end(), urls.begin(), urls.end());
      const ChildMeasure m = RunMeasured(args);
      std::printf("%-8s %7.2f s  %6.2f s  %8ld  %s\n", mode, m.wall, m.cpu, m.switches, m.status == 0 ? "ok" : "FAILED");
    }
  }
  servers.clear();
  std::filesystem::remove_all(dir);
  return 0;
}
