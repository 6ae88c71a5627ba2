// The container reader on arbitrary bytes: any result, but no read past the
// input, no crash, and a success whose output is exactly the size field.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Zf7z.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  std::string out;
  const int result = Zf7zDecompress(in, out);
  if (result >= 0) {
    uint32_t field = 0;
    memcpy(&field, data + 8, 4);
    if (static_cast<uint32_t>(result) != field || out.size() != field) std::abort();
  } else if (result != -1 && result != -2) {
    std::abort();
  } else if (!out.empty()) {
    std::abort();
  }
  return 0;
}
