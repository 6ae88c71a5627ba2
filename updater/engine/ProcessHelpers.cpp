#include "ProcessHelpers.h"

#include <platform/Kernel.h>
#include <platform/KernelOwners.h>
#include <platform/Shell.h>
#include <platform/Threads.h>

#include <cwchar>
#include <vector>

#include "NamedEvent.h"

static std::wstring WithoutLeadingSpace(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L" \t");
  return first == std::wstring::npos ? std::wstring() : text.substr(first);
}

DWORD RunProcess(const std::wstring& commandLine, int showWindow, HANDLE* process, DWORD* processId) {
  if (process) *process = nullptr;
  if (processId) *processId = 0;
  SetErrorMode(0xFFFF);
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showWindow);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return GetLastError();
  }
  const UniqueHandle thread(info.hThread);
  UniqueHandle started(info.hProcess);
  if (processId) *processId = info.dwProcessId;
  if (process) *process = started.release();
  return 0;
}

bool SplitCmdLine(const std::wstring& command, std::wstring& program, std::wstring& arguments) {
  program.clear();
  arguments.clear();
  if (!command.empty() && command[0] == L'"') {
    const size_t close = command.find(L'"', 1);
    if (close == std::wstring::npos) return false;
    program = command.substr(1, close - 1);
    arguments = WithoutLeadingSpace(command.substr(close + 1));
    return true;
  }
  const size_t space = command.find(L' ', 1);
  if (space == std::wstring::npos) {
    program = command;
    return true;
  }
  program = command.substr(0, space);
  arguments = WithoutLeadingSpace(command.substr(space + 1));
  return true;
}

DWORD RunElevated(const std::wstring& command, HANDLE* process) {
  if (process) *process = nullptr;
  std::wstring program, arguments;
  SplitCmdLine(command, program, arguments);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"runas";
  info.lpFile = program.c_str();
  info.lpParameters = arguments.c_str();
  info.nShow = SW_SHOW;
  if (!ShellExecuteExW(&info)) return GetLastError();
  UniqueHandle started(info.hProcess);
  if (process) *process = started.release();
  return 0;
}

void ParseWaitMode(const wchar_t* keyword, SWaitMode& waitMode) {
  waitMode.eventName.clear();
  if (!keyword) {
    waitMode.mode = WAITEXIT;
  } else if (std::wcscmp(keyword, L"WAITIDLE") == 0) {
    waitMode.mode = WAITIDLE;
  } else if (std::wcscmp(keyword, L"WAITEXIT") == 0) {
    waitMode.mode = WAITEXIT;
  } else if (std::wcsncmp(keyword, L"WAIT_", 5) == 0) {
    waitMode.mode = WAIT_EVENT;
    waitMode.eventName = keyword + 5;
  } else {
    waitMode.mode = WAIT_NONE;
  }
}

bool IsVistaOrLater() { return LOBYTE(GetVersion()) > 5; }

// Waits for the handles (at most two) and for abandon when given; true when
// abandon ended the wait.
static bool WaitOrAbandon(DWORD count, const HANDLE* handles, HANDLE abandon) {
  HANDLE all[3] = {handles[0], count > 1 ? handles[1] : nullptr, nullptr};
  DWORD total = count;
  if (abandon) all[total++] = abandon;
  const DWORD woken = WaitForMultipleObjects(total, all, FALSE, INFINITE);
  return abandon && woken == WAIT_OBJECT_0 + total - 1;
}

DWORD RunProcessWait(DWORD& exitCode, const std::wstring& commandLine, int showWindow, bool elevate,
                     const wchar_t* waitKeyword, HANDLE abandon) {
  SWaitMode wait;
  ParseWaitMode(waitKeyword, wait);
  CNamedEvent event;
  // Manual reset and not set, so an existing event is opened as it is.
  if (wait.mode == WAIT_EVENT && !event.Create(wait.eventName.c_str(), true, false)) wait.mode = WAIT_NONE;

  HANDLE started = nullptr;
  const DWORD error = elevate && IsVistaOrLater() ? RunElevated(commandLine, &started)
                                                  : RunProcess(commandLine, showWindow, &started);
  if (error != 0) return error;
  const UniqueHandle owner(started);
  const HANDLE process = owner.get();

  DWORD result = 0;
  exitCode = 0;
  switch (wait.mode) {
    case WAITIDLE:
      WaitForInputIdle(process, INFINITE);
      break;
    case WAITEXIT:
      if (WaitOrAbandon(1, &process, abandon)) {
        result = ERROR_TIMEOUT;
        break;
      }
      GetExitCodeProcess(process, &exitCode);
      break;
    case WAIT_EVENT: {
      const HANDLE both[2] = {event.GetHandle(), process};
      if (WaitOrAbandon(2, both, abandon)) {
        result = ERROR_TIMEOUT;
        break;
      }
      if (WaitForSingleObject(event.GetHandle(), 0) != WAIT_OBJECT_0) result = ERROR_OPERATION_ABORTED;
      break;
    }
    default:
      break;
  }
  if (result == ERROR_TIMEOUT) {
    // Given up on: it must not go on changing the folder behind a run that
    // has ended.
    TerminateProcess(process, ERROR_TIMEOUT);
    WaitForSingleObject(process, 1000);
  }
  return result;
}
