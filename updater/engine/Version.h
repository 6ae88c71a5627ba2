// A version a.b.c.d packed one byte per part, first part in the top byte, for
// the update thread's comparisons; the text is kept as given.
#pragma once

#include <cstdint>
#include <string>

struct SVersion {
  SVersion() = default;
  // Parts that are missing or not numbers are 0; each keeps its low 8 bits.
  explicit SVersion(const std::wstring& text);

  bool operator==(const SVersion& other) const { return value == other.value; }
  bool operator!=(const SVersion& other) const { return value != other.value; }

  uint32_t value = 0;
  std::wstring text;
};
