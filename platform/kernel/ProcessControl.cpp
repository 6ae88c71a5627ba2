// Process-wide settings and queries of the Windows design that have nothing
// to act on here.
#include <platform/Threads.h>

#include <platform/Kernel.h>

#include <QString>

#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <string>

#include "KernelPaths.h"
#include "ProcessIdentity.h"
#include "ProcessObject.h"

namespace {
std::atomic<UINT> g_errorMode{0};
}

UINT SetErrorMode(UINT mode) { return g_errorMode.exchange(mode); }

DWORD WaitForInputIdle(HANDLE process, DWORD) {
  if (!LookupObjectAs<ProcessObject>(process)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return 0;
}

void OutputDebugStringA(LPCSTR text) {
  if (!text) return;
  std::fputs(text, stderr);
}

void OutputDebugStringW(LPCWSTR text) {
  if (!text) return;
  const QByteArray utf8 = QString::fromWCharArray(text).toUtf8();
  std::fputs(utf8.constData(), stderr);
}

BOOL ProcessRunsOwnExecutable(DWORD processId) {
  const ProcessIdentity own = ReadProcessIdentity(getpid());
  const ProcessIdentity other = ReadProcessIdentity(static_cast<pid_t>(processId));
  if (!own.haveExecutable || !other.haveExecutable) return FALSE;
  return own.device == other.device && own.inode == other.inode;
}

static std::string FileNameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

BOOL ProcessRunsProgramOfOwnName(DWORD processId) {
  if (processId == 0 || processId > static_cast<DWORD>(INT_MAX)) return FALSE;
  const std::string own = FileNameOf(StartExecutablePath());
  return !own.empty() && own == FileNameOf(ExecutablePathOf(static_cast<pid_t>(processId)));
}
