#include "Base64.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <limits>

static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// 64-bit, so that a length near INT_MAX gives -1 instead of an overflowed size.
static int64_t EncodedSize(int length) { return 4 * ((static_cast<int64_t>(length) + 2) / 3); }

int Base64Encode(const unsigned char* input, int length, char* output, int capacity) {
  if (length < 0 || (length > 0 && input == nullptr)) return -1;
  const int64_t needed = EncodedSize(length);
  if (needed > std::numeric_limits<int>::max() || capacity < needed) return -1;
  if (needed > 0 && output == nullptr) return -1;

  char* out = output;
  int i = 0;
  for (; length - i >= 3; i += 3) {
    const unsigned b0 = input[i], b1 = input[i + 1], b2 = input[i + 2];
    *out++ = kAlphabet[b0 >> 2];
    *out++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
    *out++ = kAlphabet[((b1 & 15) << 2) | (b2 >> 6)];
    *out++ = kAlphabet[b2 & 63];
  }
  const int rest = length - i;
  if (rest > 0) {
    const unsigned b0 = input[i];
    const unsigned b1 = rest == 2 ? input[i + 1] : 0;
    *out++ = kAlphabet[b0 >> 2];
    *out++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
    *out++ = rest == 2 ? kAlphabet[(b1 & 15) << 2] : '=';
    *out++ = '=';
  }
  return static_cast<int>(out - output);
}

bool Base64Encode(const QByteArray& input, QByteArray& output) {
  output.clear();
  const int64_t needed = EncodedSize(input.size());
  if (needed > std::numeric_limits<int>::max()) return false;
  output.resize(static_cast<int>(needed));
  const int written = Base64Encode(reinterpret_cast<const unsigned char*>(input.constData()), input.size(),
                                   output.data(), output.size());
  if (written < 0) {
    output.clear();
    return false;
  }
  return true;
}

bool Base64EncodeText(const QString& text, QString& output) {
  // UTF-8 is the 8-bit code page on both ends: the updater decodes with it
  // whatever the locale of the client's session says.
  QByteArray encoded;
  if (!Base64Encode(text.toUtf8(), encoded)) return false;
  output = QString::fromLatin1(encoded);
  return true;
}
