// Starting programs, with or without elevation, and waiting for them in one
// of four ways. Results are 0 or a Win32 error number; nothing here logs.
#pragma once

#include <platform/Win32Types.h>

#include <string>

enum EWaitMode { WAITIDLE = 0, WAITEXIT = 1, WAIT_EVENT = 2, WAIT_NONE = 3 };

struct SWaitMode {
  int mode = WAIT_NONE;
  std::wstring eventName;  // mode WAIT_EVENT: the text after "WAIT_"
};

// The process handle goes to *process when asked for (close it), else is
// closed; its id to *processId when asked for.
DWORD RunProcess(const std::wstring& commandLine, int showWindow, HANDLE* process = nullptr,
                 DWORD* processId = nullptr);
// "program" args, or "\"program with spaces\"" args; false for an unclosed quote.
bool SplitCmdLine(const std::wstring& command, std::wstring& program, std::wstring& arguments);
DWORD RunElevated(const std::wstring& command, HANDLE* process);
// Case-sensitive; null is WAITEXIT, any other text (the empty one too) no wait.
void ParseWaitMode(const wchar_t* keyword, SWaitMode& waitMode);
// 0, 995 (the program ended before the WAIT_ event was set) or a start error.
// A set `abandon` event (may be null) ends a wait for exit or for the WAIT_
// event: the program is terminated and the result is 1460 (ERROR_TIMEOUT).
DWORD RunProcessWait(DWORD& exitCode, const std::wstring& commandLine, int showWindow, bool elevate,
                     const wchar_t* waitKeyword, HANDLE abandon = nullptr);
bool IsVistaOrLater();
