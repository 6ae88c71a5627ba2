// The transfer engine against aria2c: a 64 MiB and an 8 MiB file on four
// scripted servers (127.0.0.1 to 127.0.0.4) throttled to 10 MB/s each, and
// the 64 MiB file from four nginx servers with limit_rate 10m. Each fetch
// runs in a child process, so its CPU time and peak memory are its own.
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
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

struct Measure {
  double wall = 0, cpu = 0;
  long peakKiB = 0;
  int status = -1;
};

// The child's own high-water mark, read when it is about to exit. The child
// runs traced so that it stops there with its memory still mapped: ru_maxrss
// of wait4 cannot serve, as exec folds in the high-water mark of the memory
// it replaces, the parent's (posix_spawn shares it; fork copies its pages).
long PeakAtExitKiB(pid_t pid) {
  std::ifstream proc("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(proc, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

Measure Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  Measure m;
  m.peakKiB = -1;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) return m;
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec.
    ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  bool traced = false;
  for (;;) {
    if (wait4(pid, &status, 0, &usage) != pid) break;
    if (WIFEXITED(status) || WIFSIGNALED(status)) break;
    if (!WIFSTOPPED(status)) continue;
    int forward = 0;
    if (!traced && WSTOPSIG(status) == SIGTRAP) {
      // The stop after exec: from here on, stop once more at the exit.
      traced = true;
      ptrace(PTRACE_SETOPTIONS, pid, nullptr, reinterpret_cast<void*>(PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL));
    } else if ((status >> 8) == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
      m.peakKiB = std::max(m.peakKiB, PeakAtExitKiB(pid));
    } else {
      forward = WSTOPSIG(status);
    }
    ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<intptr_t>(forward)));
  }
  m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return m;
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

void Row(const char* source, const char* who, size_t size, const Measure& m, const std::vector<long long>& served,
         bool exact) {
  long long total = 0;
  std::string perServer;
  for (long long s : served) {
    total += s;
    perServer += (perServer.empty() ? "" : "/") + std::to_string(s / 1024);
  }
  const std::string peak = m.peakKiB < 0 ? "-" : std::to_string(m.peakKiB / 1024) + " MiB";
  std::printf("%-8s %-7s %5zu MiB  %7.2f s  %6.2f s  %11s  %-27s %9s  %s\n", source, who, size >> 20, m.wall,
              m.cpu, peak.c_str(), served.empty() ? "-" : perServer.c_str(),
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
    Measure m;
    if (std::string(who) == "engine") {
      std::string list;
      for (const auto& hp : hostPorts) list += (list.empty() ? "" : ";") + hp + "/";
      m = Run({self, "--engine", list, name, std::to_string(size), md5, out.string() + "/"});
    } else {
      std::vector<std::string> args = {"aria2c", "-q", "-x1", "-s4", "-k1M", "--file-allocation=none",
                                        "--allow-overwrite=true", "--auto-file-renaming=false", "-d", out.string(),
                                        "-o", name};
      for (const auto& hp : hostPorts) args.push_back("http://" + hp + "/" + name);
      m = Run(args);
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
  std::printf("%-8s %-7s %9s  %9s  %8s  %11s  %-27s %9s  %s\n", "servers", "client", "size", "wall", "cpu", "peak rss",
              "KiB served per server", "KiB twice", "result");
  Case(self, dir, 64u << 20, false);
  Case(self, dir, 8u << 20, false);
  if (NginxServer::Available()) Case(self, dir, 64u << 20, true);
  std::filesystem::remove_all(dir);
  return 0;
}
