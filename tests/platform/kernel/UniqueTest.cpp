// The owner types free every value exactly once, whatever path it takes.
#include <gtest/gtest.h>

#include <platform/Unique.h>

#include <unistd.h>

#include <csignal>
#include <cerrno>
#include <map>
#include <utility>

namespace {

std::map<long, int> g_freed;  // value -> times freed

void RecordFree(long value) { ++g_freed[value]; }

long g_pointees[8];
void RecordFreePointer(long* pointer) { ++g_freed[pointer - g_pointees]; }

using Recorded = UniqueValue<long, -1, RecordFree>;
using RecordedPtr = UniquePtr<long, RecordFreePointer>;

class UniqueTest : public ::testing::Test {
 protected:
  void SetUp() override { g_freed.clear(); }
  static void ExpectFreedOnce(std::initializer_list<long> values) {
    std::map<long, int> expected;
    for (long value : values) expected[value] = 1;
    EXPECT_EQ(g_freed, expected);
  }
};

TEST_F(UniqueTest, DestructorAndResetFreeOnce) {
  {
    Recorded a(1);
    Recorded b(2);
    b.reset(3);  // frees 2
    b.reset(3);  // the same value again: still owned, not freed
    Recorded none;
    EXPECT_FALSE(none.valid());
  }
  ExpectFreedOnce({1, 2, 3});
}

TEST_F(UniqueTest, ReleaseHandsOverWithoutFreeing) {
  long released = 0;
  {
    Recorded a(4);
    released = a.release();
    EXPECT_FALSE(a.valid());
  }
  EXPECT_EQ(released, 4);
  ExpectFreedOnce({});
}

TEST_F(UniqueTest, MovesFreeEachValueOnce) {
  {
    Recorded a(5);
    Recorded b(std::move(a));  // move construction
    EXPECT_FALSE(a.valid());
    Recorded c(6);
    c = std::move(b);  // move assignment frees c's old value
    EXPECT_EQ(c.get(), 5);
    Recorded& alias = c;
    c = std::move(alias);  // self-move keeps the value
    EXPECT_EQ(c.get(), 5);
  }
  ExpectFreedOnce({5, 6});
}

TEST_F(UniqueTest, PointerOwnerFreesOnce) {
  {
    RecordedPtr a(&g_pointees[1]);
    RecordedPtr b(std::move(a));
    RecordedPtr c(&g_pointees[2]);
    c = std::move(b);
    RecordedPtr d(&g_pointees[3]);
    d.reset(&g_pointees[4]);
    RecordedPtr e(&g_pointees[5]);
    (void)e.release();
  }
  ExpectFreedOnce({1, 2, 3, 4});
}

TEST_F(UniqueTest, FdOwnerClosesItsDescriptor) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  { UniqueFd readEnd(fds[0]); }
  UniqueFd writeEnd(fds[1]);
  // The read end is gone, so writing now fails with EPIPE instead of blocking.
  const auto previous = signal(SIGPIPE, SIG_IGN);
  EXPECT_EQ(write(writeEnd.get(), "x", 1), -1);
  EXPECT_EQ(errno, EPIPE);
  signal(SIGPIPE, previous);
}

}  // namespace
