// The recognizer's screen analysis over arbitrary small screens: regions inside
// the image, pages as large as they claim, cuts only between text lines.
#include <fuzzer/FuzzedDataProvider.h>

#include "desktop/tesseract/image_analysis.h"
#include "reference.h"

namespace {

namespace analysis = kestrova::desktop::tesseract;
using kestrova::fuzzing::require;

void checkRowRunsAndCuts(const analysis::GrayImage& page, int parts) {
  const auto runs = analysis::inkRowRuns(page);
  int previousBottom = 0;
  for (const auto& run : runs) {
    require(run.top >= previousBottom && run.top < run.bottom && run.bottom <= page.height,
            "row runs are ordered, disjoint and inside the page");
    previousBottom = run.bottom;
  }
  const auto cuts = analysis::bandCuts(runs, page.height, parts);
  require(cuts.size() < static_cast<std::size_t>(std::max(parts, 1)), "at most parts - 1 cuts");
  int previousCut = 0;
  for (const int cut : cuts) {
    require(cut > previousCut && cut < page.height, "cuts ascend strictly inside the page");
    for (const auto& run : runs) require(cut <= run.top || cut >= run.bottom, "no cut splits a text line");
    previousCut = cut;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const int width = input.ConsumeIntegralInRange<int>(1, 96);
  const int height = input.ConsumeIntegralInRange<int>(1, 96);
  const int scale = input.ConsumeIntegralInRange<int>(1, 3);
  const int parts = input.ConsumeIntegralInRange<int>(1, 4);
  // Tesseract's boxes, however far off the page: the sanitizers check that
  // looking for an underscore never reads outside it.
  const analysis::WordEnd wordEnd{input.ConsumeIntegral<int>(), input.ConsumeIntegral<int>(),
                                  input.ConsumeIntegral<int>(), input.ConsumeIntegral<int>()};
  analysis::RegionTuning tuning;
  if (input.ConsumeBool()) {
    tuning.cellSize = input.ConsumeIntegralInRange<int>(1, 16);
    tuning.backgroundTolerance = input.ConsumeIntegralInRange<int>(0, 64);
    tuning.minimumAreaCells = input.ConsumeIntegralInRange<int>(0, 64);
  }
  // Few distinct grays, so panels and ink emerge instead of noise.
  std::vector<std::uint8_t> luma(static_cast<std::size_t>(width) * height);
  const std::vector<std::uint8_t> palette = input.ConsumeBytes<std::uint8_t>(4);
  for (std::uint8_t& value : luma) {
    const std::uint8_t pick = input.remaining_bytes() > 0 ? input.ConsumeIntegral<std::uint8_t>() : 0;
    value = palette.empty() ? pick : palette[pick % palette.size()];
  }

  const analysis::GrayImage gray = analysis::copyGray(luma.data(), width, height, static_cast<std::size_t>(width));
  require(gray.pixels == luma, "the image copied pixel for pixel");
  const analysis::BackgroundMap map = analysis::mapBackground(gray, tuning);
  require(map.area.size() == static_cast<std::size_t>(map.columns) * map.rows, "an area for every cell");
  for (const int area : map.area) {
    require(area >= 0 && static_cast<std::size_t>(area) < map.areaBackground.size(), "every cell's area exists");
  }
  for (const auto& region : analysis::findTextRegions(gray, map)) {
    const auto& bounds = region.bounds;
    require(bounds.x >= 0 && bounds.y >= 0 && bounds.width > 0 && bounds.height > 0 && bounds.right() <= width &&
                bounds.bottom() <= height,
            "a region lies inside the image");
    require(region.area >= 0 && static_cast<std::size_t>(region.area) < map.areaBackground.size(),
            "a region's area exists");
    const analysis::GrayImage page = analysis::preparePage(gray, map, region, scale);
    require(page.pixels.size() == static_cast<std::size_t>(page.width) * page.height, "a page holds its pixels");
    checkRowRunsAndCuts(page, parts);
    analysis::underscoreAfter(page, wordEnd, 2 * scale);
  }
  const analysis::GrayImage enlarged = analysis::scaleUp(gray, scale);
  require(enlarged.width == width * scale && enlarged.height == height * scale &&
              enlarged.pixels.size() == static_cast<std::size_t>(enlarged.width) * enlarged.height,
          "scaling enlarges by the factor");
  checkRowRunsAndCuts(enlarged, parts);
  return 0;
}
