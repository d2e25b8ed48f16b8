// Test probe: the main display as the X11 desktop captures it, which the tool
// never shows: "1920x1080 152 5a1f...", its size, its centre pixel's luma and
// a hash of every pixel.
#include <cstdint>
#include <cstdio>

#include "desktop/desktop.h"
#include "desktop/raster_image.h"

int main() {
  const auto image = kestrova::desktop::makePlatformDesktop()->captureMainDisplay();
  const auto* raster = dynamic_cast<const kestrova::desktop::RasterImage*>(image.get());
  if (raster == nullptr) return 1;
  std::uint64_t hash = 0xcbf29ce484222325ULL;  // FNV-1a
  for (int y = 0; y < raster->height(); ++y) {
    for (int x = 0; x < raster->width(); ++x) hash = (hash ^ raster->row(y)[x]) * 0x100000001b3ULL;
  }
  std::printf("%dx%d %d %016llx\n", raster->width(), raster->height(), raster->row(raster->height() / 2)[raster->width() / 2],
              static_cast<unsigned long long>(hash));
}
