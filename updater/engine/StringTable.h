// The updater's string table, built into the program.
#pragma once

#include <platform/Win32Types.h>

// Ids as the program's callers know them.
#define IDS_UPDATE_MEM 1000u

// The string of that id, or null.
const wchar_t* FindTableString(UINT id);
