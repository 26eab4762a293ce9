// The layer's text, time and list-value conversions.
#include <gtest/gtest.h>

#include <cmath>

#include "cef_string.h"
#include "cef_time.h"
#include "cef_values.h"
#include "protocol_values.h"

namespace {

TEST(StringConversion, RoundTripsEveryPlaneAndRepairsMalformedInput) {
  const std::string text = "a\xC3\xA9\xE4\xB8\x96\xF0\x9F\x98\x80";  // a é 世 😀
  const std::u16string wide = cef_string_utf8_to_utf16(text);
  EXPECT_EQ(wide, (std::u16string{u'a', 0xE9, 0x4E16, 0xD83D, 0xDE00}));
  EXPECT_EQ(cef_string_utf16_to_utf8(wide), text);
  // The engine's own form of a supplementary character: two 3-byte halves.
  EXPECT_EQ(cef_string_utf8_to_utf16("\xED\xA0\xBD\xED\xB8\x80"), (std::u16string{0xD83D, 0xDE00}));
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(cef_string_utf16_to_utf8(std::u16string{u'x', 0xD800}), "x" + replacement);
  EXPECT_EQ(cef_string_utf16_to_utf8(std::u16string{0xDC00, u'y'}), replacement + "y");
  EXPECT_EQ(cef_string_utf8_to_utf16("\xC0\xAF"), std::u16string(1, 0xFFFD));  // overlong
  EXPECT_EQ(cef_string_utf8_to_utf16("\xE4\xB8"), std::u16string(1, 0xFFFD));  // cut short
  EXPECT_EQ(cef_string_utf8_to_utf16("\xFF"
                                     "a"),
            (std::u16string{0xFFFD, u'a'}));                                           // not a lead byte
  EXPECT_EQ(cef_string_utf8_to_utf16("\xF4\x90\x80\x80"), std::u16string(1, 0xFFFD));  // past U+10FFFF
}

TEST(TimeConversion, DropsTheFractionTowardsTheEarlierSecond) {
  CefTime t;
  ASSERT_TRUE(cef_time_from_doublet(1.5, &t));
  EXPECT_EQ(t.millisecond, 500);
  time_t seconds = 0;
  ASSERT_TRUE(cef_time_to_timet(&t, &seconds));
  EXPECT_EQ(seconds, 1);
  ASSERT_TRUE(cef_time_from_doublet(-1.5, &t));
  ASSERT_TRUE(cef_time_to_timet(&t, &seconds));
  EXPECT_EQ(seconds, -2);
  EXPECT_EQ(t.year, 1969);
  ASSERT_TRUE(cef_time_from_doublet(951782400.0, &t));  // 2000-02-29, a leap day
  EXPECT_EQ(t.year, 2000);
  EXPECT_EQ(t.month, 2);
  EXPECT_EQ(t.day_of_month, 29);
  EXPECT_EQ(t.day_of_week, 2);
  double back = 0;
  ASSERT_TRUE(cef_time_to_doublet(&t, &back));
  EXPECT_EQ(back, 951782400.0);
  EXPECT_FALSE(cef_time_from_doublet(NAN, &t));
  EXPECT_FALSE(cef_time_from_doublet(1e300, &t));
  CefTime bad;
  bad.month = 13;
  EXPECT_FALSE(cef_time_to_timet(&bad, &seconds));
}

TEST(ListValues, GrowWithNullsAndReportTypes) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  EXPECT_EQ(list->GetType(0), VTYPE_INVALID);
  list->SetInt(2, 7);
  EXPECT_EQ(list->GetSize(), 3u);
  EXPECT_EQ(list->GetType(0), VTYPE_NULL);
  EXPECT_EQ(list->GetType(2), VTYPE_INT);
  EXPECT_EQ(list->GetString(2).ToString(), "");  // wrong type reads as empty
  EXPECT_FALSE(list->SetList(0, list));          // never inside itself
  EXPECT_FALSE(list->SetSize(size_t{1} << 40));
  EXPECT_EQ(list->GetSize(), 3u);
}

TEST(ProtocolValues, RoundTripEveryTypeAndKeepIntApartFromDouble) {
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  const std::string text =
      R"([{"null":null},{"bool":true},{"int":-5},{"double":3.0},{"double":"NaN"},{"double":"-Infinity"},)"
      R"({"string":"é"},{"binary":"00ff10"},{"dict":{"a":{"int":1}}},{"list":[{"list":[]}]},{"invalid":null}])";
  Json::Value json;
  std::string errors;
  ASSERT_TRUE(reader->parse(text.data(), text.data() + text.size(), &json, &errors));
  auto list = ListFromJson(json, errors);
  ASSERT_TRUE(list) << errors;
  EXPECT_EQ((*list)->GetType(2), VTYPE_INT);
  EXPECT_EQ((*list)->GetType(3), VTYPE_DOUBLE);
  EXPECT_TRUE(std::isnan((*list)->GetDouble(4)));
  EXPECT_EQ((*list)->GetBinary(7)->GetSize(), 3u);
  EXPECT_EQ((*list)->GetType(10), VTYPE_INVALID);
  const Json::Value back = ListToJson(*list);
  EXPECT_EQ(back, json);
  // The direct text writer says the same as the general one.
  std::string direct;
  AppendListJson(*list, direct);
  Json::Value reread;
  ASSERT_TRUE(reader->parse(direct.data(), direct.data() + direct.size(), &reread, &errors)) << direct;
  EXPECT_EQ(reread, json) << direct;
}

TEST(ProtocolValues, RefuseMalformedOrTooDeepInput) {
  const auto refuse = [](const Json::Value& json) {
    std::string error;
    EXPECT_FALSE(ListFromJson(json, error)) << json.toStyledString();
    EXPECT_FALSE(error.empty());
  };
  Json::Value notArray(Json::objectValue);
  refuse(notArray);
  Json::Value twoMembers(Json::arrayValue);
  twoMembers[0]["int"] = 1;
  twoMembers[0]["bool"] = true;
  refuse(twoMembers);
  Json::Value badInt(Json::arrayValue);
  badInt[0]["int"] = 4294967296.0;
  refuse(badInt);
  Json::Value badHex(Json::arrayValue);
  badHex[0]["binary"] = "0g";
  refuse(badHex);
  Json::Value deep(Json::arrayValue);
  for (int i = 0; i < kMaxValueDepth + 2; ++i) {
    Json::Value outer(Json::arrayValue);
    outer[0]["list"] = deep;
    deep = outer;
  }
  refuse(deep);
}

}  // namespace
