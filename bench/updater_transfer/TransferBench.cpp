// The transfer engine against aria2c: a 64 MiB and an 8 MiB file on four
// scripted servers (127.0.0.1 to 127.0.0.4) throttled to 10 MB/s each, and
// the 64 MiB file from four nginx servers with limit_rate 10m. Each fetch
// runs in a child process, so its CPU time and peak memory are its own.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DecodeNetFileThead.h"
#include "FileItem.h"
#include "MutilThreadMgr.h"
#include "NetFile.h"
#include "NginxServer.h"
#include "UpdateFixture.h"
#include "Trace.h"
#include "TracedChild.h"
#include "TraceManager.h"
#include "UpdateServer.h"

namespace {

const long long kRate = 10 * 1000 * 1000;

// The child's side: one file as the update thread fetches it.
int FetchWithEngine(const std::string& servers, const std::string& name, int size, const std::string& md5,
                    const std::string& folder) {
  SFileTransItem item(std::wstring(name.begin(), name.end()), true);
  item.remoteName = item.name;
  item.size = size;
  item.transSize = size;
  item.checkType = CHK_MD5;
  item.checkValue.assign(md5.begin(), md5.end());
  if (const char* log = getenv("TRANSFER_BENCH_LOG")) {
    STraceCfg cfg{};
    std::snprintf(cfg.mainLogPath, sizeof cfg.mainLogPath, "%s", log);
    cfg.mainLogMaxSize = 512 << 20;
    std::snprintf(cfg.errLogPath, sizeof cfg.errLogPath, "%s.err", log);
    cfg.errLogMaxSize = 1 << 20;
    StartTrace(&cfg);
  }
  CMutilThreadMgr mgr;
  mgr.SetConnCfg(5, 1);
  if (!mgr.SetSverInfo(std::wstring(servers.begin(), servers.end()))) return 2;
  CNetFile file(0, &item, std::wstring(folder.begin(), folder.end()));
  CDecodeNetFileThead decoder;
  decoder.StartThread();
  if (!mgr.Start(&file, nullptr)) return 3;
  mgr.WaitExit(INFINITE);
  if (mgr.GetExitCode() != 0) return 4;
  decoder.PostDecodeFile(&file);
  decoder.StopThread(0);
  decoder.WaitExit(INFINITE);
  return decoder.GetDecodeState(&file) == DFS_DONE ? 0 : 5;
}

std::string RandomFile(const std::filesystem::path& path, size_t size) {
  std::string bytes(size, '\0');
  std::mt19937_64 random(size);
  for (size_t i = 0; i + 8 <= size; i += 8) {
    const uint64_t v = random();
    std::memcpy(&bytes[i], &v, 8);
  }
  std::ofstream(path, std::ios::binary) << bytes;
  return FixtureMd5(bytes);
}

bool SameBytes(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(x), {}) == std::string(std::istreambuf_iterator<char>(y), {});
}

void Row(const char* source, const char* who, size_t size, const ChildMeasure& m, const std::vector<long long>& served,
         bool exact) {
  long long total = 0;
  std::string perServer;
  for (long long s : served) {
    total += s;
    perServer += (perServer.empty() ? "" : "/") + std::to_string(s / 1024);
  }
  const std::string peak = m.peakKiB < 0 ? "-" : std::to_string(m.peakKiB / 1024) + " MiB";
  std::printf("%-8s %-7s %5zu MiB  %7.2f s  %6.2f s  %8ld  %11s  %-27s %9s  %s\n", source, who, size >> 20, m.wall,
              m.cpu, m.switches, peak.c_str(), served.empty() ? "-" : perServer.c_str(),
              served.empty() ? "-" : std::to_string((total - static_cast<long long>(size)) / 1024).c_str(),
              m.status == 0 && exact ? "ok" : "FAILED");
}

void Case(const std::string& self, const std::filesystem::path& dir, size_t size, bool nginx) {
  const std::string name = "f" + std::to_string(size >> 20) + ".bin";
  const std::filesystem::path served = dir / "served";
  std::filesystem::create_directories(served);
  const std::string md5 = RandomFile(served / name, size);
  for (const char* who : {"engine", "aria2c"}) {
    std::vector<std::unique_ptr<UpdateServer>> scripted;
    std::vector<std::unique_ptr<NginxServer>> nginxes;
    std::vector<std::string> hostPorts;
    for (int i = 1; i <= 4; ++i) {
      const std::string address = "127.0.0." + std::to_string(i);
      if (nginx) {
        nginxes.emplace_back(new NginxServer);
        if (!nginxes.back()->Start(served.string(), address, kRate)) {
          std::printf("nginx: %s\n", nginxes.back()->error().c_str());
          return;
        }
        hostPorts.push_back(address + ":" + std::to_string(nginxes.back()->port()));
      } else {
        scripted.emplace_back(new UpdateServer);
        scripted.back()->Start(address, served.string());
        scripted.back()->SetThrottle(kRate);
        hostPorts.push_back(address + ":" + std::to_string(scripted.back()->port()));
      }
    }
    const std::filesystem::path out = dir / (std::string("out-") + who);
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    ChildMeasure m;
    if (std::string(who) == "engine") {
      std::string list;
      for (const auto& hp : hostPorts) list += (list.empty() ? "" : ";") + hp + "/";
      m = RunMeasured({self, "--engine", list, name, std::to_string(size), md5, out.string() + "/"});
    } else {
      std::vector<std::string> args = {"aria2c", "-q", "-x1", "-s4", "-k1M", "--file-allocation=none",
                                        "--allow-overwrite=true", "--auto-file-renaming=false", "-d", out.string(),
                                        "-o", name};
      for (const auto& hp : hostPorts) args.push_back("http://" + hp + "/" + name);
      m = RunMeasured(args);
    }
    std::vector<long long> bytes;
    for (auto& s : scripted) bytes.push_back(s->BodyBytesSent());
    Row(nginx ? "nginx" : "scripted", who, size, m, bytes, SameBytes(served / name, out / name));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 7 && std::string(argv[1]) == "--engine") {
    return FetchWithEngine(argv[2], argv[3], std::stoi(argv[4]), argv[5], argv[6]);
  }
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("corvane-transfer-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::printf("%-8s %-7s %9s  %9s  %8s  %8s  %11s  %-27s %9s  %s\n", "servers", "client", "size", "wall", "cpu", "switches",
              "peak rss",
              "KiB served per server", "KiB twice", "result");
  // Optional arguments pick the servers: "scripted", "nginx"; none runs both.
  const std::vector<std::string> picked(argv + 1, argv + argc);
  const auto wanted = [&picked](const char* servers) {
    return picked.empty() || std::find(picked.begin(), picked.end(), servers) != picked.end();
  };
  if (wanted("scripted")) {
    Case(self, dir, 64u << 20, false);
    Case(self, dir, 8u << 20, false);
  }
  if (wanted("nginx") && NginxServer::Available()) Case(self, dir, 64u << 20, true);
  std::filesystem::remove_all(dir);
  return 0;
}
