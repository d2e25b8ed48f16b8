// The recognizer's rules on small synthetic screens, where bars stand for
// glyph strokes, and on recognized lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>

#include "desktop/tesseract/image_analysis.h"
#include "desktop/tesseract/line_text.h"
#include "desktop/tesseract/serial_openmp.h"

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

// A panel and, from `inset` px inside its top-left corner, lines of 2x9 bars
// 4 px apart, 16 px from one line to the next, like small text.
struct Window {
  Rect frame;
  std::uint8_t background, ink;
  int lines, inset = 16;
};

GrayImage screen(std::uint8_t desktop, const std::vector<Window>& windows) {
  GrayImage image = filled(640, 400, desktop);
  for (const Window& w : windows) {
    fill(image, w.frame, w.background);
    for (int line = 0, y = w.frame.y + w.inset; line < w.lines; ++line, y += 16) {
      for (int x = w.frame.x + w.inset; x + 2 <= w.frame.right() - w.inset; x += 6) fill(image, {x, y, 2, 9}, w.ink);
    }
  }
  return image;
}

bool contains(const Rect& outer, const Rect& inner) {
  return outer.x <= inner.x && outer.y <= inner.y && outer.right() >= inner.right() && outer.bottom() >= inner.bottom();
}

TEST(TextRegions, OneDarkOnWhitePagePerPanelWithTextInReadingOrder) {
  struct Region {
    Rect text, frame;  // it holds the text and stays in the frame
    std::uint8_t background;
  };
  struct Probe {
    std::size_t region;
    int x, y;  // on the screen
    bool ink;  // on the region's page: dark (as it differs from the background under it), or no ink
  };
  // A panel inside another: each page shows only its own text.
  auto nested = [](std::uint8_t outer, std::uint8_t outerInk, std::uint8_t inner, std::uint8_t innerInk) {
    return screen(outer, {{{0, 0, 640, 400}, outer, outerInk, 3}, {{0, 324, 640, 76}, outer, outerInk, 2},
                          {{160, 120, 320, 200}, inner, innerInk, 5}});
  };
  auto nestedRegions = [](std::uint8_t outer, std::uint8_t inner) {
    return std::vector<Region>{{{16, 16, 600, 349}, {0, 0, 640, 400}, outer},
                               {{176, 136, 288, 73}, {160, 120, 320, 200}, inner}};
  };
  const std::vector<Probe> nestedProbes{{0, 16, 20, true},  {0, 19, 20, false}, {0, 176, 140, false},
                                        {0, 300, 200, false}, {1, 176, 140, true}, {1, 179, 140, false}};
  auto sideBeside = [](std::vector<int> shortLines, int sideTop = 40) {
    GrayImage image = filled(640, 400, 30);
    fill(image, {160, 40, 240, 300}, 243);
    fill(image, {161, 120, 239, 32}, 215);
    fill(image, {160, sideTop, 1, 120 - sideTop}, 89);
    shortLines.insert(shortLines.end(), {170, 188, 206});
    for (const int y : shortLines) {
      for (int x = 180; x < 260; x += 6) fill(image, {x, y, 2, 9}, 40);
    }
    return image;
  };
  const std::tuple<const char*, GrayImage, std::vector<Region>, std::vector<Probe>> cases[] = {
      {"dark editor right of a light sidebar",
       screen(128, {{{200, 40, 400, 300}, 30, 220, 8}, {{16, 40, 176, 300}, 243, 60, 4}}),
       {{{32, 56, 144, 57}, {16, 40, 176, 300}, 243}, {{216, 56, 368, 121}, {200, 40, 400, 300}, 30}}, {}},
      {"faint text on light gray above white",
       screen(60, {{{40, 24, 560, 120}, 245, 150, 3}, {{40, 200, 560, 160}, 255, 40, 4}}),
       {{{56, 40, 528, 41}, {40, 24, 560, 120}, 245}, {{56, 216, 528, 57}, {40, 200, 560, 160}, 255}}, {}},
      {"lines from a window's left edge", screen(0, {{{10, 48, 320, 100}, 255, 0, 3, 2}}),
       {{{12, 50, 314, 41}, {0, 40, 330, 108}, 255}}, {}},
      {"black on white around light on dark", nested(255, 0, 35, 200), nestedRegions(255, 35), nestedProbes},
      {"light on dark around black on white", nested(30, 230, 255, 0), nestedRegions(30, 255), nestedProbes},
      {"mid gray on light gray around black on white", nested(240, 140, 255, 0), nestedRegions(240, 255), nestedProbes},
      // Buttons and a bold word (a cell full of ink): too small to be panels;
      // each label read against its button.
      {"white and black labels on blue and gray buttons, a bold word",
       screen(20, {{{40, 40, 560, 320}, 255, 0, 4}, {{400, 200, 80, 24}, 90, 255, 1, 8}, {{200, 200, 80, 24}, 225, 0, 1, 8},
                   {{100, 250, 24, 12}, 0, 0, 0}}),
       {{{56, 56, 416, 161}, {40, 40, 560, 320}, 255}},
       {{0, 208, 210, true}, {0, 211, 210, false}, {0, 408, 210, true}, {0, 411, 210, false}}},
      // The window's edge cuts through cells the desktop's color dominates.
      {"glyphs 1 px inside a window; the desktop above it", screen(20, {{{103, 99, 400, 200}, 255, 0, 4, 1}}),
       {{{104, 104, 392, 53}, {96, 96, 408, 208}, 255}}, {{0, 104, 104, true}, {0, 150, 97, false}}},
      // A switch beside a label and the greyed line under it makes them one run of rows; a faint rule joins it.
      {"a greyed line on dark, under a label, a switch beside both", [] {
         GrayImage image = filled(640, 400, 30);
         for (int x = 16; x < 300; x += 6) fill(image, {x, 40, 2, 9}, 220), fill(image, {x, 54, 2, 9}, 145);
         for (const int x : {400, 412}) fill(image, {x, 38, 3, 26}, 200);
         fill(image, {16, 63, 600, 1}, 60);
         return image;
       }(), {{{16, 40, 300, 23}, {0, 0, 640, 400}, 30}}, {{0, 16, 58, true}}},
      // A disabled row's description, 50 steps from the page, alone in its
      // rows, with a frame's side down the page joining all rows to black text.
      {"a faint line beside a rule down the page", [] {
         GrayImage image = filled(640, 400, 255);
         fill(image, {10, 0, 1, 400}, 120);
         for (int x = 40; x < 300; x += 6) fill(image, {x, 40, 2, 9}, 0), fill(image, {x, 70, 2, 9}, 205);
         return image;
       }(), {{{40, 40, 258, 39}, {0, 0, 640, 400}, 255}}, {{0, 40, 74, true}}},
      {"a window without text", screen(20, {{{96, 48, 320, 160}, 255, 0, 0}}), {}, {}},
      {"a toolbar over a sidebar, both gray: one region each",
       screen(255, {{{0, 0, 640, 48}, 230, 0, 1}, {{0, 48, 160, 352}, 230, 0, 5}, {{160, 48, 480, 352}, 255, 0, 5}}),
       {{{16, 16, 608, 9}, {0, 0, 640, 48}, 230},
        {{16, 64, 128, 73}, {0, 48, 160, 352}, 230},
        {{176, 64, 448, 73}, {160, 48, 480, 352}, 255}},
       {}},
      {"two panes of one background parted by a thin line: one region each", [] {
         GrayImage image = screen(30, {{{0, 0, 320, 400}, 30, 220, 5}, {{320, 0, 320, 400}, 30, 220, 5}});
         fill(image, {320, 0, 1, 400}, 60);
         return image;
       }(), {{{16, 16, 288, 73}, {0, 0, 320, 400}, 30}, {{336, 16, 288, 73}, {320, 0, 320, 400}, 30}}, {}},
      {"a selected row as light as the next pane, the line bordering both between: one region each", [] {
         GrayImage image = screen(255, {{{0, 0, 320, 400}, 255, 0, 2}, {{321, 0, 319, 400}, 235, 0, 5},
                                        {{0, 100, 320, 40}, 238, 0, 1}});
         fill(image, {320, 0, 1, 400}, 215);
         return image;
       }(), {{{16, 16, 288, 25}, {0, 0, 320, 100}, 255}, {{337, 16, 287, 73}, {320, 0, 320, 400}, 235},
             {{16, 116, 288, 9}, {0, 100, 320, 40}, 238}}, {}},
      {"the same, the row's border three pixels wide beside the line, darker than it: one region each", [] {
         GrayImage image = screen(255, {{{0, 0, 320, 400}, 255, 0, 2}, {{321, 0, 319, 400}, 235, 0, 5},
                                        {{0, 100, 320, 40}, 238, 0, 1}});
         fill(image, {320, 0, 1, 400}, 215);
         fill(image, {317, 100, 3, 40}, 211);
         return image;
       }(), {{{16, 16, 288, 25}, {0, 0, 320, 100}, 255}, {{337, 16, 287, 73}, {320, 0, 320, 400}, 235},
             {{16, 116, 288, 9}, {0, 100, 320, 40}, 238}}, {}},
      // A window manager's title bar shading from 180 down to 160 over a
      // dark desktop: read as a page of its own, it is blank in the page
      // under it, title and shadow alike.
      {"a light title with a shadow on a gradient bar", [] {
         GrayImage image = screen(30, {{{0, 96, 640, 304}, 255, 0, 3}});
         for (int y = 72; y < 96; ++y) fill(image, {0, y, 640, 1}, static_cast<std::uint8_t>(184 - (y - 72)));
         for (int x = 200; x < 300; x += 6) fill(image, {x + 1, 80, 2, 9}, 110), fill(image, {x, 79, 2, 9}, 255);
         return image;
       }(), {{{200, 79, 96, 9}, {0, 56, 640, 40}, 30}, {{16, 112, 608, 41}, {0, 88, 640, 312}, 255}},
       {{0, 200, 82, false}, {0, 202, 84, false}, {0, 100, 82, false}}},
      // Row numbers in a column of their own, a faint grid over it and the
      // cells: the rule down its edge is erased whole, no piece of it
      // left beside a number.
      {"a dark sheet's row numbers under a faint grid", [] {
         GrayImage image = filled(640, 400, 30);
         fill(image, {0, 0, 46, 400}, 37);
         for (int y = 21; y < 400; y += 22) fill(image, {0, y, 640, 1}, 60);
         for (const int x : {0, 46}) fill(image, {x, 0, 1, 400}, 60);
         for (int y = 28; y + 9 < 400; y += 22) {
           for (const int x : {18, 24}) fill(image, {x, y, 2, 9}, 116);
           for (int x = 60; x < 400; x += 6) fill(image, {x, y, 2, 9}, 220);
         }
         return image;
       }(), {{{18, 28, 8, 9}, {0, 0, 48, 400}, 37}, {{60, 28, 338, 9}, {40, 0, 600, 400}, 30}},
       {{0, 0, 30, false}, {0, 18, 30, true}}},
      // A window's side beside a sidebar's first items, above a selected
      // row: down all of their short page, it kept Tesseract from finding
      // them. Beside one line (a sheet's column letters) it stays.
      {"a window's side beside two short lines", sideBeside({62, 80}),
       {{{180, 62, 80, 27}, {144, 40, 128, 80}, 243}, {{180, 170, 80, 45}, {160, 152, 240, 188}, 243}},
       {{0, 160, 66, false}, {0, 180, 66, true}}},
      {"a window's side down three quarters of the page, below a header's end", sideBeside({44, 62, 80}, 58),
       {{{180, 62, 80, 27}, {144, 40, 128, 80}, 243}, {{180, 170, 80, 45}, {160, 152, 240, 188}, 243}},
       {{0, 160, 66, false}, {0, 180, 66, true}}},
      {"a window's side beside one short line", sideBeside({62}),
       {{{180, 62, 80, 9}, {144, 40, 128, 80}, 243}, {{180, 170, 80, 45}, {160, 152, 240, 188}, 243}},
       {{0, 160, 66, true}}},
      // A bubble's rounded corners, alone in their rows, are not stretched black.
      {"faint corners above a bubble's line", [] {
         GrayImage image = filled(640, 400, 255);
         fill(image, {40, 40, 560, 40}, 231);
         for (const int x : {40, 598}) fill(image, {x, 40, 2, 2}, 252);
         for (int x = 56; x < 500; x += 6) fill(image, {x, 54, 2, 9}, 20);
         return image;
       }(), {{{56, 54, 440, 9}, {40, 40, 560, 40}, 231}}, {{0, 40, 40, false}, {0, 56, 54, true}}},
      // The row starts 3 px above a cell's edge: the cell is the terminal's,
      // and the glyphs' tops are in it. The terminal's page shows none of
      // the row, whose light ground between the glyphs would be ink there.
      {"a reverse-video row starting inside a cell, lines under it", [] {
         GrayImage image = filled(640, 400, 60);
         fill(image, {20, 101, 600, 26}, 215);
         for (int x = 21; x < 618; x += 6) fill(image, {x, 102, 2, 9}, 140), fill(image, {x, 103, 1, 7}, 60);
         for (int x = 36; x < 400; x += 6) fill(image, {x, 140, 2, 9}, 220), fill(image, {x, 156, 2, 9}, 220);
         return image;
       }(), {{{36, 140, 362, 25}, {0, 0, 640, 400}, 60}, {{21, 102, 596, 9}, {0, 101, 640, 27}, 215}},
       {{1, 21, 103, true}, {0, 22, 102, false}, {0, 23, 106, false}}},
      // The window's edge lies inside a cell that mostly shows the desktop:
      // past it, its first column of glyphs is no ink of the desktop's. The
      // glyphs shift line by line, as letters do, so that no column of the
      // window's ground between them runs long enough to be taken for an edge.
      {"a window's first column, seen from the desktop", [] {
         GrayImage image = filled(640, 400, 30);
         for (int x = 16; x < 100; x += 6) fill(image, {x, 16, 2, 9}, 200), fill(image, {x + 500, 370, 2, 9}, 200);
         fill(image, {101, 60, 300, 200}, 230);
         for (int y = 64; y < 250; y += 16) {
           for (int x = 103 + y % 32 / 8; x < 390; x += 4) fill(image, {x, y, 2, 9}, 40);
         }
         return image;
       }(), {{{16, 16, 84, 9}, {0, 0, 640, 400}, 30}, {{100, 64, 290, 185}, {80, 56, 320, 208}, 230}},
       {{0, 105, 66, false}, {0, 103, 82, false}, {0, 17, 20, true}, {1, 103, 66, true}}},
      // A window over the lower right of another, its top edge across a
      // line of the one under it: the parts of its area meet under that line;
      // beside a rule down the area they meet at the window's edge.
      {"a window's edge across a line", [] {
         GrayImage image = filled(640, 400, 40);
         fill(image, {300, 104, 340, 296}, 0);
         for (const int y : {40, 98, 120}) {
           for (int x = 20; x < (y == 40 ? 580 : 250); x += 6) fill(image, {x, y, 2, 9}, 200);
         }
         return image;
       }(), {{{20, 98, 230, 9}, {0, 0, 640, 112}, 40}, {{20, 120, 230, 9}, {0, 104, 300, 296}, 40}}, {}},
      // ... and across a line that begins at its part's top, with no blank
      // row above it there: the parts meet under it.
      {"a window's edge across a line at the top of its part", [] {
         GrayImage image = filled(640, 400, 40);
         fill(image, {0, 0, 300, 88}, 120);
         fill(image, {300, 0, 340, 104}, 240);
         for (int x = 20; x < 250; x += 6) fill(image, {x, 89, 2, 20}, 200);
         for (int x = 20; x < 580; x += 6) fill(image, {x, 130, 2, 9}, 200);
         return image;
       }(), {{{20, 89, 230, 20}, {0, 88, 300, 24}, 40}, {{20, 130, 560, 9}, {0, 104, 640, 296}, 40}}, {}},
      {"a window's edge across a rule", [] {
         GrayImage image = filled(640, 400, 40);
         fill(image, {300, 104, 340, 296}, 0);
         for (int x = 20; x < 580; x += 6) fill(image, {x, 40, 2, 9}, 200);
         fill(image, {150, 90, 2, 310}, 200);
         return image;
       }(), {{{20, 40, 560, 9}, {0, 0, 640, 104}, 40}, {{150, 104, 2, 296}, {0, 104, 300, 296}, 40}}, {}},
      // A gradient's rows drift from the area's gray: the ground is no ink.
      {"text on a gradient", [] {
         GrayImage image = filled(640, 400, 0);
         for (int y = 0; y < 400; ++y) fill(image, {0, y, 640, 1}, static_cast<std::uint8_t>(90 - 74 * y / 400));
         for (const int y : {40, 200, 360}) {
           for (int x = 20; x < 580; x += 6) fill(image, {x, y, 2, 9}, 230);
         }
         return image;
       }(), {{{20, 40, 560, 329}, {0, 0, 640, 400}, 17}},
       {{0, 21, 44, true}, {0, 24, 44, false}, {0, 24, 364, false}}},
      // Two 32 px strokes meeting at the foot, filling whole cells of one
      // gray but little of their box, are no area of their own.
      {"a huge bold V in a line of text", [] {
         GrayImage image = screen(255, {{{0, 0, 640, 400}, 255, 0, 3}});
         for (int row = 0; row < 80; ++row) {
           fill(image, {200 + row / 3, 200 + row, 32, 1}, 20), fill(image, {280 - row / 3, 200 + row, 32, 1}, 20);
         }
         return image;
       }(), {{{16, 16, 608, 263}, {0, 0, 640, 400}, 255}}, {{0, 210, 210, true}}},
      // The same shape shading down from gray to dark is a thumbnail's
      // gradient split into wedges: its own area, blank on the page.
      {"a gradient's wedge as sparse", [] {
         GrayImage image = screen(255, {{{0, 0, 640, 400}, 255, 0, 3}});
         for (int row = 0; row < 80; ++row) {
           const auto gray = static_cast<std::uint8_t>(140 - row / 4);
           fill(image, {200 + row / 3, 200 + row, 32, 1}, gray), fill(image, {280 - row / 3, 200 + row, 32, 1}, gray);
         }
         return image;
       }(), {{{16, 16, 608, 41}, {0, 0, 640, 400}, 255}}, {{0, 210, 210, false}}},
      // A large button of one gray fills its box: an area of its own.
      {"a large dark button", screen(255, {{{0, 0, 640, 400}, 255, 0, 3}, {{400, 200, 120, 48}, 40, 230, 1, 16}}),
       {{{16, 16, 608, 41}, {0, 0, 640, 400}, 255}, {{416, 216, 88, 9}, {400, 200, 120, 48}, 40}},
       {{0, 402, 202, false}}},
      {"a sheet's grid lines, close together, part nothing", [] {
         GrayImage image = screen(255, {{{0, 0, 640, 400}, 255, 0, 5}});
         for (int x = 100; x < 640; x += 100) fill(image, {x, 0, 1, 400}, 225);
         return image;
       }(), {{{16, 16, 608, 73}, {0, 0, 640, 400}, 255}}, {}},
  };
  for (const auto& [what, image, expected, probes] : cases) {
    const BackgroundMap map = mapBackground(image);
    const std::vector<TextRegion> regions = findTextRegions(image, map);
    ASSERT_EQ(regions.size(), expected.size()) << what;
    for (std::size_t i = 0; i < regions.size(); ++i) {
      EXPECT_TRUE(contains(regions[i].bounds, expected[i].text)) << what << i;
      EXPECT_TRUE(contains(expected[i].frame, regions[i].bounds)) << what << i;
      EXPECT_EQ(regions[i].background, expected[i].background) << what << i;
    }
    for (const Probe& p : probes) {
      const Rect& r = regions[p.region].bounds;
      const GrayImage page = preparePage(image, map, regions[p.region]);
      const bool inside = p.x >= r.x && p.y >= r.y && p.x < r.right() && p.y < r.bottom();
      const int value = inside ? page.at(p.x - r.x, p.y - r.y) : 255;
      EXPECT_TRUE(p.ink ? value < 100 : value > 255 - kInkContrast) << what << ": " << value << " at " << p.x << "," << p.y;
    }
  }
}

