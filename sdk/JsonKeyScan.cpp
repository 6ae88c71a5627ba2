#include "JsonKeyScan.h"

#include <string>
#include <unordered_set>
#include <vector>

static int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Four hex digits at p (end bounds the read); -1 when they are not there.
static int ReadHex4(const char* p, const char* end) {
  if (end - p < 4) return -1;
  int value = 0;
  for (int i = 0; i < 4; ++i) {
    const int digit = HexValue(p[i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

static void AppendUtf8(std::string* out, unsigned code) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    // A lone surrogate lands here too; raw UTF-8 cannot hold one, so it
    // cannot be mistaken for a key written without escapes.
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// The escape after a backslash at p, decoded into out when out is given;
// returns where the string goes on.
static const char* ScanEscape(const char* p, const char* end, std::string* out) {
  if (p == end) return p;
  const char c = *p++;
  if (c != 'u') {
    if (out == nullptr) return p;
    switch (c) {
      case 'b': out->push_back('\b'); break;
      case 'f': out->push_back('\f'); break;
      case 'n': out->push_back('\n'); break;
      case 'r': out->push_back('\r'); break;
      case 't': out->push_back('\t'); break;
      default: out->push_back(c); break;  // \" \\ \/, and what the parser refuses anyway
    }
    return p;
  }
  int code = ReadHex4(p, end);
  if (code < 0) return p;  // the parser refuses it: the text is no JSON
  p += 4;
  // A high surrogate followed by an escaped low one is one character.
  if (code >= 0xD800 && code <= 0xDBFF && end - p >= 6 && p[0] == '\\' && p[1] == 'u') {
    const int low = ReadHex4(p + 2, end);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      p += 6;
    }
  }
  if (out != nullptr) AppendUtf8(out, static_cast<unsigned>(code));
  return p;
}

// The string whose opening quote came just before p; its text goes to out
// when out is given. Returns the position after the closing quote, or end.
static const char* ScanString(const char* p, const char* end, std::string* out) {
  while (p < end) {
    const char c = *p++;
    if (c == '"') return p;
    if (c == '\\') {
      p = ScanEscape(p, end, out);
      continue;
    }
    if (out != nullptr) out->push_back(c);
  }
  return end;
}

namespace {

struct Level {
  bool object = false;
  bool expectKey = false;  // the next string of this object is a key
  std::unordered_set<std::string> keys;
};

}  // namespace

bool JsonRepeatsKey(const QByteArray& text, int* keysSeen) {
  std::vector<Level> levels;
  int keys = 0;
  bool repeated = false;
  const char* p = text.constData();
  const char* const end = p + text.size();
  while (p < end && !repeated) {
    const char c = *p++;
    switch (c) {
      case '{':
        levels.emplace_back();
        levels.back().object = true;
        levels.back().expectKey = true;
        break;
      case '[':
        levels.emplace_back();
        break;
      case '}':
      case ']':
        if (!levels.empty()) levels.pop_back();
        break;
      case ',':
        if (!levels.empty() && levels.back().object) levels.back().expectKey = true;
        break;
      case '"': {
        Level* level = levels.empty() ? nullptr : &levels.back();
        if (level == nullptr || !level->object || !level->expectKey) {
          p = ScanString(p, end, nullptr);
          break;
        }
        std::string key;
        p = ScanString(p, end, &key);
        level->expectKey = false;
        ++keys;
        repeated = !level->keys.insert(std::move(key)).second;
        break;
      }
      default:
        break;
    }
  }
  if (keysSeen != nullptr) *keysSeen = keys;
  return repeated;
}
