// Screen pixels into grays that keep coloured text legible.
#include "desktop/screen_gray.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "desktop/raster_image.h"

namespace kestrova::desktop {
namespace {

// A pixel stands out by its colour where that differs from the background
// this many times more than its luma does. A glyph's antialiased edge mixes
// the same two colours as its core in the same ratio, so a glyph is taken
// whole or not at all; colours that already stand out by luma (an avatar's
// disk, green on black) keep their gray.
constexpr int kColourOverLuma = 3;

// Where the colour differs this many times more than the luma, the luma's
// side tells nothing (dark blue on a dark teal is 4 steps darker, 184 apart
// in blue), and on a background this near black or white, with room on one
// side only, the pixel stands out on that side. The ratio holds along a
// glyph's antialiased edge too, so a glyph goes one way whole. On a mid gray
// (a title bar's icon) the luma's side stays.
constexpr int kColourOverSide = 12;
constexpr int kRoomOnOneSide = 64;

using Colour = std::uint32_t;  // 0xRRGGBB
constexpr Colour kNoColour = ~Colour{0};

// A cell plainly shows a colour that all but one in this many of its pixels have.
constexpr int kPlainShares = 4;
// Between a dense glyph's strokes, the background above shows in one of this many pixels at least.
constexpr int kGlyphShares = 8;

Colour colourAt(const std::uint8_t* rgb) { return rgb[0] << 16 | rgb[1] << 8 | rgb[2]; }
int channel(Colour colour, int shift) { return static_cast<int>(colour >> shift & 0xFF); }
int lumaOf(Colour colour) { return luma(channel(colour, 16), channel(colour, 8), channel(colour, 0)); }

struct CellColour {
  Colour colour;
  int count;
};

// The colour most of the cell's pixels have, `colours` its rows `width`
// apart. Most cells of a screen are mostly of the colour the cell before
// them had: a majority needs no sort.
CellColour mostCommon(const Colour* colours, int width, int columns, int rows, Colour likely) {
  int likelyCount = 0;
  for (int y = 0; y < rows; ++y) likelyCount += static_cast<int>(std::count(colours + y * width, colours + y * width + columns, likely));
  const int count = columns * rows;
  if (2 * likelyCount > count) return {likely, likelyCount};
  std::array<Colour, kGrayCellColumns * kGrayCellRows> pixels{};
  for (int y = 0; y < rows; ++y) std::copy_n(colours + y * width, columns, pixels.begin() + y * columns);
  std::sort(pixels.begin(), pixels.begin() + count);
  CellColour best{pixels[0], 0};
  for (int i = 0; i < count;) {
    int end = i;
    while (end < count && pixels[end] == pixels[i]) ++end;
    if (end - i > best.count) best = {pixels[i], end - i};
    i = end;
  }
  return best;
}

// Pixels of `colour` in cells [first, last] of the strip.
int countIn(const Colour* colours, int width, int rows, int first, int last, Colour colour) {
  const int left = first * kGrayCellColumns;
  const int right = std::min(width, (last + 1) * kGrayCellColumns);
  int count = 0;
  for (int y = 0; y < rows; ++y) {
    count += static_cast<int>(std::count(colours + y * width + left, colours + y * width + right, colour));
  }
  return count;
}

// Of the cell's own and its neighbours' most common colours, the one most
// pixels of the three have (a glyph's thick stroke may fill a cell).
Colour commonOfThree(const std::vector<CellColour>& common, int cell) {
  const int first = std::max(0, cell - 1);
  const int last = std::min(static_cast<int>(common.size()) - 1, cell + 1);
  CellColour best{common[cell].colour, 0};
  for (int candidate = first; candidate <= last; ++candidate) {
    int count = 0;
    for (int other = first; other <= last; ++other) {
      if (common[other].colour == common[candidate].colour) count += common[other].count;
    }
    if (count > best.count) best = {common[candidate].colour, count};
  }
  return best.colour;
}

// Each cell's background. Bold text can fill a cell and both its neighbours
// (a bold cyan prompt at 150% came out half cyan, half white, and read
// "noor@leab"): where the three still hold a quarter of the background the
// cell plainly showed higher up, that background stays.
std::vector<Colour> rowBackgrounds(const Colour* colours, int width, int rows, std::vector<Colour>& plainAbove) {
  const int cells = (width + kGrayCellColumns - 1) / kGrayCellColumns;
  std::vector<CellColour> common(static_cast<std::size_t>(cells));
  for (int cell = 0; cell < cells; ++cell) {
    const int left = cell * kGrayCellColumns;
    const Colour likely = cell > 0 ? common[cell - 1].colour : colours[0];
    common[cell] = mostCommon(colours + left, width, std::min(kGrayCellColumns, width - left), rows, likely);
  }
  const auto plain = [&](int cell) {
    const int ownPixels = std::min(kGrayCellColumns, width - cell * kGrayCellColumns) * rows;
    return kPlainShares * common[cell].count >= (kPlainShares - 1) * ownPixels;
  };
  // A colour that covers a quarter of the three cells but that none of them
  // plainly shows is a dense glyph's, not a new background (bold yellow "mm"
  // on white left a sixth white between its stems and came out a faint
  // blur): the background above then stays on less of it.
  const auto aboveStays = [&](int first, int last, Colour candidate, Colour above) {
    const int threePixels = (std::min(width, (last + 1) * kGrayCellColumns) - first * kGrayCellColumns) * rows;
    const int aboveCount = countIn(colours, width, rows, first, last, above);
    if (kPlainShares * aboveCount >= threePixels) return true;
    if (kGlyphShares * aboveCount < threePixels) return false;
    for (int other = first; other <= last; ++other) {
      if (common[other].colour == candidate && plain(other)) return false;
    }
    return kPlainShares * countIn(colours, width, rows, first, last, candidate) >= threePixels;
  };
  // A cell whose own commonest colour is still the one above, and that has
  // no pixel of the colour its neighbours give it, is text at the edge of
  // another area, not in it (a bold yellow "W:" at a light terminal's left
  // edge, beside the dark desktop, came out faint).
  const auto besideOtherArea = [&](int cell, Colour candidate, Colour above) {
    return common[cell].colour == above && countIn(colours, width, rows, cell, cell, candidate) == 0;
  };
  std::vector<Colour> backgrounds(static_cast<std::size_t>(cells));
  for (int cell = 0; cell < cells; ++cell) {
    backgrounds[cell] = commonOfThree(common, cell);
    Colour& above = plainAbove[static_cast<std::size_t>(cell)];
    const int first = std::max(0, cell - 1);
    const int last = std::min(cells - 1, cell + 1);
    if (plain(cell)) {
      above = common[cell].colour;
    } else if (above != kNoColour && above != backgrounds[cell] &&
               (besideOtherArea(cell, backgrounds[cell], above) || aboveStays(first, last, backgrounds[cell], above))) {
      backgrounds[cell] = above;
    }
  }
  return backgrounds;
}

std::uint8_t grayOf(Colour pixel, Colour background, int behind) {
  const int own = lumaOf(pixel);
  int colourDifference = 0;
  for (int shift : {0, 8, 16}) {
    colourDifference = std::max(colourDifference, std::abs(channel(pixel, shift) - channel(background, shift)));
  }
  if (colourDifference <= kColourOverLuma * std::abs(own - behind)) return static_cast<std::uint8_t>(own);
  const bool sideless = colourDifference > kColourOverSide * std::abs(own - behind) &&
                        (behind < kRoomOnOneSide || behind > 255 - kRoomOnOneSide);
  // Equal lumas: away from the background's side too.
  const bool lighter = sideless || own == behind ? behind < 128 : own > behind;
  return static_cast<std::uint8_t>(std::clamp(behind + (lighter ? colourDifference : -colourDifference), 0, 255));
}

}  // namespace

ScreenGrayConverter::ScreenGrayConverter(int width)
    : width_(width),
      colours_(static_cast<std::size_t>(width) * kGrayCellRows),
      plainAbove_(static_cast<std::size_t>((width + kGrayCellColumns - 1) / kGrayCellColumns), kNoColour) {}

void ScreenGrayConverter::convert(const std::uint8_t* rgb, int rows, std::uint8_t* gray) {
  const auto w = static_cast<std::size_t>(width_);
  for (int top = 0; top < rows; top += kGrayCellRows) {
    const int cellRows = std::min(kGrayCellRows, rows - top);
    const std::uint8_t* strip = rgb + static_cast<std::size_t>(top) * w * 3;
    for (std::size_t i = 0; i < w * cellRows; ++i) colours_[i] = colourAt(strip + 3 * i);
    const std::vector<Colour> backgrounds = rowBackgrounds(colours_.data(), width_, cellRows, plainAbove_);
    for (int y = 0; y < cellRows; ++y) {
      const Colour* in = colours_.data() + y * w;
      std::uint8_t* out = gray + (top + y) * w;
      for (int left = 0, cell = 0; left < width_; left += kGrayCellColumns, ++cell) {
        const Colour background = backgrounds[cell];
        const int behind = lumaOf(background);
        for (int x = left; x < std::min(width_, left + kGrayCellColumns); ++x) {
          out[x] = in[x] == background ? static_cast<std::uint8_t>(behind) : grayOf(in[x], background, behind);
        }
      }
    }
  }
}

void toScreenGray(const std::uint8_t* rgb, int width, int rows, std::uint8_t* gray) {
  ScreenGrayConverter(width).convert(rgb, rows, gray);
}

}  // namespace kestrova::desktop
