// A captured display held as plain pixels: what platforms without a native
// image type capture into, and what their text recognizer reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "desktop/desktop.h"

namespace kestrova::desktop {

// 32 bits a pixel, bytes in memory order blue, green, red, unused; rows top
// to bottom, `bytesPerRow` apart (at least 4 * width).
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
