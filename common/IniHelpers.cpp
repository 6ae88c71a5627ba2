#include "IniHelpers.h"

#include <QString>

#include <string>

#include <platform/Kernel.h>

static const DWORD kReadBufferChars = 8192;

QString IniReadString(const QString& section, const QString& key, const QString& file) {
  const std::wstring wideSection = section.toStdWString();
  const std::wstring wideKey = key.toStdWString();
  const std::wstring wideFile = file.toStdWString();
  std::wstring buffer(kReadBufferChars, L'\0');
  DWORD count = GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), L"", &buffer[0], kReadBufferChars,
                                         wideFile.c_str());
  // Never trust a count beyond what the buffer can hold with its terminator.
  if (count > kReadBufferChars - 1) count = kReadBufferChars - 1;
  return QString::fromWCharArray(buffer.data(), static_cast<int>(count));
}

bool IniWriteString(const QString& section, const QString& key, const QString& value, const QString& file) {
  const std::wstring wideSection = section.toStdWString();
  const std::wstring wideKey = key.toStdWString();
  const std::wstring wideValue = value.toStdWString();
  const std::wstring wideFile = file.toStdWString();
  return WritePrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), wideValue.c_str(), wideFile.c_str()) !=
         FALSE;
}

bool IniDeleteKey(const QString& section, const QString& key, const QString& file) {
  const std::wstring wideSection = section.toStdWString();
  const std::wstring wideKey = key.toStdWString();
  const std::wstring wideFile = file.toStdWString();
  return WritePrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), nullptr, wideFile.c_str()) != FALSE;
}

bool IniDeleteSection(const QString& section, const QString& file) {
  const std::wstring wideSection = section.toStdWString();
  const std::wstring wideFile = file.toStdWString();
  return WritePrivateProfileStringW(wideSection.c_str(), nullptr, nullptr, wideFile.c_str()) != FALSE;
}
