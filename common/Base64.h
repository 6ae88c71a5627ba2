// Standard Base64 encoding (RFC 4648 alphabet, '=' padding, no line breaks),
// as the updater's command line expects it.
#pragma once

class QByteArray;
class QString;

// Writes exactly 4 * ((length + 2) / 3) characters, without a terminating zero,
// and returns that number; -1 when the capacity is smaller or the input is invalid.
int Base64Encode(const unsigned char* input, int length, char* output, int capacity);

// Replaces output with the encoding of input; true on success (an empty input
// gives true and an empty output).
bool Base64Encode(const QByteArray& input, QByteArray& output);

// Encodes the text's UTF-8 bytes; output is assigned only on success.
bool Base64EncodeText(const QString& text, QString& output);
