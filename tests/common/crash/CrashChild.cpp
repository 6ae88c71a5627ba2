// Installs the crash-dump writer and crashes on purpose, as the mode says.
// Usage: crash_child <mode> <folder>. In <folder> it leaves "child-report.txt"
// (what the test cannot learn from outside: the thread count at crash time,
// the crashing thread and function) and, from OnDumped, "ondumped.mark".
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <platform/Kernel.h>
#include <platform/Threads.h>
#include <platform/ThreadName.h>

#include "MiniDumpMakeCtrl.h"
#include "NamedThread.h"

#define CRASHER extern "C" __attribute__((noinline, no_sanitize("address", "undefined")))

volatile int g_sink;

CRASHER void CrashByNullWrite() {
  volatile int* volatile target = nullptr;
  *target = 42;
}

CRASHER void CrashByDivideByZero() {
  volatile int zero = 0;
  g_sink = 7 / zero;
}

CRASHER void CrashByIllegalInstruction() { __builtin_trap(); }

// Never ends; the frame keeps each call real and the store after the call
// keeps it from becoming a jump.
#pragma GCC diagnostic ignored "-Winfinite-recursion"
CRASHER void CrashByStackOverflow() {
  volatile char frame[512];
  frame[0] = 1;
  CrashByStackOverflow();
  g_sink = frame[0];
}

CRASHER void CrashByAbort() {
  abort();
  g_sink = 1;  // keeps the return address inside this function
}

namespace {

class CrashApp : public CMiniDumpMakeCtrl {
 protected:
  void GetDumpInfo(const QString& dumpPath, QByteArray& text) override {
    text.append("child info: ").append(dumpPath.toUtf8()).append('\n');
    m_dumpPath = dumpPath.toStdString();
  }
  // Records the dump's size as OnDumped sees it, to show the file was
  // complete by then.
  void OnDumped() override {
    struct stat info {};
    const long long size = stat(m_dumpPath.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
    char line[128];
    const int length = snprintf(line, sizeof(line), "%s %lld\n", m_dumpPath.c_str(), size);
    const int fd = open("ondumped.mark", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    if (write(fd, line, static_cast<size_t>(length)) != length) perror("ondumped.mark");
    close(fd);
  }

 private:
  std::string m_dumpPath;
};

int CountTasks() {
  DIR* dir = opendir("/proc/self/task");
  if (!dir) return -1;
  int count = 0;
  while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
  closedir(dir);
  return count;
}

// True once the thread sleeps in the kernel, where the dump can read its registers.
bool IsSleeping(long tid) {
  const std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
  FILE* file = fopen(path.c_str(), "r");
  if (!file) return false;
  char text[512] = {};
  const size_t length = fread(text, 1, sizeof(text) - 1, file);
  fclose(file);
  const char* state = strrchr(text, ')');  // the name in parentheses may hold spaces
  return length > 0 && state && state[1] == ' ' && state[2] == 'S';
}

void Report(const char* function, void (*address)()) {
  FILE* report = fopen("child-report.txt", "w");
  if (!report) return;
  fprintf(report, "tasks %d\ntid %ld\nfunction %s %p\n", CountTasks(), syscall(SYS_gettid), function,
          reinterpret_cast<void*>(address));
  fclose(report);
}

// Where the crash runs: the main thread or one of the kinds of worker the
// program has.
enum class On { Main, PlainThread, NamedThread, BeginThread };

struct Crash {
  const char* mode;
  const char* function;
  void (*run)();
  On on;
};

const Crash kCrashes[] = {
    {"null-write", "CrashByNullWrite", CrashByNullWrite, On::Main},
    {"divide", "CrashByDivideByZero", CrashByDivideByZero, On::Main},
    {"illegal", "CrashByIllegalInstruction", CrashByIllegalInstruction, On::Main},
    {"abort", "CrashByAbort", CrashByAbort, On::Main},
    {"worker-null-write", "CrashByNullWrite", CrashByNullWrite, On::PlainThread},
    {"named-thread-overflow", "CrashByStackOverflow", CrashByStackOverflow, On::NamedThread},
    {"begin-thread-overflow", "CrashByStackOverflow", CrashByStackOverflow, On::BeginThread},
    {"uninstalled", "CrashByNullWrite", CrashByNullWrite, On::Main},
};

const Crash* g_crash = nullptr;

void ReportAndCrash() {
  Report(g_crash->function, g_crash->run);
  g_crash->run();
}

// The capture and protocol threads are QNamedThreads: the crash comes from
// the hook a subclass runs at the thread's start.
class CrashingThread : public QNamedThread {
 protected:
  void onThreadBegin() override {
    QNamedThread::onThreadBegin();
    ReportAndCrash();
  }
};

unsigned BeginThreadMain(void*) {
  SetCurrentThreadName("BeginWorker");
  ReportAndCrash();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || chdir(argv[2]) != 0) {
    fprintf(stderr, "usage: crash_child <mode> <folder>\n");
    return 2;
  }
  const Crash* crash = nullptr;
  for (const Crash& candidate : kCrashes) {
    if (strcmp(candidate.mode, argv[1]) == 0) crash = &candidate;
  }
  if (!crash) {
    fprintf(stderr, "crash_child: unknown mode %s\n", argv[1]);
    return 2;
  }
  // The default action of the crash signals would leave a core file behind.
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);

  // Idle threads blocked in the kernel, as a real client has: the dump must
  // list them too. They never wake: the process ends by the crash.
  int idle[2];
  if (pipe(idle) != 0) return 3;
  std::vector<std::thread> sleepers;
  std::atomic<long> sleeperTids[3] = {};
  for (std::atomic<long>& tid : sleeperTids) {
    sleepers.emplace_back([fd = idle[0], &tid] {
      tid = syscall(SYS_gettid);
      char byte;
      while (read(fd, &byte, 1) != 0) {
      }
    });
  }
  for (std::atomic<long>& tid : sleeperTids) {
    for (int wait = 0; wait < 500 && (tid == 0 || !IsSleeping(tid)); ++wait) usleep(10 * 1000);
  }

  static CrashApp app;
  CMiniDumpMakeCtrl::InstallFilter(&app);
  if (strcmp(crash->mode, "uninstalled") == 0) CMiniDumpMakeCtrl::InstallFilter(nullptr);

  g_crash = crash;
  switch (crash->on) {
    case On::Main:
      ReportAndCrash();
      break;
    case On::PlainThread:
      std::thread(ReportAndCrash).join();
      break;
    case On::NamedThread: {
      CrashingThread thread;
      thread.setObjectName(QStringLiteral("CrashWorker"));
      thread.start();
      thread.wait(60 * 1000);
      break;
    }
    case On::BeginThread: {
      HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, BeginThreadMain, nullptr, 0, nullptr));
      if (thread == nullptr) return 5;
      WaitForSingleObject(thread, 60 * 1000);
      break;
    }
  }
  fprintf(stderr, "crash_child: %s did not crash\n", crash->mode);
  return 4;
}
