#include <gtest/gtest.h>

#include <platform/Kernel.h>

#include "KernelObject.h"

TEST(Handle, ClosingAnUnknownHandleFails) {
  int dummy = 0;
  for (HANDLE h : {static_cast<HANDLE>(&dummy), static_cast<HANDLE>(nullptr)}) {
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
  }
}

TEST(Handle, RegisteredObjectClosesOnce) {
  HANDLE h = RegisterObject(std::make_shared<KernelObject>());
  EXPECT_TRUE(LookupObject(h));
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Handle, StaleHandleNeverReachesALaterObject) {
  // A freed object's address is typically handed to the next one of its size.
  for (int i = 0; i < 100; ++i) {
    HANDLE stale = RegisterObject(std::make_shared<KernelObject>());
    ASSERT_TRUE(CloseHandle(stale));
    HANDLE fresh = RegisterObject(std::make_shared<KernelObject>());
    EXPECT_NE(stale, fresh);
    EXPECT_FALSE(LookupObject(stale));
    EXPECT_FALSE(IsFdHandle(fresh));
    EXPECT_TRUE(CloseHandle(fresh));
  }
}

TEST(Handle, FdHandlesRoundTrip) {
  for (int fd : {0, 3, 1000, 1 << 20}) {
    HANDLE h = HandleFromFd(fd);
    EXPECT_TRUE(IsFdHandle(h));
    EXPECT_EQ(FdFromHandle(h), fd);
  }
  EXPECT_FALSE(IsFdHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(IsFdHandle(nullptr));
}
