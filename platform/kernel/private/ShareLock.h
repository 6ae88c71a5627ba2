// Share modes as advisory flock among our processes. Every CreateFileW handle
// holds a lock on its open file: exclusive when it denies the others what
// they would do (no sharing at all, or writing without FILE_SHARE_WRITE),
// shared otherwise, so a conflicting open fails with ERROR_SHARING_VIOLATION.
#pragma once

#include <platform/Win32Types.h>

// LOCK_SH or LOCK_EX for a handle opened with this access and share mode.
int ShareLockFor(bool writeAccess, DWORD shareMode);

// Takes the lock without waiting; false (errno EWOULDBLOCK) when another
// handle holds a conflicting one. Async-signal-safe.
bool TakeShareLock(int fd, int operation);

// True when some handle holds the file at path open, which on Windows keeps
// it from being deleted or replaced. A link or a file we cannot open counts as
// free: nothing of ours can hold it.
bool HeldByAHandle(const char* path);
