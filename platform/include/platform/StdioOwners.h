// Owner for C stdio streams.
#pragma once

#include <platform/Unique.h>

#include <cstdio>

// fclose's result is dropped: a stream is freed whether or not its last
// buffered write reached the file.
inline void CloseStdFile(FILE* file) { std::fclose(file); }
using UniqueStdFile = UniquePtr<FILE, CloseStdFile>;
