#include "TraceManager.h"

#include <platform/ExceptionFilter.h>
#include <platform/Kernel.h>
#include <platform/StdioOwners.h>
#include <platform/Threads.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "NamedMutexLock.h"
#include "SyncSectionLock.h"

namespace {

const char* const kLevelNames[] = {"DBG", "INF", "WAR", "ERR"};
char kNoMemoryText[] = "not enough memory!\n";
constexpr DWORD kSlowMs = 20;
constexpr DWORD kWriterPauseMs = 20;

void ReportSlow(const char* format, DWORD ms) {
  if (ms <= kSlowMs) return;
  char line[96];
  std::snprintf(line, sizeof line, format, static_cast<int>(ms));
  OutputDebugStringA(line);
}

// The file to append to, or null. A log at its limit is moved to "<path>.bak"
// (rotate) or dropped, and started anew.
UniqueStdFile OpenForAppend(const char* path, int limit, bool rotate) {
  if (!path[0]) return nullptr;
  UniqueStdFile file(std::fopen(path, "ab"));
  if (!file) return nullptr;
  std::fseek(file.get(), 0, SEEK_END);
  const long size = std::ftell(file.get());
  if (size >= 0 && size < limit) return file;
  file.reset();
  if (rotate) {
    const std::string backup = std::string(path) + ".bak";
    std::remove(backup.c_str());
    std::rename(path, backup.c_str());
  }
  return UniqueStdFile(std::fopen(path, "wb"));
}

// Turns the text into exactly one line: inner '\n' become '\r', and it ends
// with one '\n'. Returns the new length.
int MakeOneLine(char* text, int length, int capacity) {
  for (int i = 0; i + 1 < length; ++i) {
    if (text[i] == '\n') text[i] = '\r';
  }
  if (length > 0 && text[length - 1] == '\n') return length;
  if (length + 1 < capacity) {
    text[length++] = '\n';
  } else {
    text[length - 1] = '\n';
  }
  text[length] = '\0';
  return length;
}

}  // namespace

CTraceManager::CTraceManager() { m_fileMutex.Create(L"FWLogMutex"); }

CTraceManager::~CTraceManager() {
  Stop();
  CSyncSectionLock lock(&m_queueLock);
  for (const SEntry& entry : m_queue) FreeEntry(entry);
  m_queue.clear();
}

void CTraceManager::FreeEntry(const SEntry& entry) {
  if (entry.owned) delete[] entry.text;
}

size_t CTraceManager::QueuedEntries() {
  CSyncSectionLock lock(&m_queueLock);
  return m_queue.size();
}

bool CTraceManager::Start(const STraceCfg* cfg) {
  CSyncSectionLock lock(&m_controlLock);
  if (m_hWriter || !cfg) return false;
  m_nMinLevel = 0;
  m_cfg = *cfg;
  // The paths come from the caller's fixed buffers: never read past them.
  m_cfg.mainLogPath[sizeof m_cfg.mainLogPath - 1] = '\0';
  m_cfg.errLogPath[sizeof m_cfg.errLogPath - 1] = '\0';
  {
    // Lines that raced with an earlier Stop belong to no run.
    CSyncSectionLock queueLock(&m_queueLock);
    for (const SEntry& entry : m_queue) FreeEntry(entry);
    m_queue.clear();
  }
  if (!StartWriter()) return false;
  m_bTracing = true;
  return true;
}

bool CTraceManager::StartWriter() {
  m_hWriter.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WriterEntry, this, 0, nullptr)));
  return m_hWriter != nullptr;
}

void CTraceManager::Stop() {
  CSyncSectionLock lock(&m_controlLock);
  if (!m_hWriter) return;
  m_bTracing = false;
  EndWriter();
  CSyncSectionLock queueLock(&m_queueLock);
  for (const SEntry& entry : m_queue) FreeEntry(entry);
  m_queue.clear();
}

// Queues a stop entry and waits for the writer. Should the writer have ended
// at an earlier stop entry, what was queued before ours is written here.
void CTraceManager::EndWriter() {
  AppendLog(SEntry{0, nullptr, 0, false});
  // The control lock stays held: a Start or Flush meanwhile would run a second
  // writer beside this one, and lines would reach the file out of order. The
  // writer never takes that lock, so this wait cannot deadlock.
  WaitForSingleObject(m_hWriter.get(), INFINITE);
  m_hWriter.reset();
  std::deque<SEntry> rest;
  {
    CSyncSectionLock lock(&m_queueLock);
    rest.swap(m_queue);
  }
  if (!rest.empty()) WritePass(&rest);
}

void CTraceManager::Flush() {
  CSyncSectionLock lock(&m_controlLock);
  if (!m_hWriter) return;
  EndWriter();
  if (!StartWriter()) {
    m_bTracing = false;
    OutputDebugStringA("CTraceManager: the log writer did not restart after a flush\n");
  }
}

