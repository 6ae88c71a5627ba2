#include "FramePacket.h"

namespace FramePacket {

static uint32_t Low11(int value) { return static_cast<uint32_t>(value) & 0x7FFu; }

uint32_t PictureWord(bool key, int width, int height) {
  constexpr uint32_t kFixedBits = (32u << 23) | (1u << 29);
  return (key ? 1u : 0u) | (Low11(width) << 1) | (Low11(height) << 12) | kFixedBits;
}

uint32_t VideoRecordHead(int length) {
  return kVideoRecordType | ((static_cast<uint32_t>(length) & 0xFFFFFFu) << 8);
}

uint32_t CursorRecord(QPoint pos) {
  return kCursorRecordType | (Low11(pos.x()) << 8) | (Low11(pos.y()) << 19);
}

void PutU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void WriteHeader(uint8_t* at, int sn, short sharer, uint32_t pictureWord, uint32_t payloadLength) {
  PutU16(at, kMagic);
  PutU32(at + 2, static_cast<uint32_t>(sn));
  PutU32(at + 6, static_cast<uint32_t>(static_cast<int32_t>(sharer)));
  PutU32(at + 10, pictureWord);
  PutU32(at + 14, payloadLength);
}

}  // namespace FramePacket
