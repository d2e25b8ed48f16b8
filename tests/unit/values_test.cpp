// The printed record, its timestamp, and the UTF-8 repair every printed text goes through.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>

#include "result/capture_result.h"
#include "result/timestamp.h"
#include "text/utf8.h"

namespace kestrova {
namespace {

TEST(CaptureResultJson, IsPrettyPrintedInFieldOrderWithWhatJsonMustEscape) {
  struct Row {
    std::string text;
    double confidence;
    std::optional<std::string> json;  // of text and confidence; none: cannot be encoded
  };
  const std::vector<Row> rows{
      {"line one\nline two", 0.5, R"("line one\nline two", 0.5)"},
      {"say \"hi\" C:\\path\ttab a/b", 1, R"("say \"hi\" C:\\path\ttab a/b", 1.0)"},
      {std::string("nul\0\x1F", 5), 0, R"("nul\u0000\u001f", 0.0)"},
      {"caf\xC3\xA9 \xE6\xB0\xB4 \xF0\x9F\x98\x80", 0.30000001192092896,
       "\"caf\xC3\xA9 \xE6\xB0\xB4 \xF0\x9F\x98\x80\", 0.30000001192092896"},
      {"", NAN, std::nullopt},
      {"", INFINITY, std::nullopt},
      {"", -INFINITY, std::nullopt},
      {"\xFF", 0, std::nullopt},
  };
  for (const auto& row : rows) {
    const auto json = encodeJson({row.text, "Terminal", "2026-12-06T20:34:54Z", row.confidence});
    ASSERT_EQ(json.has_value(), row.json.has_value()) << row.text;
    if (!json) continue;
    const auto comma = row.json->rfind(", ");
    EXPECT_EQ(*json, "{\n  \"text\": " + row.json->substr(0, comma) +
                         ",\n  \"appName\": \"Terminal\",\n  \"timestamp\": \"2026-12-06T20:34:54Z\",\n"
                         "  \"confidence\": " + row.json->substr(comma + 2) + "\n}");
    const auto back = decodeJson(*json);
    ASSERT_TRUE(back.has_value()) << *json;
    EXPECT_EQ(back->text, row.text);
    EXPECT_EQ(back->confidence, row.confidence);
  }
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
  EXPECT_EQ(read->appName, "a");
  EXPECT_EQ(read->confidence, 2.0);
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
    for (const auto& [time, text] : rows) EXPECT_EQ(formatTimestamp(time_point_cast<system_clock::duration>(time)), text) << zone;
  }
  ::unsetenv("TZ");
  ::tzset();
}

// One U+FFFD for each maximal ill-formed subpart, as the platforms repair it.
TEST(Utf8, KeepsValidTextAndRepairsEachIllFormedSubpart) {
  const std::string fffd = "\xEF\xBF\xBD";
  const std::vector<std::pair<std::string, std::string>> rows{
      {"", ""},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"caf\xC3\xA9 \xE6\xB0\xB4 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF", "caf\xC3\xA9 \xE6\xB0\xB4 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"},
      {"\x80", fffd},
      {"a\xFF" "b", "a" + fffd + "b"},
      {"\xC0\xAF", fffd + fffd},
      {"\xE0\x80\xAF", fffd + fffd + fffd},
      {"\xED\xA0\x80", fffd + fffd + fffd},
      {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},
      {"\xE6\xB0", fffd},
      {"\xE6\xB0" "x", fffd + "x"},
      {"\xF0\x9F\x98" "\xF0\x9F\x98\x80", fffd + "\xF0\x9F\x98\x80"},
      {"\xE9t\xE9", fffd + "t" + fffd},
  };
  for (const auto& [input, repaired] : rows) EXPECT_EQ(repairUtf8(input), repaired) << ::testing::PrintToString(input);
}

}  // namespace
}  // namespace kestrova
