// Private-profile ini access, through the platform's profile calls only.
#pragma once

class QString;

// The value, at most 8191 characters; empty when the file, section or key is missing.
QString IniReadString(const QString& section, const QString& key, const QString& file);
bool IniWriteString(const QString& section, const QString& key, const QString& value, const QString& file);
bool IniDeleteKey(const QString& section, const QString& key, const QString& file);
bool IniDeleteSection(const QString& section, const QString& file);
