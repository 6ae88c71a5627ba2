#include "TransHeader.h"

#include <gtest/gtest.h>

#include <string>
#include "RowName.h"

static QByteArray Hex(const char* text) { return QByteArray::fromHex(text); }

struct EncodeCase {
  const char* name;
  int act;
  quint16 sn;
  bool response;
  int bodySize;
  QByteArray expectedHeader;
};

const EncodeCase kEncodeCases[] = {
    {"ConnectRequestWith45ByteBody", 2, 0x0001, false, 45, Hex("656E61562D000000" "0100" "0200")},
    {"FrameResponseToSn1234", 81, 0x1234, true, 0, Hex("656E615600000000" "3412" "5180")},
    {"SearchRequestEmpty", 1, 0xFFFF, false, 0, Hex("656E615600000000" "FFFF" "0100")},
    // Act numbers have 15 bits: the 16th is the response flag, never part of the act.
    {"ActMaskedTo15Bits", 0xFFFF, 7, false, 3, Hex("656E615603000000" "0700" "FF7F")},
    {"LengthAbove255", 84, 2, false, 300, Hex("656E61562C010000" "0200" "5400")},
};

class TransHeaderEncode : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(TransHeaderEncode, MatchesWireBytes) {
  const EncodeCase& c = GetParam();
  const QByteArray body(c.bodySize, 'x');
  const QByteArray framed = TransHeader::frame(c.act, c.sn, c.response, body);
  ASSERT_EQ(framed.size(), TransHeader::kSize + c.bodySize);
  EXPECT_EQ(framed.left(TransHeader::kSize).toHex().toStdString(), c.expectedHeader.toHex().toStdString());
  EXPECT_EQ(framed.mid(TransHeader::kSize), body);
}

TEST_P(TransHeaderEncode, ParsesBackToItsFields) {
  const EncodeCase& c = GetParam();
  const TransHeader h = TransHeader::parse(c.expectedHeader.constData());
  EXPECT_TRUE(h.valid());
  EXPECT_EQ(h.act(), c.act & 0x7FFF);
  EXPECT_EQ(h.sn, c.sn);
  EXPECT_EQ(h.response(), c.response);
  EXPECT_EQ(h.length, c.bodySize);
}

INSTANTIATE_TEST_SUITE_P(Wire, TransHeaderEncode, ::testing::ValuesIn(kEncodeCases), RowName());

struct ValidityCase {
  const char* name;
  QByteArray header;
  bool valid;
};

const ValidityCase kValidityCases[] = {
    {"ZeroLength", Hex("656E615600000000" "0100" "0100"), true},
    {"LengthAtBound", Hex("656E615600000100" "0100" "0100"), true},
    {"LengthOneAboveBound", Hex("656E615601000100" "0100" "0100"), false},
    // What the bound was before: no box sends a body of megabytes.
    {"SixteenMiB", Hex("656E615600000001" "0100" "0100"), false},
    {"LengthNegativeOne", Hex("656E6156FFFFFFFF" "0100" "0100"), false},
    {"LengthMostNegative", Hex("656E615600000080" "0100" "0100"), false},
    {"MagicBigEndian", Hex("56616E6500000000" "0100" "0100"), false},
    {"MagicZero", Hex("0000000000000000" "0000" "0000"), false},
};

class TransHeaderValidity : public ::testing::TestWithParam<ValidityCase> {};

TEST_P(TransHeaderValidity, Classifies) {
  const ValidityCase& c = GetParam();
  EXPECT_EQ(TransHeader::parse(c.header.constData()).valid(), c.valid);
}

INSTANTIATE_TEST_SUITE_P(Wire, TransHeaderValidity, ::testing::ValuesIn(kValidityCases), RowName());
