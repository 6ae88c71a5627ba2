// The shell's light-weight string calls the updater's parsers use.
#pragma once

#include <platform/Win32Types.h>

// An optional '+' or '-', then decimal digits up to the first other
// character; no digits (a null text included) gives 0. Values beyond 32 bits
// wrap, as the design's callers saw them wrap.
int StrToIntW(LPCWSTR text);
