// Standard Base64 (RFC 4648 alphabet, '=' padding, no line breaks), the
// updater's build.
#pragma once

#include <string>

// 4 x ((length + 2) / 3) characters, no terminator; -1 when capacity is below.
int Base64Encode(const unsigned char* input, int length, char* output, int capacity);
// (length / 4) x 3 bytes, padding giving zero bytes; -1 for a length that is
// not a multiple of 4, too little capacity, or a character outside the
// alphabet and '='.
int Base64Decode(const char* input, int length, unsigned char* output, int capacity);

// On wide texts through the "ANSI" code page. True only when the coder gave at
// least one character or byte; the output is emptied first and stays empty on
// false. A decoded text ends at its first zero byte (and may be empty then).
bool Base64EncodeText(const std::wstring& text, std::wstring& encoded);
bool Base64DecodeText(const std::wstring& text, std::wstring& decoded);
// Keeps every decoded byte, zero bytes from padding included.
bool Base64DecodeBytes(const std::string& text, std::string& bytes);
