#include "JsonHelpers.h"

#include <algorithm>
#include <cstring>

#include <QHostAddress>
#include <QJsonDocument>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>

QByteArray VariantToJson(const QVariant& value, int format) {
  return QJsonDocument::fromVariant(value).toJson(static_cast<QJsonDocument::JsonFormat>(format));
}

QVariant JsonToVariant(const QByteArray& text) {
  const QJsonDocument doc = QJsonDocument::fromJson(text);
  if (doc.isNull()) return QVariant();
  return doc.toVariant();
}

QMap<QString, QString> JsonToStrMap(const QByteArray& text) { return VariantToStrMap(JsonToVariant(text)); }

QMap<QString, QString> VariantToStrMap(const QVariant& value) {
  const QVariantMap values = value.toMap();
  QMap<QString, QString> result;
  for (auto it = values.cbegin(); it != values.cend(); ++it) result.insert(it.key(), it.value().toString());
  return result;
}

static bool QualifiesForLocalAddress(const QNetworkInterface& nic) {
  const QNetworkInterface::InterfaceFlags flags = nic.flags();
  if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning)) return false;
  return !flags.testFlag(QNetworkInterface::IsLoopBack) && !flags.testFlag(QNetworkInterface::IsPointToPoint);
}

// The last address of the interface's first protocol: secondary addresses are
// listed after the primary one, and the first protocol seen is the one kept.
static QString AddressOfInterface(const QNetworkInterface& nic) {
  QString text;
  bool protocolFixed = false;
  QAbstractSocket::NetworkLayerProtocol protocol = QAbstractSocket::UnknownNetworkLayerProtocol;
  for (const QNetworkAddressEntry& entry : nic.addressEntries()) {
    const QHostAddress ip = entry.ip();
    if (!ip.scopeId().isEmpty()) continue;
    if (!protocolFixed) {
      protocol = ip.protocol();
      protocolFixed = true;
    }
    if (ip.protocol() != protocol) break;
    text = ip.toString();
  }
  return text;
}

bool GetLocalIPv4(char* out) {
  out[0] = '\0';
  QString text;
  for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
    if (!QualifiesForLocalAddress(nic)) continue;
    text = AddressOfInterface(nic);
    if (!text.isEmpty()) break;
  }
  const QByteArray local = text.toLocal8Bit();
  // One byte is kept for the terminator, which strncpy would leave out at 64.
  const size_t n = std::min<size_t>(static_cast<size_t>(local.size()), kLocalIPv4Size - 1);
  std::memcpy(out, local.constData(), n);
  out[n] = '\0';
  return false;
}
