// Reading this process's own memory and /proc files without stopping it.
// Async-signal-safe.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// Copies up to size bytes from address; stops at the first unreadable page
// instead of faulting. Returns the bytes copied.
size_t ReadSelfMemory(uint64_t address, void* buffer, size_t size);

// Reads a small file whole into buffer (zero-terminated); -1 on failure.
ssize_t ReadSmallFile(const char* path, char* buffer, size_t size);

// The ids of this process's threads, at most max of them; returns the count.
size_t ListThreads(pid_t* tids, size_t max);

// The stack and instruction pointers of a thread blocked in the kernel, as
// /proc reports them; false for a thread that is running.
bool ReadBlockedThreadRegisters(pid_t tid, uint64_t* sp, uint64_t* pc);

// The GNU build id of the ELF image mapped at base; returns its length, 0
// when there is none or the image cannot be read.
size_t ReadElfBuildId(uint64_t base, uint8_t* out, size_t max);

// True when the memory at base starts with the ELF magic.
bool IsElfImage(uint64_t base);
