#include "MinidumpReader.h"

#include <cstring>

namespace {

constexpr uint32_t kThreadListType = 3;
constexpr uint32_t kModuleListType = 4;
constexpr uint32_t kMemoryListType = 5;
constexpr uint32_t kExceptionType = 6;
constexpr uint32_t kSystemInfoType = 7;
constexpr uint32_t kThreadNamesType = 24;
constexpr uint32_t kLinuxMapsType = 0x47670009;
constexpr uint32_t kThreadNameRecordSize = 12;
constexpr uint32_t kThreadRecordSize = 48;
constexpr uint32_t kModuleRecordSize = 108;
constexpr uint32_t kContextSize = 1232;

}  // namespace

uint16_t MinidumpReader::U16(uint64_t at) const {
  uint16_t v;
  memcpy(&v, m_bytes->data() + at, sizeof(v));
  return v;
}

uint32_t MinidumpReader::U32(uint64_t at) const {
  uint32_t v;
  memcpy(&v, m_bytes->data() + at, sizeof(v));
  return v;
}

uint64_t MinidumpReader::U64(uint64_t at) const {
  uint64_t v;
  memcpy(&v, m_bytes->data() + at, sizeof(v));
  return v;
}

bool MinidumpReader::Fail(const std::string& why) {
  m_error = why;
  return false;
}

bool MinidumpReader::ReadString(uint32_t rva, std::string* out) {
  if (!InBounds(rva, 4)) return false;
  const uint32_t bytes = U32(rva);
  if (bytes % 2 != 0 || !InBounds(rva + 4ull, bytes + 2ull) || U16(rva + 4ull + bytes) != 0) return false;
  out->clear();
  // Paths in these tests are ASCII; anything else shows as '?'.
  for (uint32_t i = 0; i < bytes; i += 2) {
    const uint16_t unit = U16(rva + 4ull + i);
    out->push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
  }
  return true;
}

DumpContext MinidumpReader::ContextAt(uint32_t rva) const {
  DumpContext context;
  if (!InBounds(rva, kContextSize)) return context;
  context.flags = U32(rva + 0x30);
  context.rsp = U64(rva + 0x98);
  context.rip = U64(rva + 0xF8);
  return context;
}

bool MinidumpReader::ParseThreads(const DumpStream& stream) {
  const uint32_t count = U32(stream.rva);
  if (4ull + count * uint64_t{kThreadRecordSize} != stream.size) return Fail("thread list size does not match its count");
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = stream.rva + 4ull + i * kThreadRecordSize;
    DumpThread thread;
    thread.id = U32(at);
    thread.stackStart = U64(at + 24);
    thread.stackSize = U32(at + 32);
    thread.stackRva = U32(at + 36);
    thread.contextSize = U32(at + 40);
    thread.contextRva = U32(at + 44);
    if (!InBounds(thread.stackRva, thread.stackSize)) return Fail("a thread stack lies outside the dump");
    if (thread.contextSize != kContextSize || !InBounds(thread.contextRva, thread.contextSize)) {
      return Fail("a thread context is not a whole AMD64 context inside the dump");
    }
    threads.push_back(thread);
  }
  return true;
}

bool MinidumpReader::ParseModules(const DumpStream& stream) {
  const uint32_t count = U32(stream.rva);
  if (4ull + count * uint64_t{kModuleRecordSize} != stream.size) return Fail("module list size does not match its count");
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = stream.rva + 4ull + i * kModuleRecordSize;
    DumpModule module;
    module.base = U64(at);
    module.size = U32(at + 8);
    if (!ReadString(U32(at + 20), &module.name)) return Fail("a module name lies outside the dump");
    const uint32_t cvSize = U32(at + 76);
    const uint32_t cvRva = U32(at + 80);
    if (!InBounds(cvRva, cvSize)) return Fail("a module's CodeView record lies outside the dump");
    if (cvSize > 4 && memcmp(m_bytes->data() + cvRva, "BpEL", 4) == 0) {
      module.buildId.assign(m_bytes->begin() + cvRva + 4, m_bytes->begin() + cvRva + cvSize);
    }
    modules.push_back(module);
  }
  return true;
}

bool MinidumpReader::ParseMemory(const DumpStream& stream) {
  const uint32_t count = U32(stream.rva);
  if (4ull + count * 16ull != stream.size) return Fail("memory list size does not match its count");
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = stream.rva + 4ull + i * 16ull;
    if (!InBounds(U32(at + 12), U32(at + 8))) return Fail("a memory range lies outside the dump");
    memory.emplace_back(U64(at), U32(at + 8));
  }
  return true;
}

bool MinidumpReader::ParseThreadNames(const DumpStream& stream) {
  const uint32_t count = U32(stream.rva);
  if (4ull + count * uint64_t{kThreadNameRecordSize} != stream.size) {
    return Fail("thread name list size does not match its count");
  }
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = stream.rva + 4ull + i * kThreadNameRecordSize;
    const uint64_t nameRva = U64(at + 4);
    std::string name;
    if (nameRva > UINT32_MAX || !ReadString(static_cast<uint32_t>(nameRva), &name)) {
      return Fail("a thread name lies outside the dump");
    }
    if (!threadNames.emplace(U32(at), name).second) return Fail("a thread is named twice");
  }
  return true;
}

bool MinidumpReader::Parse(const std::string& bytes, size_t dumpSize) {
  m_bytes = &bytes;
  m_size = dumpSize;
  if (dumpSize > bytes.size() || dumpSize < 32) return Fail("shorter than a header");
  if (bytes.compare(0, 4, "MDMP") != 0) return Fail("no MDMP signature");
  version = U32(4);
  const uint32_t count = U32(8);
  const uint32_t directory = U32(12);
  if (!InBounds(directory, count * 12ull)) return Fail("stream directory outside the dump");
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = directory + i * 12ull;
    const uint32_t type = U32(at);
    const DumpStream stream{U32(at + 4), U32(at + 8)};
    if (!InBounds(stream.rva, stream.size)) return Fail("stream " + std::to_string(type) + " outside the dump");
    if (!streams.emplace(type, stream).second) return Fail("stream " + std::to_string(type) + " listed twice");
  }
  for (const auto& [type, stream] : streams) {
    bool ok = true;
    if (type == kThreadListType || type == kModuleListType || type == kMemoryListType || type == kThreadNamesType) {
      if (stream.size < 4) return Fail("list stream " + std::to_string(type) + " without its count");
    }
    if (type == kThreadListType) ok = ParseThreads(stream);
    if (type == kModuleListType) ok = ParseModules(stream);
    if (type == kMemoryListType) ok = ParseMemory(stream);
    if (type == kThreadNamesType) ok = ParseThreadNames(stream);
    if (!ok) return false;
    if (type == kSystemInfoType) {
      if (stream.size < 56) return Fail("short system info");
      architecture = U16(stream.rva);
      platform = U32(stream.rva + 20);
    }
    if (type == kExceptionType) {
      if (stream.size < 168) return Fail("short exception stream");
      exceptionThread = U32(stream.rva);
      exceptionCode = U32(stream.rva + 8);
      exceptionAddress = U64(stream.rva + 24);
      const uint32_t contextSize = U32(stream.rva + 160);
      const uint32_t contextRva = U32(stream.rva + 164);
      if (contextSize != kContextSize || !InBounds(contextRva, contextSize)) return Fail("bad exception context");
      exceptionContext = ContextAt(contextRva);
    }
    if (type == kLinuxMapsType) maps = bytes.substr(stream.rva, stream.size);
  }
  return true;
}
