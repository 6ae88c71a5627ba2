// Identifier and path texts. The native separator of this build is '/'.
#pragma once

class QString;

// A new random UUID: 36 lower-case hexadecimal digits and dashes, no braces.
QString CreateUuidText();
// Every '\' becomes '/'.
QString ToNativeSeparators(const QString& path);
// ToNativeSeparators, then a trailing '/' when missing (the empty text gives "/").
QString ToNativeDir(const QString& path);
