// The tick the transfer engine's time-outs, back-off and speed windows read.
// Tests replace it to step time by hand; null restores the system's.
#pragma once

#include <platform/Win32Types.h>

DWORD TransferTick();
void SetTransferTickForTests(DWORD (*source)());
