// The frame packet a box receives for each frame request: an 18-byte header,
// the H.264 video record and an optional cursor record, all little-endian.
#pragma once

#include <cstdint>

#include <QPoint>

namespace FramePacket {

constexpr int kHeaderSize = 18;
// Where each header field sits.
constexpr int kMagicOffset = 0;
constexpr int kSnOffset = 2;
constexpr int kSharerOffset = 6;
constexpr int kPictureWordOffset = 10;
constexpr int kPayloadLengthOffset = 14;
constexpr int kRecordHeadSize = 4;
constexpr int kCursorRecordSize = 4;
// Where the H.264 bytes start: behind the header and the video record head.
constexpr int kVideoDataOffset = kHeaderSize + kRecordHeadSize;
constexpr uint16_t kMagic = 0x0101;
constexpr uint8_t kVideoRecordType = 0x0A;
constexpr uint8_t kCursorRecordType = 0x00;
// The box's video record keeps its length in 24 bits.
constexpr int kMaxVideoBytes = 0xFFFFFF;

// Bit 0 the key flag, bits 1-11 the width, 12-22 the height (low 11 bits
// each), then the fixed bits 28 and 29 every box expects.
uint32_t PictureWord(bool key, int width, int height);
uint32_t VideoRecordHead(int length);
// Coordinates the 11 bits cannot hold are written as their low 11 bits.
uint32_t CursorRecord(QPoint pos);

void PutU16(uint8_t* at, uint16_t value);
void PutU32(uint8_t* at, uint32_t value);
uint32_t GetU32(const uint8_t* at);

// sharer is sign-extended to 32 bits.
void WriteHeader(uint8_t* at, int sn, short sharer, uint32_t pictureWord, uint32_t payloadLength);

}  // namespace FramePacket
