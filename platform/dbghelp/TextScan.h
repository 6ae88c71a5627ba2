// Number scanning for /proc texts, without locale or allocation.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads hexadecimal digits (an optional "0x" first) at *p and moves past them;
// false when there is none.
inline bool ScanHex(const char** p, const char* end, uint64_t* value) {
  const char* s = *p;
  if (end - s >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s += 2;
  uint64_t v = 0;
  const char* start = s;
  for (; s < end; ++s) {
    const char c = *s;
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                     : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) break;
    v = (v << 4) | static_cast<uint64_t>(digit);
  }
  if (s == start) return false;
  *value = v;
  *p = s;
  return true;
}

inline bool ScanDecimal(const char** p, const char* end, uint64_t* value) {
  const char* s = *p;
  uint64_t v = 0;
  for (; s < end && *s >= '0' && *s <= '9'; ++s) v = v * 10 + static_cast<uint64_t>(*s - '0');
  if (s == *p) return false;
  *value = v;
  *p = s;
  return true;
}

inline void SkipSpaces(const char** p, const char* end) {
  while (*p < end && (**p == ' ' || **p == '\t')) ++*p;
}

// Writes value in decimal with a terminating zero; returns the digit count.
inline size_t FormatDecimal(uint64_t value, char* out) {
  char digits[20];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (size_t i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
  out[n] = '\0';
  return n;
}
