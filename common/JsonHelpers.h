// JSON text <-> Qt values for the box protocol's bodies, and the local address
// text for crash reports and the log-report library.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>

// format: QJsonDocument::JsonFormat (1 is Compact, what the protocol uses).
// Anything but a map or a list gives the empty text.
QByteArray VariantToJson(const QVariant& value, int format);
// Text that is not JSON gives an invalid variant.
QVariant JsonToVariant(const QByteArray& text);
// Every value as its text: 5 -> "5", true -> "true", nested containers -> "".
// Text that is not a JSON object gives an empty map.
QMap<QString, QString> JsonToStrMap(const QByteArray& text);
// The same for a parsed value: anything but a map gives an empty map.
QMap<QString, QString> VariantToStrMap(const QVariant& value);

constexpr int kLocalIPv4Size = 64;
// out holds at least kLocalIPv4Size bytes and always ends terminated; it is
// empty when no address was found. Always returns false: callers use the text.
bool GetLocalIPv4(char* out);