// A page of text rows, with rows of another area's ground at its bottom:
// `ground` rows, gaps between blots (1 = no gaps), `blank` rows below them
// left out of the page. Whether the ground's row at the given depth is
// blank afterwards, and the text above stays.
TEST(ForeignEdgeRows, ASliceThinnerThanACellIsBlanked) {
  struct Case {
    const char* what;
    int ground;
    int blotEvery;
    int blank;
    bool blanked;
  };
  const Case cases[] = {
      {"a reverse-video row's first 4 rows", 4, 6, 0, true},
      {"the same below rows left out of the page", 4, 6, 5, true},
      {"a panel a cell high", 8, 6, 0, false},
      {"light glyphs' strokes, far apart", 4, 1, 0, false},
  };
  constexpr int kCell = 8;
  for (const Case& c : cases) {
    const int rows = 20 + c.ground + c.blank;
    GrayImage page = filled(200, rows, 255);
    std::vector<std::uint8_t> foreign(page.pixels.size(), 0);
    for (int x = 10; x < 190; x += 6) fill(page, {x, 8, 2, 9}, 0);
    for (int y = 20; y < 20 + c.ground; ++y) {
      for (int x = 10; x < 190; ++x) {
        const bool judged = c.blotEvery == 1 ? x % 12 == 0 : x % c.blotEvery != 0;
        foreign[static_cast<std::size_t>(y) * 200 + x] = judged;
        if (judged) page.pixels[static_cast<std::size_t>(y) * 200 + x] = 100;
      }
    }
    for (std::size_t at = static_cast<std::size_t>(20 + c.ground) * 200; at < foreign.size(); ++at) foreign[at] = 1;
    blankForeignEdgeRows(page, foreign, kCell);
    const int blot = c.blotEvery == 1 ? 12 : 11;
    EXPECT_EQ(page.at(blot, 20 + c.ground - 1) == 255, c.blanked) << c.what;
    EXPECT_EQ(page.at(10, 10), 0) << c.what;
  }
}

TEST(TitleBarPage, ItsTitleInkWhateverAreasTheBarLiesOver) {
  // A bar shading from 184 down over a window (39) and the desktop (30),
  // its light title, with a dark shadow, lying over both.
  GrayImage image = screen(30, {{{0, 96, 320, 304}, 39, 200, 3}});
  // Beside it, level with it, another window's bar (side by side windows).
  for (int y = 72; y < 96; ++y) {
    fill(image, {100, y, 440, 1}, static_cast<std::uint8_t>(184 - (y - 72)));
    fill(image, {560, y, 80, 1}, static_cast<std::uint8_t>(120 - (y - 72)));
  }
  for (int x = 260; x < 380; x += 6) fill(image, {x + 1, 80, 2, 9}, 110), fill(image, {x, 79, 2, 9}, 255);
  const std::vector<GradientBar> bars = findGradientBars(image);
  ASSERT_EQ(bars.size(), 2U);
  EXPECT_EQ(bars.back().left, 560);
  const GradientBar& bar = bars.front();
  EXPECT_TRUE(moreInkLighter(image, bar)) << "the title's side";
  const GrayImage page = prepareTitleBar(image, bar);
  ASSERT_EQ(page.width, bar.right - bar.left);
  const auto at = [&](int x, int y) { return page.at(x - bar.left, y - bar.top); };
  for (const int x : {260, 374}) EXPECT_LT(at(x, 82), 100) << "title at " << x;
  EXPECT_EQ(at(262, 86), 255) << "its shadow";
  EXPECT_EQ(at(200, 82), 255) << "the bar";
}

TEST(EraseRules, RemovesRunsAtLeastTheGivenLength) {
  const std::tuple<const char*, Rect, std::uint8_t, bool> cases[] = {
      {"a table rule", {10, 10, 150, 1}, 0, true},
      {"a window border", {5, 0, 1, 100}, 40, true},
      {"a rule just long enough", {50, 46, 40, 2}, 0, true},
      {"a title bar's gradient, faint but ink", {100, 60, 60, 2}, 180, true},
      {"three lines' stems, touching", {30, 20, 2, 79}, 0, false},
      {"a large bold word's strokes, touching", {120, 30, 60, 12}, 0, false},
      {"a dash just short of a rule", {50, 40, 39, 3}, 0, false},
      {"lighter than any ink", {100, 80, 60, 1}, 220, false},
  };
  GrayImage page = filled(200, 100, 255);
  for (const auto& [what, r, gray, erased] : cases) fill(page, r, gray);
  eraseRules(page, 40, 80);
  for (const auto& [what, r, gray, erased] : cases) EXPECT_EQ(page.at(r.x, r.y + r.height / 2), erased ? 255 : gray) << what;
}

TEST(EraseRules, ErasesAnUnderlineBrokenByDescendersAndKeepsUnderscores) {
  // Pieces of one row (y 30), thin or under a letter's foot; whether they are erased.
  const std::tuple<const char*, std::vector<Rect>, std::vector<Rect>, bool> cases[] = {
      {"an underline broken by two descenders", {{10, 30, 20, 1}, {34, 30, 14, 1}, {52, 30, 20, 1}}, {}, true},
      {"underscores a word apart", {{10, 30, 8, 1}, {40, 30, 8, 1}, {70, 30, 8, 1}}, {}, false},
      {"one underscore", {{10, 30, 12, 1}}, {}, false},
      {"a short underline's pieces", {{10, 30, 12, 1}, {26, 30, 10, 1}}, {}, false},
      {"a dashed line's sparse dashes",
       {{10, 30, 3, 1}, {18, 30, 3, 1}, {26, 30, 3, 1}, {34, 30, 3, 1}, {42, 30, 3, 1}, {50, 30, 3, 1}}, {}, false},
      {"letters' feet standing on the row", {{10, 30, 20, 1}, {34, 30, 14, 1}, {52, 30, 20, 1}},
       {{10, 20, 20, 10}, {34, 20, 14, 10}, {52, 20, 20, 10}}, false},
  };
  for (const auto& [what, pieces, above, erased] : cases) {
    GrayImage page = filled(100, 50, 255);
    for (const Rect& r : pieces) fill(page, r, 0);
    for (const Rect& r : above) fill(page, r, 0);
    eraseBrokenUnderlines(page);
    for (const Rect& r : pieces) EXPECT_EQ(page.at(r.x + 1, 30), erased ? 255 : 0) << what;
  }
}

TEST(EraseRules, KeepsABarThatGlyphsCrossAtTheirPitch) {
  // A 120 px bar, and 2 px wide stems crossing it at the given columns,
  // reaching 4 px above it and, unless only above, 4 px below.
  const std::tuple<const char*, std::vector<int>, bool, bool> cases[] = {
      {"pluses side by side", {14, 22, 30, 38, 46, 54, 62, 70}, false, false},
      {"a grid's columns", {10, 40, 70, 100, 126}, false, true},
      {"an underline's descenders, unevenly", {14, 19, 33, 41, 56, 60}, false, true},
      {"letters standing on an underline", {14, 22, 30, 38, 46, 54, 62, 70}, true, true},
  };
  for (const auto& [what, stems, onlyAbove, erased] : cases) {
    GrayImage page = filled(200, 40, 255);
    fill(page, {10, 20, 120, 1}, 0);
    for (const int x : stems) fill(page, {x, 16, 2, onlyAbove ? 4 : 9}, 0);
    eraseRules(page, 40, 80);
    EXPECT_EQ(page.at(100, 20), erased ? 255 : 0) << what;
  }
}

TEST(EraseRules, KeepsALargeGlyphsBarThatTurnsIntoASlantingStroke) {
  // A 50 px bar 5 px thick, and at its left end a 5 px stroke 30 rows up,
  // slanting right by `slant` px a row, or, at both ends, a straight side.
  const std::tuple<const char*, int, bool, bool> cases[] = {
      {"a large 2's base", 1, false, false},
      {"a window's frame, half covered", 0, false, true},
      {"a box's frame", 0, true, true},
  };
  for (const auto& [what, slant, bothEnds, erased] : cases) {
    GrayImage page = filled(120, 60, 255);
    fill(page, {10, 40, 50, 5}, 0);
    for (int row = 0; row < 30; ++row) fill(page, {10 + slant * row / 2, 39 - row, 5, 1}, 0);
    if (bothEnds) fill(page, {55, 10, 5, 30}, 0);
    eraseRules(page, 40, 80);
    EXPECT_EQ(page.at(35, 42), erased ? 255 : 0) << what;
  }
}

TEST(EraseRules, KeepsTheBarOfTwoFsInALargeHeading) {
  // A 50 px bar 5 px thick, crossed by stems `width` px wide at columns 24
  // and 40 that reach 20 rows above it and below, or only 3 below; inside
  // its ends, or at them.
  const std::tuple<const char*, int, int, std::vector<int>, bool> cases[] = {
      {"an ff ligature", 6, 20, {24, 40}, false},
      {"a thin grid's columns", 1, 20, {24, 40}, true},
      {"descenders ending under the bar", 6, 3, {24, 40}, true},
      {"a frame's sides at its ends", 6, 20, {10, 54}, true},
      {"one stem", 6, 20, {40}, true},
  };
  for (const auto& [what, width, below, stems, erased] : cases) {
    GrayImage page = filled(120, 80, 255);
    fill(page, {10, 40, 50, 5}, 0);
    for (const int x : stems) fill(page, {x, 20, width, 25 + below}, 0);
    eraseRules(page, 40, 80);
    EXPECT_EQ(page.at(33, 42), erased ? 255 : 0) << what;
  }
}

TEST(EraseOuterSides, ALineDownMostOfThePageOrABareWallAtItsSide) {
  // A line 3 px inside the page's left side, beside lines of 2x9 bars, and
  // what stands beside it: every `besideEvery` rows, a pixel of ink.
  const std::tuple<const char*, Rect, int, bool> cases[] = {
      {"a side down most of the page, marks beside it", {3, 0, 1, 320}, 4, true},
      {"a border cut short", {3, 0, 1, 110}, 0, true},
      {"a border two pixels wide", {3, 0, 2, 110}, 0, true},
      {"a border three pixels wide", {3, 0, 3, 110}, 0, false},
      {"shorter than a wall", {3, 0, 1, 40}, 0, false},
      {"stems with their bowls beside them", {3, 0, 1, 110}, 4, false},
      {"not the outermost ink", {30, 0, 1, 110}, 0, false},
  };
  for (const auto& [what, line, besideEvery, erased] : cases) {
    GrayImage page = filled(200, 400, 255);
    for (int y = 10; y + 9 < page.height; y += 16) {
      for (int x = 20; x + 2 < 180; x += 6) fill(page, {x, y, 2, 9}, 0);
    }
    fill(page, line, 0);
    for (int y = line.y; besideEvery > 0 && y < line.bottom(); y += besideEvery) fill(page, {line.right(), y, 1, 1}, 0);
    eraseOuterSides(page);
    EXPECT_EQ(page.at(line.x, line.y + line.height / 2), erased ? 255 : 0) << what;
  }
}

TEST(EraseFaintGrid, RemovesFaintRulesOnlyWhereTheyCrossAsAGrid) {
  // Faint rules across and down a page with a glyph in a cell; whether they go.
  const std::tuple<const char*, int, int, bool> cases[] = {
      {"a sheet's cell borders", 4, 4, true},
      {"three each way, the fewest that are a grid", 3, 3, true},
      {"separators across only", 4, 0, false},
      {"two panels' borders down, three across", 3, 2, false},
  };
  for (const auto& [what, across, down, erased] : cases) {
    GrayImage page = filled(700, 400, 255);
    for (int i = 0; i < across; ++i) fill(page, {0, 20 + 90 * i, 700, 1}, 221);
    for (int i = 0; i < down; ++i) fill(page, {30 + 150 * i, 0, 1, 400}, 221);
    fill(page, {60, 40, 2, 9}, 221);  // a greyed glyph's stem, no rule
    eraseFaintGrid(page);
    EXPECT_EQ(page.at(350, 20), erased ? 255 : 221) << what;
    if (down > 0) {
      EXPECT_EQ(page.at(30, 200), erased ? 255 : 221) << what;
    }
    EXPECT_EQ(page.at(60, 44), 221) << what;
  }
}

TEST(EraseLabelFrames, ThinOutlinesAroundALabelButNotRingsOrBoxesTouchingIt) {
  // An outline one pixel wide (`inset` 1) or a ring of that thickness, its
  // corners of another gray; a label inside; whether the outline goes.
  struct Case {
    const char* what;
    Rect frame;
    int inset;
    int corner;  // the gray at its corners
    Rect label;
    bool erased;
  };
  const Case cases[] = {
      {"a button, rounded corners faint", {10, 10, 80, 28}, 1, 240, {30, 18, 40, 12}, true},
      {"a text field, square corners", {10, 10, 150, 24}, 1, 213, {14, 16, 60, 10}, true},
      {"a frame whose corners, fainter still, break it apart", {10, 10, 80, 28}, 1, 250, {30, 18, 40, 12}, false},
      {"a label touching its frame", {10, 10, 80, 28}, 1, 213, {10, 18, 40, 12}, false},
      {"a check box, as high as wide", {10, 10, 20, 20}, 1, 213, {14, 14, 10, 10}, false},
      {"a thick bar round a blank, a large bold O's", {10, 10, 60, 36}, 9, 213, {30, 25, 2, 2}, false},
      {"a window's border, too tall", {10, 10, 180, 120}, 1, 213, {30, 40, 40, 12}, false},
  };
  for (const Case& c : cases) {
    GrayImage page = filled(200, 140, 255);
    fill(page, c.frame, 213);
    // Each corner's three outer pixels, as a rounded corner's smoothing leaves them.
    for (const int x : {c.frame.x, c.frame.right() - 2}) {
      for (const int y : {c.frame.y, c.frame.bottom() - 2}) fill(page, {x, y, 2, 2}, static_cast<std::uint8_t>(c.corner));
    }
    fill(page, {c.frame.x + c.inset, c.frame.y + c.inset, c.frame.width - 2 * c.inset, c.frame.height - 2 * c.inset},
         255);
    fill(page, c.label, 0);
    eraseLabelFrames(page);
    EXPECT_EQ(page.at(c.frame.x + c.frame.width / 2, c.frame.y), c.erased ? 255 : 213) << c.what;
    EXPECT_EQ(page.at(c.label.x + 1, c.label.y + 1), 0) << c.what;
  }
}

TEST(EraseLabelFrames, PillsWhoseRoundEndsWouldReadAsParentheses) {
  // A pill's outline `thickness` thick within a box at (10, 10), a label inside.
  const std::tuple<const char*, int, int, int, bool> cases[] = {
      {"a store's button", 70, 28, 1, true},
      {"a thick ring round a blank, a bold heading's glyphs", 70, 28, 8, false},
      {"a round button, as high as wide", 28, 28, 1, false},
  };
  for (const auto& [what, width, height, thickness, erased] : cases) {
    GrayImage page = filled(120, 60, 255);
    const double radius = height / 2.0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const double end = std::clamp(x + 0.5, radius, width - radius);
        const double inward = radius - std::hypot(x + 0.5 - end, y + 0.5 - radius);
        if (inward >= 0 && inward < thickness) page.pixels[static_cast<std::size_t>(10 + y) * 120 + 10 + x] = 213;
      }
    }
    fill(page, {10 + width / 2 - 4, 18, 8, 12}, 0);
    eraseLabelFrames(page);
    EXPECT_EQ(page.at(10 + width / 2, 10), erased ? 255 : 213) << what;
    EXPECT_EQ(page.at(10, 10 + height / 2), erased ? 255 : 213) << what;
    EXPECT_EQ(page.at(10 + width / 2, 20), 0) << what;
  }
}

