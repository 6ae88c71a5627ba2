// What the file calls report about an entry: FILETIME <-> POSIX time, and
// attributes from lstat.
#pragma once

#include <sys/stat.h>
#include <time.h>

#include <platform/KernelFiles.h>

FILETIME FileTimeFromTimespec(const struct timespec& time);
struct timespec TimespecFromFileTime(const FILETIME& time);

// A link is FILE_ATTRIBUTE_REPARSE_POINT only, never a folder.
DWORD AttributesFromStat(const struct stat& info);
