// The X11 pixel conversion with arbitrary layouts, sizes and sources: no read
// past the source, and with 8-bit channels each pixel's luma is that of the
// bytes the server sent.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>

#include "desktop/x11/pixel_layout.h"
#include "reference.h"

namespace {

using kestrova::desktop::x11::PixelLayout;
using kestrova::fuzzing::require;

std::uint32_t maskFrom(FuzzedDataProvider& input) {
  // Mostly the masks servers really report, now and then anything at all.
  constexpr std::uint32_t usual[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xF800, 0x07E0, 0x001F, 0x7C00, 0x03E0, 0xFF000000};
  if (input.ConsumeBool()) return usual[input.ConsumeIntegralInRange<std::size_t>(0, std::size(usual) - 1)];
  return input.ConsumeIntegral<std::uint32_t>();
}

// The pixel value at (x, y) read straight from the source bytes.
std::uint32_t sourcePixel(const std::vector<std::uint8_t>& source, std::size_t stride, std::size_t x, std::size_t y,
                          const PixelLayout& layout) {
  const std::size_t size = static_cast<std::size_t>(layout.bitsPerPixel) / 8;
  std::uint32_t pixel = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t byte = source[y * stride + x * size + i];
    pixel = layout.mostSignificantFirst ? (pixel << 8) | byte : pixel | (static_cast<std::uint32_t>(byte) << (8 * i));
  }
  return pixel;
}

bool isByteMask(std::uint32_t mask) { return std::popcount(mask) == 8 && std::has_single_bit((mask >> std::countr_zero(mask)) + 1); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  PixelLayout layout;
  constexpr int depths[] = {16, 24, 32, 8, 0, 48};
  constexpr int pads[] = {8, 16, 32, 0, 12, 64};
  layout.bitsPerPixel = depths[input.ConsumeIntegralInRange<std::size_t>(0, 5)];
  layout.scanlinePad = pads[input.ConsumeIntegralInRange<std::size_t>(0, 5)];
  layout.mostSignificantFirst = input.ConsumeBool();
  layout.redMask = maskFrom(input);
  layout.greenMask = maskFrom(input);
  layout.blueMask = maskFrom(input);
  const int width = input.ConsumeIntegralInRange<int>(-1, 40);
  const int height = input.ConsumeIntegralInRange<int>(-1, 40);
  // An exact-size copy, so ASan sees any read past the end.
  const std::vector<std::uint8_t> source = input.ConsumeRemainingBytes<std::uint8_t>();

  const auto out = kestrova::desktop::x11::toLuma(source.data(), source.size(), width, height, layout);
  if (out.empty()) return 0;
  const auto stride = kestrova::desktop::x11::sourceBytesPerRow(layout, width);
  require(stride.has_value(), "a converted image has a row size");
  require(*stride * static_cast<std::size_t>(height) <= source.size(), "no image from a source too short for it");
  require(out.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height), "1 byte a pixel");
  if (!isByteMask(layout.redMask) || !isByteMask(layout.greenMask) || !isByteMask(layout.blueMask)) return 0;
  auto byteOf = [](std::uint32_t pixel, std::uint32_t mask) { return (pixel & mask) >> std::countr_zero(mask); };
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
      const std::uint32_t pixel = sourcePixel(source, *stride, x, y, layout);
      // ITU-R BT.601: 0.299 red, 0.587 green, 0.114 blue, rounded.
      const double exact = 0.299 * byteOf(pixel, layout.redMask) + 0.587 * byteOf(pixel, layout.greenMask) +
                           0.114 * byteOf(pixel, layout.blueMask);
      const int found = out[y * static_cast<std::size_t>(width) + x];
      require(found >= exact - 1.0 && found <= exact + 1.0, "a pixel's luma is that of its 8-bit channels");
    }
  }
  return 0;
}
