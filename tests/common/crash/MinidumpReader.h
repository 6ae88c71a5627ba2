// A minidump reader for the tests, written from the published layout with
// explicit offsets, independent of the writer's own record types.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct DumpStream {
  uint32_t size = 0;
  uint32_t rva = 0;
};

struct DumpThread {
  uint32_t id = 0;
  uint64_t stackStart = 0;
  uint32_t stackSize = 0;
  uint32_t stackRva = 0;
  uint32_t contextSize = 0;
  uint32_t contextRva = 0;
};

struct DumpModule {
  uint64_t base = 0;
  uint32_t size = 0;
  std::string name;
  std::vector<uint8_t> buildId;
};

struct DumpContext {
  uint32_t flags = 0;
  uint64_t rsp = 0;
  uint64_t rip = 0;
};

class MinidumpReader {
 public:
  // Parses the dump part of bytes, the first dumpSize of them; false with
  // error() set when anything lies outside it.
  bool Parse(const std::string& bytes, size_t dumpSize);
  const std::string& error() const { return m_error; }

  uint32_t version = 0;
  std::map<uint32_t, DumpStream> streams;  // by type
  std::vector<DumpThread> threads;
  std::vector<DumpModule> modules;
  std::vector<std::pair<uint64_t, uint32_t>> memory;  // start, size
  uint16_t architecture = 0;
  uint32_t platform = 0;
  uint32_t exceptionThread = 0;
  uint32_t exceptionCode = 0;
  uint64_t exceptionAddress = 0;
  DumpContext exceptionContext;
  std::string maps;
  std::map<uint32_t, std::string> threadNames;  // by thread id

  DumpContext ContextAt(uint32_t rva) const;

 private:
  bool Fail(const std::string& why);
  bool InBounds(uint64_t rva, uint64_t size) const { return rva + size <= m_size; }
  uint16_t U16(uint64_t at) const;
  uint32_t U32(uint64_t at) const;
  uint64_t U64(uint64_t at) const;
  bool ReadString(uint32_t rva, std::string* out);
  bool ParseThreads(const DumpStream& stream);
  bool ParseModules(const DumpStream& stream);
  bool ParseMemory(const DumpStream& stream);
  bool ParseThreadNames(const DumpStream& stream);

  const std::string* m_bytes = nullptr;
  size_t m_size = 0;
  std::string m_error;
};
