// The container reader on arbitrary bytes: any result, but no read past the
// input, no crash, and a success whose output is exactly the size field.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Zf7z.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A larger size field only makes liblzma reserve a larger dictionary (up to
  // 2 GiB, untouched), which libFuzzer's malloc limit would report as running
  // out of memory; the decoding path is the same below it.
  uint32_t sizeField = 0;
  if (size >= 12) memcpy(&sizeField, data + 8, 4);
  if (sizeField > (64u << 20)) return 0;
  const std::string in(reinterpret_cast<const char*>(data), size);
  std::string out;
  const int result = Zf7zDecompress(in, out);
  if (result >= 0) {
    if (static_cast<uint32_t>(result) != sizeField || out.size() != sizeField) std::abort();
  } else if (result != -1 && result != -2) {
    std::abort();
  } else if (!out.empty()) {
    std::abort();
  }
  return 0;
}
