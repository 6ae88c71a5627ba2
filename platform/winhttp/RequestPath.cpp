#include "RequestPath.h"

static bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// The characters of a path segment by RFC 3986 (unreserved, sub-delims,
// ':' and '@'), and the '/' between segments.
static bool IsPathChar(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '-': case '.': case '_': case '~':
    case '!': case '$': case '&': case '\'': case '(': case ')': case '*': case '+': case ',': case ';': case '=':
    case ':': case '@': case '/':
      return true;
    default:
      return false;
  }
}

std::string EscapeRequestPath(const std::string& utf8) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const bool validEscape = c == '%' && i + 2 < utf8.size() && IsHex(utf8[i + 1]) && IsHex(utf8[i + 2]);
    if (IsPathChar(c) || validEscape) {
      escaped += static_cast<char>(c);
      continue;
    }
    escaped += '%';
    escaped += kHex[c >> 4];
    escaped += kHex[c & 0xF];
  }
  return escaped;
}
