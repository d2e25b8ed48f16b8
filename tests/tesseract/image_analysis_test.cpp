// Region finding and page preparation on synthetic screens: windows of bars
// that stand for glyph strokes, on light, dark and gray backgrounds.
#include "desktop/tesseract/image_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

namespace kestrova::desktop::tesseract {
namespace {

GrayImage filled(int width, int height, std::uint8_t value) {
  return {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height, value)};
}

void fill(GrayImage& image, Rect r, std::uint8_t value) {
  for (int y = r.y; y < r.bottom(); ++y) {
    std::fill_n(image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * image.width + r.x, r.width, value);
  }
}

// Rows of 2x9 bars, 4 px apart, like lines of small text.
void writeLines(GrayImage& image, Rect area, int lines, std::uint8_t ink) {
  for (int line = 0; line < lines; ++line) {
    for (int x = area.x; x + 2 <= area.right(); x += 6) fill(image, {x, area.y + line * 16, 2, 9}, ink);
  }
}

struct Window {
  Rect frame;
  std::uint8_t background;
  std::uint8_t ink;
  int lines;  // of text inside, from 16 px below its top-left corner
};

GrayImage screenWith(std::uint8_t desktop, const std::vector<Window>& windows) {
  GrayImage screen = filled(640, 400, desktop);
  for (const Window& w : windows) {
    fill(screen, w.frame, w.background);
    if (w.lines > 0) writeLines(screen, {w.frame.x + 16, w.frame.y + 16, w.frame.width - 32, 0}, w.lines, w.ink);
  }
  return screen;
}

bool contains(const Rect& outer, const Rect& inner) {
  return outer.x <= inner.x && outer.y <= inner.y && outer.right() >= inner.right() && outer.bottom() >= inner.bottom();
}

TEST(TextRegions, OneRegionPerPanelThatHoldsTextInReadingOrder) {
  struct Expected {
    Rect text;  // must lie inside the region
    Rect frame; // the region may not leave it
    std::uint8_t background;
  };
  struct Case {
    const char* what;
    GrayImage screen;
    std::vector<Expected> regions;
  };
  const Case cases[] = {
      {"a light window on a dark desktop",
       screenWith(20, {{{96, 48, 320, 160}, 255, 0, 5}}),
       {{{112, 64, 288, 73}, {96, 48, 320, 160}, 255}}},
      {"a dark editor right of a light sidebar, both from the same top",
       screenWith(128, {{{200, 40, 400, 300}, 30, 220, 8}, {{16, 40, 176, 300}, 243, 60, 4}}),
       {{{32, 56, 144, 57}, {16, 40, 176, 300}, 243}, {{216, 56, 368, 121}, {200, 40, 400, 300}, 30}}},
      {"faint gray text on a light gray dialog above a white one",
       screenWith(60, {{{40, 24, 560, 120}, 245, 150, 3}, {{40, 200, 560, 160}, 255, 40, 4}}),
       {{{56, 40, 528, 41}, {40, 24, 560, 120}, 245}, {{56, 216, 528, 57}, {40, 200, 560, 160}, 255}}},
      {"lines that begin at a light window's left edge, beside a dark desktop",
       [] {
         GrayImage screen = screenWith(0, {{{10, 48, 320, 100}, 255, 0, 0}});
         writeLines(screen, {12, 64, 300, 0}, 3, 0);
         return screen;
       }(),
       {{{12, 64, 298, 41}, {0, 48, 330, 100}, 255}}},
      {"a window without text", screenWith(20, {{{96, 48, 320, 160}, 255, 0, 0}}), {}},
      {"nothing but a desktop", filled(640, 400, 90), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const BackgroundMap map = mapBackground(c.screen);
    const std::vector<TextRegion> regions = findTextRegions(c.screen, map);
    ASSERT_EQ(regions.size(), c.regions.size());
    for (std::size_t i = 0; i < regions.size(); ++i) {
      SCOPED_TRACE("region " + std::to_string(i));
      EXPECT_TRUE(contains(regions[i].bounds, c.regions[i].text));
      EXPECT_TRUE(contains(c.regions[i].frame, regions[i].bounds));
      EXPECT_EQ(regions[i].background, c.regions[i].background);
    }
  }
}

TEST(TextRegions, SmallAreasBelongToThePanelAroundThem) {
  // A gray button and a bold word (a cell full of ink) inside a white panel:
  // too small to be panels, their text is read with the panel's.
  GrayImage screen = screenWith(20, {{{40, 40, 560, 320}, 255, 0, 4}});
  fill(screen, {400, 200, 72, 24}, 215);
  writeLines(screen, {408, 208, 56, 0}, 1, 0);
  fill(screen, {100, 250, 24, 12}, 0);
  const BackgroundMap map = mapBackground(screen);
  const auto regions = findTextRegions(screen, map);
  ASSERT_EQ(regions.size(), 1U);
  EXPECT_TRUE(contains(regions[0].bounds, {100, 56, 372, 176}));
  EXPECT_EQ(map.areaAt(410 / map.cellSize, 210 / map.cellSize), regions[0].area);
}

TEST(PreparePage, DarkOnWhiteWithThePanelsInsidePaintedOut) {
  // A panel inside another: each page shows only its own text, dark on
  // white, however light or faint the text was.
  struct Case {
    const char* what;
    std::uint8_t outer, outerInk, inner, innerInk;
  };
  const Case cases[] = {{"black on white around light on dark", 255, 0, 35, 200},
                        {"light on dark around black on white", 30, 230, 255, 0},
                        {"mid gray on light gray around black on white", 240, 140, 255, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GrayImage screen = filled(640, 400, c.outer);
    writeLines(screen, {16, 16, 600, 0}, 3, c.outerInk);
    writeLines(screen, {16, 340, 600, 0}, 2, c.outerInk);
    fill(screen, {160, 120, 320, 200}, c.inner);
    writeLines(screen, {176, 136, 288, 0}, 5, c.innerInk);
    const BackgroundMap map = mapBackground(screen);
    const auto regions = findTextRegions(screen, map);
    ASSERT_EQ(regions.size(), 2U);
    for (const TextRegion& region : regions) {
      const GrayImage page = preparePage(screen, map, region, 1);
      ASSERT_EQ(page.width, region.bounds.width);
      ASSERT_EQ(page.height, region.bounds.height);
      const bool isOuter = region.area == map.areaAt(0, 0);
      const int firstLine = isOuter ? 20 : 140;
      const int x = (isOuter ? 16 : 176) - region.bounds.x;
      const int y = firstLine - region.bounds.y;
      EXPECT_EQ(page.at(x, y), 0);
      EXPECT_EQ(page.at(x + 3, y), 255);
      const GrayImage doubled = preparePage(screen, map, region, 2);
      EXPECT_EQ(doubled.width, 2 * page.width);
      EXPECT_EQ(doubled.at(2 * x + 1, 2 * y + 1), 0);
    }
    // The outer page is white all over the inner panel, its text included.
    ASSERT_EQ(regions[0].area, map.areaAt(0, 0));
    const Rect& bounds = regions[0].bounds;
    ASSERT_TRUE(contains(bounds, {160, 120, 320, 200}));
    const GrayImage outer = preparePage(screen, map, regions[0], 1);
    for (int y = 120; y < 320; y += 3) {
      for (int x = 160; x < 480; ++x) ASSERT_EQ(outer.at(x - bounds.x, y - bounds.y), 255) << x << "," << y;
    }
  }
}

// The page of the screen's one region, read at screen coordinates (255
// outside it); no region or several fail the test.
std::function<int(int, int)> onlyPage(const GrayImage& screen) {
  const BackgroundMap map = mapBackground(screen);
  const auto regions = findTextRegions(screen, map);
  EXPECT_EQ(regions.size(), 1U);
  if (regions.size() != 1) return [](int, int) { return -1; };
  const Rect bounds = regions[0].bounds;
  return [bounds, page = preparePage(screen, map, regions[0], 1)](int x, int y) {
    const bool inside = x >= bounds.x && y >= bounds.y && x < bounds.right() && y < bounds.bottom();
    return inside ? static_cast<int>(page.at(x - bounds.x, y - bounds.y)) : 255;
  };
}

TEST(PreparePage, AButtonsLabelIsInkAgainstTheButton) {
  // A blue button with a white label and a light gray one with a black label,
  // inside a white dialog: both labels come out dark (as dark as they differ
  // from their button), both buttons white.
  GrayImage screen = screenWith(20, {{{40, 40, 560, 320}, 255, 0, 4}});
  fill(screen, {400, 200, 80, 24}, 90);
  writeLines(screen, {410, 207, 60, 0}, 1, 255);
  fill(screen, {200, 200, 80, 24}, 225);
  writeLines(screen, {210, 207, 60, 0}, 1, 0);
  const auto at = onlyPage(screen);
  for (int x : {210, 410}) {
    SCOPED_TRACE(x);
    EXPECT_LT(at(x, 210), 100);
    EXPECT_EQ(at(x + 3, 210), 255);
  }
}

TEST(PreparePage, GlyphsReachingIntoTheNeighboursCellsSurvive) {
  // Text starting 1 px inside a window whose edge cuts through cells that the
  // desktop's color dominates.
  GrayImage screen = filled(640, 400, 20);
  fill(screen, {103, 99, 400, 200}, 255);
  fill(screen, {104, 100, 2, 9}, 0);
  writeLines(screen, {110, 100, 380, 0}, 4, 0);
  const auto at = onlyPage(screen);
  EXPECT_EQ(at(104, 104), 0);
  // ...while the strip of desktop above the window, in the window's cells, is
  // white: painted out or erased as a rule.
  EXPECT_EQ(at(150, 97), 255);
}

TEST(EraseRules, RemovesLongStraightRunsOnly) {
  GrayImage page = filled(200, 100, 255);
  fill(page, {10, 10, 150, 1}, 0);   // a table rule
  fill(page, {5, 0, 1, 100}, 40);    // a window border
  fill(page, {30, 20, 2, 79}, 0);    // stems of three lines of text, touching
  fill(page, {50, 40, 39, 3}, 0);    // a dash just short of a rule
  fill(page, {100, 60, 60, 2}, 180); // a title bar's gradient, faint but ink
  fill(page, {100, 80, 60, 1}, 220); // lighter than any ink: left as it is
  eraseRules(page, 40, 80);
  EXPECT_EQ(page.at(80, 10), 255);
  EXPECT_EQ(page.at(5, 50), 255);
  EXPECT_EQ(page.at(31, 50), 0);
  EXPECT_EQ(page.at(60, 41), 0);
  EXPECT_EQ(page.at(120, 61), 255);
  EXPECT_EQ(page.at(120, 80), 220);
}

TEST(EraseCursors, RemovesBlocksAndOutlinesButNotLetters) {
  // Each shape is drawn as dark rectangles, then light ones cut out of them,
  // then dark ones again (what lies inside an outline).
  struct Case {
    const char* what;
    std::vector<Rect> dark;
    std::vector<Rect> light;
    std::vector<Rect> inside;
    int probeX, probeY;  // a pixel of the shape's edge
    bool erased;
  };
  const Case cases[] = {
      {"a block cursor", {{20, 20, 6, 13}}, {}, {}, 22, 25, true},
      {"a hollow cursor", {{20, 20, 6, 13}}, {{21, 21, 4, 11}}, {}, 20, 25, true},
      {"a hollow cursor cut by the page's bottom", {{20, 34, 6, 6}}, {{21, 35, 4, 5}}, {}, 20, 37, true},
      {"the stem of a bold I", {{20, 14, 4, 16}}, {}, {}, 21, 25, false},
      {"a dot", {{20, 20, 3, 3}}, {}, {}, 21, 21, false},
      {"the dot of a large bold i", {{20, 20, 9, 9}}, {}, {}, 24, 24, false},
      {"an O with cut corners", {{20, 20, 6, 13}}, {{21, 21, 4, 11}, {20, 20, 1, 1}, {25, 32, 1, 1}}, {}, 20, 25, false},
      {"an outline round a letter", {{20, 20, 6, 13}}, {{21, 21, 4, 11}}, {{22, 24, 2, 5}}, 20, 25, false},
      {"a u", {{20, 24, 6, 9}}, {{21, 24, 4, 8}}, {}, 20, 28, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GrayImage page = filled(60, 40, 255);
    for (const Rect& r : c.dark) fill(page, r, 0);
    for (const Rect& r : c.light) fill(page, r, 255);
    for (const Rect& r : c.inside) fill(page, r, 0);
    eraseCursors(page, 4, 8);
    EXPECT_EQ(page.at(c.probeX, c.probeY), c.erased ? 255 : 0);
  }
}

TEST(UnderscoreAfter, FindsOnlyALetterLongHairlineAtTheWordsEnd) {
  // A word ending at x 30 on a line with its baseline at y 20, 10 rows above
  // it and its box down to y 25.
  const WordEnd word{30, 20, 10, 25};
  struct Case {
    const char* what;
    std::vector<Rect> ink;
    bool underscore;
  };
  const Case cases[] = {
      {"an underscore", {{29, 24, 9, 1}}, true},
      {"an underscore two rows thick", {{29, 24, 9, 2}}, true},
      {"nothing: a space", {}, false},
      {"an underline beneath the next word", {{29, 24, 30, 1}}, false},
      {"a bar three rows thick", {{29, 23, 9, 3}}, false},
      {"a stroke of the line below, under this line's box", {{29, 26, 9, 1}}, false},
      {"a T of the line below, its bar in this line's box", {{29, 25, 9, 1}, {33, 26, 1, 8}}, false},
      {"the tail of a y", {{28, 24, 2, 1}}, false},
      {"a letter reaching just under the baseline", {{22, 14, 9, 9}}, false},
      {"the bowl of a descender", {{26, 24, 5, 1}, {26, 22, 1, 2}, {30, 22, 1, 2}}, false},
      {"an underscore after a space, starting the next word", {{38, 24, 8, 1}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GrayImage page = filled(80, 40, 255);
    for (const Rect& r : c.ink) fill(page, r, 60);
    EXPECT_EQ(underscoreAfter(page, word, 2), c.underscore);
  }
}

TEST(Bands, CutOnlyBetweenLinesNearEqualShares) {
  GrayImage page = filled(100, 400, 255);
  for (int line = 0; line < 20; ++line) fill(page, {10, 5 + line * 20, 60, 12}, 0);
  const auto runs = inkRowRuns(page);
  ASSERT_EQ(runs.size(), 20U);
  EXPECT_EQ(runs.front(), (RowRun{5, 17}));
  struct Case {
    int parts;
    std::vector<int> cuts;
  };
  const Case cases[] = {{1, {}}, {2, {201}}, {4, {101, 201, 301}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.parts);
    EXPECT_EQ(bandCuts(runs, page.height, c.parts), c.cuts);
  }
  EXPECT_TRUE(bandCuts({{0, 400}}, 400, 2).empty());
}

TEST(PixelConversion, CopyWithoutRowPaddingAndEnlargement) {
  // Two rows of three pixels, each row padded to five bytes.
  const std::vector<std::uint8_t> padded{1, 2, 3, 9, 9, 4, 5, 6, 9, 9};
  const GrayImage gray = copyGray(padded.data(), 3, 2, 5);
  EXPECT_EQ(gray.pixels, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));

  GrayImage step = filled(4, 2, 0);
  fill(step, {2, 0, 2, 2}, 200);
  const GrayImage big = scaleUp(step, 2);
  ASSERT_EQ(big.width, 8);
  ASSERT_EQ(big.height, 4);
  EXPECT_EQ(big.at(0, 0), 0);
  EXPECT_EQ(big.at(7, 3), 200);
  // The edge is blended, rising from dark to light.
  EXPECT_GT(big.at(3, 1), 0);
  EXPECT_LT(big.at(3, 1), big.at(4, 1));
  EXPECT_LT(big.at(4, 1), 200);
}

}  // namespace
}  // namespace kestrova::desktop::tesseract

namespace kestrova::desktop::tesseract {
namespace {

TEST(ReadingOrder, PanelsThenColumnsThenRows) {
  struct Named {
    char name;
    PlacedLine line;
  };
  struct Case {
    const char* what;
    std::vector<Named> lines;
    std::string expected;
  };
  const Case cases[] = {
      {"an editor: sidebar, then tab bar and code beside it, then the status bar across",
       {{'s', {{0, 1000, 100, 14}, 3}}, {'1', {{260, 45, 400, 14}, 2}}, {'a', {{10, 40, 80, 14}, 1}},
        {'t', {{260, 10, 60, 14}, 4}}, {'2', {{260, 65, 300, 14}, 2}}, {'E', {{10, 10, 80, 14}, 1}},
        {'b', {{10, 60, 80, 14}, 1}}, {'S', {{300, 1000, 100, 14}, 3}}},
       "Eabt12sS"},
      {"a chat: each name above its bubble, the header's two ends as one row",
       {{'m', {{800, 48, 100, 14}, 1}}, {'b', {{300, 130, 400, 14}, 2}}, {'h', {{300, 50, 200, 16}, 1}},
        {'n', {{300, 100, 100, 14}, 1}}, {'N', {{300, 200, 100, 14}, 1}}, {'B', {{300, 230, 400, 14}, 3}}},
       "hmnbNB"},
      {"a table whose cells were read apart: row by row",
       {{'d', {{200, 20, 50, 14}, 1}}, {'a', {{0, 0, 50, 14}, 1}}, {'c', {{0, 20, 50, 14}, 1}},
        {'b', {{200, 0, 50, 14}, 1}}},
       "abcd"},
      {"nothing", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<PlacedLine> lines;
    for (const Named& n : c.lines) lines.push_back(n.line);
    std::string order;
    for (std::size_t i : readingOrder(lines)) order += c.lines[i].name;
    EXPECT_EQ(order, c.expected);
  }
}

}  // namespace
}  // namespace kestrova::desktop::tesseract
