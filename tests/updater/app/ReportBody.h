// The error report's POST body is zlib-compressed text.
#pragma once

#include <zlib.h>

#include <string>

// The text, or "" when the body is no zlib stream (or inflates past 1 MiB).
inline std::string InflateReport(const std::string& body) {
  std::string out(1 << 20, '\0');
  uLongf length = static_cast<uLongf>(out.size());
  if (uncompress(reinterpret_cast<Bytef*>(&out[0]), &length, reinterpret_cast<const Bytef*>(body.data()),
                 static_cast<uLong>(body.size())) != Z_OK)
    return std::string();
  out.resize(length);
  return out;
}
