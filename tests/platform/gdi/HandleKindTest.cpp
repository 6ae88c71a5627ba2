// Kernel and GDI handles come from one serial: neither layer may act on a
// handle of the other.
#include <gtest/gtest.h>

#include <platform/Gdi.h>
#include <platform/Kernel.h>

#include <set>
#include <vector>

TEST(HandleKind, KernelCallsRefuseGdiHandles) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HRGN region = CreateRectRgn(0, 0, 4, 4);
  ASSERT_NE(brush, nullptr);
  ASSERT_NE(region, nullptr);
  for (HANDLE gdi : {static_cast<HANDLE>(brush), static_cast<HANDLE>(region)}) {
    EXPECT_NE(gdi, event);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CloseHandle(gdi));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(gdi, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetEvent(gdi));
  }
  // The event survived: the brush and region calls reached nothing.
  EXPECT_TRUE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(DeleteObject(region));
  EXPECT_TRUE(CloseHandle(event));
}

TEST(HandleKind, GdiCallsRefuseKernelHandles) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  ASSERT_NE(mutex, nullptr);
  for (HANDLE kernel : {event, mutex}) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(DeleteObject(static_cast<HGDIOBJ>(kernel)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(OffsetRgn(static_cast<HRGN>(kernel), 1, 1), RGN_ERROR);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(DeleteDC(static_cast<HDC>(kernel)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  EXPECT_TRUE(CloseHandle(event));
  EXPECT_TRUE(CloseHandle(mutex));
}

TEST(HandleKind, InterleavedValuesAreAllDistinct) {
  std::set<void*> seen;
  std::vector<HANDLE> events;
  std::vector<HGDIOBJ> brushes;
  for (int i = 0; i < 64; ++i) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HBRUSH brush = CreateSolidBrush(RGB(i, 0, 0));
    ASSERT_TRUE(seen.insert(event).second);
    ASSERT_TRUE(seen.insert(brush).second);
    events.push_back(event);
    brushes.push_back(brush);
    // Closing and creating again must not hand out a value seen before.
    if (i % 2 == 0) {
      EXPECT_TRUE(CloseHandle(events.back()));
      EXPECT_TRUE(DeleteObject(brushes.back()));
      events.pop_back();
      brushes.pop_back();
    }
  }
  for (HANDLE event : events) EXPECT_TRUE(CloseHandle(event));
  for (HGDIOBJ brush : brushes) EXPECT_TRUE(DeleteObject(brush));
}
