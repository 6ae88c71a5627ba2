// VirtualAlloc regions: zero-filled, usable to their last byte, freed once,
// and only the forms the layer supports are accepted.
#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/KernelMemory.h>
#include <platform/KernelOwners.h>

#include <cstring>

namespace {

TEST(VirtualMemoryTest, RegionsAreZeroedWritableAndFreedOnce) {
  // Below one page, one page, between huge pages, several huge pages.
  for (size_t size : {size_t{1}, size_t{4096}, size_t{(3u << 20) + 17}, size_t{8u << 20}}) {
    SCOPED_TRACE(size);
    char* base = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base[0], 0);
    EXPECT_EQ(base[size - 1], 0);
    std::memset(base, 0x5a, size);
    EXPECT_EQ(base[size - 1], 0x5a);
    EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
    // A second release is a fault of the caller, reported, never a double unmap.
    EXPECT_FALSE(VirtualFree(base, 0, MEM_RELEASE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
  }
}

TEST(VirtualMemoryTest, UnsupportedFormsAreRefused) {
  char probe = 0;
  struct Case {
    const char* name;
    LPVOID address;
    size_t size;
    DWORD type;
    DWORD protect;
  } cases[] = {
      {"fixed address", &probe, 4096, MEM_COMMIT, PAGE_READWRITE},
      {"empty", nullptr, 0, MEM_COMMIT, PAGE_READWRITE},
      {"reserve only", nullptr, 4096, MEM_RESERVE, PAGE_READWRITE},
      {"read only", nullptr, 4096, MEM_COMMIT, PAGE_READONLY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(VirtualAlloc(c.address, c.size, c.type, c.protect), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  UniqueVirtualMemory region(static_cast<char*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE)));
  ASSERT_TRUE(region);
  EXPECT_FALSE(VirtualFree(region.get(), 4096, MEM_RELEASE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(VirtualFree(&probe, 0, MEM_RELEASE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
}

}  // namespace
