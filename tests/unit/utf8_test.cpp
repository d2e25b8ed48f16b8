// Ill-formed UTF-8 repaired as the platforms repair it: one U+FFFD for each
// maximal ill-formed subpart, valid text untouched.
#include <gtest/gtest.h>

#include "text/utf8.h"

namespace kestrova {
namespace {

const std::string fffd = "\xEF\xBF\xBD";

TEST(Utf8, KeepsValidTextAndRepairsEachIllFormedSubpart) {
  const std::vector<std::pair<std::string, std::string>> rows{
      {"", ""},
      {"plain ascii", "plain ascii"},
      {"caf\xC3\xA9 \xE6\xB0\xB4 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF", "caf\xC3\xA9 \xE6\xB0\xB4 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"},
      {"\x80", fffd},                                      // lone continuation
      {"a\xFF" "b", "a" + fffd + "b"},                      // never a lead byte
      {"\xC0\xAF", fffd + fffd},                           // overlong two-byte
      {"\xE0\x80\xAF", fffd + fffd + fffd},                // overlong three-byte
      {"\xED\xA0\x80", fffd + fffd + fffd},                // surrogate
      {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},     // above U+10FFFF
      {"\xE6\xB0", fffd},                                  // truncated at the end
      {"\xE6\xB0" "x", fffd + "x"},                         // truncated in the middle
      {"\xF0\x9F\x98" "\xF0\x9F\x98\x80", fffd + "\xF0\x9F\x98\x80"},
      {"\xE9t\xE9", fffd + "t" + fffd},                    // Latin-1 bytes
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& [input, repaired] : rows) {
    EXPECT_EQ(repairUtf8(input), repaired) << ::testing::PrintToString(input);
  }
}

}  // namespace
}  // namespace kestrova
