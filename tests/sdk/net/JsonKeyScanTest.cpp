#include "JsonKeyScan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "RowName.h"

namespace {

struct ScanCase {
  const char* name;
  QByteArray text;
  bool repeated;
  int keys;  // keys met up to the answer
};

std::vector<ScanCase> ScanCases() {
  return {
      {"EmptyObject", "{}", false, 0},
      {"DistinctKeys", R"({"a":1,"b":[1,2],"c":{"d":null}})", false, 4},
      {"RepeatedKey", R"({"a":1,"b":2,"a":3})", true, 3},
      {"RepeatedEmptyKey", R"({"":1,"":2})", true, 2},
      {"SameKeyInSeparateObjects", R"({"a":{"a":1},"b":{"a":2},"c":[{"a":1},{"a":2}]})", false, 7},
      {"RepeatInsideAnArray", R"({"x":[1,{"k":{},"k":[1]}]})", true, 3},
      {"RepeatAfterANestedObjectCloses", R"({"a":{"b":1},"a":2})", true, 3},
      {"EscapeSpellsTheSameKey", R"({"a":1,"\u0061":2})", true, 2},
      {"SurrogatePairAndRawUtf8", "{\"\\ud83d\\ude00\":1,\"\xF0\x9F\x98\x80\":2}", true, 2},
      {"EscapedQuoteInsideKey", R"({"a\"":1,"a":2})", false, 2},
      {"EscapedBackslashEndsKey", R"({"a\\":1,"a\\":2})", true, 2},
      {"ValuesThatLookLikeKeys", R"({"a":"a","b":"x,\"a\":1}","c":["a","a"]})", false, 3},
      {"CaseMatters", R"({"A":1,"a":2})", false, 2},
      {"ArrayOfStrings", R"(["a","a"])", false, 0},
      {"UnterminatedKey", R"({"a":1,"ab)", false, 2},
      {"BrokenEscapeAtTheEnd", R"({"a\u12)", false, 1},
      {"MoreClosersThanOpeners", R"(]]}}{"a":1,"a":2})", true, 2},
      {"NotJson", "Room 1", false, 0},
  };
}

class JsonKeyScanTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(JsonKeyScanTest, FindsRepeatedKeys) {
  const ScanCase& c = GetParam();
  int keys = -1;
  EXPECT_EQ(JsonRepeatsKey(c.text, &keys), c.repeated);
  EXPECT_EQ(keys, c.keys);
}

INSTANTIATE_TEST_SUITE_P(Json, JsonKeyScanTest, ::testing::ValuesIn(ScanCases()), RowName());

// A box's body can nest deeper than the parser accepts; the scan has to
// take it without recursion.
TEST(JsonKeyScan, DeepNestingIsScanned) {
  const int depth = 100000;
  QByteArray text = QByteArray(depth, '[') + R"({"k":1,"k":2})" + QByteArray(depth, ']');
  EXPECT_TRUE(JsonRepeatsKey(text));
  text = QByteArray(depth, '{').replace("{{", "{\"a\":{");
  EXPECT_FALSE(JsonRepeatsKey(text));
}

}  // namespace
