// The one pair of conversions between wide strings and UTF-8, which stands in
// for every "ANSI code page" of the design.
#pragma once

#include <string>

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
// Null pointers give the empty text.
std::string WideToUtf8(const wchar_t* text);
std::wstring Utf8ToWide(const char* text);
