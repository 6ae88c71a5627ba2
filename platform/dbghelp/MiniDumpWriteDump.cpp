#include <platform/DbgHelp.h>
#include <platform/Kernel.h>
#include <time.h>

#include <atomic>

#include "KernelObject.h"
#include "DumpFile.h"
#include "MiniDumpStreams.h"

namespace {

enum Slot {
  kSystemInfoSlot,
  kMiscInfoSlot,
  kThreadListSlot,
  kMemoryListSlot,
  kThreadNamesSlot,
  kExceptionSlot,
  kModuleListSlot,
  kMapsSlot,
  kStatusSlot,
  kCmdLineSlot,
  kAuxvSlot,
  kSlotCount
};

std::atomic_flag g_busy = ATOMIC_FLAG_INIT;

bool SupportedRequest(MINIDUMP_TYPE dumpType, PMINIDUMP_EXCEPTION_INFORMATION exceptionParam,
                      LPVOID userStreamParam, LPVOID callbackParam) {
  return dumpType == MiniDumpNormal && exceptionParam && exceptionParam->ExceptionPointers &&
         exceptionParam->ExceptionPointers->ExceptionRecord && exceptionParam->ExceptionPointers->ContextRecord &&
         !userStreamParam && !callbackParam;
}

bool WriteDump(int fd, const MINIDUMP_EXCEPTION_INFORMATION& exception) {
  DumpFile file(fd);
  const uint32_t headerRva = file.Reserve(sizeof(minidump::Header));
  const uint32_t directoryRva = file.Reserve(kSlotCount * sizeof(minidump::Directory));

  minidump::Directory slots[kSlotCount] = {};
  const pid_t thread = static_cast<pid_t>(exception.ThreadId);
  const EXCEPTION_POINTERS& pointers = *exception.ExceptionPointers;
  minidump::Location crashContext{};
  WriteSystemInfo(file, &slots[kSystemInfoSlot]);
  WriteMiscInfo(file, &slots[kMiscInfoSlot]);
  WriteThreadList(file, thread, *pointers.ContextRecord, &slots[kThreadListSlot], &slots[kMemoryListSlot],
                  &slots[kThreadNamesSlot], &crashContext);
  WriteExceptionStream(file, thread, *pointers.ExceptionRecord, crashContext, &slots[kExceptionSlot]);
  WriteModuleList(file, &slots[kModuleListSlot]);
  WriteProcFile(file, "/proc/self/maps", minidump::kLinuxMaps, &slots[kMapsSlot]);
  WriteProcFile(file, "/proc/self/status", minidump::kLinuxProcStatus, &slots[kStatusSlot]);
  WriteProcFile(file, "/proc/self/cmdline", minidump::kLinuxCmdLine, &slots[kCmdLineSlot]);
  WriteProcFile(file, "/proc/self/auxv", minidump::kLinuxAuxv, &slots[kAuxvSlot]);

  // Streams that could not be read are left out rather than listed empty.
  minidump::Directory directory[kSlotCount];
  uint32_t streams = 0;
  for (const minidump::Directory& slot : slots) {
    if (slot.location.dataSize > 0) directory[streams++] = slot;
  }
  file.WriteAt(directoryRva, directory, streams * sizeof(minidump::Directory));

  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  minidump::Header header{};
  header.signature = minidump::kSignature;
  header.version = minidump::kVersion;
  header.numberOfStreams = streams;
  header.streamDirectoryRva = directoryRva;
  header.timeDateStamp = static_cast<uint32_t>(now.tv_sec);
  header.flags = MiniDumpNormal;
  // The header goes last, so a dump cut short by a second fault has no valid
  // signature instead of pointing at streams that were never written.
  file.WriteAt(headerRva, &header, sizeof(header));
  file.SeekPastEnd();
  return file.ok();
}

}  // namespace

BOOL MiniDumpWriteDump(HANDLE, DWORD processId, HANDLE file, MINIDUMP_TYPE dumpType,
                       PMINIDUMP_EXCEPTION_INFORMATION exceptionParam, LPVOID userStreamParam,
                       LPVOID callbackParam) {
  if (processId != GetCurrentProcessId()) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (!SupportedRequest(dumpType, exceptionParam, userStreamParam, callbackParam)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const int fd = FdFromHandle(file);
  if (fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (g_busy.test_and_set()) {
    SetLastError(ERROR_BUSY);
    return FALSE;
  }
  const bool written = WriteDump(fd, *exceptionParam);
  g_busy.clear();
  if (!written) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  return TRUE;
}