TEST(OnlyTokensOfInk, SpecksCornersAndShortTokensButNoWordOrLargeText) {
  // Gray rectangles on white, 120x60; whether the ink is tokens only, lines 10 to 40 rows high.
  using Ink = std::vector<std::pair<Rect, std::uint8_t>>;
  const auto stems = [](int count, int x, std::uint8_t gray) {
    Ink ink;
    for (int i = 0; i < count; ++i) ink.push_back({{x + 6 * i, 10, 3, 14}, gray});
    return ink;
  };
  const auto joined = [](Ink a, const Ink& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const std::tuple<const char*, Ink, bool> cases[] = {
      {"nothing", {}, true},
      {"a window's corner, its long edge, and a dash", {{{10, 6, 2, 14}, 0}, {{10, 18, 60, 2}, 0}, {{80, 12, 8, 2}, 0}},
       true},
      {"a token of three glyphs", stems(3, 10, 0), true},
      {"two tokens far apart", joined(stems(3, 10, 0), stems(3, 80, 0)), true},
      {"dashes too flat for text", {{{10, 10, 3, 4}, 0}, {{16, 10, 3, 4}, 0}, {{22, 10, 3, 4}, 0}, {{28, 10, 3, 4}, 0}},
       true},
      {"a word of five glyphs", stems(5, 10, 0), false},
      {"a greyed word", stems(5, 10, 225), false},
      {"a word whose antialiased edges meet", joined({{{10, 10, 30, 14}, 235}}, stems(5, 10, 100)), false},
      {"a large glyph taller than a line", {{{10, 5, 30, 45}, 0}}, false},
  };
  for (const auto& [what, ink, tokens] : cases) {
    GrayImage page = filled(120, 60, 255);
    for (const auto& [box, gray] : ink) fill(page, box, gray);
    EXPECT_EQ(onlyTokensOfInk(page, {0, 60}, {0, 120}, {10, 40}), tokens) << what;
  }
}

TEST(EraseCursorsAndIcons, RemovesBlocksOutlinesAndLoneSquaresButNotLetters) {
  // Dark rectangles, light ones cut out of them, dark ones inside; a pixel of the edge; whether erased.
  const std::tuple<const char*, std::vector<Rect>, std::vector<Rect>, std::vector<Rect>, int, int, bool> cases[] = {
      {"a block cursor", {{20, 20, 6, 13}}, {}, {}, 22, 25, true},
      {"a hollow cursor", {{20, 20, 6, 13}}, {{21, 21, 4, 11}}, {}, 20, 25, true},
      {"a hollow cursor cut by the page's bottom", {{20, 34, 6, 6}}, {{21, 35, 4, 5}}, {}, 20, 37, true},
      {"the stem of a bold I", {{20, 14, 4, 16}}, {}, {}, 21, 25, false},
      {"a dot", {{20, 20, 3, 3}}, {}, {}, 21, 21, false},
      {"the dot of a large bold i", {{20, 20, 9, 9}}, {}, {}, 24, 24, false},
      {"the stem of a bold i under its dot", {{20, 20, 6, 13}, {20, 14, 6, 5}}, {}, {}, 22, 25, false},
      {"a block cursor under a letter of the line above", {{20, 20, 6, 13}, {18, 6, 10, 12}}, {}, {}, 22, 25, true},
      {"an O with cut corners", {{20, 20, 6, 13}}, {{21, 21, 4, 11}, {20, 20, 1, 1}, {25, 32, 1, 1}}, {}, 20, 25, false},
      {"an outline round a letter", {{20, 20, 6, 13}}, {{21, 21, 4, 11}}, {{22, 24, 2, 5}}, 20, 25, false},
      {"a u", {{20, 24, 6, 9}}, {{21, 24, 4, 8}}, {}, 20, 28, false},
      // Squares a dozen pixels wide, and a label's letters beside them.
      {"an icon before its label", {{4, 14, 14, 14}, {24, 16, 3, 11}, {30, 16, 3, 11}}, {}, {}, 10, 20, true},
      {"an avatar beside a name under half its height", {{4, 8, 24, 24}, {32, 16, 2, 9}}, {}, {}, 10, 20, false},
      {"a large period beside taller letters", {{4, 26, 12, 12}, {20, 2, 4, 36}}, {}, {}, 10, 30, false},
      {"an unchecked box, its corners rounded", {{4, 14, 14, 14}, {24, 16, 3, 11}},
       {{6, 16, 10, 10}, {4, 14, 1, 1}, {17, 27, 1, 1}}, {}, 4, 20, true},
      {"a U as tall as its label", {{4, 14, 14, 14}, {24, 16, 3, 11}}, {{6, 14, 10, 12}}, {}, 4, 20, false},
      {"the dots of an ellipsis", {{10, 20, 3, 3}, {16, 20, 3, 3}, {22, 20, 3, 3}}, {}, {}, 17, 21, false},
      {"a bold H as tall as its label", {{4, 14, 4, 14}, {14, 14, 4, 14}, {4, 19, 14, 4}, {24, 16, 3, 11}}, {}, {}, 5, 20,
       false},
      {"a ring round a mark", {{4, 14, 14, 14}, {24, 16, 3, 11}}, {{6, 16, 10, 10}}, {{10, 20, 2, 2}}, 4, 20, false},
  };
  for (const auto& [what, dark, light, inside, x, y, erased] : cases) {
    GrayImage page = filled(60, 40, 255);
    for (const Rect& r : dark) fill(page, r, 0);
    for (const Rect& r : light) fill(page, r, 255);
    for (const Rect& r : inside) fill(page, r, 0);
    eraseCursorsAndIcons(page, 4, 8);
    EXPECT_EQ(page.at(x, y), erased ? 255 : 0) << what;
  }
  GrayImage stems = filled(60, 40, 255);
  fill(stems, {20, 20, 6, 13}, 0);
  fill(stems, {22, 20, 2, 13}, 160);
  eraseCursorsAndIcons(stems, 4, 8);
  EXPECT_EQ(stems.at(20, 25), 0) << "two stems of small light text blended into a block, lighter between";
  // Discs of radius r beside a label's letters, initials cut out of them or not; whether erased.
  const std::tuple<const char*, int, bool, bool> discs[] = {
      {"a plain avatar", 14, false, true}, {"an avatar with initials", 14, true, false}, {"a bullet", 5, false, false}};
  for (const auto& [what, r, initials, erased] : discs) {
    GrayImage page = filled(60, 40, 255);
    for (int y = 20 - r; y <= 20 + r; ++y) {
      for (int x = 20 - r; x <= 20 + r; ++x) {
        if ((x - 20) * (x - 20) + (y - 20) * (y - 20) <= r * r) page.pixels[static_cast<std::size_t>(y) * 60 + x] = 0;
      }
    }
    fill(page, {40, 16, 3, 9}, 0);
    if (initials) fill(page, {17, 15, 2, 10}, 255);
    eraseCursorsAndIcons(page, 4, 8);
    EXPECT_EQ(page.at(20 + r / 2, 20), erased ? 255 : 0) << what;
  }
}

TEST(ReadChipsOnTheirFill, ReadsATagsLabelAgainstTheTagAndLeavesLettersAndBars) {
  // On a panel of gray `panel`: a shape of gray `fill` (in the screen's cells of rows 24 to 31 `lower`,
  // where the screen's grays may judge its colour apart), `label` strokes within of gray 255; whether
  // the label comes out dark on a white tag. The page judges each pixel against the panel, or in
  // `ownCells` against its cell's commonest gray, as cells that a tag mostly fills are.
  struct Case {
    const char* what;
    int panel, fill, lower;
    Rect shape;
    std::vector<Rect> label, panelInside;
    bool read, ownCells = false;
  };
  const std::vector<Rect> label{{20, 12, 2, 14}, {30, 12, 2, 14}};
  const Case cases[] = {
      {"a white label on a blue tag, a dark panel", 32, 89, 89, {10, 8, 60, 20}, label, {}, true},
      {"a white label on a tag on a white panel", 255, 89, 89, {10, 8, 60, 20}, label, {}, true},
      {"a tag whose lower cells came out another gray", 32, 89, 210, {10, 8, 60, 20}, label, {}, true},
      {"a tag whose cells took its fill for theirs", 32, 89, 89, {12, 8, 60, 20}, label, {}, true, true},
      {"a bold O, as wide as high, the panel within", 32, 200, 200, {10, 8, 16, 16}, {}, {{14, 12, 8, 8}}, false},
      // A disc's corners, carved as steps: it fills less of its box than a tag.
      {"a round avatar with initials", 32, 110, 110, {14, 4, 32, 32}, label,
       {{14, 4, 11, 4}, {14, 4, 4, 11}, {35, 4, 11, 4}, {42, 4, 4, 11}, {14, 32, 11, 4}, {14, 25, 4, 11},
        {35, 32, 11, 4}, {42, 25, 4, 11}},
       true},
      {"a bold O as high as an avatar, the panel within", 32, 200, 200, {10, 8, 24, 24}, {}, {{15, 13, 14, 14}}, false},
      {"a bar with no label", 32, 89, 89, {10, 8, 60, 16}, {}, {}, false},
      {"a switch, its knob solid", 32, 89, 89, {10, 8, 34, 18}, {{28, 10, 14, 14}}, {}, false},
      {"a shape too low for a line of text", 32, 89, 89, {10, 8, 60, 8}, {{20, 10, 2, 4}}, {}, false},
  };
  for (const Case& c : cases) {
    GrayImage screen = filled(80, 40, static_cast<std::uint8_t>(c.panel));
    fill(screen, c.shape, static_cast<std::uint8_t>(c.fill));
    const int lowerRows = std::max(0, c.shape.bottom() - 24);
    fill(screen, {c.shape.x, 24, c.shape.width, lowerRows}, static_cast<std::uint8_t>(c.lower));
    for (const Rect& r : c.label) fill(screen, r, 255);
    for (const Rect& r : c.panelInside) fill(screen, r, static_cast<std::uint8_t>(c.panel));
    GrayImage page = screen;
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 80; ++x) {
        const bool fillsCell = c.ownCells && c.shape.x <= x / 8 * 8 + 4 && x / 8 * 8 + 4 <= c.shape.right() &&
                               c.shape.y <= y / 8 * 8 && y / 8 * 8 + 8 <= c.shape.bottom();
        const int own = fillsCell ? c.fill : c.panel;
        page.pixels[static_cast<std::size_t>(y) * 80 + x] =
            static_cast<std::uint8_t>(255 - std::abs(screen.at(x, y) - own));
      }
    }
    const GrayImage before = page;
    readChipsOnTheirFill(page, screen, {0, 0, 80, 40});
    if (!c.read) {
      EXPECT_EQ(page.pixels, before.pixels) << c.what;
      continue;
    }
    for (int y : {12, 25}) EXPECT_LT(page.at(20, y), 64) << c.what;
    for (const auto& [x, y] : {std::pair{40, 14}, {40, 25}, {8, 12}, {71, 12}}) {
      EXPECT_EQ(page.at(x, y), 255) << c.what << " at " << x << "," << y;
    }
  }
}

TEST(UnderscoreAfter, FindsOnlyALetterLongHairlineAtTheWordsEnd) {
  // The word ends at x 30, its baseline at y 20 with 10 rows above, its line's box down to y 25.
  const std::tuple<const char*, std::vector<Rect>, bool> cases[] = {
      {"an underscore", {{29, 24, 9, 1}}, true},
      {"an underscore two rows thick", {{29, 24, 9, 2}}, true},
      {"an underline beneath the next word", {{29, 24, 30, 1}}, false},
      {"a bar three rows thick", {{29, 23, 9, 3}}, false},
      {"a T of the line below, its bar in this line's box", {{29, 25, 9, 1}, {33, 26, 1, 8}}, false},
      {"the tail of a y", {{28, 24, 2, 1}}, false},
      {"a letter reaching just under the baseline", {{22, 14, 9, 9}}, false},
      {"an underscore after a foot that ends a row under the baseline", {{22, 14, 9, 8}, {31, 24, 9, 1}}, true},
      {"the bowl of a descender", {{26, 24, 5, 1}, {26, 22, 1, 2}, {30, 22, 1, 2}}, false},
      {"an underscore after a space", {{38, 24, 8, 1}}, false},
      {"an underscore after a y, whose tail bends left under it", {{26, 21, 2, 3}, {24, 24, 3, 1}, {31, 25, 9, 1}}, true},
      {"an underscore on the baseline", {{30, 19, 9, 1}}, true},
      {"the flat foot of the next word's Z", {{31, 11, 8, 1}, {31, 19, 8, 1}, {32, 12, 6, 7}}, false},
  };
  for (const auto& [what, ink, underscore] : cases) {
    GrayImage page = filled(80, 40, 255);
    for (const Rect& r : ink) fill(page, r, 60);
    EXPECT_EQ(underscoreAfter(page, {30, 20, 10, 25}, 2), underscore) << what;
  }
  // Over small monospace text Tesseract's box may end a row under the baseline, above the underscore.
  GrayImage page = filled(80, 40, 255);
  fill(page, {29, 23, 9, 1}, 60);
  EXPECT_TRUE(underscoreAfter(page, {30, 20, 10, 21}, 2)) << "an underscore just under a tight box";
  // Large bold text's underscore is as thick as a sixth of its ascent, a bar thicker is none.
  for (const auto& [rows, underscore] : {std::pair{5, true}, std::pair{6, false}}) {
    GrayImage large = filled(80, 60, 255);
    fill(large, {29, 24, 12, rows}, 60);
    EXPECT_EQ(underscoreAfter(large, {30, 20, 30, 25}, 2), underscore) << rows << " rows thick under a 30-row ascent";
  }
}

TEST(UnderscoreRuns, CountsLinesUnderNoLetterAlongTheWord) {
  // Letters over x 40..89 above the baseline at y 30 (ascent 20: an
  // underscore 15 px long); Tesseract's word box over x 20..105.
  using Runs = std::vector<UnderscoreRun>;
  const std::tuple<const char*, std::vector<Rect>, Runs> cases[] = {
      {"two before, from outside the box", {{10, 33, 30, 1}}, {{{10, 40}, 2}}},
      {"one after", {{91, 33, 15, 1}}, {{{91, 106}, 1}}},
      {"one between letters", {{90, 33, 15, 1}, {105, 12, 10, 18}}, {{{90, 105}, 1}}},
      {"two before after a period", {{10, 33, 30, 1}, {4, 27, 3, 3}}, {{{10, 40}, 2}}},
      {"an underline beneath the word, from just before it", {{36, 33, 70, 1}}, {}},
      {"one joining the word before, read there", {{10, 33, 30, 1}, {2, 12, 6, 18}}, {}},
      {"one after, three rows thick: a sixth of the ascent", {{91, 33, 15, 3}}, {{{91, 106}, 1}}},
      {"a bar four rows thick, past a sixth of the ascent", {{10, 33, 30, 4}}, {}},
      {"shorter than an underscore", {{92, 33, 9, 1}}, {}},
  };
  for (const auto& [what, ink, runs] : cases) {
    GrayImage page = filled(160, 50, 255);
    fill(page, {40, 10, 50, 20}, 0);
    for (const Rect& r : ink) fill(page, r, 0);
    EXPECT_EQ(underscoreRuns(page, {20, 10, 86, 24}, {106, 30, 20, 34}, 2), runs) << what;
  }
}

// "l" for a flagged stem whose foot bends right, "1" for one whose base
// reaches both ways, "flag" for another flagged stem, "" for any other glyph.
std::string stemKind(const GrayImage& page, const Rect& box) {
  const StemShape shape = stemShape(page, box);
  if (!flagged(shape)) return "";
  return footReaches(shape, true) ? "1" : footReaches(shape, false) ? "l" : "flag";
}

