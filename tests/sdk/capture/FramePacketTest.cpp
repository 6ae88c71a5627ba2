#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BoxCmd.h"
#include "FramePacket.h"
#include "RowName.h"

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char byte[4];
  for (uint8_t b : bytes) {
    std::snprintf(byte, sizeof(byte), "%02x ", b);
    text += byte;
  }
  return text;
}

struct WordCase {
  const char* name;
  bool key;
  int width;
  int height;
  uint32_t word;
};

// Failure messages name the row instead of dumping its bytes.
void PrintTo(const WordCase& c, std::ostream* os) { *os << c.name; }

// 0x30438F01 is the box's own example of a 1920x1080 key frame.
const WordCase kWordCases[] = {
    {"Key1920x1080", true, 1920, 1080, 0x30438F01u},
    {"NonKey1280x720", false, 1280, 720, 0x302D0A00u},
    {"Key1376x768", true, 1376, 768, 0x30300AC1u},
    {"WidthPast11BitsKeepsLowBits", false, 2048 + 16, 8, 0x30008020u},
    {"ZeroSize", false, 0, 0, 0x30000000u},
};

class PictureWordTest : public ::testing::TestWithParam<WordCase> {};

TEST_P(PictureWordTest, MatchesBoxLayout) {
  const WordCase& c = GetParam();
  EXPECT_EQ(FramePacket::PictureWord(c.key, c.width, c.height), c.word)
      << std::hex << FramePacket::PictureWord(c.key, c.width, c.height);
}

INSTANTIATE_TEST_SUITE_P(Packet, PictureWordTest, ::testing::ValuesIn(kWordCases), RowName());

struct CursorCase {
  const char* name;
  int x;
  int y;
  uint32_t word;
};

void PrintTo(const CursorCase& c, std::ostream* os) { *os << c.name; }

const CursorCase kCursorCases[] = {
    {"Origin", 0, 0, 0x00000000u},
    {"Inside", 600, 300, (600u << 8) | (300u << 19)},
    {"LargestThatFits", 2047, 2047, 0x3FFFFF00u},
    {"XOf2048WrapsToZero", 2048, 5, 5u << 19},
    {"NegativeKeepsLowBitsOnly", -1, -1, 0x3FFFFF00u},
    {"NegativeYDoesNotReachTopBits", 3, -2, (3u << 8) | (0x7FEu << 19)},
};

class CursorRecordTest : public ::testing::TestWithParam<CursorCase> {};

TEST_P(CursorRecordTest, ElevenBitsEachAndTypeZero) {
  const CursorCase& c = GetParam();
  EXPECT_EQ(FramePacket::CursorRecord(QPoint(c.x, c.y)), c.word);
}

INSTANTIATE_TEST_SUITE_P(Packet, CursorRecordTest, ::testing::ValuesIn(kCursorCases), RowName());

TEST(FramePacketTest, VideoRecordHeadCarriesTypeAndLength) {
  EXPECT_EQ(FramePacket::VideoRecordHead(0), 0x0000000Au);
  EXPECT_EQ(FramePacket::VideoRecordHead(0x123456), 0x1234560Au);
  EXPECT_EQ(FramePacket::VideoRecordHead(FramePacket::kMaxVideoBytes), 0xFFFFFF0Au);
}

struct HeaderCase {
  const char* name;
  int sn;
  short sharer;
  uint32_t word;
  uint32_t payload;
  std::vector<uint8_t> bytes;
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

const HeaderCase kHeaderCases[] = {
    {"Key1920x1080",
     7,
     3,
     0x30438F01u,
     0x1234,
     {0x01, 0x01, 0x07, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x8F, 0x43, 0x30, 0x34,
      0x12, 0x00, 0x00}},
    // A negative sharer is sign-extended; a negative sn is written as is.
    {"NegativeSharerAndSn",
     -2,
     -1,
     0x302D0A00u,
     4,
     {0x01, 0x01, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x0A, 0x2D, 0x30, 0x04,
      0x00, 0x00, 0x00}},
    {"LargeSnAndSharer",
     0x7FFFFFFF,
     0x7FFF,
     0x30000000u,
     0,
     {0x01, 0x01, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x00,
      0x00, 0x00, 0x00}},
};

class FrameHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(FrameHeaderTest, ByteExact) {
  const HeaderCase& c = GetParam();
  // Poisoned beyond the header: a writer that runs past 18 bytes shows.
  std::vector<uint8_t> out(24, 0xEE);
  FramePacket::WriteHeader(out.data(), c.sn, c.sharer, c.word, c.payload);
  std::vector<uint8_t> expected = c.bytes;
  expected.resize(24, 0xEE);
  EXPECT_EQ(out, expected) << "got      " << Hex(out) << "\nexpected " << Hex(expected);
  // The protocol thread logs and matches a packet by the sn it carries.
  int sn = c.sn ^ 1;
  ASSERT_TRUE(BoxCmd::packetSn(QByteArray(reinterpret_cast<const char*>(out.data()), 18), &sn));
  EXPECT_EQ(sn, c.sn);
  EXPECT_FALSE(BoxCmd::packetSn(QByteArray(5, '\x01'), &sn));
}

INSTANTIATE_TEST_SUITE_P(Packet, FrameHeaderTest, ::testing::ValuesIn(kHeaderCases), RowName());

}  // namespace
