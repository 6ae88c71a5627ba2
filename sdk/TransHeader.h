// The 12-byte header that starts every message between the PC and a box, on
// the command connection and in the discovery datagrams. Little-endian:
// magic (4), body length (4, signed), SN (2), act (2; bit 15 marks a response).
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QtGlobal>

// Fixed underlying type: the act field of a peer's header may hold any 15-bit
// number, and every one of them has to be a valid value of this type.
enum CORVANESVR_ACT_DEF : int {
  CVACT_SEARCH = 1,
  CVACT_CONNECT = 2,
  CVACT_CANCEL_CONNECT = 3,
  CVACT_CHECK_CODE = 4,
  CVACT_DISCONNECT = 5,
  CVACT_START_SHARE = 6,
  CVACT_STOP_SHARE = 7,
  CVACT_HEARTBEAT = 8,
  CVACT_BOX_DISCONNECT = 80,
  CVACT_FRAME_REQUEST = 81,
  CVACT_SHARE_PAUSE = 82,
  CVACT_SHARE_STOPPED = 83,
  CVACT_ENC_PARAM = 84,
};
Q_DECLARE_METATYPE(CORVANESVR_ACT_DEF)

struct TransHeader {
  static constexpr quint32 kMagic = 0x56616E65;
  static constexpr int kSize = 12;
  // Bodies from a box are JSON texts of a few hundred bytes; a longer length
  // is a broken or hostile peer, never a message worth buffering or parsing
  // (a body of megabytes costs the JSON parser hundreds of them).
  static constexpr qint32 kMaxBody = 64 * 1024;
  // A longer body up to this length is read past as it streams in, never
  // kept: one odd message of a box is no reason to end the session. Beyond
  // it the length is no body a box would write, but a broken stream.
  static constexpr qint32 kMaxSkippedBody = 64 * 1024 * 1024;
  static constexpr quint16 kResponseBit = 0x8000;
  static constexpr quint16 kActMask = 0x7FFF;

  quint32 magic = 0;
  qint32 length = 0;
  quint16 sn = 0;
  quint16 actField = 0;

  int act() const { return actField & kActMask; }
  bool response() const { return (actField & kResponseBit) != 0; }
  // A wrong magic, a negative length or one above kMaxBody.
  bool valid() const { return magic == kMagic && length >= 0 && length <= kMaxBody; }
  // A right magic with a body above kMaxBody that is still to be read past.
  bool oversized() const { return magic == kMagic && length > kMaxBody && length <= kMaxSkippedBody; }

  // data holds at least kSize bytes.
  static TransHeader parse(const char* data);
  static TransHeader make(int act, quint16 sn, bool response, qint32 length);
  QByteArray bytes() const;
  // Header and body in one buffer, ready for one write.
  static QByteArray frame(int act, quint16 sn, bool response, const QByteArray& body);
};