TEST(GlyphShapes, StemsByTheirFlagAndFootAZeroByItsMiddle) {
  // Strokes of a glyph, its box; the kind of stem, whether ink at its
  // middle, whether a ring around a mark.
  const Rect ring[] = {{20, 10, 14, 3}, {20, 31, 14, 3}, {20, 10, 3, 24}, {31, 10, 3, 24}};
  const auto withRing = [&](std::vector<Rect> more, int rightSide = 24) {
    std::vector<Rect> strokes(std::begin(ring), std::end(ring));
    strokes.back().height = rightSide;
    strokes.insert(strokes.end(), more.begin(), more.end());
    return strokes;
  };
  const std::tuple<const char*, std::vector<Rect>, Rect, const char*, bool, bool> cases[] = {
      {"a monospace l", {{20, 10, 6, 3}, {24, 10, 4, 24}, {24, 30, 8, 4}}, {20, 10, 12, 24}, "l", false, false},
      {"a monospace 1", {{20, 10, 6, 3}, {24, 10, 4, 24}, {20, 30, 12, 4}}, {20, 10, 12, 24}, "1", false, false},
      {"a flagged stem without a foot", {{20, 10, 6, 3}, {24, 10, 4, 24}}, {20, 10, 8, 24}, "flag", false, false},
      {"a 1 boxed from the line's top, above its flag", {{20, 16, 6, 3}, {24, 16, 4, 18}, {20, 30, 12, 4}},
       {20, 8, 12, 26}, "1", false, false},
      {"an L", {{20, 10, 4, 24}, {20, 30, 10, 4}}, {20, 10, 10, 24}, "", false, false},
      {"a serif L, its top reaching both ways", {{17, 10, 10, 2}, {20, 10, 4, 24}, {17, 30, 13, 4}}, {17, 10, 13, 24},
       "", false, false},
      {"an I", {{20, 10, 4, 24}}, {20, 10, 4, 24}, "", true, false},
      {"a flagged stem beside another stroke, one box", {{20, 10, 6, 3}, {24, 10, 4, 24}, {30, 16, 3, 18}},
       {20, 10, 13, 24}, "", false, false},
      {"a flagged stem in a box wider than tall", {{20, 10, 6, 3}, {24, 10, 4, 24}}, {20, 10, 26, 24}, "", false, false},
      {"an O", withRing({}), {20, 10, 14, 24}, "", false, false},
      {"a dotted zero", withRing({{26, 20, 3, 4}}), {20, 10, 14, 24}, "", true, true},
      {"an O, its box shifted onto its right side and the next letter", withRing({{37, 10, 3, 24}}),
       {25, 10, 14, 24}, "", false, false},
      {"a ring open at its lower right around a mark: an @", withRing({{26, 20, 3, 4}}, 14), {20, 10, 14, 24}, "", true,
       false},
      {"a ring around a long stroke: an @'s bowl", withRing({{26, 18, 3, 8}}), {20, 10, 14, 24}, "", true, false},
      {"a round ring around a mark: a copyright sign",
       {{20, 10, 24, 3}, {20, 31, 24, 3}, {20, 10, 3, 24}, {41, 10, 3, 24}, {31, 20, 3, 4}}, {20, 10, 24, 24}, "", true,
       false},
      {"an O and the letter beside it, one box", {{20, 10, 3, 18}, {31, 10, 3, 18}, {36, 10, 3, 18}, {42, 10, 3, 18}},
       {20, 10, 26, 18}, "", false, false},
      {"a box partly off the page", {{0, 0, 4, 24}}, {-6, -4, 12, 20}, "", false, false},
  };
  for (const auto& [what, strokes, box, kind, middle, markedZero] : cases) {
    GrayImage page = filled(60, 40, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    EXPECT_EQ(stemKind(page, box), kind) << what;
    EXPECT_EQ(inkAtMiddle(page, box), middle) << what;
    EXPECT_EQ(markedRing(page, box), markedZero) << what;
  }
  // Light text on a dark page may be normalized to mid grey at its darkest.
  GrayImage faint = filled(60, 40, 255);
  for (const Rect& r : withRing({{26, 20, 3, 4}})) fill(faint, r, 140);
  EXPECT_TRUE(markedRing(faint, {20, 10, 14, 24}));
  // A monospace l boxed without its flag: the flag is looked for left of the
  // box where it runs on from the stem, not where ink beside stands apart.
  const std::tuple<const char*, std::vector<Rect>, bool, bool> boxedStems[] = {
      {"looked for beyond the box", {{20, 10, 6, 3}, {24, 10, 4, 24}, {24, 30, 8, 4}}, true, true},
      {"looked for in the box only", {{20, 10, 6, 3}, {24, 10, 4, 24}, {24, 30, 8, 4}}, false, false},
      {"a colon's dot beside", {{19, 10, 3, 3}, {24, 10, 4, 24}, {24, 30, 8, 4}}, true, false},
  };
  for (const auto& [what, strokes, beyond, flag] : boxedStems) {
    GrayImage page = filled(60, 40, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    EXPECT_EQ(flagged(stemShape(page, {24, 10, 8, 24}, beyond)), flag) << what;
  }
  // A small f read as an i: its top hooks right, maybe past a box that hugs the stem.
  const std::tuple<const char*, std::vector<Rect>, Rect, bool> hooks[] = {
      {"an f hooking past its box", {{24, 10, 4, 24}, {26, 10, 4, 2}}, {24, 10, 5, 24}, true},
      {"an l", {{24, 10, 4, 24}}, {24, 10, 4, 24}, false},
      {"a 1, flagged to the left", {{20, 10, 6, 3}, {24, 10, 4, 24}}, {20, 10, 8, 24}, false},
      {"a stem and the next glyph's top apart", {{24, 10, 4, 24}, {30, 10, 4, 2}}, {24, 10, 5, 24}, false},
      {"a stem whose foot bends right", {{24, 10, 4, 24}, {26, 10, 4, 2}, {24, 30, 8, 4}}, {24, 10, 8, 24}, false},
  };
  for (const auto& [what, strokes, box, hook] : hooks) {
    GrayImage page = filled(60, 40, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    EXPECT_EQ(hooksRight(page, box), hook) << what;
  }
  // A monospace 7 read as a slash: its top is a bar joined to its stroke.
  const std::vector<Rect> slash{{29, 10, 3, 4}, {27, 14, 3, 4}, {25, 18, 3, 4}, {23, 22, 3, 4}, {21, 26, 3, 4}};
  const auto withSlash = [&](std::vector<Rect> more) {
    more.insert(more.end(), slash.begin(), slash.end());
    return more;
  };
  const std::tuple<const char*, std::vector<Rect>, bool> tops[] = {
      {"a 7", withSlash({{20, 10, 12, 3}}), true},
      {"a slash", slash, false},
      {"a slash under an underscore of the line above", withSlash({{18, 4, 14, 2}}), false},
      {"a slash beside a letter's top", withSlash({{18, 10, 4, 3}}), false},
  };
  for (const auto& [what, strokes, seven] : tops) {
    GrayImage page = filled(60, 40, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    EXPECT_EQ(barOnTop(page, {18, 4, 16, 28}), seven) << what;
  }
  // A straight quote's stroke stands upright; a curly one's tail leans off
  // its bowl; a backtick's one stroke leans down to the right, narrower than
  // its cell (5); a letter beside reaches the foot of the rows looked at (25).
  const std::tuple<const char*, std::vector<Rect>, bool, bool> quotes[] = {
      {"a straight quote", {{20, 10, 3, 8}}, true, false},
      {"a curly quote", {{22, 10, 3, 4}, {21, 14, 2, 2}, {20, 16, 2, 2}}, false, false},
      {"a backtick", {{20, 10, 2, 2}, {21, 12, 2, 2}, {22, 14, 2, 2}}, false, true},
      {"a backtick's lean, wider than a cell", {{18, 10, 4, 3}, {21, 13, 4, 3}, {24, 16, 3, 3}}, false, false},
      {"a stem reaching the foot", {{20, 10, 3, 16}}, false, false},
  };
  for (const auto& [what, strokes, upright, backtick] : quotes) {
    GrayImage page = filled(60, 40, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    EXPECT_EQ(uprightTicks(page, {17, 8, 10, 20}, 25), upright) << what;
    EXPECT_EQ(backtickStroke(page, {17, 8, 10, 20}, 25, 5), backtick) << what;
  }
  // A # stands on two legs, an f on one stem.
  const std::tuple<const char*, std::vector<Rect>, int> feet[] = {
      {"a #", {{22, 10, 2, 20}, {28, 10, 2, 20}, {20, 15, 12, 2}, {20, 22, 12, 2}}, 2},
      {"a # whose legs end a row apart", {{22, 10, 2, 20}, {28, 10, 2, 19}, {20, 15, 12, 2}, {20, 22, 12, 2}}, 2},
      {"an f", {{24, 12, 2, 18}, {24, 10, 6, 2}, {20, 16, 10, 2}}, 1},
  };
  for (const auto& [what, strokes, legs] : feet) {
    GrayImage page = filled(60, 40, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    EXPECT_EQ(legsAtFoot(page, {18, 8, 16, 24}), legs) << what;
  }
  // A proportional font's zero, read as O beside a digit, is narrower than its O, a bold one too.
  const std::tuple<const char*, int, bool> rings[] = {
      {"a zero", 13, true}, {"a bold zero", 15, true}, {"an O", 17, false}};
  for (const auto& [what, width, narrow] : rings) {
    GrayImage page = filled(60, 40, 255);
    for (const Rect& r : {Rect{20, 10, width, 2}, Rect{20, 26, width, 2}, Rect{20, 10, 2, 18}, Rect{18 + width, 10, 2, 18}}) {
      fill(page, r, 0);
    }
    EXPECT_EQ(narrowRing(page, {18, 8, width + 6, 22}), narrow) << what;
  }
  // A 1 read as i has no dot. Strokes; a faint row (smoothing, or a small font's dot); the box.
  const std::tuple<const char*, std::vector<Rect>, Rect, Rect, bool> dots[] = {
      {"a 1", {{20, 20, 6, 3}, {24, 20, 4, 24}}, {}, {20, 20, 8, 24}, false},
      {"an i", {{24, 20, 4, 4}, {24, 27, 4, 17}}, {}, {20, 20, 8, 24}, true},
      {"an i, smoothing faint under its dot", {{24, 20, 4, 4}, {24, 27, 4, 17}}, {24, 24, 4, 3}, {20, 20, 8, 24}, true},
      {"an i, its dot above its box", {{24, 16, 4, 4}, {24, 24, 4, 20}}, {}, {20, 24, 8, 20}, true},
      {"an i, the letter before's edge in its box", {{26, 20, 4, 4}, {26, 27, 4, 17}, {17, 20, 3, 24}}, {},
       {17, 20, 14, 24}, true},
      {"a stem at the page's top, a dot above unknown", {{24, 0, 4, 20}}, {}, {20, 0, 8, 20}, true},
      {"an i in a small font, its dot faint", {{24, 24, 4, 20}}, {24, 20, 4, 2}, {20, 20, 8, 24}, true},
      {"an i, its box down to the line's descenders", {{24, 24, 4, 4}, {24, 31, 4, 11}}, {}, {20, 24, 8, 26}, true},
      {"an i boxed half over the n before it", {{10, 27, 7, 2}, {14, 27, 3, 17}, {24, 20, 3, 3}, {24, 26, 3, 18}}, {},
       {12, 20, 10, 24}, true},
      {"a 1 boxed before a 7, whose top stands apart from its stroke",
       {{17, 20, 3, 3}, {20, 20, 4, 24}, {28, 20, 10, 3}, {33, 28, 3, 16}}, {}, {18, 20, 8, 24}, false},
  };
  // A word's first mark: a period on the baseline (at row 33, the ascent 20 rows) or not.
  const std::tuple<const char*, std::vector<Rect>, Rect, bool> periods[] = {
      {"a period", {{20, 30, 3, 3}}, {19, 29, 5, 5}, true},
      {"a hyphen at mid-height", {{20, 24, 4, 2}}, {19, 23, 6, 4}, false},
      {"an opening quote at the top", {{20, 14, 3, 4}}, {19, 13, 5, 6}, false},
      {"a period whose box takes in the next letter's stem", {{20, 30, 3, 3}, {25, 14, 3, 19}}, {19, 29, 8, 5}, false},
  };
  for (const auto& [what, strokes, glyph, period] : periods) {
    GrayImage page = filled(60, 50, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    EXPECT_EQ(dotOnBaseline(page, glyph, 33, 20), period) << what;
  }
  for (const auto& [what, strokes, faint, box, dotted] : dots) {
    GrayImage page = filled(60, 50, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    fill(page, faint, 180);
    EXPECT_EQ(dotAbove(page, box), dotted) << what;
  }
  // A name's first period, lost: the first ink from 10 columns before the
  // word's box (at column 30), a letter's stem at 32.
  const std::tuple<const char*, std::vector<Rect>, int, bool> lost[] = {
      {"a period before the box", {{26, 30, 3, 3}, {32, 14, 3, 19}}, 30, true},
      {"a period inside the box", {{26, 30, 3, 3}, {32, 14, 3, 19}}, 25, true},
      {"a hyphen before the name", {{24, 24, 4, 2}, {32, 14, 3, 19}}, 30, false},
      {"a period against the letter", {{29, 30, 3, 3}, {32, 14, 3, 19}}, 30, false},
      {"a period and nothing after it", {{26, 30, 3, 3}}, 30, false},
      {"the letter alone", {{32, 14, 3, 19}}, 30, false},
  };
  for (const auto& [what, strokes, left, period] : lost) {
    GrayImage page = filled(80, 50, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    EXPECT_EQ(dotBeforeGlyph(page, left, 33, 20), period) << what;
  }
  // A name's period before its extension, lost: looked for from column 18
  // to 40, between letters standing at 20 and 34.
  const Rect before{20, 20, 3, 13}, after{34, 20, 3, 13};
  const std::tuple<const char*, std::vector<Rect>, bool> between[] = {
      {"a period between two letters", {before, {27, 30, 3, 3}, after}, true},
      {"under the first letter's arm", {before, {20, 20, 10, 2}, {27, 30, 3, 3}, after}, true},
      {"an i's dot, at the top", {before, {27, 14, 3, 3}, after}, false},
      {"a stem as tall as the letters", {before, {27, 20, 3, 13}, after}, false},
      {"a hyphen", {before, {26, 25, 4, 2}, after}, false},
      {"a period after the letters", {before, {27, 30, 3, 3}}, false},
  };
  for (const auto& [what, strokes, period] : between) {
    GrayImage page = filled(80, 50, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    EXPECT_EQ(dotBetweenGlyphs(page, 18, 40, 33, 20), period) << what;
  }
}

TEST(GlyphShapes, APercentSignsRingsStandAboveAndLeftOfEachOther) {
  // Rings 6 wide and 6 high, by their top left corners within a glyph's box at (20, 10).
  const std::tuple<const char*, std::vector<std::pair<int, int>>, bool> cases[] = {
      {"a percent sign", {{0, 0}, {8, 10}}, true},
      {"an 8", {{1, 0}, {1, 8}}, false},
      {"one ring", {{4, 4}}, false},
      {"three rings", {{0, 0}, {8, 10}, {8, 0}}, false},
  };
  for (const auto& [what, rings, percent] : cases) {
    GrayImage page = filled(60, 40, 255);
    for (const auto& [x, y] : rings) {
      fill(page, {20 + x, 10 + y, 6, 6}, 0);
      fill(page, {22 + x, 12 + y, 2, 2}, 255);
    }
    EXPECT_EQ(percentShaped(page, {19, 9, 16, 18}), percent) << what;
  }
}

TEST(GlyphShapes, AnEqualsSignIsTwoBarsAndNothingElse) {
  // Strokes within a glyph's box at (20, 10), 8 wide and 12 high.
  const std::tuple<const char*, std::vector<Rect>, bool> cases[] = {
      {"an equals sign", {{20, 13, 8, 2}, {20, 18, 8, 2}}, true},
      {"an s", {{20, 10, 8, 2}, {20, 12, 2, 4}, {20, 15, 8, 2}, {26, 17, 2, 3}, {20, 20, 8, 2}}, false},
      {"a Z, its stroke between its bars", {{20, 10, 8, 2}, {24, 12, 3, 3}, {21, 15, 3, 3}, {20, 18, 8, 2}}, false},
      {"a minus", {{20, 15, 8, 2}}, false},
      {"three bars", {{20, 11, 8, 2}, {20, 15, 8, 2}, {20, 19, 8, 2}}, false},
  };
  for (const auto& [what, strokes, equals] : cases) {
    GrayImage page = filled(60, 40, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    EXPECT_EQ(equalsShaped(page, {20, 10, 8, 12}), equals) << what;
  }
}

TEST(GlyphShapes, APlusSignsStemReachesAsFarAboveItsBarAsBelow) {
  // Strokes within a glyph's box at (20, 10), 12 wide and 16 high.
  const std::tuple<const char*, std::vector<Rect>, bool> cases[] = {
      {"a plus sign", {{20, 16, 12, 3}, {25, 11, 2, 13}}, true},
      {"a t, its bar near its top", {{20, 13, 12, 2}, {25, 10, 2, 16}}, false},
      {"a t with a foot", {{20, 16, 12, 2}, {25, 10, 2, 15}, {25, 24, 7, 2}}, false},
      {"a stem alone", {{25, 10, 2, 16}}, false},
      {"a box, all bar", {{20, 10, 12, 16}}, false},
      {"a block on a stem, its bar half its height", {{20, 14, 12, 8}, {25, 10, 2, 16}}, false},
  };
  for (const auto& [what, strokes, plus] : cases) {
    GrayImage page = filled(60, 40, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    EXPECT_EQ(plusShaped(page, {20, 10, 12, 16}), plus) << what;
  }
}

TEST(GlyphShapes, AnIsDotStandsApartOverItsStemAndAnUnderscoreIsOneFlatBar) {
  // Strokes within a glyph's box at (20, 10), 6 wide and 24 high.
  const std::tuple<const char*, std::vector<Rect>, std::optional<int>> stems[] = {
      {"an i", {{21, 10, 3, 3}, {21, 16, 3, 18}}, 16},
      {"an I", {{21, 10, 3, 24}}, std::nullopt},
      {"a colon, its dots alike", {{21, 16, 3, 3}, {21, 28, 3, 3}}, std::nullopt},
      {"an exclamation mark, the dot below", {{21, 10, 3, 18}, {21, 31, 3, 3}}, std::nullopt},
      {"an i over a mark below its foot", {{21, 10, 3, 3}, {21, 16, 3, 12}, {21, 31, 3, 3}}, std::nullopt},
      {"nothing", {}, std::nullopt},
  };
  for (const auto& [what, strokes, stemTop] : stems) {
    GrayImage page = filled(60, 40, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    EXPECT_EQ(dottedStemTop(page, {20, 10, 6, 24}), stemTop) << what;
  }
  // Ink within a box at (20, 30), 20 wide and 2 high.
  const std::tuple<const char*, std::vector<Rect>, bool> bars[] = {
      {"an underscore", {{20, 30, 20, 2}}, true},
      {"a period and the foot of the glyph beside it", {{20, 30, 3, 2}, {36, 30, 4, 2}}, false},
      {"a bar short of the box's end", {{20, 30, 18, 2}}, false},
  };
  for (const auto& [what, strokes, unbroken] : bars) {
    GrayImage page = filled(60, 40, 255);
    for (const Rect& r : strokes) fill(page, r, 0);
    EXPECT_EQ(widestBlank(page, {30, 32}, {20, 40}) == 0, unbroken) << what;
  }
}

TEST(GlyphPrint, TheSameGlyphAnywhereAndNothingElse) {
  // Strokes of glyphs drawn within a box at (10, 10) and at (40, 12).
  const std::tuple<const char*, std::vector<Rect>, std::vector<Rect>, bool> cases[] = {
      {"an l drawn twice", {{2, 0, 2, 12}, {2, 11, 4, 1}}, {{2, 0, 2, 12}, {2, 11, 4, 1}}, true},
      {"a 1 beside an l", {{2, 0, 2, 12}, {0, 11, 6, 1}}, {{2, 0, 2, 12}, {2, 11, 4, 1}}, false},
      {"a bar and its dash", {{0, 0, 2, 3}}, {{0, 0, 3, 2}}, false},
  };
  for (const auto& [what, first, second, same] : cases) {
    GrayImage page = filled(80, 40, 255);
    for (const Rect& r : first) fill(page, {10 + r.x, 10 + r.y, r.width, r.height}, 0);
    for (const Rect& r : second) fill(page, {40 + r.x, 12 + r.y, r.width, r.height}, 0);
    const std::string a = glyphPrint(page, {8, 8, 12, 18}), b = glyphPrint(page, {38, 8, 12, 18});
    EXPECT_FALSE(a.empty()) << what;
    EXPECT_EQ(a == b, same) << what;
  }
  EXPECT_EQ(glyphPrint(filled(20, 20, 255), {0, 0, 20, 20}), "") << "no ink";
}

TEST(Bands, CutOnlyBetweenLinesNearEqualShares) {
  GrayImage page = filled(100, 400, 255);
  for (int line = 0; line < 20; ++line) fill(page, {10, 5 + line * 20, 60, 12}, 0);
  const auto runs = inkRowRuns(page);
  ASSERT_EQ(runs.size(), 20U);
  EXPECT_EQ(runs.front(), (RowRun{5, 17}));
  EXPECT_EQ(bandCuts(runs, 400, 1), std::vector<int>{});
  EXPECT_EQ(bandCuts(runs, 400, 2), std::vector<int>{201});
  EXPECT_EQ(bandCuts(runs, 400, 4), (std::vector<int>{101, 201, 301}));
  EXPECT_EQ(bandCuts({{0, 10}, {390, 400}}, 400, 4), std::vector<int>{200}) << "one gap, cut once";
  EXPECT_EQ(bandCuts({{0, 400}}, 400, 2), std::vector<int>{}) << "no gap";

  // Beside a line read: a line number left of it, a mark far right.
  GrayImage row = filled(100, 20, 255);
  for (const Rect& r : {Rect{2, 4, 5, 10}, Rect{20, 4, 42, 10}, Rect{80, 4, 11, 10}}) fill(row, r, 0);
  const std::vector<Rect> line{{18, 0, 44, 20}};
  EXPECT_EQ(uncoveredInk(row, {0, 20}, line, 10, 1), (std::vector<ColumnSpan>{{2, 7}, {80, 91}}));
  EXPECT_EQ(uncoveredInk(row, {0, 20}, line, 100, 1), (std::vector<ColumnSpan>{{2, 7}, {80, 91}})) << "not over the line";
  EXPECT_EQ(uncoveredInk(row, {0, 20}, {}, 100, 1), (std::vector<ColumnSpan>{{2, 91}}));
  // A box of the line above that takes in the top of this one's words.
  EXPECT_EQ(uncoveredInk(row, {0, 20}, {{18, -30, 44, 36}}, 10, 1), (std::vector<ColumnSpan>{{2, 7}, {20, 62}, {80, 91}}));
  EXPECT_EQ(uncoveredInk(row, {0, 20}, {{18, -30, 44, 44}}, 10, 1), (std::vector<ColumnSpan>{{2, 7}, {80, 91}}))
      << "the words within it";
  EXPECT_EQ(uncoveredInk(row, {0, 20}, {{18, -30, 44, 36}, {18, 6, 44, 14}}, 10, 1),
            (std::vector<ColumnSpan>{{2, 7}, {80, 91}})) << "the rest within a box of their own";
  EXPECT_EQ(uncoveredInk(row, {0, 20}, {{18, 6, 44, 6}}, 10, 1), (std::vector<ColumnSpan>{{2, 7}, {80, 91}}))
      << "a box within the row that clips its words";
  GrayImage bordered = row;
  fill(bordered, {40, 4, 1, 16}, 0);
  EXPECT_EQ(uncoveredInk(bordered, {0, 20}, {{18, -30, 44, 45}}, 10, 1), (std::vector<ColumnSpan>{{2, 7}, {80, 91}}))
      << "a line of the box above that reaches down past it: no words";
  // The widest gap between glyphs, as far as the page reaches.
  EXPECT_EQ(widestBlank(row, {0, 20}, {0, 100}), 18);
  EXPECT_EQ(widestBlank(row, {0, 20}, {-5, 20}), 13) << "from before the page";
  EXPECT_EQ(widestBlank(row, {0, 4}, {0, 100}), 100) << "rows above the ink";
}

TEST(PixelConversion, CopyWithoutRowPaddingAndEnlargement) {
  const std::vector<std::uint8_t> padded{1, 2, 3, 9, 9, 4, 5, 6, 9, 9};  // rows of 3 pixels in 5 bytes
  EXPECT_EQ(copyGray(padded.data(), 3, 2, 5).pixels, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
  const GrayImage big = scaleUpRows(GrayImage{4, 2, {0, 0, 200, 200, 0, 0, 200, 200}}, 2, 0, 4);
  ASSERT_EQ(big.pixels.size(), 32U);
  // Flat up to both ends, the edge blended from dark to light.
  EXPECT_EQ(std::vector<std::uint8_t>(big.pixels.begin(), big.pixels.begin() + 8),
            (std::vector<std::uint8_t>{0, 0, 0, 50, 150, 200, 200, 200}));
  // Any stretch of rows of an enlargement is those rows of the whole, clamped to it.
  const GrayImage ramp{3, 3, {0, 90, 180, 30, 120, 210, 60, 150, 240}};
  const GrayImage whole = scaleUpRows(ramp, 2, 0, 6);
  for (const auto& [top, bottom] : {std::pair{0, 6}, {1, 4}, {3, 5}, {-2, 2}, {5, 9}}) {
    const GrayImage rows = scaleUpRows(ramp, 2, top, bottom);
    const auto from = static_cast<std::ptrdiff_t>(std::max(top, 0)) * whole.width;
    const auto to = static_cast<std::ptrdiff_t>(std::min(bottom, 6)) * whole.width;
    EXPECT_EQ(rows.pixels, std::vector<std::uint8_t>(whole.pixels.begin() + from, whole.pixels.begin() + to))
        << top << ".." << bottom;
  }
}

TEST(InkBlockAround, GrowsOverItsWordsUpToABlankRowOrAGapAsWideAsItIsHigh) {
  // A card's small line "ab cd" (its words 3 apart) under its title, a
  // blank row between; the next card's line 12 to its right.
  GrayImage page = filled(80, 30, 255);
  fill(page, {10, 2, 30, 8}, 0);    // the title
  fill(page, {10, 11, 8, 10}, 0);   // "ab", its ascender touching nothing above
  fill(page, {21, 13, 9, 8}, 0);    // "cd"
  fill(page, {42, 11, 10, 10}, 0);  // the next card's
  const std::tuple<const char*, Rect, Rect> cases[] = {
      {"a box squashed onto part of a word", {22, 15, 3, 3}, {10, 11, 20, 10}},
      {"a box over the blank row as well", {12, 10, 4, 4}, {10, 11, 20, 10}},
      {"a box over no ink", {60, 2, 5, 5}, {60, 2, 5, 5}},
  };
  for (const auto& [what, box, block] : cases) EXPECT_EQ(inkBlockAround(page, box, 1), block) << what;
  EXPECT_EQ(inkBlockAround(page, {22, 15, 3, 3}, 2), (Rect{10, 11, 42, 10})) << "a gap of 12 within twice the height";
  // A heading's box that reaches over the rule and the small line under it.
  GrayImage heading = filled(80, 30, 255);
  fill(heading, {10, 2, 30, 9}, 0);
  fill(heading, {10, 12, 60, 1}, 0);
  fill(heading, {10, 14, 40, 5}, 0);
  EXPECT_EQ(inkBlockAround(heading, {10, 2, 40, 17}, 1), (Rect{10, 2, 30, 9})) << "grown from its middle row";
}

TEST(ReadingOrder, PanelsThenColumnsThenRows) {
  // Each line named by a letter: its box and its region.
  using Lines = std::vector<std::pair<char, PlacedLine>>;
  const std::tuple<const char*, Lines, std::string> cases[] = {
      {"an editor: sidebar, then tab bar and code beside it, then the status bar across",
       {{'s', {{0, 1000, 100, 14}, 3}}, {'1', {{260, 45, 400, 14}, 2}}, {'a', {{10, 40, 80, 14}, 1}},
        {'t', {{260, 10, 60, 14}, 4}}, {'2', {{260, 65, 300, 14}, 2}}, {'E', {{10, 10, 80, 14}, 1}},
        {'b', {{10, 60, 80, 14}, 1}}, {'S', {{300, 1000, 100, 14}, 3}}},
       "Eabt12sS"},
      {"a chat: each name above its bubble, the header's two ends as one row",
       {{'m', {{800, 48, 100, 14}, 1}}, {'b', {{300, 130, 400, 14}, 2}}, {'h', {{300, 50, 200, 16}, 1}},
        {'n', {{300, 100, 100, 14}, 1}}, {'N', {{300, 200, 100, 14}, 1}}, {'B', {{300, 230, 400, 14}, 3}}},
       "hmnbNB"},
      {"a table's cells apart, two rows selected: row by row",
       {{'a', {{0, 0, 50, 14}, 1}}, {'b', {{200, 0, 50, 14}, 1}}, {'c', {{0, 20, 50, 14}, 2}}, {'d', {{200, 20, 50, 14}, 2}},
        {'e', {{0, 40, 50, 14}, 2}}, {'f', {{200, 40, 50, 14}, 2}}, {'g', {{0, 60, 50, 14}, 1}}, {'h', {{200, 60, 50, 14}, 1}}},
       "abcdefgh"},
      {"a grid's centred labels beside a sidebar: row by row",
       {{'S', {{0, 0, 80, 14}, 3}}, {'T', {{0, 80, 80, 14}, 3}}, {'a', {{310, 0, 60, 14}, 1}}, {'b', {{530, 6, 40, 14}, 1}},
        {'c', {{320, 40, 40, 14}, 1}}, {'d', {{500, 46, 60, 14}, 1}}, {'e', {{305, 80, 70, 14}, 1}}, {'f', {{512, 86, 30, 14}, 1}}},
       "STabcdef"},
      {"a sidebar and a page of one background, an item selected: column by column",
       {{'a', {{0, 0, 80, 14}, 1}}, {'B', {{300, 0, 400, 14}, 1}}, {'b', {{0, 30, 80, 14}, 2}}, {'C', {{300, 22, 400, 14}, 1}},
        {'D', {{300, 44, 400, 14}, 1}}, {'c', {{0, 60, 80, 14}, 1}}, {'E', {{300, 66, 400, 14}, 1}}},
       "abcBCDE"},
      {"a list of chats beside the messages, a blank row across both: the list, then the messages",
       {{'L', {{0, 0, 80, 14}, 1}}, {'a', {{0, 40, 80, 14}, 2}}, {'b', {{0, 60, 80, 14}, 2}}, {'c', {{0, 100, 80, 14}, 3}},
        {'d', {{0, 120, 80, 14}, 3}}, {'e', {{0, 180, 80, 14}, 3}}, {'H', {{300, 2, 100, 14}, 4}},
        {'m', {{300, 40, 200, 14}, 5}}, {'n', {{600, 100, 200, 14}, 6}}, {'T', {{300, 300, 100, 14}, 7}}},
       "LabcdeHmnT"},
      {"the same under its window's title over the messages: the title, then the list, then the messages",
       {{'L', {{0, 0, 80, 14}, 1}}, {'a', {{0, 40, 80, 14}, 2}}, {'b', {{0, 60, 80, 14}, 2}}, {'c', {{0, 100, 80, 14}, 3}},
        {'d', {{0, 120, 80, 14}, 3}}, {'e', {{0, 180, 80, 14}, 3}}, {'H', {{300, 2, 100, 14}, 4}},
        {'m', {{300, 40, 200, 14}, 5}}, {'n', {{600, 100, 200, 14}, 6}}, {'T', {{300, 300, 100, 14}, 7}},
        {'W', {{400, -30, 100, 12}, 8, false, 1, -1, true}}},
       "WLabcdeHmnT"},
      {"a chat's bubbles on either side, one a row, under the header and over the composer",
       {{'h', {{0, 0, 100, 14}, 1}}, {'a', {{0, 30, 200, 14}, 2}}, {'b', {{400, 60, 200, 14}, 3}},
        {'c', {{0, 90, 200, 14}, 4}}, {'X', {{0, 120, 300, 14}, 1}}},
       "habcX"},
      {"a chat's bubbles on either side, each right one a few pixels after its time: row by row",
       {{'a', {{20, 20, 400, 22}, 2}}, {'u', {{1490, 60, 27, 8}, 1}}, {'b', {{1525, 52, 350, 22}, 3}},
        {'c', {{20, 100, 400, 22}, 4}}, {'v', {{1490, 140, 27, 8}, 1}}, {'d', {{1525, 132, 350, 22}, 5}}},
       "aubcvd"},
      {"a chat's bubbles on either side, one with its time beside its text",
       {{'h', {{0, 0, 100, 14}, 1}}, {'a', {{0, 30, 200, 14}, 2}}, {'t', {{206, 32, 36, 12}, 2}},
        {'b', {{400, 60, 200, 14}, 3}}, {'c', {{0, 90, 200, 14}, 4}}, {'X', {{0, 120, 300, 14}, 1}}},
       "hatbcX"},
      {"a file list beside its sidebar, a row of each selected, rows level, a status line far below: the sidebar, then the list",
       {{'N', {{225, 52, 36, 10}, 1}}, {'A', {{224, 82, 57, 14}, 1}}, {'B', {{224, 111, 49, 14}, 1}},
        {'C', {{224, 137, 136, 18}, 1}}, {'D', {{224, 167, 146, 14}, 1}}, {'a', {{21, 60, 43, 10}, 2}},
        {'b', {{21, 88, 36, 10}, 2}}, {'c', {{21, 116, 69, 10}, 2}}, {'d', {{21, 143, 35, 11}, 3}},
        {'e', {{21, 171, 49, 11}, 4}}, {'f', {{20, 199, 42, 11}, 4}}, {'g', {{20, 227, 35, 11}, 4}},
        {'E', {{224, 195, 153, 14}, 5}}, {'F', {{224, 223, 153, 15}, 6}}, {'G', {{224, 252, 124, 14}, 6}},
        {'S', {{225, 1059, 119, 13}, 6}}},
       "abcdefgNABCDEFGS"},
      {"a dialog over a page, two of its lines cut off by the frame: the page, then the dialog",
       {{'a', {{0, 0, 900, 14}, 1}}, {'b', {{0, 30, 300, 14}, 1}}, {'D', {{340, 30, 200, 14}, 2}}, {'c', {{0, 50, 200, 14}, 1}},
        {'E', {{340, 50, 200, 14}, 2}}, {'d', {{0, 70, 302, 14}, 1}}, {'F', {{340, 80, 100, 14}, 2}}, {'e', {{0, 110, 800, 14}, 1}}},
       "abcdeDEF"},
      {"line numbers in a gutter of their own: each with its code, line 2 blank",
       {{'a', {{40, 0, 200, 14}, 2}}, {'1', {{0, 0, 10, 14}, 1, true}}, {'2', {{0, 20, 10, 14}, 1, true}},
        {'3', {{0, 40, 10, 14}, 1, true}}, {'c', {{40, 40, 200, 14}, 2}}},
       "1a23c"},
      {"three columns of paragraphs standing level line for line: column by column",
       {{'a', {{0, 0, 280, 14}, 1, false, 8}}, {'d', {{300, 0, 280, 14}, 1, false, 8}}, {'g', {{600, 0, 280, 14}, 1, false, 8}},
        {'b', {{0, 20, 270, 14}, 1, false, 8}}, {'e', {{300, 20, 270, 14}, 1, false, 8}}, {'h', {{600, 20, 270, 14}, 1, false, 8}},
        {'c', {{0, 40, 120, 14}, 1, false, 3}}, {'f', {{300, 40, 120, 14}, 1, false, 3}}, {'i', {{600, 40, 90, 14}, 1, false, 2}}},
       "abcdefghi"},
      {"a log's messages, ragged line to line, beside their fields: row by row",
       {{'a', {{0, 0, 280, 14}, 1, false, 8}}, {'b', {{400, 0, 200, 14}, 1, false, 5}}, {'c', {{0, 20, 180, 14}, 1, false, 6}},
        {'d', {{400, 20, 200, 14}, 1, false, 5}}, {'e', {{0, 40, 270, 14}, 1, false, 8}}, {'f', {{400, 40, 200, 14}, 1, false, 5}}},
       "abcdef"},
      {"a log's rows that look like paragraphs between rows read whole, at the same pitch: row by row",
       {{'a', {{0, 0, 600, 14}, 1, false, 12}}, {'b', {{0, 20, 280, 14}, 1, false, 8}}, {'c', {{400, 20, 200, 14}, 1, false, 5}},
        {'d', {{0, 40, 275, 14}, 1, false, 8}}, {'e', {{400, 40, 200, 14}, 1, false, 5}}, {'f', {{0, 60, 270, 14}, 1, false, 8}},
        {'g', {{400, 60, 200, 14}, 1, false, 5}}, {'h', {{0, 80, 600, 14}, 1, false, 12}}},
       "abcdefgh"},
      {"a chat's turns, each sender and time beside its bubble (one of two lines around its time), then the composer",
       {{'a', {{0, 0, 50, 14}, 1}}, {'c', {{100, 0, 400, 16}, 2}}, {'b', {{0, 20, 30, 12}, 1}}, {'d', {{0, 50, 50, 14}, 1}},
        {'f', {{100, 50, 400, 16}, 3}}, {'e', {{0, 70, 30, 12}, 1}}, {'g', {{100, 72, 100, 16}, 3}}, {'h', {{0, 120, 50, 14}, 1}},
        {'j', {{100, 120, 300, 16}, 4}}, {'i', {{0, 140, 30, 12}, 1}}, {'k', {{0, 170, 50, 14}, 1}},
        {'m', {{100, 170, 200, 16}, 5}}, {'l', {{0, 190, 30, 12}, 1}}, {'n', {{0, 240, 600, 16}, 1}}},
       "abcdefghijklmn"},
      {"two windows' lines level with each other, no blank band between: window by window, topmost first",
       {{'a', {{0, 10, 300, 14}, 1, false, 1, 0}}, {'c', {{320, 0, 300, 14}, 2, false, 1, 1}},
        {'b', {{0, 30, 400, 14}, 1, false, 1, 0}}, {'d', {{320, 30, 300, 14}, 2, false, 1, 1}},
        {'X', {{0, 200, 100, 14}, 3}}},
       "cdabX"},
      {"a browser's tabs, address and links over a page's sidebar, text and outline, the address ending a pixel "
       "into the text's column, an item of the sidebar selected, the outer two level line for line: column by column",
       {{'T', {{102, 46, 126, 12}, 1}}, {'U', {{192, 80, 199, 14}, 1}}, {'L', {{122, 126, 146, 14}, 1}},
        {'G', {{316, 127, 53, 12}, 1}}, {'R', {{398, 127, 77, 12}, 1}}, {'a', {{111, 192, 94, 12}, 1}},
        {'b', {{111, 221, 86, 14}, 1}}, {'x', {{1361, 193, 113, 15}, 1}}, {'A', {{391, 196, 148, 33}, 1}},
        {'y', {{1361, 224, 71, 12}, 1}}, {'c', {{111, 248, 59, 22}, 1}}, {'B', {{391, 254, 722, 15}, 1}},
        {'z', {{1361, 251, 109, 12}, 1}}, {'s', {{111, 279, 62, 15}, 2}}, {'C', {{390, 294, 719, 15}, 1}}},
       "TULGabcsRABCxyz"},
      {"a grid of cards beside a sidebar, an item selected, a row of tags across the grid's columns: the sidebar, "
       "then the grid",
       {{'a', {{0, 0, 80, 14}, 1}}, {'b', {{0, 20, 80, 14}, 2}}, {'c', {{0, 40, 80, 14}, 1}}, {'d', {{0, 60, 80, 14}, 1}},
        {'T', {{300, 0, 500, 14}, 1}}, {'A', {{300, 30, 200, 14}, 1}}, {'C', {{560, 30, 200, 14}, 1}},
        {'B', {{300, 50, 200, 14}, 1}}, {'D', {{560, 50, 200, 14}, 1}}},
       "abcdTACBD"},
      {"a sidebar and a panel of activity of one background, a dashboard's cards and table between them: the sidebar, "
       "the dashboard, the panel",
       {{'a', {{0, 0, 80, 14}, 1}}, {'b', {{0, 40, 80, 14}, 1}}, {'c', {{0, 80, 80, 14}, 1}}, {'d', {{0, 120, 80, 14}, 1}},
        {'P', {{300, 0, 200, 14}, 2}}, {'Q', {{600, 0, 200, 14}, 3}}, {'R', {{300, 40, 100, 14}, 4}},
        {'S', {{600, 40, 100, 14}, 4}}, {'T', {{300, 80, 100, 14}, 4}}, {'U', {{600, 80, 100, 14}, 4}},
        {'V', {{300, 120, 100, 14}, 4}}, {'W', {{600, 120, 100, 14}, 4}}, {'s', {{1000, 0, 200, 14}, 1}},
        {'t', {{1000, 20, 200, 14}, 1}}, {'u', {{1000, 40, 200, 14}, 1}}, {'v', {{1000, 60, 200, 14}, 1}},
        {'w', {{1000, 80, 200, 14}, 1}}, {'x', {{1000, 100, 200, 14}, 1}}, {'y', {{1000, 120, 200, 14}, 1}}},
       "abcdPQRSTUVWstuvwxy"},
      {"a grid's two columns of one region, a thumbnail's labels between them, one level with a label in the next "
       "column: row by row",
       {{'a', {{0, 0, 200, 14}, 1}}, {'b', {{0, 100, 200, 14}, 1}}, {'c', {{0, 200, 200, 14}, 1}},
        {'A', {{400, 0, 200, 14}, 1}}, {'B', {{400, 100, 200, 14}, 1}}, {'C', {{400, 200, 200, 14}, 1}},
        {'L', {{250, 50, 30, 10}, 2}}, {'M', {{250, 150, 30, 10}, 3}}, {'N', {{570, 50, 30, 10}, 4}}},
       "aALNbBMcC"},
      {"an editor's sidebar items between its code lines, a line's blank apart: the sidebar, then the code",
       {{'a', {{0, 16, 80, 14}, 1}}, {'b', {{0, 48, 80, 14}, 1}}, {'c', {{0, 80, 80, 14}, 1}}, {'A', {{300, 0, 400, 16}, 2}},
        {'B', {{300, 32, 400, 16}, 2}}, {'C', {{300, 64, 400, 16}, 2}}, {'D', {{300, 96, 400, 16}, 2}},
        {'E', {{300, 128, 400, 16}, 2}}},
       "abcABCDE"},
      {"a dialog's rows, a dropdown's value level with each row's label, its buttons under the dropdowns, beside "
       "its sidebar: the sidebar, then row by row",
       {{'T', {{314, 130, 68, 10}, 1}}, {'p', {{318, 167, 37, 8}, 2}}, {'P', {{318, 191, 29, 10}, 3}},
        {'q', {{318, 215, 34, 10}, 2}}, {'r', {{318, 239, 32, 8}, 2}}, {'h', {{527, 173, 43, 15}, 0}},
        {'a', {{526, 216, 51, 10}, 0}}, {'A', {{1043, 216, 93, 10}, 0}}, {'b', {{524, 253, 36, 14}, 0}},
        {'B', {{1043, 255, 30, 10}, 0}}, {'c', {{526, 290, 33, 10}, 0}}, {'d', {{527, 302, 148, 10}, 0}},
        {'f', {{527, 333, 36, 8}, 0}}, {'g', {{527, 345, 146, 10}, 0}}, {'i', {{549, 376, 50, 10}, 0}},
        {'j', {{548, 408, 52, 9}, 0}}, {'e', {{524, 444, 55, 15}, 0}}, {'E', {{1043, 446, 35, 8}, 0}},
        {'k', {{526, 481, 57, 8}, 0}}, {'l', {{526, 493, 124, 10}, 0}}, {'x', {{1028, 772, 70, 10}, 0}},
        {'y', {{1137, 770, 34, 14}, 0}}, {'z', {{1209, 771, 16, 9}, 0}}},
       "TpPqrhaAbBcdfgijeEklxyz"},
      {"two rows of long cells, as likely a table's: row by row",
       {{'a', {{0, 0, 280, 14}, 1, false, 8}}, {'b', {{400, 0, 200, 14}, 1, false, 5}}, {'c', {{0, 20, 275, 14}, 1, false, 8}},
        {'d', {{400, 20, 200, 14}, 1, false, 5}}},
       "abcd"},
  };
  for (const auto& [what, named, expected] : cases) {
    std::vector<PlacedLine> lines;
    for (const auto& n : named) lines.push_back(n.second);
    std::string order;
    for (std::size_t i : readingOrder(lines)) order += named[i].first;
    EXPECT_EQ(order, expected) << what;
  }
  const PlacedLine number{{0, 0, 10, 14}}, code{{40, 2, 200, 14}}, below{{40, 20, 200, 14}};
  EXPECT_TRUE(continuesLine(number, code));
  EXPECT_FALSE(continuesLine(code, number)) << "leftwards";
  EXPECT_FALSE(continuesLine(code, below));
  EXPECT_FALSE(continuesLine(number, {{40, 2, 200, 14}, 0, false, 1, 1})) << "another window's";
  const PlacedLine message{{0, 100, 300, 16}};
  EXPECT_TRUE(continuesLine(message, {{310, 114, 30, 10}})) << "a smaller time on the message's foot";
  EXPECT_FALSE(continuesLine(message, {{310, 110, 30, 16}})) << "a line as tall, lower";
  EXPECT_FALSE(continuesLine(message, {{310, 120, 30, 10}})) << "a smaller line under the message";
}

TEST(RepeatsRead, TheSameTextOverMostOfTheSmallerBoxInAnotherRegion) {
  const PlacedLine letter{{100, 40, 10, 12}, 1};
  const std::tuple<const char*, PlacedLine, bool, bool> cases[] = {
      {"read again in the page beside", {{101, 38, 10, 14}, 2}, true, true},
      {"another text there", {{101, 38, 10, 14}, 2}, false, false},
      {"in the same region: a line of its own", {{101, 38, 10, 14}, 1}, true, false},
      {"overlapping a little", {{106, 46, 10, 12}, 2}, true, false},
      {"beside it", {{110, 40, 10, 12}, 2}, true, false},
  };
  for (const auto& [what, other, sameText, repeats] : cases) EXPECT_EQ(repeatsRead(letter, other, sameText), repeats) << what;
}

TEST(PlaceInWindows, UnderTheNearestBarAboveTheTopOfTheLinesRegion) {
  // A page's window, a dialog's over its middle, a terminal beside them; a
  // window over the right of a lower terminal's bar.
  const std::vector<Rect> bars{
      {0, 0, 600, 20}, {200, 100, 200, 20}, {700, 50, 400, 20}, {1300, 120, 600, 20}, {900, 420, 400, 20}};
  const int firstBarRegion = 10;
  const std::pair<const char*, PlacedLine> cases[][2] = {
      {{"the page's line above the dialog", {{250, 40, 100, 14}, 1}},
       {"the page's line below the dialog, of the same region", {{250, 300, 100, 14}, 1}}},
      {{"the dialog's line", {{220, 130, 100, 14}, 2}}, {"the dialog's title", {{260, 103, 60, 12}, 11}}},
      {{"the terminal's line", {{710, 80, 300, 14}, 3}}, {"a line of the desktop, under no bar", {{2000, 900, 80, 14}, 4}}},
      {{"the lower terminal's top line", {{900, 440, 400, 14}, 5}},
       {"its columns below the window over its bar", {{1310, 480, 300, 14}, 5}}},
  };
  const int expected[][2] = {{0, 0}, {1, 1}, {2, -1}, {4, 4}};
  std::vector<PlacedLine> lines;
  for (const auto& pair : cases) {
    for (const auto& [what, line] : pair) lines.push_back(line);
  }
  placeInWindows(lines, bars, firstBarRegion);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].window, expected[i / 2][i % 2]) << cases[i / 2][i % 2].first;
    EXPECT_EQ(lines[i].title, i == 3) << cases[i / 2][i % 2].first;
  }
}

void expectMended(void (*mend)(std::string&), std::initializer_list<std::pair<const char*, const char*>> cases) {
  for (const auto& [read, expected] : cases) {
    std::string line = read;
    mend(line);
    EXPECT_EQ(line, expected) << read;
  }
}

TEST(StraightenMismatchedQuotes, OnlyACurlyQuotePairedWithAStraightOne) {
  expectMended(straightenMismatchedQuotes,
               {{"target = Path(folder) / \u201Csummary.json\"", "target = Path(folder) / \"summary.json\""},
                {"print(\"done\u201D)", "print(\"done\")"},
                {"\u201Cone\u201D and \"two\"", "\u201Cone\u201D and \"two\""},
                {"\u201Cunclosed", "\u201Cunclosed"},
                {"na\u00EFve caf\u00E9 \u201Cok\"", "na\u00EFve caf\u00E9 \"ok\""},
                {"git commit -am \u2018Route the cart\'", "git commit -am \'Route the cart\'"},
                {"\u2018Hello,\u2019 she said", "\u2018Hello,\u2019 she said"}});
}

TEST(MendBarsAndBoxes, AnIBetweenLowercaseWordsFramesDroppedCodeKept) {
  expectMended(mendBarsAndBoxes, {{"Notify me about replies in threads | follow", "Notify me about replies in threads I follow"},
                                  {"Yes, | booked a table", "Yes, I booked a table"},
                                  {"Two are cracked. | took photos", "Two are cracked. I took photos"},
                                  {"| will bring the map", "I will bring the map"},
                                  {"| did, around seven.", "I did, around seven."},
                                  {"ps aux | grep cron. | sort", "ps aux | grep cron. | sort"},
                                  {"Restore defaults Cancel | Apply", "Restore defaults Cancel Apply"},
                                  {"| Search files |", "Search files"},
                                  {"(_) Include muted channels", "Include muted channels"},
                                  {"cat log | grep error", "cat log | grep error"},
                                  {"(x) = f(y)", "(x) = f(y)"},
                                  {"O00 docs.harbor.dev", "docs.harbor.dev"},
                                  {"@ Show message preview", "Show message preview"}, {"|| Brian 10:16", "Brian 10:16"},
                                  {"P| Alice Morgan 10:14 AM", "Alice Morgan 10:14 AM"},
                                  {"@\u00A7 budget_q1.xlsx 212.7 kB", "budget_q1.xlsx 212.7 kB"},
                                  {"\u00A9) drafts 9 items", "drafts 9 items"}, {"# install deps", "# install deps"},
                                  {"\u00A9 Alice Morgan", "Alice Morgan"}, {"\u00A9 2026 Harbor", "\u00A9 2026 Harbor"},
                                  {"total 000 00", "total 000 00"},
                                  {"Language [ English (United States)", "Language English (United States)"},
                                  {"items = [", "items = ["}, {"f( a, b )", "f( a, b )"}});
}

TEST(MendLowNines, ANineBelowTheDigitsIsAG) {
  // Digits stand from 30 down to 54; the 9's top and foot as read.
  const std::tuple<const char*, int, int, const char*> cases[] = {
      {"2.09", 36, 60, "2.0g"},  // a g: x-height top, its foot below the digits'
      {"2.09", 30, 54, "2.09"},
      {"2.09", 30, 60, "2.09"},  // lower at its foot only
      {"2.09", 33, 57, "2.09"},  // lower by less than a sixth
      {"9", 36, 60, "9"},        // nothing to measure against
  };
  for (const auto& [read, top, bottom, expected] : cases) {
    std::vector<PlacedSymbol> symbols;
    for (const char c : std::string_view(read)) {
      const bool nine = c == '9', dot = c == '.';
      symbols.push_back({std::string(1, c), 0, 10, nine ? top : dot ? 49 : 30, nine ? bottom : 54});
    }
    const bool mended = mendLowNines(symbols);
    std::string text;
    for (const PlacedSymbol& s : symbols) text += s.text;
    EXPECT_EQ(text, expected) << read << " " << top << "-" << bottom;
    EXPECT_EQ(mended, text != read) << read;
  }
}

TEST(JoinSplitQuotes, TwoTicksCloseTogetherAreOneDoubleQuote) {
  // Words 30 high: a tick is 7 wide at most, 7 from the next at most.
  using Read = std::vector<std::tuple<const char*, int, int>>;
  const std::tuple<const char*, Read, const char*> cases[] = {
      {"a quote's ticks read apart", {{"(", 0, 7}, {"\"", 15, 19}, {"\u201C", 21, 25}, {"p", 31, 44}}, "(\"p"},
      {"two quote glyphs side by side", {{"\"", 0, 8}, {"\"", 10, 18}}, "\"\""},
      {"two single quotes in two cells", {{"'", 4, 6}, {"'", 16, 18}}, "''"},
      {"a tick beside a letter", {{"'", 4, 6}, {"s", 8, 16}}, "'s"},
  };
  for (const auto& [what, read, expected] : cases) {
    std::vector<PlacedSymbol> symbols;
    std::string before;
    for (const auto& [text, left, right] : read) symbols.push_back({text, left, right, 0, 30}), before += text;
    const bool joined = joinSplitQuotes(symbols, 30);
    std::string text;
    for (const PlacedSymbol& symbol : symbols) text += symbol.text;
    EXPECT_EQ(text, expected) << what;
    EXPECT_EQ(joined, text != before) << what;
  }
}

TEST(MendUnderscores, EachLineWrittenAsItsUnderscoresInItsPlace) {
  // Symbols 10 wide, 2 apart from x 0; "|" a gap of 12 where no symbol was
  // read, "~" an em dash.
  const auto word = [](std::string_view read) {
    std::vector<PlacedSymbol> symbols;
    int x = 0;
    for (const char c : read) {
      if (c != '|') symbols.push_back({c == '~' ? "\u2014" : std::string(1, c), x, x + 10});
      x += 12;
    }
    return symbols;
  };
  using Step = bool (*)(std::vector<PlacedSymbol>&, const std::vector<UnderscoreLine>&);
  const std::tuple<const char*, Step, std::vector<UnderscoreLine>, const char*> cases[] = {
      {"||future||", mendUnderscores, {{0, 22, 2}, {96, 118, 2}}, "__future__"},
      {"(|name_,", mendUnderscores, {{12, 24, 2}, {72, 82, 2}}, "(__name__,"},  // one of two read
      {"~all", mendUnderscores, {{0, 10, 2}}, "__all"},                           // read as a dash
      {"trace_id", mendUnderscores, {{56, 74, 1}}, "trace_id"},  // read, the line wider than its box
      {"me_first", mendUnderscores, {{34, 48, 1}}, "me_first"},  // read, its box ending where the line begins
      {"ab_c", mendUnderscores, {{38, 50, 1}}, "ab_c"},          // read, its box ending a stroke short of it
      {"_id", mendUnderscores, {{0, 10, 0}}, "id"},              // the word before put it back
      {"x-y", mendUnderscores, {{36, 48, 1}}, "x-y_"},           // a dash not over it stays
      // An L whose box reaches over the line is an l that took it for its
      // arm, after a small letter; after a capital, an L.
      {"ttLcache", mendUnderscores, {{30, 40, 1}}, "ttl_cache"},
      {"HTMLparser", mendUnderscores, {{42, 52, 1}}, "HTML_parser"},
      // A last underscore the page does not show is made up.
      {"run.sh_", dropMadeUpUnderscore, {}, "run.sh"},
      {"load_config_", dropMadeUpUnderscore, {{48, 58, 1}, {132, 142, 1}}, "load_config_"},
      {"trace_", dropMadeUpUnderscore, {{60, 70, 0}}, "trace_"},  // the word after holds the line
      {"__", dropMadeUpUnderscore, {}, "__"},
  };
  for (const auto& [read, step, lines, expected] : cases) {
    std::vector<PlacedSymbol> symbols = word(read);
    const bool changed = step(symbols, lines);
    std::string text, before;
    for (const PlacedSymbol& s : symbols) text += s.text;
    for (const PlacedSymbol& s : word(read)) before += s.text;
    EXPECT_EQ(text, expected) << read;
    EXPECT_EQ(changed, text != before) << read;
  }
}

TEST(WithMissedSpaces, WideGapsBesideANumberOrACommaAnySymbolsFarApart) {
  // Symbols 10 wide in a line of words 20 high; each gap named after its symbol.
  const auto word = [](std::initializer_list<std::pair<const char*, int>> gaps) {
    std::vector<PlacedSymbol> symbols;
    int x = 0;
    for (const auto& [text, gap] : gaps) {
      x += gap;
      symbols.push_back({text, x, x + 10});
      x += 10;
    }
    return symbols;
  };
  // The blank ink between the symbols of a proportional font, where given.
  const std::vector<int> boxesOnly;
  const std::tuple<std::vector<PlacedSymbol>, std::vector<int>, const char*> cases[] = {
      {word({{"2", 0}, {"k", 9}, {"B", 1}}), boxesOnly, "2 kB"},
      {word({{"L", 0}, {"n", 1}, {"2", 8}, {"2", 1}}), boxesOnly, "Ln 22"},
      {word({{"2", 0}, {",", 0}, {"C", 8}, {"o", 1}}), {0, 0, 8, 1}, "2, Co"},
      {word({{"2", 0}, {",", 0}, {"C", 8}, {"o", 1}}), boxesOnly, ""},  // a monospace comma's cell
      {word({{"s", 0}, {":", 0}, {"2", 6}}), {0, 0, 6}, "s: 2"},
      {word({{"0", 0}, {":", 0}, {"2", 6}}), {0, 0, 6}, ""},  // a time
      {word({{"7", 0}, {"e", 5}, {"4", 1}, {"1", 5}}), boxesOnly, ""},
      {word({{"s", 0}, {"o", 9}, {"o", 9}, {"n", 9}}), boxesOnly, ""},
      {word({{"O", 0}, {"0", 12}, {"0", 12}}), boxesOnly, ""},
      {word({{"1", 0}, {",", 0}, {"4", 8}}), boxesOnly, ""},
      {word({{"l", 0}, {"1", -2}, {"7", 1}}), {0, 6, 2}, "l 17"},
      {word({{"l", 0}, {"1", -2}, {"7", 1}}), {0, 3, 2}, ""},
      // Whatever the symbols, a line number and a lone bracket a gutter apart.
      {word({{"7", 0}, {")", 30}}), boxesOnly, "7 )"},
      {word({{"7", 0}, {")", 29}}), boxesOnly, ""},
  };
  for (const auto& [symbols, blanks, expected] : cases) {
    std::string read;
    for (const PlacedSymbol& s : symbols) read += s.text;
    EXPECT_EQ(withMissedSpaces(symbols, 20, blanks), expected) << read;
  }
}

TEST(WithBlankCells, SpacesWhereACellOfBlankStands) {
  // Symbols in cells 10 wide; the blank between each and the one before.
  std::vector<PlacedSymbol> symbols;
  for (int i = 0; i < 3; ++i) symbols.push_back({std::string(1, static_cast<char>('7' + i)), 10 * i, 10 * i + 6});
  const std::tuple<std::vector<int>, const char*> cases[] = {
      {{0, 4, 4}, ""},        // side by side
      {{0, 4, 9}, ""},        // the narrowest glyphs' blank
      {{0, 10, 4}, "7 89"},   // a cell's blank
      {{0, 14, 14}, "7 8 9"},
      {{0, 10}, "7 89"},      // no blank measured for the last
  };
  for (const auto& [blanks, expected] : cases) {
    EXPECT_EQ(withBlankCells(symbols, blanks, 10.0), expected) << blanks[1];
  }
  // A number beside a word spaced by one rule, a blank cell by the other.
  EXPECT_EQ(spacedAsEither("1 elieli", "1eli eli"), "1 eli eli");
  EXPECT_EQ(spacedAsEither("a b", "a b"), "a b");
  EXPECT_EQ(spacedAsEither("ab", "a b"), "a b");
}

TEST(ClosesAnOpenBracket, OnlyABracketTheTextLeavesOpen) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"users:((\"sshd\",fd=3)", ")", true}, {"[r for r in rows", "]", true}, {"f(x)", ")", false},
      {"{a}", "}", false}, {"(cache", "]", false}, {"(cache", "))", false},
  };
  for (const auto& [text, word, closes] : cases) EXPECT_EQ(closesAnOpenBracket(text, word), closes) << text << word;
}

// A line as Tesseract split it into words, at its spaces and where it saw
// one that the screen does not show ('|'), each glyph in a cell 10 wide: a
// dot or a colon narrow at its middle, a letter wider; in a proportional
// font, an i narrow and an m wide, cells as wide as the glyph.
std::vector<std::vector<PlacedSymbol>> cellsOf(std::string_view line, bool monospace) {
  std::vector<std::vector<PlacedSymbol>> words(1);
  int x = 0;
  for (const char c : line) {
    const int width = !monospace ? (c == 'i' || c == '.' ? 4 : c == 'm' ? 14 : 8) : 10;
    if (c == '|') {
      words.emplace_back();
      continue;
    }
    if (c == ' ') {
      words.emplace_back();
    } else {
      const int inset = c == '.' || c == ':' ? 4 : 1;
      words.back().push_back({std::string(1, c), x + (monospace ? inset : 0), x + width - (monospace ? inset : 1)});
    }
    x += width;
  }
  return words;
}

TEST(MonospaceSpaces, AWordsCellsTellTheAdvanceAndWhereNoSpaceIs) {
  const std::tuple<const char*, std::vector<std::vector<PlacedSymbol>>, double> advances[] = {
      {"code", cellsOf("use std::collections::HashMap; let x", true), 10},
      {"code, split at a colon", cellsOf("use std::collections:|:HashMap;", true), 10},
      {"a proportional line", cellsOf("the timing of this message is mine", false), 0},
      {"a short monospace line", cellsOf("Unsaved changes", true), 0},
  };
  for (const auto& [what, words, advance] : advances) EXPECT_EQ(monospaceAdvance(words), advance) << what;
  // A line too short to tell keeps the advance of its band's monospace lines
  // where its own cells show it.
  const std::tuple<const char*, std::vector<std::vector<PlacedSymbol>>, double> shortLines[] = {
      {"a short monospace line", cellsOf("M README.md", true), 10},
      {"a short proportional line", cellsOf("Unsaved changes", false), 0},
      {"too few cells to tell", cellsOf("M x", true), 0},
  };
  auto mixed = cellsOf("abcde", true);
  for (auto& word : cellsOf("iiiiiiii", false)) mixed.push_back(word);
  for (const auto& [what, words, advance] : shortLines) EXPECT_EQ(lineAdvance(words, 10), advance) << what;
  EXPECT_EQ(lineAdvance(mixed, 10), 0) << "a line mostly of other advances";
  EXPECT_EQ(lineAdvance(cellsOf("M README.md", true), 0), 0);
  // A table the layout read a column a line tells the advance only together.
  EXPECT_EQ(pooledAdvance({cellsOf("CPU%", true), cellsOf("22.5", true), cellsOf("firefox", true),
                           cellsOf("COMMAND", true)}), 10);
  EXPECT_EQ(pooledAdvance({cellsOf("the timing", false), cellsOf("is mine", false), cellsOf("in a minute", false)}), 0);
  const std::tuple<const char*, const char*, bool> twins[] = {
      {"x", "X", true}, {"\"", "\u201c", true}, {"\u2019", "'", true}, {"p", "q", false}, {"\"", "'", false}};
  for (const auto& [a, b, same] : twins) EXPECT_EQ(sameGlyph(a, b), same) << a << b;
  // Glyphs read twice: a stem beside a stem, or a twin in the same cell (a
  // letter twice in its own cells stays); the symbols, the cells the ink
  // spans, the text after.
  const auto cells = [](std::string_view line, std::initializer_list<std::pair<std::size_t, const char*>> twins) {
    std::vector<PlacedSymbol> symbols = cellsOf(line, true).front();
    for (const auto& [after, text] : twins) {
      const PlacedSymbol& glyph = symbols[after];
      symbols.insert(symbols.begin() + static_cast<std::ptrdiff_t>(after) + 1, {text, glyph.left + 2, glyph.right});
    }
    return symbols;
  };
  const std::tuple<std::vector<PlacedSymbol>, std::size_t, const char*> doubled[] = {
      {cells("-rwxr-xr-x", {{9, "X"}, {6, "X"}}), 10, "-rwxr-xr-x"},
      {cells("lleo", {}), 3, "leo"},
      {cells("2b00f2", {}), 6, "2b00f2"},
      {cells("hello", {}), 5, "hello"},
      {cells("book", {{3, "K"}}), 4, "book"},
      {cells("2b0f2", {{2, "0"}}), 5, "2b0f2"},
      // One glyph read as two unlike symbols, their boxes overlapping.
      {cells("ll361a", {{4, "l"}}), 6, "ll361a"},
      {cells("i64", {{0, "1"}}), 3, "i64"},
      {cells("b0x", {{1, "@"}}), 3, "b0x"},
      {cells("rab", {{1, "@"}}), 3, "r@b"},
      {cells("reb", {{1, "@"}}), 3, "r@b"},
      {cells("apig", {{3, "$"}}), 4, "api$"},
      {cells("2ce8", {{3, "s"}}), 4, "2ce8"},
      {cells("MEMORY%", {{6, "S"}}), 7, "MEMORY%"},
      {{{"0", 1, 9}, {"/", 11, 19}, {"7", 16, 22}, {"a", 21, 29}}, 3, "07a"},
      {{{"0", 1, 9}, {"/", 11, 19}, {"7", 18, 29}}, 3, "0/7"},
      {{{"O", 1, 8}, {"0", 5, 11}, {"0", 10, 19}, {"9", 21, 29}}, 3, "009"},
      // A twin's box beside its own, less than half a cell apart.
      {{{"b", 1, 9}, {"o", 11, 19}, {"o", 21, 29}, {"k", 31, 35}, {"k", 36, 39}}, 4, "book"},
  };
  for (auto [symbols, spanned, after] : doubled) {
    dropDoubledGlyphs(symbols, 10, spanned);
    std::string text;
    for (const PlacedSymbol& symbol : symbols) text += symbol.text;
    EXPECT_EQ(text, after);
  }
  // A twin keeps its own box, where its shape is judged; unlike reads take both.
  std::vector<PlacedSymbol> twin{{"l", 1, 7}, {"L", 5, 12}, {"e", 11, 19}, {"o", 21, 29}};
  std::vector<PlacedSymbol> unlike{{"1", 1, 7}, {"l", 5, 12}, {"e", 11, 19}, {"o", 21, 29}};
  for (std::vector<PlacedSymbol>* word : {&twin, &unlike}) ASSERT_TRUE(dropDoubledGlyphs(*word, 10, 3));
  EXPECT_EQ(twin.front().right, 7);
  EXPECT_EQ(unlike.front().right, 12);
  // "1/1" read "V1", the V over two cells: symbols, the cells the ink spans, the text after.
  const std::tuple<std::vector<PlacedSymbol>, std::size_t, const char*> slashes[] = {
      {{{"V", 1, 19}, {"1", 21, 29}}, 3, "1/1"},
      {{{"V", 1, 9}, {"1", 11, 19}}, 3, "V1"},
      {{{"V", 1, 19}, {"1", 21, 29}}, 2, "V1"},
      {{{"v", 1, 19}, {"a", 21, 29}}, 3, "va"},
  };
  for (auto [symbols, cells, after] : slashes) {
    readSlashAfterOne(symbols, 10, cells);
    std::string text;
    for (const PlacedSymbol& symbol : symbols) text += symbol.text;
    EXPECT_EQ(text, after);
  }
  // Words split as Tesseract split them; the first word's last box may lie
  // off its glyph, or reach over the blank after it, and the next word's
  // first box back over the blank before it.
  const std::tuple<const char*, bool, int, int, int> splits[] = {
      {"github.|com", true, 0, 0, 0},    {"collections:|:HashMap", true, 0, 0, 0},
      {"findAll()|.stream", true, 0, 0, 0}, {"d6b5|-9wmzt", true, -4, 0, 0},
      {"ls -la", false, 0, 0, 0},        {"x = 1", false, 0, 0, 0},
      {"a  b", false, 0, 0, 0},          {"d6b5  -9wmzt", false, -4, 0, 0},
      {"10.05 ==", false, 0, 20, 0},     {"1 xfailed", false, 0, 0, 10},
  };
  for (const auto& [line, neighbours, lastOff, lastReach, firstReach] : splits) {
    auto words = cellsOf(line, true);
    words[0].back().left += lastOff;
    words[0].back().right += lastOff + lastReach;
    const std::size_t next = words[1].empty() ? 2 : 1;
    words[next].front().left -= firstReach;
    EXPECT_EQ(inNeighbouringCells(words[0], words[next], 10), neighbours) << line;
    EXPECT_FALSE(inNeighbouringCells(words[0], words[next], 0)) << line;
  }
}

TEST(MendColumnLetters, DoubledOrMisreadCapitalsInARowOfLoneCapitalsOnly) {
  expectMended(mendColumnLetters, {{"A B Cc D E F G Pp Q", "A B C D E F G P Q"},
                                   {"J K L M N fe) Pp Q", "J K L M N O P Q"},
                                   {"E F G H l J K", "E F G H I J K"},
                                   {"A B C D E = H", "A B C D E = H"},
                                   {"Cc Pp and Ss", "Cc Pp and Ss"},
                                   {"A B Cc", "A B Cc"},
                                   {"A B Cc D E F G H | J K L M N Oo p QO", "A B C D E F G H I J K L M N O P Q"},
                                   {"A B C D E QO", "A B C D E QO"}});
  // Pieces of such a row, which are mended together.
  EXPECT_TRUE(rowOfColumnLetters({"A", "B", "Cc", "D", "|", "F"}));
  EXPECT_FALSE(rowOfColumnLetters({"A", "B", "C", "D", "E", "is", "a", "row", "?"}));
}

TEST(KeptTokens, ADigitOrThreeLettersOrAColumnLetterInARowOfThem) {
  using Stretches = std::vector<TokenStretch>;
  using Kept = std::vector<std::vector<bool>>;
  // Doubted column letters are kept, as capitals alone, beside five sure ones.
  const std::tuple<const char*, Stretches, Kept, std::vector<std::string>> cases[] = {
      {"column letters read one by one, a button beside them",
       {{{"A"}}, {{"D"}}, {{"Cc"}}, {{"F"}}, {{"G"}}, {{"="}}},
       {{true}, {true}, {true}, {true}, {true}, {false}}, {"A", "D", "C", "F", "G", "="}},
      {"too few to be column letters, and marks", {{{"A"}}, {{"B"}}, {{"="}}, {{"it"}}},
       {{false}, {false}, {false}, {false}}, {"A", "B", "=", "it"}},
      {"letters read apart in one stretch, together", {{{"A", "B", "Cc"}}}, {{true, true, true}}, {"A", "B", "Cc"}},
      {"a row number, a speck", {{{"12"}}, {{"x"}}, {{"ox"}}}, {{true}, {false}, {false}}, {"12", "x", "ox"}},
      {"a prompt alone, a block's end, an arrow", {{{"$"}}, {{">>>"}}, {{"}"}}, {{">"}}, {{"$$"}}},
       {{true}, {true}, {true}, {false}, {false}}, {"$", ">>>", "}", ">", "$$"}},
      {"doubted: a letter among sure ones; a number, a word",
       {{{"A"}}, {{"B"}}, {{"Cc"}, false}, {{"D"}}, {{"E"}}, {{"F"}}, {{"12"}, false}, {{"Total"}, false}},
       {{true}, {true}, {true}, {true}, {true}, {true}, {false}, {false}},
       {"A", "B", "C", "D", "E", "F", "12", "Total"}},
      {"doubted letters do not make a row", {{{"A"}}, {{"B"}}, {{"Cc"}, false}, {{"Dd"}, false}, {{"E"}}, {{"F"}}},
       {{false}, {false}, {false}, {false}, {false}, {false}}, {"A", "B", "Cc", "Dd", "E", "F"}},
      {"doubted: a shell's prompt; one with a blank in its path",
       {{{"leo@harbor:~/apps/ledger$"}, false}, {{"leo@harbor: ~/apps/ledger$"}, false}}, {{true}, {false}},
       {"leo@harbor:~/apps/ledger$", "leo@harbor: ~/apps/ledger$"}},
      {"doubted: a count of ready containers; longer counts, a path",
       {{{"1/1"}, false}, {{"0/12"}, false}, {{"123/4"}, false}, {{"1/"}, false}, {{"l/l"}, false}},
       {{true}, {true}, {false}, {false}, {false}}, {"1/1", "0/12", "123/4", "1/", "l/l"}},
  };
  for (auto [what, stretches, kept, texts] : cases) {
    EXPECT_EQ(keptTokens(stretches), kept) << what;
    std::vector<std::string> read;
    for (const TokenStretch& stretch : stretches) read.insert(read.end(), stretch.lines.begin(), stretch.lines.end());
    EXPECT_EQ(read, texts) << what;
  }
}

TEST(StackedInColumns, StretchesLeftAlignedInRowsApartThreeAtLeast) {
  using Columns = std::vector<std::vector<std::size_t>>;
  // Each stretch by its rows' top (10 high) and its columns.
  const auto stretches = [](std::vector<std::tuple<int, int, int>> spans) {
    std::vector<InkStretch> made;
    for (const auto& [top, left, right] : spans) made.push_back({{top, top + 10}, {left, right}});
    return made;
  };
  const std::tuple<const char*, std::vector<InkStretch>, Columns> cases[] = {
      {"three grades, listed bottom up", stretches({{40, 100, 112}, {0, 101, 120}, {20, 99, 108}}), {{1, 2, 0}}},
      {"two only", stretches({{0, 100, 112}, {20, 100, 112}}), {}},
      {"a step of more than a height", stretches({{0, 100, 112}, {20, 100, 112}, {40, 115, 130}}), {}},
      {"three in one row", stretches({{0, 100, 104}, {0, 106, 110}, {2, 108, 112}}), {}},
      {"two columns side by side",
       stretches({{0, 100, 110}, {0, 300, 310}, {20, 100, 110}, {20, 300, 310}, {40, 100, 110}, {40, 302, 310}}),
       {{0, 2, 4}, {1, 3, 5}}},
  };
  for (const auto& [what, spans, columns] : cases) EXPECT_EQ(stackedInColumns(spans, 10, 3), columns) << what;
}

TEST(StackedToken, LettersDigitsAndTheMarksOfGradesAndAmounts) {
  const std::pair<const char*, bool> cases[] = {
      {"B+", true}, {"C-", true}, {"N/A", true}, {"45%", true}, {"$12", true}, {"10:30", true},
      {"[=]", false}, {"\u00A9", false}, {"+", false}, {"a|", false}, {"", false}};
  for (const auto& [text, token] : cases) EXPECT_EQ(stackedToken(text), token) << text;
}

TEST(DropSliversBeforeGlyphs, MadeUpMarksOverAGlyphsFirstColumnGo) {
  const auto symbol = [](const char* text, int left, int right) { return PlacedSymbol{text, left, right, 0, 20}; };
  const std::tuple<const char*, std::vector<PlacedSymbol>, std::string> cases[] = {
      {"a mark before a digit", {symbol("#", 10, 11), symbol("1", 10, 20), symbol("2", 22, 32)}, "12"},
      {"marks before a letter", {symbol("#", 10, 11), symbol("\u00A3", 10, 11), symbol("#", 10, 11), symbol("G", 10, 22)},
       "G"},
      {"one mark before a letter, a hyphen whose box slipped", {symbol("s", 0, 9), symbol("-", 12, 13), symbol("g", 12, 22)},
       "s-g"},
      {"letters boxed as slivers", {symbol("l", 10, 11), symbol("i", 10, 11), symbol("t", 10, 20)}, "lit"},
      {"a mark of its own width", {symbol("#", 0, 8), symbol("1", 10, 20)}, "#1"},
  };
  for (auto [what, symbols, expected] : cases) {
    dropSliversBeforeGlyphs(symbols, 2);
    std::string text;
    for (const PlacedSymbol& s : symbols) text += s.text;
    EXPECT_EQ(text, expected) << what;
  }
}

TEST(MendFlatBars, ABarLyingFlatIsAnUnderscoreKeptOnce) {
  const auto symbol = [](const char* text, int left, int right, int top, int bottom) {
    return PlacedSymbol{text, left, right, top, bottom};
  };
  const std::tuple<const char*, std::vector<PlacedSymbol>, std::string, bool> cases[] = {
      {"under the underscore before it",
       {symbol("u", 0, 13, 9, 25), symbol("_", 14, 31, 0, 0), symbol("|", 14, 30, 33, 35), symbol("5", 32, 45, 5, 25)},
       "u_5", true},
      {"alone", {symbol("q", 0, 13, 9, 33), symbol("|", 14, 30, 33, 35), symbol("i", 32, 45, 3, 25)}, "q_i", true},
      {"upright", {symbol("a", 0, 13, 9, 25), symbol("|", 16, 19, 3, 33), symbol("b", 22, 35, 3, 25)}, "a|b", false},
      {"no rows", {symbol("|", 14, 30, 0, 0)}, "|", false},
  };
  for (auto [what, symbols, expected, mended] : cases) {
    EXPECT_EQ(mendFlatBars(symbols), mended) << what;
    std::string text;
    for (const PlacedSymbol& s : symbols) text += s.text;
    EXPECT_EQ(text, expected) << what;
  }
}

TEST(HoldsWordlikeRun, SevenSmallLettersOrFourDigitsInARow) {
  const std::pair<const char*, bool> cases[] = {
      {"Warehouse java", true}, {"ok github. com/kim/ledger/internal/books", true}, {"10412 S 1.7", true},
      {"pismes seen", false}, {"ro 7 ro \u201C. ro ~", false}, {"OooOoO\u00B0OoO", false}, {"schema.sq]", false},
      {"2 7 412", false}, {"", false}};
  for (const auto& [line, holds] : cases) EXPECT_EQ(holdsWordlikeRun(line), holds) << line;
}

TEST(HoldsFileName, ANameAndAKnownExtensionLongerAfterOneCharacter) {
  const std::pair<const char*, bool> cases[] = {
      {"__ init__.py", true}, {"see main.c", true}, {"Q1_2026_results.XLSX here", true},
      {"2.odt", true},
      {"a.py", false}, {"i.e. so", false}, {"ro.7 ro", false}, {"notes.tet", false}, {".py", false}, {".odt", false},
      {"", false}};
  for (const auto& [line, holds] : cases) EXPECT_EQ(holdsFileName(line), holds) << line;
}

TEST(HoldsQuotedWord, ThreeLettersOrMoreBetweenQuotesOfAnyShape) {
  const std::pair<const char*, bool> cases[] = {
      {"4 \u201cerrors\u201d\n", true}, {"\"time\",", true}, {"'utf-8')", true}, {"\u2018max_len\u2019;", true},
      {"\"notes.txt\")", true},
      {"\"ok\"", false}, {"\"a b\"", false}, {"\"queue: empty\"", false}, {"errors", false}, {"\"\"", false}};
  for (const auto& [line, holds] : cases) EXPECT_EQ(holdsQuotedWord(line), holds) << line;
}

TEST(HoldsFormula, AnEqualsSignBeforeAFunctionOrACell) {
  const std::pair<const char*, bool> cases[] = {
      {"F14 fe =MEDIAN(F2:F13)", true}, {"=B2*C2", true}, {"=SUM(A1:A9)/2", true}, {"=AB12", true},
      {"=A(", false}, {"== MAX", false}, {"x = MAX(1, 2)", false}, {"=ABCD1", false}, {"=max(a)", false}, {"", false}};
  for (const auto& [line, holds] : cases) EXPECT_EQ(holdsFormula(line), holds) << line;
}

TEST(HoldsShellPrompt, UserAtHostColonPathThenDollarOrHash) {
  const std::pair<const char*, bool> cases[] = {
      {"leo@harbor:~/apps/ledger$\n", true}, {"root@db-03:/var/lib# ", true}, {"mika@studio:~$ ls -la", true},
      {"max@hazel: ~$\n\n", true}, {"leo@harbor: notes ~$", false}, {"leo@harbor:~/apps/ledgers", false},
      {"@harbor:~$", false},
      {"mail me at leo@harbor.org: $5", false}, {"a@b:$", true}, {"a@:~$", false}, {"", false}};
  for (const auto& [line, holds] : cases) EXPECT_EQ(holdsShellPrompt(line), holds) << line;
}

TEST(ExtensionStarts, WhereAKnownExtensionFollowsAName) {
  const std::pair<const char*, std::vector<std::size_t>> cases[] = {
      {"ledgerrs", {6}}, {"cartjs", {4}}, {"reportPDF", {6}}, {"first", {2}},
      {"ledger.rs", {}}, {"rs", {}}, {"a b.c", {}}};
  for (const auto& [word, starts] : cases) EXPECT_EQ(extensionStarts(word), starts) << word;
}

TEST(PeriodRestored, OneSpaceReadAgainAsAFileNamesPeriodOnly) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"Warehouse java", "Warehouse.java", true},  {"src/main java", "src/main.java", true},
      {"Warehouse java", "Warehouse,java", false}, {"see the docs", "see the.docs", false},
      {"Warehouse java", "Warehouse.jav", false},  {"Warehouse java 2", "Warehouse.java 3", false},
      {"notes.txt", "notes.txt", false}};
  for (const auto& [line, again, restored] : cases) EXPECT_EQ(periodRestored(line, again), restored) << again;
}

TEST(LookAlikesSwapped, OnlyWhereEveryChangedGlyphIsALookAlike) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"/dev/sdb1", "/dev/sdbl", true}, {"B0OK", "8OOK", true}, {"0 60 811020", "0 0 811020", false},
      {"cat", "cut", false}};
  for (const auto& [line, again, swapped] : cases) EXPECT_EQ(onlyLookAlikesSwapped(line, again), swapped) << again;
}

TEST(OneStretchOfInk, OverlappingBoxesOrAPeriodInANameWithNoSpacesBlank) {
  // Whether the boxes overlap, the characters either side, the widest blank
  // between the glyphs and the word height.
  const std::tuple<const char*, bool, char, const char*, int, int, bool> cases[] = {
      {"fe80: :5054", true, ':', ":5054", 4, 40, true},
      {"Alerts 7, boxes lagging their glyphs", true, 's', "7", 11, 41, false},
      {"method. tex, in monospace", false, '.', "tex", 12, 40, true},
      {"veil. JPG, an extension in capitals", false, '.', "JPG", 4, 40, true},
      {"a sentence's end", false, '.', "Next", 4, 40, false},
      {"a sentence's end before a word in capitals", false, '.', "NOTE", 4, 40, false},
      {"a period a space's width before a word", false, '.', "txt", 14, 40, false},
      {"words apart", false, 'a', "b", 2, 40, false},
  };
  for (const auto& [what, overlap, before, after, blank, height, one] : cases) {
    EXPECT_EQ(oneStretchOfInk(overlap, before, after, blank, height), one) << what;
  }
}

TEST(OnlyRespaced, SpacesMovedBesidePunctuationButNoneDroppedBetweenLettersOrDigits) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"Spaces:4", "Spaces: 4", true}, {"requireNonNull (sku) ;", "requireNonNull(sku);", true},
      {"7.1 MB", "7.1MB", false}, {"10:14 AM", "10:14AM", false}, {"Last edit", "Lastedit", false},
      {"Lastedit", "Last edit", true}, {"Warehouse.java", "Warehouse java", false}, {"Spaces:4", "Spaces:5", false},
      {"Spaces:4", "Spaces:4.", false}, {" x", "x", true}, {"setup.exe", "setup. exe", false}};
  for (const auto& [line, again, respaced] : cases) EXPECT_EQ(onlyRespaced(line, again), respaced) << line << again;
}

