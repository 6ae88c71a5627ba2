#include <cpuid.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include <platform/Unique.h>

#include "MiniDumpStreams.h"
#include "PosixIo.h"
#include "TextScan.h"

namespace {

char g_copyBuffer[16 * 1024];
char g_osText[5 * sizeof(utsname{}.release)];

void AppendText(char* out, size_t size, const char* text) {
  const size_t used = strlen(out);
  const size_t room = size - 1 - used;
  const size_t length = strnlen(text, room);
  memcpy(out + used, text, length);
  out[used + length] = '\0';
}

// "6.1.0-18-amd64" -> 6, 1, 0
void ParseRelease(const char* release, minidump::SystemInfo* info) {
  const char* p = release;
  const char* end = release + strlen(release);
  uint64_t parts[3] = {};
  for (uint64_t& part : parts) {
    if (!ScanDecimal(&p, end, &part) || p == end || *p != '.') break;
    ++p;
  }
  info->majorVersion = static_cast<uint32_t>(parts[0]);
  info->minorVersion = static_cast<uint32_t>(parts[1]);
  info->buildNumber = static_cast<uint32_t>(parts[2]);
}

void FillCpu(minidump::SystemInfo* info) {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) {
    info->vendorId[0] = ebx;
    info->vendorId[1] = edx;
    info->vendorId[2] = ecx;
  }
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
    info->versionInformation = eax;
    info->featureInformation = edx;
    const unsigned family = (eax >> 8) & 0xF;
    const unsigned model = (eax >> 4) & 0xF;
    info->processorLevel = static_cast<uint16_t>(family == 0xF ? family + ((eax >> 20) & 0xFF) : family);
    const unsigned fullModel = family == 0x6 || family == 0xF ? model | (((eax >> 16) & 0xF) << 4) : model;
    info->processorRevision = static_cast<uint16_t>((fullModel << 8) | (eax & 0xF));
  }
  if (__get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx)) info->amdExtendedCpuFeatures = ecx;
  cpu_set_t cpus;
  if (sched_getaffinity(0, sizeof(cpus), &cpus) == 0) {
    const int count = CPU_COUNT(&cpus);
    info->numberOfProcessors = static_cast<uint8_t>(count > 255 ? 255 : count);
  }
}

}  // namespace

void WriteSystemInfo(DumpFile& file, minidump::Directory* entry) {
  minidump::SystemInfo info{};
  info.processorArchitecture = minidump::kArchitectureAmd64;
  info.platformId = minidump::kPlatformLinux;
  FillCpu(&info);
  utsname names;
  if (uname(&names) == 0) {
    ParseRelease(names.release, &info);
    // Where Windows names its service pack, Linux dumps carry the uname line.
    g_osText[0] = '\0';
    const char* const parts[] = {names.sysname, " ", names.release, " ", names.version, " ", names.machine};
    for (const char* part : parts) AppendText(g_osText, sizeof(g_osText), part);
  }
  const uint32_t rva = file.Append(&info, sizeof(info));
  const uint32_t textRva = file.AppendString(g_osText, strlen(g_osText));
  file.WriteAt(rva + offsetof(minidump::SystemInfo, csdVersionRva), &textRva, sizeof(textRva));
  *entry = {minidump::kSystemInfo, {sizeof(info), rva}};
}

void WriteMiscInfo(DumpFile& file, minidump::Directory* entry) {
  minidump::MiscInfo info{};
  info.sizeOfInfo = sizeof(info);
  info.flags1 = minidump::kMiscProcessId;
  info.processId = static_cast<uint32_t>(getpid());
  *entry = {minidump::kMiscInfo, {sizeof(info), file.Append(&info, sizeof(info))}};
}

void WriteExceptionStream(DumpFile& file, pid_t thread, const EXCEPTION_RECORD& record,
                          const minidump::Location& context, minidump::Directory* entry) {
  minidump::ExceptionStream stream{};
  stream.threadId = static_cast<uint32_t>(thread);
  // Linux debuggers read the code of a Linux dump as the signal number, and
  // the address as the faulting data address where there is one.
  const int signo = SignalFromExceptionCode(record.ExceptionCode);
  minidump::ExceptionRecord& out = stream.exceptionRecord;
  out.exceptionCode = signo != 0 ? static_cast<uint32_t>(signo) : record.ExceptionCode;
  out.exceptionFlags = record.ExceptionFlags;
  out.exceptionAddress = reinterpret_cast<uint64_t>(record.ExceptionAddress);
  if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
    out.exceptionAddress = record.ExceptionInformation[1];
  }
  out.numberParameters = record.NumberParameters <= 15 ? record.NumberParameters : 15;
  for (uint32_t i = 0; i < out.numberParameters; ++i) out.exceptionInformation[i] = record.ExceptionInformation[i];
  stream.threadContext = context;
  *entry = {minidump::kException, {sizeof(stream), file.Append(&stream, sizeof(stream))}};
}

void WriteProcFile(DumpFile& file, const char* path, uint32_t type, minidump::Directory* entry) {
  *entry = {type, {0, 0}};
  const UniqueFd fd(RetryOnEintr([path] { return open(path, O_RDONLY | O_CLOEXEC); }));
  if (!fd.valid()) return;
  const uint32_t rva = file.Position();
  uint32_t size = 0;
  for (;;) {
    const ssize_t n = RetryOnEintr([&] { return read(fd.get(), g_copyBuffer, sizeof(g_copyBuffer)); });
    if (n <= 0) break;
    file.Append(g_copyBuffer, static_cast<size_t>(n));
    size += static_cast<uint32_t>(n);
  }
  *entry = {type, {size, rva}};
}
