// Process id text: an optional sign and ASCII digits within 32 bits, nothing else.
#include <gtest/gtest.h>

#include "cli/process_id.h"

namespace kestrova {
namespace {

TEST(ProcessId, AcceptsOptionalSignAndDigitsWithinRange) {
  const std::vector<std::pair<std::string, std::int32_t>> rows{
      {"0", 0},           {"812", 812},       {"+42", 42},
      {"0042", 42},       {"-0", 0},          {"+0", 0},
      {"-7", -7},         {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},       {"000000000000002147483647", 2147483647},
  };
  for (const auto& [text, value] : rows) {
    const auto parsed = parseProcessId(text);
    ASSERT_TRUE(parsed.has_value()) << text;
    EXPECT_EQ(*parsed, value) << text;
  }
}

TEST(ProcessId, RejectsEverythingButOptionalSignAndDigits) {
  for (const std::string& text : std::vector<std::string>{"", "+", "-", "+-1", "--1", "1-", " 1", "1 ", "1\n", "\t1", "1_000", "1,000", "3.0",
                                 "0x1F", "1e3", "abc", "12abc", "2147483648", "-2147483649", "99999999999",
                                 "\xEF\xBC\x91",  // fullwidth digit one
                                 std::string("1\0", 2)}) {
    EXPECT_FALSE(parseProcessId(text).has_value()) << "'" << text << "'";
  }
}

}  // namespace
}  // namespace kestrova
