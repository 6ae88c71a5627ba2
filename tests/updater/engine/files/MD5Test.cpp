// The check value: our MD5 against RFC 1321's suite and against md5sum.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

#include <platform/Strings.h>

#include "ChildProcess.h"
#include "MD5.h"
#include "ScopedTempDir.h"
#include "Zf7zWriter.h"
#include "RowName.h"

namespace {

std::string Hex(const unsigned char digest[16]) {
  char text[33];
  for (int i = 0; i < 16; ++i) snprintf(text + 2 * i, 3, "%02x", digest[i]);
  return text;
}

struct SuiteCase {
  const char* name;
  const char* input;
  const char* digest;
};

// RFC 1321, appendix A.5.
const SuiteCase kSuite[] = {
    {"Empty", "", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"MessageDigest", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"Alphabet", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"AlphaNumeric", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"Digits", "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

class Md5Suite : public ::testing::TestWithParam<SuiteCase> {};

TEST_P(Md5Suite, WholeInput) {
  CMD5 md5;
  md5.Update(GetParam().input, strlen(GetParam().input));
  unsigned char digest[16];
  EXPECT_FALSE(md5.GetDigest(digest)) << "no digest before finishing";
  md5.Finish();
  ASSERT_TRUE(md5.GetDigest(digest));
  EXPECT_EQ(Hex(digest), GetParam().digest);
}

TEST_P(Md5Suite, OneByteAtATime) {
  CMD5 md5;
  for (const char* p = GetParam().input; *p; ++p) md5.Update(p, 1);
  md5.Finish();
  unsigned char digest[16];
  ASSERT_TRUE(md5.GetDigest(digest));
  EXPECT_EQ(Hex(digest), GetParam().digest);
}

TEST_P(Md5Suite, FileGivesUpperCase) {
  ScopedTempDir folder{"upd"};
  const auto path = folder.path() / "f";
  std::ofstream(path, std::ios::binary) << GetParam().input;
  std::wstring value = L"stale";
  ASSERT_TRUE(GetFileMD5(path.wstring(), value));
  std::string expected = GetParam().digest;
  std::transform(expected.begin(), expected.end(), expected.begin(), ::toupper);
  EXPECT_EQ(WideToUtf8(value), expected);
}

INSTANTIATE_TEST_SUITE_P(Rfc1321, Md5Suite, ::testing::ValuesIn(kSuite), RowName());

std::string Md5sum(const std::string& path) {
  const std::string output = path + ".md5sum";
  if (RunWithDeadline({FindInPath("md5sum"), path}, 60, output).exitCode() != 0) return "";
  const std::string line = ReadWholeFile(output);
  std::string value = line.size() >= 32 ? line.substr(0, 32) : "";
  std::transform(value.begin(), value.end(), value.begin(), ::toupper);
  return value;
}

// Sizes around the 64-byte block, its 56-byte padding limit, and the
// 1024-byte reads.
class Md5FileSizes : public ::testing::TestWithParam<size_t> {};

TEST_P(Md5FileSizes, AgreesWithMd5sum) {
  ScopedTempDir folder{"upd"};
  const auto path = folder.path() / "data";
  std::ofstream(path, std::ios::binary) << RandomBytes(GetParam(), static_cast<uint32_t>(GetParam()));
  std::wstring value;
  ASSERT_TRUE(GetFileMD5(path.wstring(), value));
  EXPECT_EQ(WideToUtf8(value), Md5sum(path.string()));
}

INSTANTIATE_TEST_SUITE_P(AroundBoundaries, Md5FileSizes,
                         ::testing::Values(55, 56, 57, 63, 64, 65, 119, 120, 1023, 1024, 1025, 2048, 100003));

TEST(Md5File, MissingFileFails) {
  std::wstring value = L"kept";
  EXPECT_FALSE(GetFileMD5(L"/nonexistent/corvane/file", value));
  EXPECT_EQ(value, L"kept");
}

}  // namespace