TEST(MendFileExtensions, OneLookAlikeOffAKnownExtensionOrHiddenFileOnly) {
  expectMended(mendFileExtensions, {{"report-final-v2.pdt notes.txt", "report-final-v2.pdf notes.txt"},
                                    {"Q1_2026_results.xIsx", "Q1_2026_results.xlsx"},
                                    {"IMG_0042.JPG and main.inl", "IMG_0042.JPG and main.inl"},
                                    {"talk.MoV DSC_1.jPg a.Mp4 b.Docx c.mOV d.M0V",
                                     "talk.MOV DSC_1.jPg a.Mp4 b.Docx c.mOV d.MOV"},
                                    {"cover.jpq, then a.pdt, bank.qif", "cover.jpg, then a.pdf, bank.qif"},
                                    {"notes.tet", "notes.tet"},
                                    {"ends here.tif", "ends here.tif"},
                                    {"version 2.1 or .pdt", "version 2.1 or .pdt"}, {"(.vimre)", "(.vimrc)"},
                                    {"data.csv1", "data.csv1"}, {"Phase 2.0dt", "Phase 2.odt"},
                                    {".bashre and ~/.vimre", ".bashrc and ~/.vimrc"},
                                    {"ls .config .tet", "ls .config .tet"},
                                    {"git@example.com:ops/infra.git", "git@example.com:ops/infra.git"},
                                    {"revenue.sq| deploy.ym! a.txt|grep", "revenue.sql deploy.yml a.txt|grep"},
                                    {"history.|pl linker.Id a.|2", "history.lpl linker.ld a.|2"},
                                    {"lightroom_catalog.Ircat save-2.Ist this.Items _rows.Index a_b.Init()",
                                     "lightroom_catalog.lrcat save-2.lst this.Items _rows.Index a_b.Init()"}});
}

