#include "SystemHelpers.h"

#include <QByteArray>
#include <QString>

#include <cstring>
#include <string>

#include <platform/Kernel.h>
#include <platform/KernelOwners.h>
#include <platform/Shell.h>

static const DWORD kVersionBufferBytes = 8192;
// A block that cannot hold all 13 fields of VS_FIXEDFILEINFO is not one.
static const UINT kMinFixedInfoBytes = 52;

bool IsVistaOrLater() { return LOBYTE(GetVersion()) > 5; }

DWORD RunProcess(const QByteArray& commandLine, int showWindow, HANDLE* process) {
  if (process != nullptr) *process = nullptr;
  // CreateProcessA may write into the command line, so it gets its own copy.
  std::string line(commandLine.constData(), static_cast<size_t>(commandLine.size()));
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showWindow);
  PROCESS_INFORMATION info;
  std::memset(&info, 0, sizeof info);
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return GetLastError();
  }
  const UniqueHandle thread = OwnHandle(info.hThread);
  UniqueHandle child = OwnHandle(info.hProcess);
  if (process != nullptr) *process = child.release();
  return ERROR_SUCCESS;
}

bool GetFileVersion(const QString& filePath, QString& version) {
  version.clear();
  const std::wstring path = filePath.toStdWString();
  std::string buffer(kVersionBufferBytes, '\0');
  if (!GetFileVersionInfoW(path.c_str(), 0, kVersionBufferBytes, &buffer[0])) return false;
  LPVOID block = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(buffer.data(), L"\\", &block, &length) || block == nullptr || length < kMinFixedInfoBytes) {
    return false;
  }
  // The block must lie inside our buffer before we read it.
  const char* start = static_cast<const char*>(block);
  if (start < buffer.data() || start + sizeof(VS_FIXEDFILEINFO) > buffer.data() + buffer.size()) return false;
  VS_FIXEDFILEINFO fixed;
  std::memcpy(&fixed, start, sizeof fixed);  // the record need not be aligned in the buffer
  version = QStringLiteral("%1.%2.%3.%4")
                .arg(HIWORD(fixed.dwFileVersionMS))
                .arg(LOWORD(fixed.dwFileVersionMS))
                .arg(HIWORD(fixed.dwFileVersionLS))
                .arg(LOWORD(fixed.dwFileVersionLS));
  return true;
}

DWORD KillProcess(DWORD processId, UINT exitCode, DWORD waitMs) {
  const UniqueHandle process = OwnHandle(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));
  if (!process) return GetLastError();
  if (WaitForSingleObject(process.get(), waitMs) != WAIT_OBJECT_0 && !TerminateProcess(process.get(), exitCode)) {
    return GetLastError();
  }
  return ERROR_SUCCESS;
}

void GetTaskbarInfo(TaskbarInfo& info) {
  info = TaskbarInfo();
  APPBARDATA data;
  std::memset(&data, 0, sizeof data);
  data.cbSize = sizeof data;
  info.autoHide = (SHAppBarMessage(ABM_GETSTATE, &data) & ABS_AUTOHIDE) != 0;
  std::memset(&data, 0, sizeof data);
  data.cbSize = sizeof data;
  if (!SHAppBarMessage(ABM_GETTASKBARPOS, &data)) return;
  info.rect = QRect(data.rc.left, data.rc.top, data.rc.right - data.rc.left, data.rc.bottom - data.rc.top);
  info.edge = static_cast<int>(data.uEdge);
}
