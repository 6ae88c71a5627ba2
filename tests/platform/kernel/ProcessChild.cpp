// The program the process tests start. Its first argument picks what it does;
// every wait in it is bounded so a test that goes wrong cannot leave it behind.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <platform/Kernel.h>
#include <platform/Strings.h>

static bool WriteFile(const char* path, const std::string& text) {
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && ok;
}

// Counts descriptors beyond 0-2, naming each on stderr.
static int CountExtraDescriptors() {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return 100;
  int extra = 0;
  while (dirent* entry = readdir(dir)) {
    const int fd = std::atoi(entry->d_name);
    if (entry->d_name[0] == '.' || fd <= 2 || fd == dirfd(dir)) continue;
    char target[512] = {};
    const std::string link = std::string("/proc/self/fd/") + entry->d_name;
    if (readlink(link.c_str(), target, sizeof(target) - 1) < 0) std::strcpy(target, "?");
    std::fprintf(stderr, "inherited fd %d -> %s\n", fd, target);
    ++extra;
  }
  closedir(dir);
  return extra;
}

// Exit 0 when every signal has its default action and none is blocked.
static int CheckSignalsClean() {
  sigset_t blocked;
  sigprocmask(SIG_BLOCK, nullptr, &blocked);
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sig == SIGKILL || sig == SIGSTOP) continue;
    struct sigaction action;
    if (sigaction(sig, nullptr, &action) != 0) continue;
    if (sigismember(&blocked, sig) == 1 || action.sa_handler == SIG_IGN) {
      std::fprintf(stderr, "signal %d is %s\n", sig, action.sa_handler == SIG_IGN ? "ignored" : "blocked");
      return 1;
    }
  }
  return 0;
}

static bool WaitForFile(const char* path, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (access(path, F_OK) != 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "exit" && argc > 2) return std::atoi(argv[2]);
  if (mode == "sleep" && argc > 2) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    return 0;
  }
  if (mode == "fds") return CountExtraDescriptors();
  if (mode == "signals") return CheckSignalsClean();
  if (mode == "args" && argc > 2) {
    // Each argument after the output path, each ended by a NUL.
    std::string text;
    for (int i = 3; i < argc; ++i) text.append(argv[i]).push_back('\0');
    return WriteFile(argv[2], text) ? 0 : 2;
  }
  if (mode == "cwd" && argc > 2) {
    char folder[4096];
    if (!getcwd(folder, sizeof(folder))) return 2;
    return WriteFile(argv[2], folder) ? 0 : 2;
  }
  // Waits for the go file, then exits with 3, writes its module file name, or
  // becomes another program.
  if (mode == "await" && argc > 2) {
    if (!WaitForFile(argv[2], 20)) return 4;
    if (argc > 4 && std::string(argv[3]) == "module") {
      wchar_t path[MAX_PATH];
      if (GetModuleFileNameW(nullptr, path, MAX_PATH) == 0) return 6;
      return WriteFile(argv[4], WideToUtf8(path)) ? 0 : 2;
    }
    if (argc > 3) {
      execv(argv[3], argv + 3);
      return 5;
    }
    return 3;
  }
  std::fprintf(stderr,
               "usage: %s exit N | sleep MS | fds | signals | args OUT ... | cwd OUT | await GO [module OUT | PROGRAM ARGS]\n",
               argv[0]);
  return 64;
}
