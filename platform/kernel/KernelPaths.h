// Path helpers shared inside the kernel layer.
#pragma once

#include <platform/Win32Types.h>
#include <sys/types.h>

#include <string>

// Windows tells a missing file from a missing folder on the way to it: the
// parent folder decides which one ENOENT stands for. Async-signal-safe.
DWORD NotFoundError(const char* path);

// The folder part of a path: "." without a '/', "/" for a file in the root.
std::string FolderOf(const std::string& path);

// The executable a process runs (/proc/<pid>/exe), without the mark of a file
// replaced or removed since; empty when the link cannot be read (another
// user's process).
std::string ExecutablePathOf(pid_t pid);
// Our own executable as it was when the program loaded: the install may have
// renamed the file since.
const std::string& StartExecutablePath();
