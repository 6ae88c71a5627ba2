#include <limits.h>

#include <cstring>

#include "MapsReader.h"
#include "MiniDumpStreams.h"
#include "SelfProcess.h"

namespace {

constexpr size_t kMaxModules = 1024;

minidump::Module g_modules[kMaxModules];
char g_path[PATH_MAX];

struct OpenModule {
  uint64_t start = 0;
  uint64_t end = 0;
  uint64_t inode = 0;
  size_t pathLength = 0;
};

bool Continues(const OpenModule& module, const MapsLine& line) {
  return line.inode == module.inode && line.pathLength == module.pathLength &&
         memcmp(line.path, g_path, module.pathLength) == 0;
}

void FinishModule(DumpFile& file, const OpenModule& open, minidump::Module* module) {
  memset(module, 0, sizeof(*module));
  module->baseOfImage = open.start;
  module->sizeOfImage = static_cast<uint32_t>(open.end - open.start);
  module->moduleNameRva = file.AppendString(g_path, open.pathLength);
  // Debuggers match the module to its file on disk by this build id.
  struct {
    uint32_t signature;
    uint8_t buildId[64];
  } cv;
  const size_t idLength = ReadElfBuildId(open.start, cv.buildId, sizeof(cv.buildId));
  if (idLength == 0) return;
  cv.signature = minidump::kCvSignatureElf;
  const uint32_t size = static_cast<uint32_t>(sizeof(cv.signature) + idLength);
  module->cvRecord = {size, file.Append(&cv, size)};
}

}  // namespace

void WriteModuleList(DumpFile& file, minidump::Directory* entry) {
  MapsReader reader;
  MapsLine line;
  OpenModule open;
  bool isOpen = false;
  size_t count = 0;
  while (reader.Next(&line)) {
    if (isOpen && Continues(open, line)) {
      open.end = line.end;
      continue;
    }
    if (isOpen && count < kMaxModules) FinishModule(file, open, &g_modules[count++]);
    isOpen = false;
    // An image starts with the mapping of its first page, which holds the ELF header.
    if (line.offset != 0 || line.pathLength == 0 || line.path[0] != '/' || line.pathLength >= sizeof(g_path) ||
        !line.readable || !IsElfImage(line.start)) {
      continue;
    }
    memcpy(g_path, line.path, line.pathLength);
    g_path[line.pathLength] = '\0';
    open = {line.start, line.end, line.inode, line.pathLength};
    isOpen = true;
  }
  if (isOpen && count < kMaxModules) FinishModule(file, open, &g_modules[count++]);

  const uint32_t modules = static_cast<uint32_t>(count);
  const uint32_t rva = file.Append(&modules, sizeof(modules));
  file.Append(g_modules, count * sizeof(minidump::Module));
  *entry = {minidump::kModuleList, {static_cast<uint32_t>(4 + count * sizeof(minidump::Module)), rva}};
}
