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

uint32_t GetU32(const uint8_t* at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

void WriteHeader(uint8_t* at, int sn, short sharer, uint32_t pictureWord, uint32_t payloadLength) {
  PutU16(at + kMagicOffset, kMagic);
  PutU32(at + kSnOffset, static_cast<uint32_t>(sn));
  PutU32(at + kSharerOffset, static_cast<uint32_t>(static_cast<int32_t>(sharer)));
  PutU32(at + kPictureWordOffset, pictureWord);
  PutU32(at + kPayloadLengthOffset, payloadLength);
}

}  // namespace FramePacket
