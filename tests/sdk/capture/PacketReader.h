// Reads a frame packet the way a box does, written apart from the SDK's writer
// so that the two check each other.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QByteArray>

struct ReadPacket {
  std::string error;  // empty when the packet is well formed
  uint16_t magic = 0;
  int32_t sn = 0;
  int32_t sharer = 0;
  uint32_t pictureWord = 0;
  uint32_t payloadLength = 0;
  bool key = false;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> video;
  bool hasCursor = false;
  int cursorX = 0;
  int cursorY = 0;
};

ReadPacket ReadFramePacket(const QByteArray& packet);
uint32_t LittleEndian32(const uint8_t* at);
