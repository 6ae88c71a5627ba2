#include <gtest/gtest.h>

#include <platform/Gdi.h>
#include <platform/Kernel.h>
#include "RowName.h"

namespace {

struct RegionCase {
  const char* name;
  RECT a, b;
  int mode;
  int type;
  RECT box;
};

// Two 10x10 squares in various positions.
const RegionCase kRegionCases[] = {
    {"OrOverlapping", {0, 0, 10, 10}, {5, 5, 15, 15}, RGN_OR, COMPLEXREGION, {0, 0, 15, 15}},
    {"OrSideBySide", {0, 0, 10, 10}, {10, 0, 20, 10}, RGN_OR, SIMPLEREGION, {0, 0, 20, 10}},
    {"OrApart", {0, 0, 10, 10}, {20, 20, 30, 30}, RGN_OR, COMPLEXREGION, {0, 0, 30, 30}},
    {"AndOverlapping", {0, 0, 10, 10}, {5, 5, 15, 15}, RGN_AND, SIMPLEREGION, {5, 5, 10, 10}},
    {"AndApart", {0, 0, 10, 10}, {20, 20, 30, 30}, RGN_AND, NULLREGION, {0, 0, 0, 0}},
    {"DiffHole", {0, 0, 30, 30}, {10, 10, 20, 20}, RGN_DIFF, COMPLEXREGION, {0, 0, 30, 30}},
    {"DiffCut", {0, 0, 10, 10}, {5, 0, 15, 10}, RGN_DIFF, SIMPLEREGION, {0, 0, 5, 10}},
    {"DiffAll", {0, 0, 10, 10}, {0, 0, 10, 10}, RGN_DIFF, NULLREGION, {0, 0, 0, 0}},
    {"CopyFirst", {3, 4, 7, 9}, {0, 0, 1, 1}, RGN_COPY, SIMPLEREGION, {3, 4, 7, 9}},
    {"EmptyOrEmpty", {5, 5, 5, 5}, {0, 0, 0, 0}, RGN_OR, NULLREGION, {0, 0, 0, 0}},
};

class CombineTest : public ::testing::TestWithParam<RegionCase> {};

TEST_P(CombineTest, TypeAndBox) {
  const RegionCase& c = GetParam();
  HRGN a = CreateRectRgnIndirect(&c.a);
  HRGN b = CreateRectRgnIndirect(&c.b);
  HRGN out = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(CombineRgn(out, a, b, c.mode), c.type);
  RECT box{-1, -1, -1, -1};
  EXPECT_EQ(GetRgnBox(out, &box), c.type);
  EXPECT_EQ(box.left, c.box.left);
  EXPECT_EQ(box.top, c.box.top);
  EXPECT_EQ(box.right, c.box.right);
  EXPECT_EQ(box.bottom, c.box.bottom);
  // Combining into one of the sources gives the same.
  EXPECT_EQ(CombineRgn(a, a, b, c.mode), c.type);
  for (HRGN r : {a, b, out}) EXPECT_TRUE(DeleteObject(r));
}

INSTANTIATE_TEST_SUITE_P(Regions, CombineTest, ::testing::ValuesIn(kRegionCases), RowName());

TEST(RegionTest, OffsetMovesTheBox) {
  HRGN r = CreateRectRgn(10, 20, 30, 40);
  EXPECT_EQ(OffsetRgn(r, -15, 5), SIMPLEREGION);
  RECT box{};
  GetRgnBox(r, &box);
  EXPECT_EQ(box.left, -5);
  EXPECT_EQ(box.top, 25);
  EXPECT_EQ(box.right, 15);
  EXPECT_EQ(box.bottom, 45);
  DeleteObject(r);
}

TEST(RegionTest, CornersInAnyOrder) {
  HRGN r = CreateRectRgn(30, 40, 10, 20);
  RECT box{};
  EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.bottom, 40);
  DeleteObject(r);
}

TEST(RegionTest, StaleAndWrongHandlesFail) {
  HRGN r = CreateRectRgn(0, 0, 1, 1);
  ASSERT_TRUE(DeleteObject(r));
  RECT box{};
  SetLastError(0);
  EXPECT_EQ(GetRgnBox(r, &box), RGN_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(DeleteObject(r));
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HRGN good = CreateRectRgn(0, 0, 1, 1);
  EXPECT_EQ(CombineRgn(good, good, static_cast<HRGN>(brush), RGN_OR), RGN_ERROR);
  EXPECT_EQ(CombineRgn(good, good, good, 3 /* XOR: not offered */), RGN_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  DeleteObject(brush);
  DeleteObject(good);
}

}  // namespace
