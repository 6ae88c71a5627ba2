// Path helpers shared inside the kernel layer.
#pragma once

#include <platform/Win32Types.h>

#include <string>

// Windows tells a missing file from a missing folder on the way to it: the
// parent folder decides which one ENOENT stands for. Async-signal-safe.
DWORD NotFoundError(const char* path);

// The folder part of a path: "." without a '/', "/" for a file in the root.
std::string FolderOf(const std::string& path);
