#include "FileInfo.h"

#include <cstdint>

// 1601-01-01 to 1970-01-01 in 100-nanosecond intervals.
static const int64_t kEpochDifference = 116444736000000000LL;

FILETIME FileTimeFromTimespec(const struct timespec& time) {
  const int64_t value = static_cast<int64_t>(time.tv_sec) * 10000000LL + time.tv_nsec / 100 + kEpochDifference;
  const uint64_t bits = value < 0 ? 0 : static_cast<uint64_t>(value);
  return FILETIME{static_cast<DWORD>(bits), static_cast<DWORD>(bits >> 32)};
}

struct timespec TimespecFromFileTime(const FILETIME& time) {
  const int64_t value =
      static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) -
      kEpochDifference;
  struct timespec result;
  int64_t seconds = value / 10000000LL;
  int64_t rest = value % 10000000LL;
  if (rest < 0) {  // before 1970: keep the nanoseconds positive
    rest += 10000000LL;
    --seconds;
  }
  result.tv_sec = static_cast<time_t>(seconds);
  result.tv_nsec = static_cast<long>(rest * 100);
  return result;
}
