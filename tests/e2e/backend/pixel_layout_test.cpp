// Conversion of the server's pixel formats to luma.
#include "desktop/x11/pixel_layout.h"

#include <gtest/gtest.h>

namespace kestrova::desktop::x11 {
namespace {

struct Conversion {
  const char* what;
  PixelLayout layout;
  int width;
  std::vector<std::uint8_t> source;  // one row, padded as the layout says
  std::vector<std::uint8_t> luma;
};

// The luma of pure colours: each channel must reach its own weight.
constexpr std::uint8_t kRed = 77, kGreen = 149, kBlue = 29;

TEST(PixelLayout, ConvertsEveryTrueColourFormatToLuma) {
  const PixelLayout depth16{16, 32, false, 0xF800, 0x07E0, 0x001F};
  const PixelLayout depth16Msb{16, 32, true, 0xF800, 0x07E0, 0x001F};
  const PixelLayout packed24{24, 32, false, 0xFF0000, 0xFF00, 0xFF};
  const PixelLayout rgbx32Msb{32, 32, true, 0xFF000000, 0xFF0000, 0xFF00};
  const Conversion cases[] = {
      {"32 bits BGRX", PixelLayout{}, 4, {255, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255, 255, 255, 0},
       {kBlue, kRed, kGreen, 255}},
      {"16 bits 565, red green blue, padded to 32 bits",
       depth16,
       3,
       {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF},
       {kRed, kGreen, kBlue}},
      // 0x8410: 5 and 6 bits of a middle gray, scaled to 132, 130, 132.
      {"16 bits, most significant byte first", depth16Msb, 2, {0xF8, 0x00, 0x84, 0x10}, {kRed, 131}},
      {"24 bits packed, row padded", packed24, 1, {0x00, 0x00, 0xFF, 0xEE}, {kRed}},
      {"32 bits RGBX, most significant first", rgbx32Msb, 1, {0xFF, 0x00, 0x00, 0x99}, {kRed}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(toLuma(c.source.data(), c.source.size(), c.width, 1, c.layout), c.luma);
  }
}

TEST(PixelLayout, RowsFollowTheirPaddedStride) {
  const PixelLayout depth16{16, 32, false, 0xF800, 0x07E0, 0x001F};
  ASSERT_EQ(sourceBytesPerRow(depth16, 3), 8U);
  ASSERT_EQ(sourceBytesPerRow(PixelLayout{}, 1920), 7680U);
  // Two rows of one pixel each, each padded to four bytes: red, then blue.
  const std::vector<std::uint8_t> source{0x00, 0xF8, 0xAA, 0xAA, 0x1F, 0x00, 0xAA, 0xAA};
  EXPECT_EQ(toLuma(source.data(), source.size(), 1, 2, depth16), (std::vector<std::uint8_t>{kRed, kBlue}));
}

TEST(PixelLayout, RefusesWhatItCannotRead) {
  const std::vector<std::uint8_t> source(64, 0);
  PixelLayout indexed;
  indexed.bitsPerPixel = 8;
  PixelLayout noMask;
  noMask.redMask = 0;
  EXPECT_FALSE(sourceBytesPerRow(indexed, 4));
  EXPECT_TRUE(toLuma(source.data(), source.size(), 4, 1, indexed).empty());
  EXPECT_TRUE(toLuma(source.data(), source.size(), 4, 1, noMask).empty());
  // A reply shorter than the rectangle it claims.
  EXPECT_TRUE(toLuma(source.data(), source.size(), 4, 5, PixelLayout{}).empty());
  // An empty rectangle, even with rows to go through.
  EXPECT_TRUE(toLuma(source.data(), source.size(), 0, 3, PixelLayout{}).empty());
}

}  // namespace
}  // namespace kestrova::desktop::x11
