#include "PacketReader.h"

uint32_t LittleEndian32(const uint8_t* at) {
  return uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) | (uint32_t{at[3]} << 24);
}

ReadPacket ReadFramePacket(const QByteArray& packet) {
  ReadPacket r;
  const auto* p = reinterpret_cast<const uint8_t*>(packet.constData());
  const size_t size = static_cast<size_t>(packet.size());
  if (size < 22) {
    r.error = "shorter than header and video record head: " + std::to_string(size);
    return r;
  }
  r.magic = static_cast<uint16_t>(p[0] | (p[1] << 8));
  r.sn = static_cast<int32_t>(LittleEndian32(p + 2));
  r.sharer = static_cast<int32_t>(LittleEndian32(p + 6));
  r.pictureWord = LittleEndian32(p + 10);
  r.payloadLength = LittleEndian32(p + 14);
  r.key = (r.pictureWord & 1u) != 0;
  r.width = static_cast<int>((r.pictureWord >> 1) & 0x7FFu);
  r.height = static_cast<int>((r.pictureWord >> 12) & 0x7FFu);
  if (r.payloadLength != size - 18) {
    r.error = "payload length " + std::to_string(r.payloadLength) + " but " +
              std::to_string(size - 18) + " bytes follow the header";
    return r;
  }
  const uint32_t head = LittleEndian32(p + 18);
  if ((head & 0xFFu) != 0x0Au) {
    r.error = "first record type " + std::to_string(head & 0xFFu);
    return r;
  }
  const size_t n = head >> 8;
  const size_t rest = size - 22;
  if (n != rest && n + 4 != rest) {
    r.error = "video record of " + std::to_string(n) + " bytes, " + std::to_string(rest) + " follow";
    return r;
  }
  r.video.assign(p + 22, p + 22 + n);
  if (n + 4 == rest) {
    const uint32_t cursor = LittleEndian32(p + 22 + n);
    if ((cursor & 0xFFu) != 0 || (cursor >> 30) != 0) {
      r.error = "bad cursor record";
      return r;
    }
    r.hasCursor = true;
    r.cursorX = static_cast<int>((cursor >> 8) & 0x7FFu);
    r.cursorY = static_cast<int>((cursor >> 19) & 0x7FFu);
  }
  return r;
}
