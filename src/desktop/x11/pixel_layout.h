// Turning the server's ZPixmap rows (any true-colour depth, either byte order)
// into the one-byte grays the text recognizer reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "desktop/screen_gray.h"

namespace kestrova::desktop::x11 {

struct PixelLayout {
  int bitsPerPixel = 32;      // 16, 24 or 32
  int scanlinePad = 32;       // bits each row is padded to
  bool mostSignificantFirst = false;
  std::uint32_t redMask = 0xFF0000;
  std::uint32_t greenMask = 0x00FF00;
  std::uint32_t blueMask = 0x0000FF;
};

// Bytes between the starts of two rows of `width` pixels; none when the layout is unsupported.
std::optional<std::size_t> sourceBytesPerRow(const PixelLayout& layout, int width);

// `source` holds `height` rows of sourceBytesPerRow() bytes; `rgb` receives
// them as `width` pixels a row, each its red, green and blue. False, writing
// nothing, when the layout is unsupported or the source short.
bool decodeRows(const std::uint8_t* source, std::size_t sourceSize, int width, int height, const PixelLayout& layout,
                std::uint8_t* rgb);

// The same rows into `out` as `width` grays a row, by `grays`: calls for the
// rows of one image go top to bottom, each but the last a multiple of
// kGrayCellRows rows.
bool convertRows(const std::uint8_t* source, std::size_t sourceSize, int width, int height, const PixelLayout& layout,
                 ScreenGrayConverter& grays, std::uint8_t* out);

// The same into a new buffer; empty when convertRows() fails.
std::vector<std::uint8_t> toGray(const std::uint8_t* source, std::size_t sourceSize, int width, int height,
                                 const PixelLayout& layout);

}  // namespace kestrova::desktop::x11
