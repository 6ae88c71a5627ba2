#include <platform/KernelMemory.h>

#include <platform/Kernel.h>

#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>

namespace {

// Regions this large are asked for in huge pages: touching fresh memory then
// costs one fault per 2 MiB instead of one per 4 KiB, and the kernel copies
// out of them (a file write) without walking thousands of small pages.
constexpr size_t kHugePage = 2u << 20;

struct RegionTable {
  std::mutex lock;
  std::map<const void*, size_t> lengthByBase;
};

RegionTable& Regions() {
  static RegionTable* table = new RegionTable;  // outlives every static that frees
  return *table;
}

// The whole pages a region of size bytes takes: small ones in 4 KiB pages,
// large ones in whole huge pages.
size_t MappedLength(size_t size) {
  const size_t rounded = (size + 4095) & ~size_t{4095};
  return rounded < kHugePage ? rounded : (rounded + kHugePage - 1) & ~(kHugePage - 1);
}

LPVOID MapRegion(size_t length) {
  if (length < kHugePage) {
    void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return base == MAP_FAILED ? nullptr : base;
  }
  // Over-asked, then trimmed to a huge-page boundary at both ends.
  void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const uintptr_t tail = aligned + length;
  const uintptr_t end = start + length + kHugePage;
  if (end > tail) munmap(reinterpret_cast<void*>(tail), end - tail);
  void* base = reinterpret_cast<void*>(aligned);
  // Only a hint: without huge pages the region works as small pages do.
  madvise(base, length, MADV_HUGEPAGE);
  return base;
}

}  // namespace

LPVOID VirtualAlloc(LPVOID address, size_t size, DWORD allocationType, DWORD protect) {
  if (address || size == 0 || (allocationType & MEM_COMMIT) == 0 ||
      (allocationType & ~(MEM_COMMIT | MEM_RESERVE)) != 0 || protect != PAGE_READWRITE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const size_t length = MappedLength(size);
  LPVOID base = MapRegion(length);
  if (!base) {
    SetLastError(errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : Win32ErrorFromErrno(errno));
    return nullptr;
  }
  RegionTable& regions = Regions();
  std::lock_guard<std::mutex> guard(regions.lock);
  regions.lengthByBase[base] = length;
  return base;
}

BOOL VirtualFree(LPVOID address, size_t size, DWORD freeType) {
  if (freeType != MEM_RELEASE || size != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  size_t length = 0;
  {
    RegionTable& regions = Regions();
    std::lock_guard<std::mutex> guard(regions.lock);
    auto found = regions.lengthByBase.find(address);
    if (found == regions.lengthByBase.end()) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE;
    }
    length = found->second;
    regions.lengthByBase.erase(found);
  }
  munmap(address, length);
  return TRUE;
}
