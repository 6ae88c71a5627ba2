#include "BoxCmd.h"

#include <QJsonDocument>
#include <QVariantMap>

#include "FramePacket.h"
#include "JsonHelpers.h"

static QByteArray Compact(const QVariantMap& body) {
  return VariantToJson(body, QJsonDocument::Compact);
}

QByteArray BoxCmd::connectBody(const QString& version) {
  return Compact({{QStringLiteral("Platform"), 0},
                  {QStringLiteral("Version"), version},
                  {QStringLiteral("CanPass"), 1}});
}

QByteArray BoxCmd::sessionBody(int sessionId) {
  return Compact({{QStringLiteral("SessionID"), sessionId}});
}

QByteArray BoxCmd::checkCodeBody(const QString& code, int sessionId) {
  return Compact({{QStringLiteral("ConnCode"), code}, {QStringLiteral("SessionID"), sessionId}});
}

QByteArray BoxCmd::heartbeatBody(int sessionId, bool reconnect, int sn) {
  return Compact({{QStringLiteral("SessionID"), sessionId},
                  {QStringLiteral("Reconnect"), reconnect},
                  {QStringLiteral("SN"), sn}});
}

QByteArray BoxCmd::frameResponseBody(int sessionId, const QByteArray& packet) {
  const quint32 id = static_cast<quint32>(sessionId);
  QByteArray body;
  body.reserve(4 + packet.size());
  for (int shift = 0; shift < 32; shift += 8) body.append(static_cast<char>((id >> shift) & 0xFF));
  body.append(packet);
  return body;
}

int BoxCmd::number(const StrMap& body, const QString& key, int absentValue) {
  const auto it = body.constFind(key);
  if (it == body.constEnd()) return absentValue;
  bool ok = false;
  const int value = it->toInt(&ok);
  if (ok) return value;
  // JSON numbers with a fraction or an exponent come as such texts.
  const double real = it->toDouble(&ok);
  if (ok && real >= -2147483648.0 && real <= 2147483647.0) return static_cast<int>(real);
  return 0;
}

bool BoxCmd::packetSn(const QByteArray& packet, int* sn) {
  if (packet.size() < FramePacket::kSnOffset + 4) return false;
  const auto* bytes = reinterpret_cast<const uint8_t*>(packet.constData());
  *sn = static_cast<int>(FramePacket::GetU32(bytes + FramePacket::kSnOffset));
  return true;
}