TEST(MendBarsInAddresses, OnlyInAMailAddress) {
  expectMended(mendBarsInAddresses, {{"Ava ava.|@acorn.io Editor", "Ava ava.l@acorn.io Editor"},
                                     {"pau|@mai|.example.org", "paul@mail.example.org"},
                                     {"a | b @home |@x", "a | b @home |@x"}, {"x=a|b@c.d", "x=a|b@c.d"}});
}

TEST(MendOptimizationFlags, AZeroAfterAWordsHyphenBeforeALevelOnly) {
  expectMended(mendOptimizationFlags, {{"cc -02 -c main.c -o main.o", "cc -O2 -c main.c -o main.o"},
                                       {"-00 -0s", "-O0 -Os"},
                                       {"2026-02 -025 -05 x-02", "2026-02 -025 -05 x-02"}});
}

TEST(MendShellPrompts, AGBesideTheAtOrBlanksWithinAPromptOnly) {
  expectMended(mendShellPrompts, {{"leoG@harbor:~/apps$ ls", "leo@harbor:~/apps$ ls"},
                                  {"leoG@Gharbor:~# whoami", "leo@harbor:~# whoami"},
                                  {"ops@f jord: ~$ ls", "ops@fjord:~$ ls"},
                                  {"raj@fir:7etc/nginx$ ls 7z", "raj@fir:/etc/nginx$ ls 7z"},
                                  {"raj@fir:/srv/7zip$ ip@host:7", "raj@fir:/srv/7zip$ ip@host:7"},
                                  {"mona@pine:~/shop (fix/cart)$ ls", "mona@pine:~/shop (fix/cart)$ ls"},
                                  {"bob@example.com: ok$ fine", "bob@example.com: ok$ fine"},
                                  {"GG@host:~$ bobG@example.com AG@x:y$ leo@GW:~$", "GG@host:~$ bobG@example.com AG@x:y$ leo@GW:~$"}});
}

