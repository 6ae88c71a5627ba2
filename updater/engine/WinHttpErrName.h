// The name of a WinHTTP error for log lines.
#pragma once

#include <platform/Win32Types.h>

// "NO_ERR" for 0, the constant's name without "ERROR_WINHTTP_" for a WinHTTP
// error, "unknow" for anything else.
const char* GetWinHttpErrName(DWORD error);
