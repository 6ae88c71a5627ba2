#include "ZlibCompress.h"

#include <zlib.h>

int ZlibCompress(const std::string& in, std::string& out, int level) {
  out.assign(in.size(), '\0');
  uLongf outLength = static_cast<uLongf>(out.size());
  // compress2 wants somewhere to write even when there is no room.
  Bytef spare = 0;
  Bytef* target = out.empty() ? &spare : reinterpret_cast<Bytef*>(&out[0]);
  const int result = compress2(target, &outLength, reinterpret_cast<const Bytef*>(in.data()),
                               static_cast<uLong>(in.size()), level);
  if (result == Z_OK) {
    out.resize(outLength);
  } else {
    out.clear();
  }
  return result;
}