TEST(MendAbbreviationsBeforeWords, AnLBetweenCapitalsAndAWordOnly) {
  expectMended(mendAbbreviationsBeforeWords, {{"See the APlreference first", "See the API reference first"},
                                              {"CLloptions", "CLI options"},
                                              {"APls Ulkit HTMLlint2 APlReference Xlabel APl",
                                               "APls Ulkit HTMLlint2 APlReference Xlabel APl"},
                                              {" CLloptions  APlreference", " CLI options  API reference"}});
}

TEST(MendZeroRates, AZeroRateReadAsOneWordOnly) {
  expectMended(mendZeroRates, {{"dockerd root 0.0 OBls Normal", "dockerd root 0.0 0 B/s Normal"},
                               {"OB/s OkB/s 0KiBls OMB|s", "0 B/s 0 kB/s 0 KiB/s 0 MB/s"},
                               {"0 B/s OBs OB/m 0B/sec Obls 4.1 KB/s OBl", "0 B/s OBs OB/m 0B/sec Obls 4.1 KB/s OBl"}});
}

TEST(MendDeviceZeros, ACapitalOEndingSmallLettersOnly) {
  expectMended(mendDeviceZeros, {{"media / usbO / DCIM", "media / usb0 / DCIM"},
                                 {"ethO: wlanO,nvmeO1", "eth0: wlan0,nvme01"},
                                 {"IO iOS GitOps OK O2 usbOn o2 Go2 ok go1.22 photo1.jpg",
                                  "IO iOS GitOps OK O2 usbOn o2 Go2 ok go1.22 photo1.jpg"}});
}

