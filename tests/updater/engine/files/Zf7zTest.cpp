// The container reader against containers liblzma's encoder wrote.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ScopedTempDir.h"
#include "Zf7z.h"
#include "Zf7zWriter.h"
#include "RowName.h"

namespace {

struct RoundTripCase {
  const char* name;
  std::string data;
  bool endMarker;
};

const RoundTripCase kRoundTrips[] = {
    {"Empty", "", true},
    {"EmptyWithoutEndMarker", "", false},
    {"OneByte", "x", true},
    {"OneByteWithoutEndMarker", "x", false},
    {"Text", SampleText(200000), true},
    {"TextWithoutEndMarker", SampleText(200000), false},
    {"Random", RandomBytes(70000, 7), true},
    {"RandomWithoutEndMarker", RandomBytes(70000, 8), false},
    // Past the first output step, so the output grows while decoding.
    {"LargerThanOneStep", SampleText(3 << 20), false},
};

class Zf7zRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(Zf7zRoundTrip, DecodesWhatWasPacked) {
  std::string container;
  ASSERT_TRUE(MakeZf7z(GetParam().data, GetParam().endMarker, &container));
  std::string out = "stale";
  EXPECT_EQ(Zf7zDecompress(container, out), static_cast<int>(GetParam().data.size()));
  EXPECT_TRUE(out == GetParam().data) << "decoded bytes differ";
}

TEST_P(Zf7zRoundTrip, LzmaDecodeBufIntoExactBuffer) {
  std::string container;
  ASSERT_TRUE(MakeZf7z(GetParam().data, GetParam().endMarker, &container));
  std::string out(GetParam().data.size() + 1, '#');  // one guard byte
  size_t length = GetParam().data.size();
  EXPECT_TRUE(LzmaDecodeBuf(reinterpret_cast<const unsigned char*>(container.data()) + 12, container.size() - 12,
                            reinterpret_cast<unsigned char*>(&out[0]), &length));
  EXPECT_EQ(length, GetParam().data.size());
  EXPECT_TRUE(out.compare(0, length, GetParam().data) == 0);
  EXPECT_EQ(out.back(), '#');
}

INSTANTIATE_TEST_SUITE_P(Containers, Zf7zRoundTrip, ::testing::ValuesIn(kRoundTrips), RowName());

std::string SetSize(std::string container, uint32_t size) {
  memcpy(&container[8], &size, 4);
  return container;
}

std::string Packed(const std::string& data, bool endMarker = true) {
  std::string container;
  EXPECT_TRUE(MakeZf7z(data, endMarker, &container));
  return container;
}

struct BadCase {
  const char* name;
  std::string container;
  int result;
};

std::vector<BadCase> BadCases() {
  const std::string text = SampleText(50000);
  const std::string good = Packed(text);
  std::string corrupt = good;
  for (size_t i = 40; i < corrupt.size(); i += 97) corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
  std::string badProps = good;
  badProps[12] = static_cast<char>(225);  // lc/lp/pb beyond 9 * 5 * 5
  return {
      {"WrongMagic", "ZF7Y" + good.substr(4), -1},
      {"NothingAtAll", "", -1},
      {"ShorterThanMagic", "ZF7", -1},
      {"HeaderOnly", good.substr(0, 12), -2},
      {"NoStream", good.substr(0, 17), -2},
      {"Truncated", good.substr(0, good.size() / 2), -2},
      {"TruncatedByOneByte", good.substr(0, good.size() - 1), -2},
      {"Corrupt", corrupt, -2},
      {"InvalidProperties", badProps, -2},
      {"SizeOneShort", SetSize(Packed(text, false), static_cast<uint32_t>(text.size() - 1)), -2},
      {"SizeOneLonger", SetSize(Packed(text, false), static_cast<uint32_t>(text.size() + 1)), -2},
      {"SizeFarBeyondStream", SetSize(good, 0x7FFFFFF0u), -2},
      {"SizeAboveIntMax", SetSize(good, 0x80000000u), -2},
      {"SizeFourGiB", SetSize(good, 0xFFFFFFFFu), -2},
  };
}

class Zf7zBadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(Zf7zBadInput, RejectedWithEmptyOutput) {
  std::string out = "stale";
  EXPECT_EQ(Zf7zDecompress(GetParam().container, out), GetParam().result);
  EXPECT_TRUE(out.empty());
}

INSTANTIATE_TEST_SUITE_P(Containers, Zf7zBadInput, ::testing::ValuesIn(BadCases()), RowName());

TEST(Zf7zReservedWord, MayHoldAnything) {
  std::string container = Packed("abc");
  memset(&container[4], 0xFF, 4);
  std::string out;
  EXPECT_EQ(Zf7zDecompress(container, out), 3);
  EXPECT_EQ(out, "abc");
}

// The decoder stops at the size field, as the server's tools expect: bytes
// after the stream (padding, junk) are never read as data.
TEST(Zf7zTrailingBytes, IgnoredOnceTheSizeIsReached) {
  const std::string text = SampleText(5000);
  for (bool endMarker : {false, true}) {
    std::string out;
    EXPECT_EQ(Zf7zDecompress(Packed(text, endMarker) + std::string(64, '\xA5'), out), 5000) << endMarker;
    EXPECT_TRUE(out == text);
  }
}

TEST(Zf7zToFile, WritesAndReplacesTheTarget) {
  ScopedTempDir folder{"upd"};
  const std::filesystem::path target = folder.path() / "out.bin";
  std::ofstream(target) << "an older and longer content that must not survive";
  const std::string data = SampleText(12345);
  EXPECT_EQ(Zf7zDecompressToFile(Packed(data), target.wstring()), 12345);
  std::stringstream read;
  read << std::ifstream(target, std::ios::binary).rdbuf();
  EXPECT_TRUE(read.str() == data);
}

// The file is written a piece at a time: several pieces join up exactly.
TEST(Zf7zToFile, WritesAFileOfSeveralPieces) {
  ScopedTempDir folder{"upd"};
  const std::filesystem::path target = folder.path() / "big.bin";
  const std::string data = SampleText((3 << 20) + 777);
  EXPECT_EQ(Zf7zDecompressToFile(Packed(data), target.wstring()), static_cast<int>(data.size()));
  std::stringstream read;
  read << std::ifstream(target, std::ios::binary).rdbuf();
  EXPECT_TRUE(read.str() == data);
}

TEST(Zf7zToFile, ReportsEachFailure) {
  ScopedTempDir folder{"upd"};
  EXPECT_EQ(Zf7zDecompressToFile("ZF7Znothing", (folder.path() / "a").wstring()), -4);
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "a")) << "nothing is created for a bad container";
  EXPECT_EQ(Zf7zDecompressToFile(Packed("abc"), (folder.path() / "missing" / "a").wstring()), -7);
  // A stream cut short fails after pieces were written: none of them stays.
  const std::string packed = Packed(SampleText(3 << 20));
  EXPECT_EQ(Zf7zDecompressToFile(packed.substr(0, packed.size() / 2), (folder.path() / "cut").wstring()), -4);
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "cut")) << "a part of the decoded file was left";
}

}  // namespace
