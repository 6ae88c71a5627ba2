// The stream writers of MiniDumpWriteDump. Each appends its stream to the
// dump and fills the directory entry; a stream that cannot be written leaves
// the entry's size 0 and is left out of the directory.
#pragma once

#include <platform/ExceptionFilter.h>
#include <sys/types.h>

#include "DumpFile.h"
#include "MinidumpFormat.h"

// Every thread: the excepting one with crashContext, the others with what can
// be read without stopping them. Also gives the memory list of their stacks,
// their names and where the excepting thread's context went.
void WriteThreadList(DumpFile& file, pid_t crashingThread, const CONTEXT& crashContext,
                     minidump::Directory* threads, minidump::Directory* memory, minidump::Directory* names,
                     minidump::Location* crashContextAt);
// The ELF images mapped from files, with their build ids.
void WriteModuleList(DumpFile& file, minidump::Directory* entry);
void WriteSystemInfo(DumpFile& file, minidump::Directory* entry);
void WriteMiscInfo(DumpFile& file, minidump::Directory* entry);
void WriteExceptionStream(DumpFile& file, pid_t thread, const EXCEPTION_RECORD& record,
                          const minidump::Location& context, minidump::Directory* entry);
// A /proc file copied as it is, as one of the Linux streams.
void WriteProcFile(DumpFile& file, const char* path, uint32_t type, minidump::Directory* entry);
