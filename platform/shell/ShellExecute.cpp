#include <platform/Kernel.h>
#include <platform/Log.h>
#include <platform/Shell.h>
#include <platform/Strings.h>
#include <platform/Log.h>

#include <QtGlobal>
#include <cwchar>
#include <string>
#include <vector>

static bool IsVerb(LPCWSTR verb, const wchar_t* name) { return verb && std::wcscmp(verb, name) == 0; }

// The program is quoted whole, so a path with spaces stays one argument.
static std::wstring CommandLineFor(const SHELLEXECUTEINFOW& info) {
  std::wstring line = L"\"";
  line += info.lpFile;
  line += L"\"";
  if (info.lpParameters && info.lpParameters[0]) {
    line += L" ";
    line += info.lpParameters;
  }
  return line;
}

BOOL ShellExecuteExW(LPSHELLEXECUTEINFOW info) {
  if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOW) || !info->lpFile || !info->lpFile[0]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->hProcess = nullptr;
  const bool runas = IsVerb(info->lpVerb, L"runas");
  if (!runas && info->lpVerb && info->lpVerb[0] && !IsVerb(info->lpVerb, L"open")) {
    PlatformLog("ShellExecuteExW: verb \"%s\" is not supported", WideToUtf8(info->lpVerb).c_str());
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (runas) {
    PlatformLog("ShellExecuteExW: no elevation on this system; starting %s unelevated",
             WideToUtf8(info->lpFile).c_str());
  }
  std::wstring line = CommandLineFor(*info);
  std::vector<wchar_t> writable(line.begin(), line.end());
  writable.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(info->nShow);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, info->lpDirectory, &startup,
                      &process)) {
    return FALSE;  // CreateProcessW has set the error
  }
  CloseHandle(process.hThread);
  if (info->fMask & SEE_MASK_NOCLOSEPROCESS) {
    info->hProcess = process.hProcess;
  } else {
    CloseHandle(process.hProcess);
  }
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(33));  // above 32: success
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
