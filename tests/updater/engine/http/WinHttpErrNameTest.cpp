#include <gtest/gtest.h>

#include <string>

#include "RowName.h"
#include "WinHttpErrName.h"

namespace {

struct NameCase {
  const char* name;
  DWORD error;
  const char* expected;
};

const NameCase kNameCases[] = {
    {"Success", 0, "NO_ERR"},
    {"Timeout", 12002, "TIMEOUT"},
    {"Cancelled", 12017, "OPERATION_CANCELLED"},
    {"Resend", 12032, "RESEND_REQUEST"},
    {"BadResponse", 12152, "INVALID_SERVER_RESPONSE"},
    {"ChunkHeader", 12183, "CHUNKED_ENCODING_HEADER_SIZE_OVERFLOW"},
    {"FirstNamed", 12001, "OUT_OF_HANDLES"},
    {"LastNamed", 12186, "CLIENT_CERT_NO_ACCESS_PRIVATE_KEY"},
    {"GapInTheRange", 12003, "unknow"},
    {"Win32Error", 5, "unknow"},
    {"PastTheRange", 12187, "unknow"},
};

class WinHttpErrNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(WinHttpErrNameTest, Name) { EXPECT_STREQ(GetWinHttpErrName(GetParam().error), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Errors, WinHttpErrNameTest, ::testing::ValuesIn(kNameCases), RowName());

// Exactly the codes of the WinHTTP error list have names.
TEST(WinHttpErrNameSet, NamedCodes) {
  const DWORD named[] = {12001, 12002, 12004, 12005, 12006, 12007, 12009, 12011, 12012, 12015, 12017, 12018,
                         12019, 12029, 12030, 12032, 12037, 12038, 12044, 12045, 12057, 12100, 12101, 12102,
                         12103, 12150, 12152, 12153, 12154, 12155, 12156, 12157, 12166, 12167, 12169, 12170,
                         12172, 12175, 12178, 12179, 12180, 12181, 12182, 12183, 12184, 12185, 12186};
  size_t next = 0;
  for (DWORD code = 12000; code <= 12200; ++code) {
    const bool isNamed = next < sizeof named / sizeof named[0] && named[next] == code;
    if (isNamed) ++next;
    EXPECT_EQ(std::string(GetWinHttpErrName(code)) != "unknow", isNamed) << code;
  }
}

}  // namespace