void CTraceManager::Trace(int level, const char* module, const char* fmt, va_list args) {
  if (level > kLevelErr) level = kLevelErr;
  if (level < m_nMinLevel || level < kLevelDbg || !m_bTracing) return;
  if (!module) module = "";
  if (!fmt) fmt = "";
  const DWORD start = GetTickCount();
  SEntry entry = {level == kLevelErr ? kFlagMain | kFlagErr : kFlagMain, nullptr, 0, true};
  char* text = new (std::nothrow) char[kLineBytes];
  const DWORD allocated = GetTickCount();
  ReportSlow("Trace malloc mem use:%d\n", allocated - start);
  if (!text) {
    entry.text = kNoMemoryText;
    entry.length = static_cast<int>(sizeof kNoMemoryText - 1);
    entry.owned = false;
  } else {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const int threadId = static_cast<int>(GetCurrentThreadId());
    auto writePrefix = [&](const char* levelName) {
      const int n = std::snprintf(text, kLineBytes, "[%04d-%02d-%02d %02d:%02d:%02d.%03d][%s][%s:%d] ", now.wYear,
                                  now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                                  levelName, module, threadId);
      return n < 0 ? 0 : (n >= kLineBytes ? kLineBytes - 1 : n);
    };
    int length = writePrefix(kLevelNames[level]);
    const int n = std::vsnprintf(text + length, static_cast<size_t>(kLineBytes - length), fmt, args);
    if (n >= 0) {
      length = n >= kLineBytes - length ? kLineBytes - 1 : length + n;
    } else {
      // The arguments could not be formatted: keep the raw format instead.
      length = writePrefix(kLevelNames[kLevelErr]);
      const size_t room = static_cast<size_t>(kLineBytes - 1 - length);
      const size_t copy = std::min(room, std::strlen(fmt));
      std::memcpy(text + length, fmt, copy);
      length += static_cast<int>(copy);
      text[length] = '\0';
    }
    ReportSlow("FormatMsg use:%d\n", GetTickCount() - allocated);
    entry.text = text;
    entry.length = MakeOneLine(text, length, kLineBytes);
  }
  const DWORD queued = GetTickCount();
  AppendLog(entry);
  const DWORD end = GetTickCount();
  ReportSlow("AppendLog use:%d\n", end - queued);
  ReportSlow("CTraceManager::Trace total use:%d\n", end - start);
}

void CTraceManager::AppendLog(const SEntry& entry) {
  CSyncSectionLock lock(&m_queueLock);
  if (m_queue.size() < static_cast<size_t>(kMaxQueued)) {
    m_queue.push_back(entry);
    return;
  }
  // Callers never wait for the disk: a full queue loses the new line, but a
  // stop must still reach the writer, so it takes the oldest line's place.
  if (entry.text) {
    FreeEntry(entry);
    return;
  }
  FreeEntry(m_queue.front());
  m_queue.pop_front();
  m_queue.push_back(entry);
}

unsigned CTraceManager::WriterEntry(void* context) {
  static_cast<CTraceManager*>(context)->WriterLoop();
  return 0;
}

void CTraceManager::WriterLoop() {
  for (;;) {
    std::deque<SEntry> batch;
    {
      CSyncSectionLock lock(&m_queueLock);
      batch.swap(m_queue);
    }
    if (!batch.empty() && WritePass(&batch)) return;
    Sleep(kWriterPauseMs);
  }
}

// One open-write-close pass per file. True when a stop entry ended it.
bool CTraceManager::WritePass(std::deque<SEntry>* batch) {
  CNamedMutexLock fileLock(&m_fileMutex);
  UniqueStdFile mainLog;
  UniqueStdFile errLog;
  bool mainOpened = false;
  bool errOpened = false;
  bool stopped = false;
  while (!batch->empty()) {
    const SEntry entry = batch->front();
    batch->pop_front();
    if (!entry.text) {
      stopped = true;
      break;
    }
    if (entry.flags & kFlagMain) {
      if (!mainOpened) mainLog = OpenForAppend(m_cfg.mainLogPath, m_cfg.mainLogMaxSize, true);
      mainOpened = true;
      if (m_bFaultWriter.exchange(false)) FaultForTests();
      if (mainLog) std::fwrite(entry.text, 1, static_cast<size_t>(entry.length), mainLog.get());
    }
    if (entry.flags & kFlagErr) {
      if (!errOpened) errLog = OpenForAppend(m_cfg.errLogPath, m_cfg.errLogMaxSize, false);
      errOpened = true;
      if (errLog) std::fwrite(entry.text, 1, static_cast<size_t>(entry.length), errLog.get());
    }
    FreeEntry(entry);
  }
  if (stopped && !batch->empty()) {
    // Lines queued after the stop belong to the next writer (a flush starts
    // one at once); Stop frees them if none follows.
    CSyncSectionLock lock(&m_queueLock);
    m_queue.insert(m_queue.begin(), batch->begin(), batch->end());
  }
  return stopped;
}

int CTraceManager::ReadLastLog(char* buf, int len) {
  if (!buf || len <= 0) return 0;
  Flush();
  return ReadTail(m_cfg.mainLogPath, buf, len, false);
}

int CTraceManager::ReadLastErrLog(char* buf, int len, bool deleteAfter) {
  if (!buf || len <= 0) return 0;
  Flush();
  return ReadTail(m_cfg.errLogPath, buf, len, deleteAfter);
}

int CTraceManager::ReadLastLogInCrash(char* buf, int len) const {
  return ReadFileTailInCrash(m_cfg.mainLogPath, buf, len);
}

int CTraceManager::ReadTail(const char* path, char* buf, int len, bool deleteAfter) {
  CNamedMutexLock fileLock(&m_fileMutex);
  if (!path[0]) return 0;
  UniqueStdFile file(std::fopen(path, "rb"));
  if (!file) return 0;
  // A file shorter than len is read whole.
  if (std::fseek(file.get(), -static_cast<long>(len), SEEK_END) != 0) std::fseek(file.get(), 0, SEEK_SET);
  const size_t got = std::fread(buf, 1, static_cast<size_t>(len), file.get());
  file.reset();  // closed before a removal
  if (deleteAfter) std::remove(path);
  return static_cast<int>(got);
}

namespace {

// Writes out what is queued when the process exits normally, and leaves the
// manager itself alive for threads that still trace.
struct TraceExitFlush {
  ~TraceExitFlush() { TheTraceManager().Stop(); }
};

}  // namespace

CTraceManager& TheTraceManager() {
  static CTraceManager* manager = new CTraceManager;
  static TraceExitFlush flushAtExit;
  return *manager;
}
