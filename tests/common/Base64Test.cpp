#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <string>

#include "Base64.h"
#include "QtPrinters.h"
#include "RowName.h"

static std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
    text += ' ';
  }
  return text;
}

struct Base64Case {
  const char* name;
  std::string input;
  std::string encoded;
};

static void PrintTo(const Base64Case& c, std::ostream* os) { *os << c.name; }

// RFC 4648 section 10, then bytes that reach both ends of the alphabet.
const Base64Case kBase64Cases[] = {
    {"Empty", "", ""},
    {"f", "f", "Zg=="},
    {"fo", "fo", "Zm8="},
    {"foo", "foo", "Zm9v"},
    {"foob", "foob", "Zm9vYg=="},
    {"fooba", "fooba", "Zm9vYmE="},
    {"foobar", "foobar", "Zm9vYmFy"},
    {"HighBytes", std::string("\xfb\xff\xbf", 3), "+/+/"},
    {"ZeroBytes", std::string("\0\0\0\0", 4), "AAAAAA=="},
    {"AllSixBitValues", std::string("\x00\x10\x83\x10\x51\x87\x20\x92\x8b\x30\xd3\x8f\x41\x14\x93\x51\x55\x97"
                                    "\x61\x96\x9b\x71\xd7\x9f\x82\x18\xa3\x92\x59\xa7\xa2\x9a\xab\xb2\xdb\xaf"
                                    "\xc3\x1c\xb3\xd3\x5d\xb7\xe3\x9e\xbb\xf3\xdf\xbf",
                                    48),
     "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"},
};

class Base64EncodeTest : public ::testing::TestWithParam<Base64Case> {};

TEST_P(Base64EncodeTest, ExactCapacity) {
  const Base64Case& c = GetParam();
  const int needed = static_cast<int>(c.encoded.size());
  // One guard byte past the capacity shows a write beyond it.
  std::string out(needed + 1, '#');
  const int written = Base64Encode(reinterpret_cast<const unsigned char*>(c.input.data()),
                                   static_cast<int>(c.input.size()), &out[0], needed);
  EXPECT_EQ(written, needed);
  EXPECT_EQ(out.substr(0, needed), c.encoded) << Hex(c.input);
  EXPECT_EQ(out[needed], '#');
}

TEST_P(Base64EncodeTest, CapacityOneShortFails) {
  const Base64Case& c = GetParam();
  if (c.encoded.empty()) return;  // no capacity below zero
  const int capacity = static_cast<int>(c.encoded.size()) - 1;
  std::string out(c.encoded.size(), '#');
  EXPECT_EQ(Base64Encode(reinterpret_cast<const unsigned char*>(c.input.data()), static_cast<int>(c.input.size()),
                         &out[0], capacity),
            -1);
  EXPECT_EQ(out, std::string(c.encoded.size(), '#')) << "wrote despite failing";
}

TEST_P(Base64EncodeTest, ByteArrayWrapper) {
  const Base64Case& c = GetParam();
  QByteArray out("stale contents");
  EXPECT_TRUE(Base64Encode(QByteArray(c.input.data(), static_cast<int>(c.input.size())), out));
  EXPECT_EQ(out.toStdString(), c.encoded);
}

INSTANTIATE_TEST_SUITE_P(Rfc4648, Base64EncodeTest, ::testing::ValuesIn(kBase64Cases), RowName());

TEST(Base64Encode, RejectsInvalidArguments) {
  char out[8] = {};
  const unsigned char in[] = {'a', 'b', 'c'};
  EXPECT_EQ(Base64Encode(in, -1, out, sizeof out), -1);
  EXPECT_EQ(Base64Encode(nullptr, 3, out, sizeof out), -1);
  EXPECT_EQ(Base64Encode(in, 3, nullptr, 4), -1);
  // The size of an input near INT_MAX does not fit an int: no overflowed check.
  EXPECT_EQ(Base64Encode(in, 0x7fffffff, out, 0x7fffffff), -1);
  EXPECT_EQ(Base64Encode(in, 0, nullptr, 0), 0);
}

TEST(Base64EncodeText, EncodesUtf8) {
  const struct {
    const char* text;
    const char* encoded;
  } cases[] = {
      {"", ""},
      {"-SPVER=1.0.0.1\n", "LVNQVkVSPTEuMC4wLjEK"},
      {"\xc3\xbc", "w7w="},                   // U+00FC as UTF-8, not Latin-1's "/A=="
      {"\xe2\x82\xac\xf0\x9f\x98\x80", "4oKs8J+YgA=="},
  };
  for (const auto& c : cases) {
    QString out = QStringLiteral("stale");
    EXPECT_TRUE(Base64EncodeText(QString::fromUtf8(c.text), out)) << c.text;
    EXPECT_EQ(out.toStdString(), c.encoded) << c.text;
  }
}
