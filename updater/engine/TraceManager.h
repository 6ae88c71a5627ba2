// The updater's log: callers format and queue lines; one writer thread
// appends them to the main log and, for errors, to the error log, under the
// cross-process mutex "FWLogMutex".
#pragma once

#include <platform/KernelOwners.h>
#include <platform/Win32Types.h>

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <deque>

#include "NamedMutex.h"
#include "SyncSection.h"

struct STraceCfg {
  char mainLogPath[256];  // UTF-8
  int mainLogMaxSize;     // bytes; the full log is moved to "<path>.bak"
  char errLogPath[256];
  int errLogMaxSize;  // bytes; the full log is emptied
  int reserved;
};

class CTraceManager {
 public:
  enum { kLevelDbg = 0, kLevelInf = 1, kLevelWar = 2, kLevelErr = 3 };
  enum { kFlagMain = 1, kFlagErr = 2 };
  static constexpr int kMaxQueued = 2000;
  static constexpr int kLineBytes = 2048;

  struct SEntry {
    int flags;
    char* text;  // null: the stop entry
    int length;
    bool owned;
  };

  CTraceManager();
  ~CTraceManager();
  CTraceManager(const CTraceManager&) = delete;
  CTraceManager& operator=(const CTraceManager&) = delete;

  bool Start(const STraceCfg* cfg);
  // Writes everything queued before it, then ends the writer.
  void Stop();
  void Trace(int level, const char* module, const char* fmt, va_list args);
  void AppendLog(const SEntry& entry);
  int ReadLastLog(char* buf, int len);
  int ReadLastErrLog(char* buf, int len, bool deleteAfter);
  // The main log's tail as it is on disk, for a crash: no flush, no lock, no
  // allocation, since the crashing thread may be the writer itself or hold
  // what a flush would wait for. Lines still queued are not in it.
  int ReadLastLogInCrash(char* buf, int len) const;
  // Tests: the writer faults in its next pass, holding the file mutex.
  void FaultWriterForTests() { m_bFaultWriter = true; }

  size_t QueuedEntries();  // for tests and diagnostics
  bool IsTracing() const { return m_bTracing; }

 private:
  static unsigned WriterEntry(void* context);
  void WriterLoop();
  bool WritePass(std::deque<SEntry>* batch);
  bool StartWriter();
  void EndWriter();
  void Flush();
  int ReadTail(const char* path, char* buf, int len, bool deleteAfter);
  static void FreeEntry(const SEntry& entry);

  int m_nMinLevel = 0;
  STraceCfg m_cfg = {};
  CSyncSection m_controlLock;
  CSyncSection m_queueLock;
  std::deque<SEntry> m_queue;
  CNamedMutex m_fileMutex;
  UniqueHandle m_hWriter;
  std::atomic<bool> m_bTracing{false};
  std::atomic<bool> m_bFaultWriter{false};
};

// The process's one manager: never destroyed, so a thread still tracing
// during exit finds it whole; its lines are written out at exit.
CTraceManager& TheTraceManager();
