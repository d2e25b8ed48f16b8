// The printed record: its members, their escaping, the number form of the
// confidence, the timestamp, and the way back from JSON.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "result/capture_result.h"
#include "result/timestamp.h"

namespace kestrova {
namespace {

using Key = CaptureResult::CodingKeys;

TEST(CaptureResultJson, IsPrettyPrintedWithMembersInFieldOrder) {
  const auto json = encodeJson({"line one\nline two", "Terminal", "2026-12-06T20:34:54Z", 0.5});
  ASSERT_TRUE(json.has_value());
  EXPECT_EQ(*json,
            "{\n"
            "  \"text\": \"line one\\nline two\",\n"
            "  \"appName\": \"Terminal\",\n"
            "  \"timestamp\": \"2026-12-06T20:34:54Z\",\n"
            "  \"confidence\": 0.5\n"
            "}");
}

TEST(CaptureResultJson, EscapesWhatJsonRequiresAndKeepsTheRest) {
  const std::vector<std::pair<std::string, std::string>> rows{
      {"say \"hi\"", R"("say \"hi\"")"},
      {"C:\\path", R"("C:\\path")"},
      {"tab\there", R"("tab\there")"},
      {std::string("nul\0x", 5), R"("nul\u0000x")"},
      {"\x1F", R"("\u001f")"},
      {"a/b", R"("a/b")"},
      {"caf\xC3\xA9 \xE6\xB0\xB4 \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xE6\xB0\xB4 \xF0\x9F\x98\x80\""},
  };
  for (const auto& [text, encoded] : rows) {
    const auto json = encodeJson({text, text, "t", 0});
    ASSERT_TRUE(json.has_value()) << text;
    EXPECT_NE(json->find("\"text\": " + encoded + ",\n"), std::string::npos) << *json;
    EXPECT_NE(json->find("\"appName\": " + encoded + ",\n"), std::string::npos) << *json;
    const auto back = decodeJson(*json);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->text, text);
    EXPECT_EQ(back->appName, text);
  }
}

TEST(CaptureResultJson, ConfidenceIsTheWidenedFloatAsANumber) {
  const double widened = static_cast<double>(0.3F);
  const auto json = encodeJson({"", "", "", widened});
  ASSERT_TRUE(json.has_value());
  EXPECT_NE(json->find("\"confidence\": 0.30000001192092896\n"), std::string::npos) << *json;
  EXPECT_EQ(decodeJson(*json)->confidence, widened);
}

TEST(CaptureResultJson, EmptyRecordKeepsAllFourMembers) {
  const auto json = encodeJson({"", "", "", 0.0});
  ASSERT_TRUE(json.has_value());
  for (const Key key : {Key::text, Key::appName, Key::timestamp, Key::confidence}) {
    const std::string member = "\"" + std::string(stringValue(key)) + "\": ";
    const auto first = json->find(member);
    EXPECT_NE(first, std::string::npos) << member;
    EXPECT_EQ(json->find(member, first + 1), std::string::npos) << member << " appears once";
  }
  EXPECT_NE(json->find("\"confidence\": 0"), std::string::npos);
}

TEST(CaptureResultJson, CannotEncodeWhatJsonCannotHold) {
  for (const double confidence : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(encodeJson({"", "", "", confidence}).has_value()) << confidence;
  }
  EXPECT_FALSE(encodeJson({"\xFF", "", "", 0}).has_value());
}

TEST(CaptureResultJson, ReadingRequiresEveryMemberWithItsType) {
  for (const std::string json : {
           R"({"appName":"a","timestamp":"t","confidence":1})",
           R"({"text":"x","timestamp":"t","confidence":1})",
           R"({"text":"x","appName":"a","confidence":1})",
           R"({"text":"x","appName":"a","timestamp":"t"})",
           R"({"text":1,"appName":"a","timestamp":"t","confidence":1})",
           R"({"text":"x","appName":"a","timestamp":"t","confidence":"1"})",
           R"({"Text":"x","appName":"a","timestamp":"t","confidence":1})",
           R"(["x","a","t",1])",
           "not json",
       }) {
    EXPECT_FALSE(decodeJson(json).has_value()) << json;
  }
  const auto read = decodeJson(R"({"confidence":2,"timestamp":"t","appName":"a","text":"x","extra":null})");
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->confidence, 2.0);
}

TEST(CodingKeys, NamesAndLookupsAgreeAndHaveNoIntegerForm) {
  const std::vector<std::pair<Key, std::string>> rows{
      {Key::text, "text"}, {Key::appName, "appName"}, {Key::timestamp, "timestamp"}, {Key::confidence, "confidence"}};
  for (const auto& [key, name] : rows) {
    EXPECT_EQ(stringValue(key), name);
    EXPECT_EQ(codingKey(name), key);
    EXPECT_FALSE(intValue(key).has_value());
  }
  for (const std::string name : {"appname", "AppName", "app_name", "Text", "", "text "}) {
    EXPECT_FALSE(codingKey(name).has_value()) << name;
  }
  EXPECT_FALSE(codingKey(0).has_value());
}

TEST(Timestamp, IsUtcWholeSecondsWhateverTheTimeZone) {
  using namespace std::chrono;
  const std::vector<std::pair<sys_time<milliseconds>, std::string>> rows{
      {sys_days{year{1970} / 1 / 1}, "1970-01-01T00:00:00Z"},
      {sys_days{year{2026} / 12 / 6} + 20h + 34min + 54s + 999ms, "2026-12-06T20:34:54Z"},
      {sys_days{year{2024} / 2 / 29} + 23h + 59min + 59s, "2024-02-29T23:59:59Z"},
      {sys_days{year{2000} / 1 / 1} + 9h + 5min + 7s, "2000-01-01T09:05:07Z"},
  };
  for (const char* zone : {"UTC", "Pacific/Kiritimati", "America/St_Johns"}) {
    ::setenv("TZ", zone, 1);
    ::tzset();
    for (const auto& [time, text] : rows) {
      const auto formatted = formatTimestamp(time_point_cast<system_clock::duration>(time));
      EXPECT_EQ(formatted, text) << zone;
      EXPECT_EQ(formatted.size(), 20U);
    }
  }
  ::unsetenv("TZ");
  ::tzset();
}

}  // namespace
}  // namespace kestrova
