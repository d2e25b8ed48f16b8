// Pixel conversion from the server's image format to the recognizer's grays.
#include "desktop/x11/pixel_layout.h"

#include <algorithm>
#include <bit>

#include "desktop/screen_gray.h"

namespace kestrova::desktop::x11 {
namespace {

bool supported(const PixelLayout& layout) {
  const int bpp = layout.bitsPerPixel;
  return (bpp == 16 || bpp == 24 || bpp == 32) && layout.scanlinePad >= 8 && layout.scanlinePad % 8 == 0 &&
         layout.redMask != 0 && layout.greenMask != 0 && layout.blueMask != 0;
}

// Scales the masked channel to 0..255, whatever its width (5 or 6 bits at depth 16).
std::uint8_t channel(std::uint32_t pixel, std::uint32_t mask) {
  const std::uint32_t value = (pixel & mask) >> std::countr_zero(mask);
  const std::uint32_t maximum = mask >> std::countr_zero(mask);
  return static_cast<std::uint8_t>((value * 255U + maximum / 2) / maximum);
}

}  // namespace

std::optional<std::size_t> sourceBytesPerRow(const PixelLayout& layout, int width) {
  if (!supported(layout) || width < 0) return std::nullopt;
  const std::size_t bits = static_cast<std::size_t>(width) * static_cast<std::size_t>(layout.bitsPerPixel);
  const auto pad = static_cast<std::size_t>(layout.scanlinePad);
  return (bits + pad - 1) / pad * pad / 8;
}

// The bytes between rows when `sourceSize` bytes hold `height` rows of `width` pixels.
std::optional<std::size_t> strideOfRows(const PixelLayout& layout, int width, int height, std::size_t sourceSize) {
  const auto stride = sourceBytesPerRow(layout, width);
  if (!stride || width <= 0 || height <= 0 || sourceSize < *stride * static_cast<std::size_t>(height)) return std::nullopt;
  return stride;
}

bool decodeRows(const std::uint8_t* source, std::size_t sourceSize, int width, int height, const PixelLayout& layout,
                std::uint8_t* rgb) {
  const auto stride = strideOfRows(layout, width, height, sourceSize);
  if (!stride) return false;
  const auto w = static_cast<std::size_t>(width);

  // The common case on every little-endian desktop: blue, green, red, unused.
  if (layout.bitsPerPixel == 32 && !layout.mostSignificantFirst && layout.redMask == 0xFF0000 &&
      layout.greenMask == 0xFF00 && layout.blueMask == 0xFF) {
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* in = source + y * *stride;
      std::uint8_t* px = rgb + y * w * 3;
      for (std::size_t x = 0; x < w; ++x, in += 4, px += 3) px[0] = in[2], px[1] = in[1], px[2] = in[0];
    }
    return true;
  }

  const std::size_t bytesPerPixel = static_cast<std::size_t>(layout.bitsPerPixel) / 8;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = source + y * *stride;
    std::uint8_t* px = rgb + y * w * 3;
    for (std::size_t x = 0; x < w; ++x, in += bytesPerPixel, px += 3) {
      std::uint32_t pixel = 0;
      for (std::size_t b = 0; b < bytesPerPixel; ++b) {
        const std::size_t shift = layout.mostSignificantFirst ? (bytesPerPixel - 1 - b) * 8 : b * 8;
        pixel |= static_cast<std::uint32_t>(in[b]) << shift;
      }
      px[0] = channel(pixel, layout.redMask);
      px[1] = channel(pixel, layout.greenMask);
      px[2] = channel(pixel, layout.blueMask);
    }
  }
  return true;
}

bool convertRows(const std::uint8_t* source, std::size_t sourceSize, int width, int height, const PixelLayout& layout,
                 ScreenGrayConverter& grays, std::uint8_t* out) {
  const auto stride = strideOfRows(layout, width, height, sourceSize);
  if (!stride) return false;
  // A few rows at a time: the grays are judged over cells of that many rows,
  // and the colours of a whole screen would be three times its grays.
  const auto w = static_cast<std::size_t>(width);
  std::vector<std::uint8_t> rgb(w * 3 * kGrayCellRows);
  for (int top = 0; top < height; top += kGrayCellRows) {
    const int rows = std::min(kGrayCellRows, height - top);
    decodeRows(source + top * *stride, *stride * rows, width, rows, layout, rgb.data());
    grays.convert(rgb.data(), rows, out + top * w);
  }
  return true;
}

std::vector<std::uint8_t> toGray(const std::uint8_t* source, std::size_t sourceSize, int width, int height,
                                 const PixelLayout& layout) {
  if (width <= 0 || height <= 0) return {};
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  ScreenGrayConverter grays(width);
  if (!convertRows(source, sourceSize, width, height, layout, grays, out.data())) return {};
  return out;
}

}  // namespace kestrova::desktop::x11
