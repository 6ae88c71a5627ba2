#include "StrHelpers.h"

#include <platform/Strings.h>

#include <cstring>
#include <cwchar>

size_t StrCopyN(wchar_t* target, const wchar_t* source, size_t capacity) {
  if (!target || capacity == 0) return 0;
  size_t n = 0;
  if (source) {
    for (; n + 1 < capacity && source[n] != L'\0'; ++n) target[n] = source[n];
  }
  target[n] = L'\0';
  return n;
}

bool ExtractSubStr(const wchar_t* text, int index, wchar_t separator, std::wstring& field) {
  if (!text) return false;
  const wchar_t* at = text;
  for (int i = 0; i < index; ++i) {
    const wchar_t* next = wcschr(at, separator);
    if (!next || next[1] == L'\0') {
      field.clear();
      return false;
    }
    at = next + 1;
  }
  const wchar_t* end = wcschr(at, separator);
  field.assign(at, end ? static_cast<size_t>(end - at) : wcslen(at));
  return true;
}

void ExtractVerField(std::wstring& version, const std::wstring& text) {
  std::wstring first;
  ExtractSubStr(text.c_str(), 0, L';', first);
  if (first.find(L'-') == std::wstring::npos) {
    version = first;
    return;
  }
  if (!ExtractSubStr(first.c_str(), 1, L'-', version)) version.clear();
}

int FindStrIndex(const wchar_t* text, const wchar_t* const* table, int count) {
  for (int i = 0; i < count; ++i) {
    if (text && table[i] && wcscmp(text, table[i]) == 0) return i;
  }
  return count;
}

int SplitString(std::vector<std::string>& pieces, const std::string& text, char separator, bool keepEmpty) {
  pieces.clear();
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    const std::string piece = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (keepEmpty || !piece.empty()) pieces.push_back(piece);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return static_cast<int>(pieces.size());
}

size_t HexEncode(const unsigned char* bytes, size_t count, wchar_t* out) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  for (size_t i = 0; i < count; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 15];
  }
  return 2 * count;
}

void AnsiToUtf8(const char* text, size_t length, std::string& out) {
  out = text ? WideToUtf8(Utf8ToWide(std::string(text, length))) : std::string();
}

int FormatBounded(wchar_t* buffer, int capacity, const wchar_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int n = FormatBoundedV(buffer, capacity, format, arguments);
  va_end(arguments);
  return n;
}

// vswprintf gives -1 both for a cut text and for a failed conversion and says
// nothing of what it wrote; so format in full into a growing scratch buffer
// and cut that.
int FormatBoundedV(wchar_t* buffer, int capacity, const wchar_t* format, va_list arguments) {
  if (!buffer || capacity <= 0) return 0;
  buffer[0] = L'\0';
  if (!format) return 0;
  const size_t kLimit = 1u << 20;
  for (size_t size = static_cast<size_t>(capacity) < 256 ? 256 : static_cast<size_t>(capacity) + 1;
       size <= kLimit; size *= 4) {
    std::wstring scratch(size, L'\0');
    va_list copy;
    va_copy(copy, arguments);
    const int n = vswprintf(&scratch[0], size, format, copy);
    va_end(copy);
    if (n >= 0) return static_cast<int>(StrCopyN(buffer, scratch.c_str(), static_cast<size_t>(capacity)));
  }
  return 0;
}
