#include "TransHeader.h"

#include <QtEndian>

TransHeader TransHeader::parse(const char* data) {
  TransHeader h;
  h.magic = qFromLittleEndian<quint32>(data);
  h.length = qFromLittleEndian<qint32>(data + 4);
  h.sn = qFromLittleEndian<quint16>(data + 8);
  h.actField = qFromLittleEndian<quint16>(data + 10);
  return h;
}

TransHeader TransHeader::make(int act, quint16 sn, bool response, qint32 length) {
  TransHeader h;
  h.magic = kMagic;
  h.length = length;
  h.sn = sn;
  h.actField = static_cast<quint16>((response ? kResponseBit : 0) | (act & kActMask));
  return h;
}

QByteArray TransHeader::bytes() const {
  QByteArray out(kSize, '\0');
  char* p = out.data();
  qToLittleEndian<quint32>(magic, p);
  qToLittleEndian<qint32>(length, p + 4);
  qToLittleEndian<quint16>(sn, p + 8);
  qToLittleEndian<quint16>(actField, p + 10);
  return out;
}

QByteArray TransHeader::frame(int act, quint16 sn, bool response, const QByteArray& body) {
  QByteArray out = make(act, sn, response, body.size()).bytes();
  out.append(body);
  return out;
}
