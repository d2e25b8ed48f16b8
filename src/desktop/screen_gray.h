// Screen pixels into the one-byte grays text recognition reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrova::desktop {

// Rows of colour pixels (red, green, blue: 3 bytes each, rows `width` pixels
// apart) into `width` grays a row. A pixel's gray is its luma, unless its
// colour stands out from the background around it far more than its luma
// does (dark blue or red text on black, yellow text on white): then it
// stands out by the colour's difference, on the side its luma lies.
// Backgrounds are judged over cells of kGrayCellColumns by kGrayCellRows
// pixels from the image's top left corner, and over the cells above where
// bold text fills a cell.
inline constexpr int kGrayCellColumns = 8;
inline constexpr int kGrayCellRows = 8;
void toScreenGray(const std::uint8_t* rgb, int width, int rows, std::uint8_t* gray);

// The same an image's rows a part at a time, top to bottom, each part's rows
// a multiple of kGrayCellRows but the last's: the grays are the whole image's.
class ScreenGrayConverter {
 public:
  explicit ScreenGrayConverter(int width);
  void convert(const std::uint8_t* rgb, int rows, std::uint8_t* gray);

 private:
  int width_;
  std::vector<std::uint32_t> colours_;     // a cell's rows, 0xRRGGBB
  std::vector<std::uint32_t> plainAbove_;  // per cell
};

}  // namespace kestrova::desktop
