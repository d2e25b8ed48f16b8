// NSString's UTF-16 taken over as UTF-8: every code unit kept, each scalar in
// its shortest form, and each unpaired surrogate one U+FFFD, as Swift repairs it.
#include "desktop/macos/utf16.h"

#include <gtest/gtest.h>

namespace kestrova::desktop::macos {
namespace {

TEST(Utf8FromUtf16, EncodesEachScalarInTheShortestFormAndRepairsLoneSurrogates) {
  const std::string r = "\xEF\xBF\xBD";
  const std::vector<std::pair<std::vector<std::uint16_t>, std::string>> rows{
      {{}, ""}, {{u'a', 0, u'\n', 0x7F}, std::string("a\0\n\x7F", 4)},
      {{0x80, 0xE9, 0x7FF}, "\xC2\x80\xC3\xA9\xDF\xBF"},
      {{0x800, 0x20AC, 0xFFFF}, "\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF"},
      {{0xD800, 0xDC00, 0xDBFF, 0xDFFF}, "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},  // first and last beyond the BMP
      {{0xD800}, r}, {{0xDC00, u'x'}, r + "x"}, {{0xD800, u'x'}, r + "x"}, {{0xDC00, 0xD800}, r + r},
      {{0xD800, 0xD800, 0xDC00}, r + "\xF0\x90\x80\x80"},  // the second high one pairs
  };
  for (const auto& [units, utf8] : rows) EXPECT_EQ(utf8FromUtf16(units), utf8) << ::testing::PrintToString(units);
}

}  // namespace
}  // namespace kestrova::desktop::macos
