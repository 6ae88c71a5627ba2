// Kernel memory calls of the Windows design (kernel32), on POSIX.
#pragma once

#include <cstddef>

#include <platform/Win32Types.h>

// Private memory, zero-filled and committed page by page on first touch, as
// on Windows. Only fresh regions (address null) of PAGE_READWRITE with
// MEM_COMMIT (MEM_RESERVE alongside is accepted) exist; VirtualFree takes
// MEM_RELEASE with size 0 on a base VirtualAlloc returned. Large regions lie
// in huge pages where the system has them.
#define MEM_COMMIT 0x00001000u
#define MEM_RESERVE 0x00002000u
#define MEM_RELEASE 0x00008000u
#ifndef PAGE_READWRITE
#define PAGE_READWRITE 0x04u
#endif
LPVOID VirtualAlloc(LPVOID address, size_t size, DWORD allocationType, DWORD protect);
BOOL VirtualFree(LPVOID address, size_t size, DWORD freeType);
