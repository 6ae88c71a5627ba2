// MD5 (RFC 1321) and the check value of a file: its digest as 32 upper-case
// hexadecimal characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class CMD5 {
 public:
  CMD5();
  // Reads the open file in 1024-byte pieces to its end, closes it and
  // finishes.
  explicit CMD5(FILE* file);

  void Update(const void* data, size_t length);
  void Finish();
  // False until finished.
  bool GetDigest(unsigned char digest[16]) const;

 private:
  void Transform(const unsigned char block[64]);

  uint32_t m_state[4];
  uint64_t m_bitCount = 0;
  unsigned char m_buffer[64];
  bool m_finished = false;
};

bool GetFileMD5(const std::wstring& path, std::wstring& text);
