// The JSON bodies of the box protocol's requests, and the readers of the
// box's answers, whose values all arrive as texts.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

class BoxCmd {
 public:
  using StrMap = QMap<QString, QString>;

  // Act 2: the platform number and the pass flag are what every box expects
  // from this kind of PC.
  static QByteArray connectBody(const QString& version);
  // Acts 3, 5, 6 and 7.
  static QByteArray sessionBody(int sessionId);
  // Act 4.
  static QByteArray checkCodeBody(const QString& code, int sessionId);
  // Act 8.
  static QByteArray heartbeatBody(int sessionId, bool reconnect, int sn);
  // Act 81's response: the session id (32 bits, little-endian), then the packet.
  static QByteArray frameResponseBody(int sessionId, const QByteArray& packet);

  // The number of a key: absentValue when the key is missing, 0 when its text
  // is no integer.
  static int number(const StrMap& body, const QString& key, int absentValue = 0);
  // The sequence number a frame packet carries at offset 2; false when the
  // packet is too short to hold one.
  static bool packetSn(const QByteArray& packet, int* sn);
};
