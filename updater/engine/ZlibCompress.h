// zlib compression into a buffer no bigger than the input (the error report's
// body): input that does not shrink gives Z_BUF_ERROR and an empty output.
#pragma once

#include <string>

// zlib's result; out holds the compressed bytes on Z_OK, nothing otherwise.
int ZlibCompress(const std::string& in, std::string& out, int level);
