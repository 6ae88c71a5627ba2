#include "TracedChild.h"

#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>

extern char** environ;

namespace {

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

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> merged;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    const bool replaced = std::any_of(extra.begin(), extra.end(),
                                      [&](const std::string& x) { return x.compare(0, name.size() + 1, name + "=") == 0; });
    if (!replaced) merged.push_back(entry);
  }
  merged.insert(merged.end(), extra.begin(), extra.end());
  return merged;
}

}  // namespace

ChildMeasure RunMeasured(const std::vector<std::string>& args, const std::vector<std::string>& environment) {
  ChildMeasure m;
  if (args.empty()) return m;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const std::vector<std::string> env = MergedEnvironment(environment);
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  m.started = std::chrono::system_clock::now();
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) return m;
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec.
    ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    execvpe(argv[0], argv.data(), envp.data());
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
  m.switches = usage.ru_nvcsw;
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return m;
}
