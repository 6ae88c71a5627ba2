#include "Base64.h"

#include <platform/Strings.h>

#include <climits>
#include <cstring>

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const signed char kInvalid = -1;

// '=' counts as 0 wherever it stands, as the design decodes it.
struct DecodeTable {
  signed char value[256];
  DecodeTable() {
    memset(value, kInvalid, sizeof(value));
    for (int i = 0; i < 64; ++i) value[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
    value[static_cast<unsigned char>('=')] = 0;
  }
};
const DecodeTable kDecode;

void EncodeGroup(const unsigned char* b, char* out) {
  out[0] = kAlphabet[b[0] >> 2];
  out[1] = kAlphabet[((b[0] & 3) << 4) | (b[1] >> 4)];
  out[2] = kAlphabet[((b[1] & 15) << 2) | (b[2] >> 6)];
  out[3] = kAlphabet[b[2] & 63];
}

}  // namespace

int Base64Encode(const unsigned char* input, int length, char* output, int capacity) {
  if (length < 0 || length > INT_MAX / 4 * 3 - 3) return -1;
  const int needed = 4 * ((length + 2) / 3);
  if (capacity < needed || (length > 0 && (!input || !output))) return -1;
  int in = 0;
  int out = 0;
  for (; in + 3 < length; in += 3, out += 4) EncodeGroup(input + in, output + out);
  const int remaining = length - in;
  if (remaining > 0) {
    unsigned char last[3] = {0, 0, 0};
    memcpy(last, input + in, static_cast<size_t>(remaining));
    char group[4];
    EncodeGroup(last, group);
    for (int i = 0; i < 4; ++i) output[out + i] = i <= remaining ? group[i] : '=';
    out += 4;
  }
  return out;
}

int Base64Decode(const char* input, int length, unsigned char* output, int capacity) {
  if (length < 0 || length % 4 != 0) return -1;
  const int needed = length / 4 * 3;
  if (capacity < needed || (length > 0 && (!input || !output))) return -1;
  int out = 0;
  for (int in = 0; in < length; in += 4) {
    int v[4];
    for (int i = 0; i < 4; ++i) {
      v[i] = kDecode.value[static_cast<unsigned char>(input[in + i])];
      if (v[i] == kInvalid) return -1;
    }
    output[out++] = static_cast<unsigned char>((v[0] << 2) | ((v[1] >> 4) & 3));
    output[out++] = static_cast<unsigned char>((v[1] << 4) | ((v[2] >> 2) & 15));
    output[out++] = static_cast<unsigned char>(v[3] | (v[2] << 6));
  }
  return out;
}

bool Base64EncodeText(const std::wstring& text, std::wstring& encoded) {
  encoded.clear();
  const std::string bytes = WideToUtf8(text);
  if (bytes.size() > static_cast<size_t>(INT_MAX / 4 * 3 - 3)) return false;
  std::string out(4 * ((bytes.size() + 2) / 3), '\0');
  const int n = Base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()),
                             out.empty() ? nullptr : &out[0], static_cast<int>(out.size()));
  if (n <= 0) return false;
  encoded = Utf8ToWide(out);
  return true;
}

bool Base64DecodeText(const std::wstring& text, std::wstring& decoded) {
  decoded.clear();
  std::string bytes;
  if (!Base64DecodeBytes(WideToUtf8(text), bytes) || bytes.empty()) return false;
  const size_t end = bytes.find('\0');
  if (end != std::string::npos) bytes.resize(end);
  decoded = Utf8ToWide(bytes);
  return true;
}

bool Base64DecodeBytes(const std::string& text, std::string& bytes) {
  bytes.clear();
  if (text.size() > static_cast<size_t>(INT_MAX)) return false;
  const int length = static_cast<int>(text.size());
  bytes.resize(static_cast<size_t>(length / 4 * 3));
  const int n = Base64Decode(text.data(), length, bytes.empty() ? nullptr : reinterpret_cast<unsigned char*>(&bytes[0]),
                             static_cast<int>(bytes.size()));
  if (n < 0) {
    bytes.clear();
    return false;
  }
  return true;
}
