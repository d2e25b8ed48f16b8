// NSString's UTF-16 taken over as UTF-8: every code unit kept, and what
// UTF-16 cannot pair repaired the way Swift repairs it.
#include "desktop/macos/utf16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::desktop::macos {
namespace {

std::string convert(std::vector<std::uint16_t> units) { return utf8FromUtf16(units); }

TEST(Utf8FromUtf16, EncodesEachScalarInTheShortestForm) {
  EXPECT_EQ(convert({}), "");
  EXPECT_EQ(convert({u'a', u'\n', 0x7F}), "a\n\x7F");
  EXPECT_EQ(convert({0x80, 0xE9, 0x7FF}), "\xC2\x80\xC3\xA9\xDF\xBF");
  EXPECT_EQ(convert({0x800, 0x20AC, 0xFFFF}), "\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF");
  // Surrogate pairs: the first and last scalars beyond the BMP, and an emoji.
  EXPECT_EQ(convert({0xD800, 0xDC00}), "\xF0\x90\x80\x80");
  EXPECT_EQ(convert({0xDBFF, 0xDFFF}), "\xF4\x8F\xBF\xBF");
  EXPECT_EQ(convert({0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");
}

TEST(Utf8FromUtf16, KeepsNulAndEveryOtherUnitInPlace) {
  EXPECT_EQ(convert({u'a', 0, u'b', 0}), std::string("a\0b\0", 4));
}

TEST(Utf8FromUtf16, ReplacesEachUnpairedSurrogateWithOneReplacementCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(convert({0xD800}), fffd);                            // high at the end
  EXPECT_EQ(convert({0xDC00, u'x'}), fffd + "x");                // low alone
  EXPECT_EQ(convert({0xD800, u'x'}), fffd + "x");                // high before a non-surrogate
  EXPECT_EQ(convert({0xD800, 0xD800, 0xDC00}), fffd + "\xF0\x90\x80\x80");  // the second high pairs
  EXPECT_EQ(convert({0xDC00, 0xD800}), fffd + fffd);             // reversed pair
}

}  // namespace
}  // namespace kestrova::desktop::macos
