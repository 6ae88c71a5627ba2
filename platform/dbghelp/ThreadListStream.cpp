#include <cstring>

#include "MapsReader.h"
#include "MiniDumpStreams.h"
#include "SelfProcess.h"
#include "TextScan.h"

namespace {

constexpr size_t kMaxThreads = 1024;
// Below the stack pointer, leaf functions may keep data in the red zone.
constexpr uint64_t kRedZone = 128;
constexpr uint64_t kCrashingStackLimit = 512 * 1024;
constexpr uint64_t kOtherStackLimit = 128 * 1024;

// Static: one dump at a time, and a crash handler's stack is small.
pid_t g_tids[kMaxThreads];
minidump::Thread g_threads[kMaxThreads];
minidump::MemoryDescriptor g_stacks[kMaxThreads];
CONTEXT g_context;
minidump::ThreadName g_names[kMaxThreads];

// The part of the stack mapping around sp: the red zone below it, up to
// limit above it.
minidump::MemoryDescriptor AppendStack(DumpFile& file, uint64_t sp, uint64_t limit) {
  minidump::MemoryDescriptor stack{};
  MapsLine mapping;
  if (sp == 0 || !MapsReader::FindMapping(sp, &mapping)) return stack;
  // A thread that overflowed its stack has sp in the guard page below it:
  // the stack is the mapping right above.
  if (!mapping.readable && (!MapsReader::FindMapping(mapping.end, &mapping) || !mapping.readable)) return stack;
  if (sp < mapping.start) sp = mapping.start;
  const uint64_t start = sp - mapping.start >= kRedZone ? sp - kRedZone : mapping.start;
  const uint64_t end = mapping.end - sp > limit ? sp + limit : mapping.end;
  size_t copied = 0;
  const uint32_t rva = file.AppendMemory(start, end - start, &copied);
  if (copied == 0) return stack;
  stack.startOfMemoryRange = start;
  stack.memory = {static_cast<uint32_t>(copied), rva};
  return stack;
}

// The name the thread gave itself (Linux keeps 15 bytes of it); false when
// /proc has none.
bool ReadThreadName(pid_t tid, char* name, size_t size, size_t* length) {
  char path[64] = "/proc/self/task/";
  FormatDecimal(static_cast<uint64_t>(tid), path + strlen(path));
  strcat(path, "/comm");
  const ssize_t got = ReadSmallFile(path, name, size);
  if (got <= 0) return false;
  size_t n = static_cast<size_t>(got);
  if (name[n - 1] == '\n') --n;
  *length = n;
  return n > 0;
}

void WriteThreadNames(DumpFile& file, size_t count, minidump::Directory* names) {
  size_t named = 0;
  for (size_t i = 0; i < count; ++i) {
    char name[64];
    size_t length = 0;
    if (!ReadThreadName(g_tids[i], name, sizeof(name), &length)) continue;
    g_names[named].threadId = static_cast<uint32_t>(g_tids[i]);
    g_names[named].rvaOfThreadName = file.AppendString(name, length);
    ++named;
  }
  const uint32_t namedCount = static_cast<uint32_t>(named);
  const uint32_t rva = file.Append(&namedCount, sizeof(namedCount));
  file.Append(g_names, named * sizeof(minidump::ThreadName));
  *names = {minidump::kThreadNames, {static_cast<uint32_t>(4 + named * sizeof(minidump::ThreadName)), rva}};
}

size_t CollectThreads(pid_t crashingThread) {
  // The excepting thread comes first, so it is in the dump however many there are.
  g_tids[0] = crashingThread;
  pid_t listed[kMaxThreads];
  const size_t found = ListThreads(listed, kMaxThreads);
  size_t count = 1;
  for (size_t i = 0; i < found && count < kMaxThreads; ++i) {
    if (listed[i] != crashingThread) g_tids[count++] = listed[i];
  }
  return count;
}

}  // namespace

void WriteThreadList(DumpFile& file, pid_t crashingThread, const CONTEXT& crashContext,
                     minidump::Directory* threads, minidump::Directory* memory, minidump::Directory* names,
                     minidump::Location* crashContextAt) {
  const size_t count = CollectThreads(crashingThread);
  const uint32_t listSize = static_cast<uint32_t>(4 + count * sizeof(minidump::Thread));
  const uint32_t listRva = file.Reserve(listSize);
  size_t stackCount = 0;
  for (size_t i = 0; i < count; ++i) {
    minidump::Thread& thread = g_threads[i];
    memset(&thread, 0, sizeof(thread));
    thread.threadId = static_cast<uint32_t>(g_tids[i]);
    const CONTEXT* context = &crashContext;
    uint64_t limit = kCrashingStackLimit;
    if (g_tids[i] != crashingThread) {
      memset(&g_context, 0, sizeof(g_context));
      g_context.ContextFlags = CONTEXT_AMD64;
      uint64_t sp = 0;
      uint64_t pc = 0;
      if (ReadBlockedThreadRegisters(g_tids[i], &sp, &pc)) {
        g_context.ContextFlags = CONTEXT_CONTROL;
        g_context.Rsp = sp;
        g_context.Rip = pc;
      }
      context = &g_context;
      limit = kOtherStackLimit;
    }
    file.AlignTo(16);
    thread.context = {sizeof(CONTEXT), file.Append(context, sizeof(CONTEXT))};
    if (g_tids[i] == crashingThread) *crashContextAt = thread.context;
    thread.stack = AppendStack(file, context->Rsp, limit);
    if (thread.stack.memory.dataSize > 0) g_stacks[stackCount++] = thread.stack;
  }
  const uint32_t threadCount = static_cast<uint32_t>(count);
  file.WriteAt(listRva, &threadCount, sizeof(threadCount));
  file.WriteAt(listRva + 4, g_threads, count * sizeof(minidump::Thread));
  *threads = {minidump::kThreadList, {listSize, listRva}};

  const uint32_t stacks = static_cast<uint32_t>(stackCount);
  const uint32_t memoryRva = file.Append(&stacks, sizeof(stacks));
  file.Append(g_stacks, stackCount * sizeof(minidump::MemoryDescriptor));
  *memory = {minidump::kMemoryList,
             {static_cast<uint32_t>(4 + stackCount * sizeof(minidump::MemoryDescriptor)), memoryRva}};
  WriteThreadNames(file, count, names);
}
