// Small text jobs of the updater's parsers. Wide texts unless said otherwise;
// "ANSI" is UTF-8.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <vector>

// Copies at most capacity - 1 characters and always terminates (nothing for
// capacity 0); the number copied.
size_t StrCopyN(wchar_t* target, const wchar_t* source, size_t capacity);

// Field index of text cut at separator. A trailing separator opens no empty
// last field; two in a row make an empty one. False for a null text (out
// untouched) or a missing field (out emptied).
bool ExtractSubStr(const wchar_t* text, int index, wchar_t separator, std::wstring& field);

// The version in "x-1.2.3.4-y;..." or "1.2.3.4;...": field 0 of the ';' list,
// and of that the text between the first and the second '-' when it has one.
void ExtractVerField(std::wstring& version, const std::wstring& text);

// Index of the first entry equal to text (case-sensitive), count when none.
int FindStrIndex(const wchar_t* text, const wchar_t* const* table, int count);

// Cuts text at every separator (the piece after the last one counts); empty
// pieces only when keepEmpty. Clears the list first; the number of pieces.
int SplitString(std::vector<std::string>& pieces, const std::string& text, char separator, bool keepEmpty);

// Two upper-case hexadecimal digits per byte, no terminator; 2 x count.
size_t HexEncode(const unsigned char* bytes, size_t count, wchar_t* out);

// From the "ANSI" code page to UTF-8: ill-formed sequences become U+FFFD.
void AnsiToUtf8(const char* text, size_t length, std::string& out);

// Formats into buffer, cut to capacity - 1 characters and always terminated;
// the number of characters written, 0 for capacity 0 or a format that fails
// (the buffer then holds the empty text).
int FormatBounded(wchar_t* buffer, int capacity, const wchar_t* format, ...);
int FormatBoundedV(wchar_t* buffer, int capacity, const wchar_t* format, va_list arguments);
