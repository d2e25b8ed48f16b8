// Test probe: captures the main display through the X11 desktop and prints
// the image's size and its centre pixel ("1920x1080 b,g,r"), which the tool
// itself never shows.
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
  const std::uint8_t* centre = raster->row(raster->height() / 2) + (raster->width() / 2) * 4;
  std::printf("%dx%d %d,%d,%d\n", raster->width(), raster->height(), centre[0], centre[1], centre[2]);
  return 0;
}
