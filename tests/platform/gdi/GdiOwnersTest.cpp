// The scoped selection: a bitmap left selected can never be deleted, so each
// way a selection ends must put back exactly what it replaced, once.
#include <gtest/gtest.h>

#include <platform/Gdi.h>
#include <platform/GdiOwners.h>
#include <platform/Kernel.h>

#include <utility>

namespace {

class ScopedSelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dc_);
    ASSERT_TRUE(first_);
    ASSERT_TRUE(second_);
    stock_ = SelectObject(dc_.get(), first_.get());
    ASSERT_NE(stock_, nullptr);
  }
  void TearDown() override { SelectObject(dc_.get(), stock_); }

  // The bitmap selected now, found by selecting the stock one in its place.
  HGDIOBJ Selected() {
    HGDIOBJ now = SelectObject(dc_.get(), stock_);
    SelectObject(dc_.get(), now);
    return now;
  }

  // A bitmap still selected somewhere refuses to be deleted.
  static bool Busy(HGDIOBJ bitmap) {
    SetLastError(0);
    return !DeleteObject(bitmap) && GetLastError() == ERROR_BUSY;
  }

  UniqueDc dc_{CreateCompatibleDC(nullptr)};
  UniqueGdiObject first_{CreateCompatibleBitmap(nullptr, 4, 4)};
  UniqueGdiObject second_{CreateCompatibleBitmap(nullptr, 4, 4)};
  HGDIOBJ stock_ = nullptr;
};

TEST_F(ScopedSelectTest, ScopeEndPutsBackWhatItReplaced) {
  {
    const ScopedSelect selected(dc_.get(), second_.get());
    EXPECT_TRUE(selected.selected());
    EXPECT_EQ(Selected(), second_.get());
    EXPECT_TRUE(Busy(second_.get()));
  }
  EXPECT_EQ(Selected(), first_.get());
  EXPECT_FALSE(Busy(second_.get())) << "deleted once it left the DC";
  second_.release();
}

TEST_F(ScopedSelectTest, MovedSelectionPutsBackOnceWhenItsLastOwnerEnds) {
  ScopedSelect later;
  {
    ScopedSelect selected(dc_.get(), second_.get());
    ScopedSelect moved(std::move(selected));
    later = std::move(moved);
  }
  EXPECT_EQ(Selected(), second_.get()) << "the emptied owners put nothing back";
  later = ScopedSelect();
  EXPECT_EQ(Selected(), first_.get());
  SelectObject(dc_.get(), second_.get());
  later = ScopedSelect();
  EXPECT_EQ(Selected(), second_.get()) << "put back only once";
  SelectObject(dc_.get(), first_.get());
}

TEST_F(ScopedSelectTest, FailedSelectionPutsNothingBack) {
  {
    const ScopedSelect none(dc_.get(), nullptr);
    EXPECT_FALSE(none.selected());
    SelectObject(dc_.get(), second_.get());
  }
  EXPECT_EQ(Selected(), second_.get()) << "a failed selection has nothing to put back";
  SelectObject(dc_.get(), first_.get());
}

}  // namespace
