#include "JsonHelpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <QVariantList>
#include <QVariantMap>
#include "RowName.h"

namespace {

struct ToJsonCase {
  const char* name;
  QVariant value;
  QByteArray expected;
};

std::vector<ToJsonCase> ToJsonCases() {
  return {
      {"KeysAscendNumbersUnquoted", QVariantMap{{"SessionID", 12}, {"Reconnect", false}},
       R"({"Reconnect":false,"SessionID":12})"},
      {"ConnectBody", QVariantMap{{"Platform", 0}, {"Version", "1.2.3.4"}, {"CanPass", 1}},
       R"({"CanPass":1,"Platform":0,"Version":"1.2.3.4"})"},
      {"TextStaysText", QVariantMap{{"ConnCode", "0042"}}, R"({"ConnCode":"0042"})"},
      {"NonAsciiAsUtf8", QVariantMap{{"DispName", QString::fromUtf8("Raum Süd")}}, "{\"DispName\":\"Raum S\xC3\xBC" "d\"}"},
      {"EmptyMap", QVariantMap{}, "{}"},
      {"List", QVariantList{1, "a"}, R"([1,"a"])"},
      {"PlainNumberGivesNothing", QVariant(5), ""},
      {"PlainTextGivesNothing", QVariant(QStringLiteral("x")), ""},
      {"InvalidGivesNothing", QVariant(), ""},
  };
}

class VariantToJsonTest : public ::testing::TestWithParam<ToJsonCase> {};

TEST_P(VariantToJsonTest, WritesCompactText) {
  EXPECT_EQ(VariantToJson(GetParam().value, 1).toStdString(), GetParam().expected.toStdString());
}

INSTANTIATE_TEST_SUITE_P(Json, VariantToJsonTest, ::testing::ValuesIn(ToJsonCases()), RowName());

struct StrMapCase {
  const char* name;
  QByteArray text;
  QMap<QString, QString> expected;
};

std::vector<StrMapCase> StrMapCases() {
  using Map = QMap<QString, QString>;
  return {
      {"NumberZeroIsText", R"({"RspCode":0})", Map{{"RspCode", "0"}}},
      {"Booleans", R"({"a":true,"b":false})", Map{{"a", "true"}, {"b", "false"}}},
      {"NegativeAndFraction", R"({"n":-1,"f":1.5})", Map{{"n", "-1"}, {"f", "1.5"}}},
      {"BeyondInt32", R"({"big":4294967296})", Map{{"big", "4294967296"}}},
      {"NestedContainersAreEmpty", R"({"o":{"x":1},"l":[1,2],"s":"v"})", Map{{"o", ""}, {"l", ""}, {"s", "v"}}},
      {"NullIsEmpty", R"({"z":null})", Map{{"z", ""}}},
      {"NonAsciiUnchanged", "{\"DispName\":\"\xE4\xBC\x9A\xE8\xAE\xAE\xE5\xAE\xA4\"}",
       Map{{"DispName", QString::fromUtf8("\xE4\xBC\x9A\xE8\xAE\xAE\xE5\xAE\xA4")}}},
      {"EmptyBody", "", Map{}},
      {"ArrayBody", "[1,2,3]", Map{}},
      {"NotJson", "DispName=Room", Map{}},
      {"TruncatedObject", R"({"BoxID":"A)", Map{}},
      {"TrailingGarbage", R"({"BoxID":"A"}xyz)", Map{}},
      {"EmbeddedNul", QByteArray("{\"a\":1}\0{\"b\":2}", 15), Map{}},
  };
}

class JsonToStrMapTest : public ::testing::TestWithParam<StrMapCase> {};

TEST_P(JsonToStrMapTest, ReadsEveryValueAsText) {
  const QMap<QString, QString> got = JsonToStrMap(GetParam().text);
  EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Json, JsonToStrMapTest, ::testing::ValuesIn(StrMapCases()), RowName());

TEST(JsonToStrMap, MissingKeyReadsAsEmptyTextAndZero) {
  const QMap<QString, QString> map = JsonToStrMap(R"({"SessionID":5})");
  EXPECT_EQ(map.value("RspCode"), QString());
  EXPECT_EQ(map.value("RspCode").toInt(), 0);
  EXPECT_EQ(map.value("SessionID").toInt(), 5);
}

TEST(JsonToVariant, InvalidTextGivesInvalidVariant) {
  EXPECT_FALSE(JsonToVariant("{").isValid());
  EXPECT_TRUE(JsonToVariant("{}").isValid());
}

TEST(GetLocalIPv4, AlwaysTerminatedWithinTheBuffer) {
  // Poisoned so that a missing terminator shows up as a long text.
  char out[kLocalIPv4Size + 8];
  std::memset(out, 'Z', sizeof(out));
  EXPECT_FALSE(GetLocalIPv4(out));
  const void* nul = std::memchr(out, '\0', kLocalIPv4Size);
  ASSERT_NE(nul, nullptr);
  EXPECT_EQ(out[kLocalIPv4Size], 'Z') << "wrote past the 64 bytes it may use";
}

}  // namespace
