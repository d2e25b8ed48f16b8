// A captured display held as plain pixels: what platforms without a native
// image type capture into, and what their text recognizer reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "desktop/desktop.h"

namespace kestrova::desktop {

// The brightness of a colour, BT.601 weights in 8-bit fixed point.
constexpr std::uint8_t luma(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<std::uint8_t>((77 * red + 150 * green + 29 * blue + 128) >> 8);
}

// 8 bits a pixel, each its gray as toScreenGray() gives it; rows top to
// bottom, `bytesPerRow` apart (at least `width`). Text recognition reads
// nothing but grays, so colour is not kept: a quarter of the memory of the
// display's own pixels.
class RasterImage final : public Image {
 public:
  RasterImage(int width, int height, std::size_t bytesPerRow, std::vector<std::uint8_t> pixels)
      : width_(width), height_(height), bytesPerRow_(bytesPerRow), pixels_(std::move(pixels)) {}

  int width() const override { return width_; }
  int height() const override { return height_; }
  std::size_t bytesPerRow() const { return bytesPerRow_; }
  const std::uint8_t* row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * bytesPerRow_; }
  const std::vector<std::uint8_t>& pixels() const { return pixels_; }

 private:
  int width_;
  int height_;
  std::size_t bytesPerRow_;
  std::vector<std::uint8_t> pixels_;
};

}  // namespace kestrova::desktop
