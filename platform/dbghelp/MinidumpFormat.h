// The on-disk records of a minidump, little-endian, as readers such as lldb
// parse them. Records are packed to 4 bytes: a module record is 108 bytes and
// follows a 4-byte count, so its 64-bit fields are not 8-aligned on disk.
#pragma once

#include <cstdint>

namespace minidump {

constexpr uint32_t kSignature = 0x504D444D;  // "MDMP"
constexpr uint32_t kVersion = 0xA793;

enum StreamType : uint32_t {
  kThreadList = 3,
  kModuleList = 4,
  kMemoryList = 5,
  kException = 6,
  kSystemInfo = 7,
  kMiscInfo = 15,
  kThreadNames = 24,
  // The Linux streams of the minidump family, which Linux debuggers read.
  kLinuxProcStatus = 0x47670004,
  kLinuxCmdLine = 0x47670006,
  kLinuxAuxv = 0x47670008,
  kLinuxMaps = 0x47670009,
};

constexpr uint16_t kArchitectureAmd64 = 9;
constexpr uint32_t kPlatformLinux = 0x8201;
constexpr uint32_t kCvSignatureElf = 0x4C457042;  // "BpEL", then the GNU build id
constexpr uint32_t kMiscProcessId = 0x1;

#pragma pack(push, 4)

struct Location {
  uint32_t dataSize;
  uint32_t rva;
};

struct Header {
  uint32_t signature;
  uint32_t version;
  uint32_t numberOfStreams;
  uint32_t streamDirectoryRva;
  uint32_t checkSum;
  uint32_t timeDateStamp;
  uint64_t flags;
};

struct Directory {
  uint32_t streamType;
  Location location;
};

struct MemoryDescriptor {
  uint64_t startOfMemoryRange;
  Location memory;
};

struct Thread {
  uint32_t threadId;
  uint32_t suspendCount;
  uint32_t priorityClass;
  uint32_t priority;
  uint64_t teb;
  MemoryDescriptor stack;
  Location context;
};

struct ThreadName {
  uint32_t threadId;
  uint64_t rvaOfThreadName;  // a length-prefixed UTF-16 string
};

struct FixedFileInfo {
  uint32_t fields[13];
};

struct Module {
  uint64_t baseOfImage;
  uint32_t sizeOfImage;
  uint32_t checkSum;
  uint32_t timeDateStamp;
  uint32_t moduleNameRva;
  FixedFileInfo versionInfo;
  Location cvRecord;
  Location miscRecord;
  uint64_t reserved0;
  uint64_t reserved1;
};

struct ExceptionRecord {
  uint32_t exceptionCode;
  uint32_t exceptionFlags;
  uint64_t exceptionRecord;
  uint64_t exceptionAddress;
  uint32_t numberParameters;
  uint32_t unusedAlignment;
  uint64_t exceptionInformation[15];
};

struct ExceptionStream {
  uint32_t threadId;
  uint32_t alignment;
  ExceptionRecord exceptionRecord;
  Location threadContext;
};

struct SystemInfo {
  uint16_t processorArchitecture;
  uint16_t processorLevel;
  uint16_t processorRevision;
  uint8_t numberOfProcessors;
  uint8_t productType;
  uint32_t majorVersion;
  uint32_t minorVersion;
  uint32_t buildNumber;
  uint32_t platformId;
  uint32_t csdVersionRva;
  uint16_t suiteMask;
  uint16_t reserved2;
  uint32_t vendorId[3];
  uint32_t versionInformation;
  uint32_t featureInformation;
  uint32_t amdExtendedCpuFeatures;
};

struct MiscInfo {
  uint32_t sizeOfInfo;
  uint32_t flags1;
  uint32_t processId;
  uint32_t processCreateTime;
  uint32_t processUserTime;
  uint32_t processKernelTime;
};

#pragma pack(pop)

static_assert(sizeof(Header) == 32, "header");
static_assert(sizeof(Directory) == 12, "directory entry");
static_assert(sizeof(MemoryDescriptor) == 16, "memory descriptor");
static_assert(sizeof(Thread) == 48, "thread record");
static_assert(sizeof(ThreadName) == 12, "thread name record");
static_assert(sizeof(Module) == 108, "module record");
static_assert(sizeof(ExceptionStream) == 168, "exception stream");
static_assert(sizeof(SystemInfo) == 56, "system info");
static_assert(sizeof(MiscInfo) == 24, "misc info");

}  // namespace minidump
