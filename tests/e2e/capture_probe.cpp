// Test probe: captures the main display through the X11 desktop and prints
// the image's size, its centre pixel's luma and a hash of every pixel
// ("1920x1080 152 5a1f..."), which the tool itself never shows.
#include <cstdint>
#include <cstdio>

#include "desktop/desktop.h"
#include "desktop/raster_image.h"

int main() {
  auto desktop = kestrova::desktop::makePlatformDesktop();
  auto image = desktop->captureMainDisplay();
  const auto* raster = dynamic_cast<const kestrova::desktop::RasterImage*>(image.get());
  if (raster == nullptr) {
    std::puts("no image");
    return 1;
  }
  const std::uint8_t centre = raster->row(raster->height() / 2)[raster->width() / 2];
  std::uint64_t hash = 0xcbf29ce484222325ULL;  // FNV-1a
  for (int y = 0; y < raster->height(); ++y) {
    for (int x = 0; x < raster->width(); ++x) hash = (hash ^ raster->row(y)[x]) * 0x100000001b3ULL;
  }
  std::printf("%dx%d %d %016llx\n", raster->width(), raster->height(), centre, static_cast<unsigned long long>(hash));
  return 0;
}