TEST(MendFileModes, AnFWhereAnRBelongsInAWordShapedAsAMode) {
  expectMended(mendFileModes, {{"-fw-r--r-- 1 ops ops", "-rw-r--r-- 1 ops ops"},
                               {"-fwxr-xr-x. drwxr-xr-x", "-rwxr-xr-x. drwxr-xr-x"},
                               {"-fw-fw-f-- -fw-r--r", "-rw-rw-r-- -fw-r--r"},
                               {"-lw-I----- 1 ana adm", "-rw-r----- 1 ana adm"}, {"lrwxrwxrwx", "lrwxrwxrwx"},
                               {"-fw-r--r--fw -fw-q--r-- --fast-fw- -fw-r--r--x", "-fw-r--r--fw -fw-q--r-- --fast-fw- -fw-r--r--x"}});
}

TEST(MendHexDigits, OnlyInLongHexadecimalNumbers) {
  expectMended(mendHexDigits, {{"trace_id=be3edcOalef2a4f0 span=4fdf8ela", "trace_id=be3edc0a1ef2a4f0 span=4fdf8e1a"},
                               {"postfix/qmgr[912]: 7B9EQD4: removed", "postfix/qmgr[912]: 7B9E0D4: removed"},
                               {"a coffee bead: Baffled", "a coffee bead: Baffled"},
                               {"Cold 12 fallback deadbeef", "Cold 12 fallback deadbeef"},
                               {"id=Ol2a", "id=Ol2a"},
                               {"3f9c2a7d1e0b84c6a55d2e91F7b3c08d", "3f9c2a7d1e0b84c6a55d2e91f7b3c08d"},
                               {"CAFE12BEEF34aa", "CAFE12BEEF34aa"}});
  const std::pair<const char*, bool> numbers[] = {{"f506b40", true}, {"deadbeef", false}, {"f506b4", false}, {"f506B40", false}};
  for (const auto& [word, hex] : numbers) EXPECT_EQ(hexadecimalNumber(word), hex) << word;
}

TEST(MendOnesOfVersions, AnLStartingANamesNumber) {
  expectMended(mendOnesOfVersions, {{"postgres:l6 Up", "postgres:16 Up"},
                                    {"> shop@l.3.0 test", "> shop@1.3.0 test"},
                                    {"x[:l2] a:lib node:l8a user@l33t.org", "x[:l2] a:lib node:l8a user@l33t.org"}});
}

TEST(TesseractLanguage, TheLocalesLanguageOrNoneForEnglish) {
  const std::pair<const char*, const char*> cases[] = {
      {"de", "deu"}, {"fr_CA.UTF-8@euro", "fra"}, {"zh_CN.UTF-8", "chi_sim"}, {"zh_TW.UTF-8", "chi_tra"},
      {"sr_RS@latin", "srp_latn"}, {"nb_NO.UTF-8", "nor"}, {"en_US.UTF-8", ""}, {"C.UTF-8", ""}, {"POSIX", ""},
      {"", ""}, {"xx_YY", ""}, {"d", ""}};
  for (const auto& [locale, model] : cases) EXPECT_EQ(tesseractLanguage(locale), model) << locale;
}

struct SectionsSeen {
  std::vector<unsigned> outer, inner;
};

void innerSections(void* data) {
  auto& seen = *static_cast<SectionsSeen*>(data);
  for (unsigned s = GOMP_sections_next(); s != 0; s = GOMP_sections_next()) seen.inner.push_back(s);
  GOMP_sections_end_nowait();
}

void outerSections(void* data) {
  auto& seen = *static_cast<SectionsSeen*>(data);
  for (unsigned s = GOMP_sections_next(); s != 0; s = GOMP_sections_next()) {
    seen.outer.push_back(s);
    if (s == 2) GOMP_parallel_sections(innerSections, data, 4, 2, 0);
  }
  GOMP_sections_end_nowait();
}

// Tesseract's `parallel sections` run each of its sections once, on the
// calling thread, and a nested one hands out its own without ending the outer.
TEST(SerialOpenMp, EverySectionOnceNestedOrNot) {
  SectionsSeen seen;
  GOMP_parallel(
      [](void* data) {
        EXPECT_EQ(omp_get_num_threads(), 1);
        EXPECT_EQ(omp_get_thread_num(), 0);
        static_cast<SectionsSeen*>(data)->outer.push_back(0);
      },
      &seen, 4, 0);
  GOMP_parallel_sections(outerSections, &seen, 4, 3, 0);
  EXPECT_EQ(seen.outer, (std::vector<unsigned>{0, 1, 2, 3}));
  EXPECT_EQ(seen.inner, (std::vector<unsigned>{1, 2}));
  EXPECT_EQ(GOMP_sections_next(), 0U);
}

}  // namespace
}  // namespace kestrova::desktop::tesseract
