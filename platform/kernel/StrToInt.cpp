#include <platform/ShlwApi.h>

#include <cstdint>

int StrToIntW(LPCWSTR text) {
  if (!text) return 0;
  bool negative = false;
  if (*text == L'+' || *text == L'-') {
    negative = *text == L'-';
    ++text;
  }
  // Unsigned arithmetic wraps where a signed int would overflow.
  uint32_t value = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) value = value * 10u + static_cast<uint32_t>(*text - L'0');
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}
