// Owner for kernel object handles: processes, threads, events, mutexes,
// mappings and files.
#pragma once

#include <platform/Kernel.h>
#include <platform/KernelMemory.h>
#include <platform/Unique.h>

inline void FreeKernelHandle(void* handle) { CloseHandle(handle); }

// Null means none. CreateFileW reports failure with INVALID_HANDLE_VALUE
// instead; OwnHandle turns that into null, so an owner knows one "none" only.
// GetCurrentProcess's pseudo handle is never closed, so it is never owned.
using UniqueHandle = UniquePtr<void, FreeKernelHandle>;

inline UniqueHandle OwnHandle(HANDLE handle) {
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// A view from MapViewOfFile; null means none.
inline void UnmapView(void* view) { UnmapViewOfFile(view); }
using UniqueView = UniquePtr<void, UnmapView>;

// Memory of VirtualAlloc, held as bytes.
inline void FreeVirtualMemory(char* base) { VirtualFree(base, 0, MEM_RELEASE); }
using UniqueVirtualMemory = UniquePtr<char, FreeVirtualMemory>;
