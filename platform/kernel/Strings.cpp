#include <platform/Strings.h>

#include <QString>

// Qt's conversions replace ill-formed input with U+FFFD instead of failing,
// which is what a log line or a path from a peer needs.
std::string WideToUtf8(const std::wstring& text) {
  return QString::fromStdWString(text).toStdString();
}

std::wstring Utf8ToWide(const std::string& text) {
  return QString::fromStdString(text).toStdWString();
}

std::string WideToUtf8(const wchar_t* text) { return text ? WideToUtf8(std::wstring(text)) : std::string(); }

std::wstring Utf8ToWide(const char* text) { return text ? Utf8ToWide(std::string(text)) : std::wstring(); }
