// The record read back, its timestamp, and the UTF-8 repair every printed text goes through.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "result/capture_result.h"
#include "result/timestamp.h"
#include "text/utf8.h"

namespace kestrova {
namespace {

TEST(CaptureResultJson, ReadingRequiresEveryMemberWithItsType) {
  for (const std::string json : {R"({"appName":"a","timestamp":"t","confidence":1})",
                                 R"({"text":"x","timestamp":"t","confidence":1})",
                                 R"({"text":"x","appName":"a","confidence":1})",
                                 R"({"text":"x","appName":"a","timestamp":"t"})",
                                 R"({"text":1,"appName":"a","timestamp":"t","confidence":1})",
                                 R"({"text":"x","appName":"a","timestamp":"t","confidence":"1"})",
                                 R"({"Text":"x","appName":"a","timestamp":"t","confidence":1})",
                                 R"(["x","a","t",1])"}) {
    EXPECT_FALSE(decodeJson(json).has_value()) << json;
  }
  const auto read = decodeJson(R"({"confidence":2,"timestamp":"t","appName":"a","text":"x","extra":null})");
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(std::tie(read->text, read->appName, read->timestamp, read->confidence),
            std::make_tuple("x", "a", "t", 2.0));
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
      EXPECT_EQ(formatTimestamp(time_point_cast<system_clock::duration>(time)), text) << zone;
    }
  }
  ::unsetenv("TZ");
  ::tzset();
}

// One U+FFFD for each maximal ill-formed subpart, as the platforms repair it.
TEST(Utf8, KeepsValidTextAndRepairsEachIllFormedSubpart) {
  const std::string r = "\xEF\xBF\xBD";
  const std::vector<std::pair<std::string, std::string>> rows{
      {"", ""}, {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"\xC3\xA9\xE6\xB0\xB4\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", "\xC3\xA9\xE6\xB0\xB4\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
      {"\x80", r}, {"a\xFF" "b", "a" + r + "b"}, {"\xE9t\xE9", r + "t" + r},  // no lead byte
      {"\xC0\xAF", r + r}, {"\xE0\x80\xAF", r + r + r},                      // overlong
      {"\xED\xA0\x80", r + r + r}, {"\xF4\x90\x80\x80", r + r + r + r},      // surrogate, above U+10FFFF
      {"\xE6\xB0", r}, {"\xE6\xB0" "x", r + "x"}, {"\xF0\x9F\x98" "\xF0\x9F\x98\x80", r + "\xF0\x9F\x98\x80"},
  };
  for (const auto& [input, repaired] : rows) EXPECT_EQ(repairUtf8(input), repaired) << ::testing::PrintToString(input);
}

}  // namespace
}  // namespace kestrova
