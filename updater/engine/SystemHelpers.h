// File versions, time texts, UUID texts, the program's string table and ini
// values, over the platform's kernel calls. They keep no state.
#pragma once

#include <platform/Win32Types.h>

#include <cstdint>
#include <string>

// "a.b.c.d" from the file's version record; false and an empty text without one.
bool GetFileVersion(const std::wstring& filePath, std::wstring& version);
// "YYYY-MM-DD hh:mm:ss", now.
void GetLocalTimeText(std::wstring& text);
// The same form for an instant in seconds since 1970; empty when the C
// library cannot convert it.
void FormatUnixTime(std::wstring& text, int64_t seconds);
// 36 lower-case characters 8-4-4-4-12; empty on failure.
void CreateUuidText(std::wstring& text);
// The string of that id from the string table built into the program; empty
// when there is none.
void LoadResString(std::wstring& text, UINT id);
std::wstring IniReadString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                           DWORD bufferChars, const wchar_t* file);
