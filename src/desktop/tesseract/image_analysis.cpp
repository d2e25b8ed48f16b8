// Finds the uniform-background panels of a screen image and turns each into a
// dark-on-light page, the input Tesseract's global threshold reads well.
#include "desktop/tesseract/image_analysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numeric>
#include <utility>

#include "desktop/screen_gray.h"

namespace kestrova::desktop::tesseract {

// The smallest box that holds both.
Rect unite(const Rect& a, const Rect& b) {
  const int x = std::min(a.x, b.x), y = std::min(a.y, b.y);
  return {x, y, std::max(a.right(), b.right()) - x, std::max(a.bottom(), b.bottom()) - y};
}

GrayImage copyGray(const std::uint8_t* pixels, int width, int height, std::size_t bytesPerRow) {
  GrayImage gray{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height)};
  for (int y = 0; y < height; ++y) {
    std::copy_n(pixels + static_cast<std::size_t>(y) * bytesPerRow, width,
                gray.pixels.data() + static_cast<std::size_t>(y) * width);
  }
  return gray;
}

namespace {

// Areas of at least this many cells keep their own background inside the
// panel around them (a button: its label is ink against the button, not the
// panel); fewer are cells that ink dominates, as in a bold word.
constexpr int kButtonCells = 8;
// Cells across the thinnest panel.
constexpr int kPanelThickness = 3;
// Longer than any stroke of a glyph at screen sizes, shorter than a border.
// Upright runs must be longer: the stems of a terminal's first column (a $
// above an R above an A) touch from line to line.
constexpr int kRuleWidth = 40;
constexpr int kRuleHeight = 120;
// Longer than a glyph's stroke: a straight run of another area's color this
// long is that area showing at a panel's edge.
constexpr int kEdgeLength = 24;
constexpr int kLeftMarginCells = 2;
// Gray steps from an area's background that a pixel still shows it by.
constexpr int kOwnBackgroundSteps = 4;
// Pages are dark on white: their pixels darker than this are ink.
constexpr int kPageInk = 255 - kInkContrast;
// A glyph's core, without the faint edge its smoothing adds.
constexpr int kHalfInk = 128;
// Faint, before contrast is stretched: disabled text on a light panel.
constexpr int kFaintInk = 24;
// Fainter still: a dark sheet's grid over its row numbers, 23 steps from
// their gray.
constexpr int kFaintRule = 20;
// Smaller rectangles are dots, dashes and the bars of letters.
constexpr int kCursorWidth = 4;
constexpr int kCursorHeight = 8;

bool inkAt(const GrayImage& page, int x, int y) { return page.at(x, y) < kPageInk; }

// 1 for each pixel of the page that is ink, or darker than `inkBelow`.
std::vector<std::uint8_t> inkMask(const GrayImage& page, int inkBelow = kPageInk) {
  std::vector<std::uint8_t> mask(page.pixels.size());
  std::transform(page.pixels.begin(), page.pixels.end(), mask.begin(),
                 [inkBelow](std::uint8_t p) { return p < inkBelow; });
  return mask;
}

struct CellGrid {
  int cellSize;
  int columns;
  int rows;

  Rect cellRect(int column, int row, const GrayImage& image) const {
    const int x = column * cellSize;
    const int y = row * cellSize;
    return {x, y, std::min(cellSize, image.width - x), std::min(cellSize, image.height - y)};
  }
};

// The most common gray value of each cell: its background, as text rarely
// covers half of a cell.
std::vector<std::uint8_t> cellBackgrounds(const GrayImage& image, const CellGrid& grid) {
  std::vector<std::uint8_t> backgrounds(static_cast<std::size_t>(grid.columns) * grid.rows);
  std::array<int, 256> histogram{};
  for (int row = 0; row < grid.rows; ++row) {
    for (int column = 0; column < grid.columns; ++column) {
      const Rect cell = grid.cellRect(column, row, image);
      int best = 0;
      std::uint8_t mode = 0;
      for (int y = cell.y; y < cell.bottom(); ++y) {
        for (int x = cell.x; x < cell.right(); ++x) {
          const std::uint8_t value = image.at(x, y);
          if (++histogram[value] > best) {
            best = histogram[value];
            mode = value;
          }
        }
      }
      for (int y = cell.y; y < cell.bottom(); ++y) {
        for (int x = cell.x; x < cell.right(); ++x) histogram[image.at(x, y)] = 0;
      }
      backgrounds[static_cast<std::size_t>(row) * grid.columns + column] = mode;
    }
  }
  return backgrounds;
}

// A divider between two panes: a thin upright line at least this long, with
// no other such line within `kLeastPaneWidth` of it (a sheet's grid lines
// stand closer; they part cells, not panes).
constexpr int kDividerLength = 160;
constexpr int kLeastPaneWidth = 192;

// Whether x shows a line one or two pixels wide, darker or lighter than both
// sides, whatever their grays: a pane's border parts it also from a selected
// row beside it that is about as light as the next pane (the row and that
// pane, flooded into one area, were read as one region). The soft edge
// between two grays lies between them.
bool onThinLine(const GrayImage& image, int x, int y, int reach) {
  const int here = image.at(x, y);
  const int left = image.at(x - reach, y);
  const int right = image.at(x + reach, y);
  return std::abs(here - left) >= 6 && std::abs(here - right) >= 6 && (here < left) == (here < right);
}

// Whether a divider's break may be bridged at the pixel: a line up to three
// pixels wide there, or a pixel to either side. A selected row's border
// beside the divider (a shade darker than it) widens it and moves its middle
// for the row's height; broken there, the divider would be two too short to
// part the panes (a chat's list and its conversation, 4 gray steps apart).
bool bridgesDivider(const GrayImage& image, int x, int y) {
  const int last = image.width - 1;
  for (int at = std::max(3, x - 1); at <= std::min(last - 3, x + 1); ++at) {
    if (onThinLine(image, at, y, 2) || onThinLine(image, at, y, 3)) return true;
  }
  return false;
}

// Per cell: 1 where a divider parts it from the cell on its right.
std::vector<std::uint8_t> dividerWalls(const GrayImage& image, const CellGrid& grid) {
  struct Divider {
    int x, top, bottom;
  };
  std::vector<Divider> dividers;
  // Lines across it (a list's separators) break it for a pixel or two.
  constexpr int kCrossingRows = 3;
  // Walked row by row, each column's line so far: [start, end), none when
  // start < 0, and how many of its rows are a thin line in that column. A
  // line only bridged is none: a window's edge and its shadow beside it
  // (a dialog's over a document, whose wall cut the document's lines).
  std::vector<int> start(static_cast<std::size_t>(std::max(image.width, 0)), -1);
  std::vector<int> end(start.size(), -1);
  std::vector<int> thin(start.size(), 0);
  for (int y = 0; y <= image.height; ++y) {
    for (int x = 2; x + 2 < image.width; ++x) {
      const bool thinHere = y < image.height && onThinLine(image, x, y, 2);
      if (thinHere || (y < image.height && start[x] >= 0 && bridgesDivider(image, x, y))) {
        if (start[x] < 0 || y - end[x] > kCrossingRows) start[x] = y, thin[x] = 0;
        end[x] = y + 1;
        thin[x] += thinHere ? 1 : 0;
        continue;
      }
      if (start[x] >= 0 && (y == image.height || y - end[x] >= kCrossingRows)) {
        if (end[x] - start[x] >= kDividerLength && thin[x] >= kDividerLength) dividers.push_back({x, start[x], end[x]});
        start[x] = -1;
      }
    }
  }
  std::vector<std::uint8_t> walls(static_cast<std::size_t>(grid.columns) * grid.rows, 0);
  for (const Divider& divider : dividers) {
    const bool crowded = std::any_of(dividers.begin(), dividers.end(), [&](const Divider& other) {
      return std::abs(other.x - divider.x) > 2 && std::abs(other.x - divider.x) < kLeastPaneWidth;
    });
    if (crowded) continue;
    const int column = divider.x / grid.cellSize;
    // The wall goes on the side of the cell nearer to the line.
    const int leftOfWall = 2 * (divider.x % grid.cellSize) >= grid.cellSize ? column : column - 1;
    if (leftOfWall < 0 || leftOfWall + 1 >= grid.columns) continue;
    for (int row = divider.top / grid.cellSize; row <= (divider.bottom - 1) / grid.cellSize; ++row) {
      walls[static_cast<std::size_t>(row) * grid.columns + leftOfWall] = 1;
    }
  }
  return walls;
}

template <class Visit>
void forEachNeighbour(int column, int row, const CellGrid& grid, Visit visit) {
  if (column > 0) visit(column - 1, row);
  if (column + 1 < grid.columns) visit(column + 1, row);
  if (row > 0) visit(column, row - 1);
  if (row + 1 < grid.rows) visit(column, row + 1);
}

// Flood fill over cells whose backgrounds differ by at most the tolerance.
// Returns the area of each cell and fills each area's most common background.
std::vector<int> fillAreas(const std::vector<std::uint8_t>& backgrounds, const std::vector<std::uint8_t>& walls,
                           const CellGrid& grid, int tolerance, std::vector<std::uint8_t>& areaBackground,
                           std::vector<int>& areaSize) {
  std::vector<int> area(backgrounds.size(), -1);
  std::vector<int> stack;
  std::array<int, 256> histogram{};
  for (std::size_t seed = 0; seed < backgrounds.size(); ++seed) {
    if (area[seed] >= 0) continue;
    const int id = static_cast<int>(areaBackground.size());
    std::vector<int> members;
    area[seed] = id;
    stack.push_back(static_cast<int>(seed));
    while (!stack.empty()) {
      const int cell = stack.back();
      stack.pop_back();
      members.push_back(cell);
      forEachNeighbour(cell % grid.columns, cell / grid.columns, grid, [&](int column, int row) {
        const int next = row * grid.columns + column;
        const bool walled = row == cell / grid.columns && walls[std::min(next, cell)] != 0;
        if (area[next] < 0 && !walled && std::abs(backgrounds[next] - backgrounds[cell]) <= tolerance) {
          area[next] = id;
          stack.push_back(next);
        }
      });
    }
    for (int cell : members) ++histogram[backgrounds[cell]];
    const auto mode = std::max_element(histogram.begin(), histogram.end()) - histogram.begin();
    for (int cell : members) histogram[backgrounds[cell]] = 0;
    areaBackground.push_back(static_cast<std::uint8_t>(mode));
    areaSize.push_back(static_cast<int>(members.size()));
  }
  return area;
}

// The cells an area spans, inclusive.
struct CellBox {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;

  void add(int column, int row) {
    left = std::min(left, column);
    top = std::min(top, row);
    right = std::max(right, column);
    bottom = std::max(bottom, row);
  }
  int columns() const { return right - left + 1; }
  int rows() const { return bottom - top + 1; }
};

std::vector<CellBox> areaBoxes(const std::vector<int>& area, std::size_t count, const CellGrid& grid) {
  std::vector<CellBox> boxes(count);
  for (int row = 0; row < grid.rows; ++row) {
    for (int column = 0; column < grid.columns; ++column) {
      boxes[area[static_cast<std::size_t>(row) * grid.columns + column]].add(column, row);
    }
  }
  return boxes;
}

// A letter's strokes span this many cells at most (a 150% heading's),
// and fill less of their box than this (a disc, an avatar, fills 0.79).
constexpr int kMostLetterCells = 16;
constexpr double kLeastPanelFill = 0.7;
constexpr int kMostStrokeSpread = 8;

// Gives every small area to the large neighbour it shares the longest border
// with, passing through chains of small areas; what touches no large area at
// all joins the largest.
std::vector<int> absorbSmallAreas(const std::vector<int>& area, const std::vector<int>& areaSize,
                                  const std::vector<CellBox>& boxes, const std::vector<int>& spread,
                                  const CellGrid& grid, int minimumCells) {
  const int count = static_cast<int>(areaSize.size());
  const int largest = static_cast<int>(std::max_element(areaSize.begin(), areaSize.end()) - areaSize.begin());
  std::vector<int> owner(count, -1);
  for (int id = 0; id < count; ++id) {
    // A strip one or two cells thin is a step of a gradient (a title bar), not a panel.
    const bool thin = std::min(boxes[id].rows(), boxes[id].columns()) < kPanelThickness;
    // The strokes of a huge bold letter (an 84 px W) fill whole cells of one
    // gray, but cover less of their box than any panel, button or bubble
    // does; the letter is read with its word. A thumbnail's gradient splits
    // into wedges as sparse, whose cells' grays drift.
    const bool strokes = std::max(boxes[id].rows(), boxes[id].columns()) <= kMostLetterCells &&
                         spread[id] <= kMostStrokeSpread &&
                         kLeastPanelFill * boxes[id].rows() * boxes[id].columns() > areaSize[id];
    if ((areaSize[id] >= minimumCells && !thin && !strokes) || id == largest) owner[id] = id;
  }
  for (bool changed = true; changed;) {
    changed = false;
    std::map<int, std::map<int, int>> borders;  // small area -> owner -> shared edges
    for (int row = 0; row < grid.rows; ++row) {
      for (int column = 0; column < grid.columns; ++column) {
        const int here = area[static_cast<std::size_t>(row) * grid.columns + column];
        if (owner[here] >= 0) continue;
        forEachNeighbour(column, row, grid, [&](int c, int r) {
          const int there = owner[area[static_cast<std::size_t>(r) * grid.columns + c]];
          if (there >= 0) ++borders[here][there];
        });
      }
    }
    for (const auto& [small, counts] : borders) {
      owner[small] = std::max_element(counts.begin(), counts.end(),
                                      [](const auto& a, const auto& b) { return a.second < b.second; })
                         ->first;
      changed = true;
    }
  }
  for (int& o : owner) {
    if (o < 0) o = largest;
  }
  return owner;
}

// Marks (sets to 1) the set pixels that lie in a horizontal run of at least
// `minimumWidth` set pixels or a vertical one of at least `minimumHeight`.
// `set` holds only 0 and 1. Both directions are walked row by row: a walk
// down each column touches a new cache line at every pixel.
void markRuns(const std::vector<std::uint8_t>& set, int width, int height, int minimumWidth, int minimumHeight,
              std::vector<std::uint8_t>& marked) {
  const auto w = static_cast<std::size_t>(width);
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
    const std::uint8_t* row = set.data() + y * w;
    const std::uint8_t* end = row + w;
    for (const std::uint8_t* at = row; at < end;) {
      const auto* start = static_cast<const std::uint8_t*>(std::memchr(at, 1, end - at));
      if (start == nullptr) break;
      const auto* stop = static_cast<const std::uint8_t*>(std::memchr(start, 0, end - start));
      if (stop == nullptr) stop = end;
      if (stop - start >= minimumWidth) {
        std::fill(marked.begin() + (start - set.data()), marked.begin() + (stop - set.data()), 1);
      }
      at = stop;
    }
  }
  std::vector<int> above(w, 0);  // set pixels straight above, in each column
  for (int y = 0; y <= height; ++y) {
    const std::uint8_t* row = y < height ? set.data() + y * w : nullptr;
    for (std::size_t x = 0; x < w; ++x) {
      if ((row == nullptr || row[x] == 0) && above[x] >= minimumHeight) {
        for (int j = y - above[x]; j < y; ++j) marked[j * w + x] = 1;
      }
    }
    if (row == nullptr) break;
    for (std::size_t x = 0; x < w; ++x) above[x] = row[x] != 0 ? above[x] + 1 : 0;
  }
}

// A stretch of one row that holds a single gray.
struct FlatStretch {
  int left, right;  // [left, right)
  int value;
};

constexpr int kFlatLength = 48;
// A gradient bar (a window manager's title bar) shades from row to row by a
// few grays; it is this many rows tall and shades this much in all.
constexpr int kLeastBarRows = 10;
constexpr int kMostBarRows = 48;
constexpr int kMostBarStep = 6;
constexpr int kLeastBarShade = 10;

std::vector<FlatStretch> flatStretches(const GrayImage& image, int y) {
  std::vector<FlatStretch> stretches;
  const std::uint8_t* row = image.pixels.data() + static_cast<std::size_t>(y) * image.width;
  for (int x = 0; x < image.width;) {
    int end = x + 1;
    while (end < image.width && row[end] == row[x]) ++end;
    if (end - x >= kFlatLength) stretches.push_back({x, end, row[x]});
    x = end;
  }
  return stretches;
}

// The flat stretch of row `y` that overlaps [left, right) most, by its gray
// stepping at most kMostBarStep from `value`; none: value -1.
FlatStretch continuing(const std::vector<FlatStretch>& stretches, int left, int right, int value) {
  FlatStretch best{0, 0, -1};
  for (const FlatStretch& s : stretches) {
    const int overlap = std::min(right, s.right) - std::max(left, s.left);
    if (overlap > 0 && std::abs(s.value - value) <= kMostBarStep && overlap > best.right - best.left) best = s;
  }
  return best;
}

}  // namespace

std::vector<GradientBar> findGradientBars(const GrayImage& image) {
  std::vector<std::vector<FlatStretch>> rows(static_cast<std::size_t>(image.height));
  for (int y = 0; y < image.height; ++y) rows[y] = flatStretches(image, y);
  std::vector<GradientBar> bars;
  for (int y = 0; y < image.height; ++y) {
    // Copied: a bar found takes its stretches from the rows, and another
    // may start beside it (windows side by side, their title bars level).
    const std::vector<FlatStretch> starts = rows[y];
    for (const FlatStretch& start : starts) {
      const auto taken = [&](const FlatStretch& s) { return s.left < start.right && start.left < s.right; };
      if (std::none_of(rows[y].begin(), rows[y].end(), taken)) continue;
      // Follow the stretch down while its gray shades by small steps.
      GradientBar bar{start.left, start.right, y, {static_cast<std::uint8_t>(start.value)}};
      int steps = 0;
      for (int below = y + 1; below < image.height && below - y < kMostBarRows; ++below) {
        const FlatStretch next = continuing(rows[below], bar.left, bar.right, bar.grays.back());
        if (next.value < 0) break;
        steps += next.value != bar.grays.back();
        bar.grays.push_back(static_cast<std::uint8_t>(next.value));
        bar.left = std::min(bar.left, next.left);
        bar.right = std::max(bar.right, next.right);
      }
      const int shade = std::abs(bar.grays.back() - bar.grays.front());
      const int height = static_cast<int>(bar.grays.size());
      if (height < kLeastBarRows || shade < kLeastBarShade || 2 * steps < height) continue;
      for (int row = y; row < bar.bottom(); ++row) {
        std::erase_if(rows[row], [&](const FlatStretch& s) { return s.left < bar.right && bar.left < s.right; });
      }
      bars.push_back(std::move(bar));
    }
  }
  return bars;
}

namespace {

// An area whose cells' grays lie this far apart at least is a gradient.
constexpr int kGradientSpread = 24;

// How far apart the grays of each area's cells lie.
std::vector<int> graySpreads(const std::vector<int>& area, std::size_t areas, const std::vector<std::uint8_t>& grays) {
  std::vector<int> lowest(areas, 255), highest(areas, 0), spread(areas);
  for (std::size_t cell = 0; cell < area.size(); ++cell) {
    const auto id = static_cast<std::size_t>(area[cell]);
    lowest[id] = std::min<int>(lowest[id], grays[cell]);
    highest[id] = std::max<int>(highest[id], grays[cell]);
  }
  std::ranges::transform(highest, lowest, spread.begin(), std::minus<>());
  return spread;
}

}  // namespace

BackgroundMap mapBackground(const GrayImage& image, const RegionTuning& tuning) {
  const CellGrid grid{tuning.cellSize, (image.width + tuning.cellSize - 1) / tuning.cellSize,
                      (image.height + tuning.cellSize - 1) / tuning.cellSize};
  BackgroundMap map;
  map.bars = findGradientBars(image);
  map.cellSize = grid.cellSize;
  map.columns = grid.columns;
  map.rows = grid.rows;
  if (grid.columns == 0 || grid.rows == 0) return map;

  const std::vector<std::uint8_t> backgrounds = cellBackgrounds(image, grid);
  std::vector<std::uint8_t> rawBackground;
  std::vector<int> rawSize;
  const std::vector<int> rawArea =
      fillAreas(backgrounds, dividerWalls(image, grid), grid, tuning.backgroundTolerance, rawBackground, rawSize);
  const std::vector<CellBox> boxes = areaBoxes(rawArea, rawSize.size(), grid);
  const std::vector<int> spread = graySpreads(rawArea, rawSize.size(), backgrounds);
  const std::vector<int> owner = absorbSmallAreas(rawArea, rawSize, boxes, spread, grid, tuning.minimumAreaCells);

  std::vector<int> compact(owner.size(), -1);
  for (std::size_t id = 0; id < owner.size(); ++id) {
    if (owner[id] == static_cast<int>(id)) {
      compact[id] = static_cast<int>(map.areaBackground.size());
      map.areaBackground.push_back(rawBackground[id]);
    }
  }
  map.area.resize(rawArea.size());
  map.cellBackground.resize(rawArea.size());
  for (std::size_t cell = 0; cell < rawArea.size(); ++cell) {
    map.area[cell] = compact[owner[rawArea[cell]]];
    // A button fills most of its box, at least 2 cells high and 6 wide; the
    // strokes of a large bold letter are narrower or bent.
    const int id = rawArea[cell];
    const bool ownBackground = rawSize[id] >= kButtonCells && boxes[id].rows() >= 2 && boxes[id].columns() >= 6 &&
                               5 * rawSize[id] >= 4 * boxes[id].rows() * boxes[id].columns();
    // Across a gradient, cells keep the gray each shows itself: the area's
    // one gray drifts from theirs far enough for the background to be taken
    // for ink.
    const bool gradient = (ownBackground || owner[id] == id) && spread[static_cast<std::size_t>(id)] > kGradientSpread;
    map.cellBackground[cell] = gradient        ? backgrounds[cell]
                               : ownBackground ? rawBackground[id]
                                               : map.areaBackground[map.area[cell]];
  }

  // A pixel is ink when it is unlike its own area's background and unlike the
  // backgrounds of the areas around it (diagonals too, for window corners), so panel edges are not taken for text.
  map.ink.assign(rawArea.size(), false);
  for (int row = 0; row < grid.rows; ++row) {
    for (int column = 0; column < grid.columns; ++column) {
      std::vector<int> near{map.areaBackground[map.areaAt(column, row)]};
      for (int r = std::max(0, row - 1); r <= std::min(grid.rows - 1, row + 1); ++r) {
        for (int c = std::max(0, column - 1); c <= std::min(grid.columns - 1, column + 1); ++c) {
          near.push_back(map.areaBackground[map.areaAt(c, r)]);
        }
      }
      const Rect cell = grid.cellRect(column, row, image);
      int inkPixels = 0;
      for (int y = cell.y; y < cell.bottom(); ++y) {
        for (int x = cell.x; x < cell.right(); ++x) {
          const int value = image.at(x, y);
          if (std::all_of(near.begin(), near.end(),
                          [&](int background) { return std::abs(value - background) > kInkContrast; })) {
            ++inkPixels;
          }
        }
      }
      map.ink[static_cast<std::size_t>(row) * grid.columns + column] = inkPixels >= 2;
    }
  }
  return map;
}

namespace {

// Two widths of one part of an area differ by less than this ratio.
constexpr double kPartWidthRatio = 0.6;
// Cells across the thinnest part: a sheet's row of column letters.
constexpr int kPartThickness = 2;

// Row ranges [first, last] of cells in which the area keeps about the same
// width: an L-shaped area (a toolbar over a sidebar, a sheet's column letters
// over its row numbers) is read as one rectangle per part, so that the
// reading order can put each part's lines where they belong.
std::vector<std::pair<int, int>> areaParts(const BackgroundMap& map, int id, const CellBox& box) {
  std::vector<int> width(box.rows(), 0);
  for (int row = box.top; row <= box.bottom; ++row) {
    CellBox span;
    for (int column = box.left; column <= box.right; ++column) {
      if (map.areaAt(column, row) == id) span.add(column, row);
    }
    width[row - box.top] = span.columns();
  }
  std::vector<std::pair<int, int>> parts{{box.top, box.top}};
  for (int row = box.top + 1; row <= box.bottom; ++row) {
    const int before = width[row - 1 - box.top], here = width[row - box.top];
    const bool jump = std::min(before, here) < kPartWidthRatio * std::max(before, here);
    // A part thinner than a panel is a step in the area's edge, not a part.
    if (jump && parts.back().second - parts.back().first + 1 >= kPartThickness) {
      parts.emplace_back(row, row);
    } else {
      parts.back().second = row;
    }
  }
  if (parts.size() > 1 && parts.back().second - parts.back().first + 1 < kPartThickness) {
    parts[parts.size() - 2].second = parts.back().second;
    parts.pop_back();
  }
  return parts;
}

Rect intersection(const Rect& a, const Rect& b) {
  const int left = std::max(a.x, b.x), top = std::max(a.y, b.y);
  return {left, top, std::max(0, std::min(a.right(), b.right()) - left), std::max(0, std::min(a.bottom(), b.bottom()) - top)};
}

// Rows where an area's first line begins above its top cell, and that cell row.
struct Reach {
  int area;
  std::uint8_t background;
  Rect rows;
};

// Other regions over those rows give them up where the reaching area's
// background would be ink on theirs (a terminal's page showed a light
// reverse-video row's ground between its letters as blots and read them as
// a line); on a background close to theirs its letters read as they are.
void cedeReachedRows(std::vector<TextRegion>& regions, const std::vector<Reach>& reached) {
  for (TextRegion& region : regions) {
    for (const Reach& reach : reached) {
      const bool inkHere = std::abs(reach.background - region.background) > kInkContrast;
      const Rect shared = intersection(region.bounds, reach.rows);
      if (inkHere && reach.area != region.area && shared.width > 0 && shared.height > 0) region.ceded.push_back(shared);
    }
  }
}

// Rows right above `top`, at most `most`, in which most pixels show the
// area's background. Cells are coarser than areas: an area whose top edge
// cuts a cell (a terminal's reverse-video row, which need not start on a
// cell) would lose the rows where its first line's letters begin.
int ownRowsAbove(const GrayImage& image, std::uint8_t background, const ColumnSpan& columns, int top, int most) {
  int rows = 0;
  for (int y = top - 1; rows < most && y >= 0; --y, ++rows) {
    int own = 0;
    for (int x = columns.left; x < columns.right; ++x) own += std::abs(image.at(x, y) - background) <= kOwnBackgroundSteps;
    if (2 * own < columns.right - columns.left) break;
  }
  return rows;
}

// A text line across the row where an area's width changes (a window over
// the lower part of another one's right side) would be cut in two, each
// half read as marks: two parts of one area meet at the nearest row that
// holds none of the area's ink, a line's height away at most.
constexpr int kMostLineCells = 3;

void meetBetweenLines(const GrayImage& image, const BackgroundMap& map, int id, TextRegion& upper, TextRegion& lower) {
  const int meet = lower.bounds.y;
  const int left = std::max(upper.bounds.x, lower.bounds.x);
  const int right = std::min(upper.bounds.right(), lower.bounds.right());
  if (upper.bounds.bottom() != meet) return;
  // In the columns both parts share, where a line would run on from one into the other.
  const auto blank = [&](int y) {
    if (y <= upper.bounds.y || y >= lower.bounds.bottom()) return false;
    for (int x = left; x < right; ++x) {
      if (map.areaAt(x / map.cellSize, y / map.cellSize) == id &&
          std::abs(image.at(x, y) - lower.background) > kInkContrast) {
        return false;
      }
    }
    return true;
  };
  if (blank(meet - 1) || blank(meet)) return;
  // A line ends a line's height away on both sides; a rule down the area does not.
  const int most = kMostLineCells * map.cellSize;
  int above = meet - 1, below = meet + 1;
  while (meet - above <= most && !blank(above)) --above;
  while (below - meet <= most && !blank(below)) ++below;
  const bool endsAbove = meet - above <= most, endsBelow = below - meet <= most;
  // A line may begin at the upper part's top row, a window's edge over it
  // (a terminal's first line under another's lower edge): it ends below.
  const bool fromPartTop = above < upper.bounds.y;
  if (!endsBelow || (!endsAbove && !fromPartTop)) return;
  const int y = endsAbove && meet - above < below - meet ? above : below;
  upper.bounds.height = y - upper.bounds.y;
  lower.bounds.height = lower.bounds.bottom() - y;
  lower.bounds.y = y;
}

}  // namespace

std::vector<TextRegion> findTextRegions(const GrayImage& image, const BackgroundMap& map) {
  const std::size_t areas = map.areaBackground.size();
  std::vector<CellBox> whole(areas);
  for (int row = 0; row < map.rows; ++row) {
    for (int column = 0; column < map.columns; ++column) whole[map.areaAt(column, row)].add(column, row);
  }

  std::vector<TextRegion> regions;
  std::vector<Reach> reached;
  for (std::size_t id = 0; id < areas; ++id) {
    for (const auto& [first, last] : areaParts(map, static_cast<int>(id), whole[id])) {
      CellBox part;
      CellBox inked;
      for (int row = first; row <= last; ++row) {
        for (int column = whole[id].left; column <= whole[id].right; ++column) {
          if (map.areaAt(column, row) != static_cast<int>(id)) continue;
          part.add(column, row);
          if (map.ink[static_cast<std::size_t>(row) * map.columns + column]) inked.add(column, row);
        }
      }
      if (inked.right < 0) continue;
      // One cell of margin: ink touching the area's edge may sit in a cell
      // whose pixels also match the neighbour's background. On the left, where
      // lines begin, two cells and past the area's own: text as dark as the
      // desktop beside a window is no ink in the cells next to that desktop,
      // and a line's first glyph may sit in a cell that mostly shows it.
      const int left = std::max(0, inked.left - kLeftMarginCells) * map.cellSize;
      const int right = std::min((std::min(part.right, inked.right + 1) + 1) * map.cellSize, image.width);
      int top = std::max(part.top, inked.top - 1) * map.cellSize;
      const int bottom = std::min((std::min(part.bottom, inked.bottom + 1) + 1) * map.cellSize, image.height);
      const std::uint8_t background = map.areaBackground[id];
      const int above = inked.top == whole[id].top ? ownRowsAbove(image, background, {left, right}, top, map.cellSize) : 0;
      // With its first cell row: next to another area's cells, that area's
      // page keeps the ink there as its own glyphs' strokes.
      if (above > 0) reached.push_back({static_cast<int>(id), background, Rect{left, top - above, right - left, above + map.cellSize}});
      regions.push_back({static_cast<int>(id), Rect{left, top - above, right - left, bottom - top + above}, background, {}});
      if (regions.size() > 1 && regions[regions.size() - 2].area == static_cast<int>(id)) {
        meetBetweenLines(image, map, static_cast<int>(id), regions[regions.size() - 2], regions.back());
      }
    }
  }
  cedeReachedRows(regions, reached);
  std::sort(regions.begin(), regions.end(), [](const TextRegion& a, const TextRegion& b) {
    return a.bounds.y != b.bounds.y ? a.bounds.y < b.bounds.y : a.bounds.x < b.bounds.x;
  });
  return regions;
}

namespace {

bool faintInkAt(const GrayImage& page, int x, int y) { return page.at(x, y) < 255 - kFaintInk; }

// The darkest and the lightest gray within `box` (255 and 0 when it is empty).
std::pair<int, int> grayRange(const GrayImage& page, const Rect& box) {
  int darkest = 255, lightest = 0;
  for (int y = box.y; y < box.bottom(); ++y) {
    const std::uint8_t* row = page.pixels.data() + static_cast<std::size_t>(y) * page.width;
    const auto [low, high] = std::minmax_element(row + box.x, row + box.right());
    if (low == row + box.right()) continue;
    darkest = std::min<int>(darkest, *low);
    lightest = std::max<int>(lightest, *high);
  }
  return {darkest, lightest};
}

// Darkest pixel black, white kept white.
void stretchContrast(GrayImage& page, const Rect& box) {
  const int darkest = grayRange(page, box).first;
  if (darkest == 255) return;
  std::array<std::uint8_t, 256> curve{};
  for (int v = 0; v < 256; ++v) {
    curve[v] = static_cast<std::uint8_t>(std::clamp((v - darkest) * 255 / (255 - darkest), 0, 255));
  }
  for (int y = box.y; y < box.bottom(); ++y) {
    std::uint8_t* row = page.pixels.data() + static_cast<std::size_t>(y) * page.width;
    std::transform(row + box.x, row + box.right(), row + box.x, [&](std::uint8_t p) { return curve[p]; });
  }
}

// The stretches of columns that hold faint ink in the rows, parted by at least `gap` columns without.
std::vector<ColumnSpan> faintInkSpans(const GrayImage& page, const RowRun& rows, int gap) {
  std::vector<ColumnSpan> spans;
  for (int x = 0; x < page.width; ++x) {
    bool ink = false;
    for (int y = rows.top; y < rows.bottom && !ink; ++y) ink = faintInkAt(page, x, y);
    if (!ink) continue;
    if (!spans.empty() && x - spans.back().right < gap) {
      spans.back().right = x + 1;
    } else {
      spans.push_back({x, x + 1});
    }
  }
  return spans;
}

// The boxes of inked rows within each stretch of the run's ink.
std::vector<Rect> linesWithinSpans(const GrayImage& page, const RowRun& run) {
  std::vector<Rect> lines;
  for (const ColumnSpan& span : faintInkSpans(page, run, kEdgeLength)) {
    int top = -1;
    for (int y = run.top; y <= run.bottom; ++y) {
      bool inked = false;
      for (int x = span.left; x < span.right && y < run.bottom && !inked; ++x) inked = faintInkAt(page, x, y);
      if (inked && top < 0) top = y;
      if (inked || top < 0) continue;
      lines.push_back({span.left, top, span.right - span.left, y - top});
      top = -1;
    }
  }
  return lines;
}

// A line alone in its rows that the whole rows' stretch left faint: a rule
// down the page joined its rows to all the others, black text among them
// (a disabled row's description in a dialog's frame, never read).
// Words, not lone glyphs: a sheet's column letters, stretched alone, grew
// too bold to read ("O" as "fe)").
constexpr int kFaintLineHeights = 4;

bool stillFaint(const GrayImage& page, const Rect& line) {
  if (line.width < kFaintLineHeights * line.height) return false;
  const int darkest = grayRange(page, line).first;
  return darkest > 255 - 2 * kInkContrast && darkest < 255 - kFaintInk;
}

// Each line stretched on its own, so faint gray text is as dark as black
// text, a greyed line under a black one included. Where something tall (a
// switch beside a label and the greyed description under it) joins lines
// into one run of rows, each of them is stretched again within its stretch
// of ink. Rules, faint ones too, are left out of that look: a rule next to
// the rows would join every settings row into one run.
// A rule down the page joins the lines it crosses, so they are stretched
// alike and it stays one rule, erased whole: stretched line by line, its
// pieces beside each line stay darker than the rest of it, and a row
// number beside one is read as another ("1" as "4"). Rows with nothing as
// dark as faint ink (a bubble's rounded corners) are not stretched: their
// faintest marks would come out black.
void stretchLines(GrayImage& page) {
  GrayImage withoutRules = page;
  eraseRules(withoutRules, kRuleWidth, kRuleHeight, 255 - kFaintRule);
  const std::vector<RowRun> inked = inkRowRuns(page, kFaintInk);
  for (const RowRun& run : inkRowRuns(page, kFaintRule)) {
    const bool holdsInk = std::any_of(inked.begin(), inked.end(), [&](const RowRun& ink) { return ink.overlaps(run); });
    if (holdsInk) stretchContrast(page, {0, run.top, page.width, run.bottom - run.top});
  }
  for (const RowRun& run : inkRowRuns(withoutRules, kFaintRule)) {
    const std::vector<Rect> lines = linesWithinSpans(withoutRules, run);
    const auto sameSpan = [](const Rect& a, const Rect& b) { return a.x == b.x; };
    const bool stacked = std::adjacent_find(lines.begin(), lines.end(), sameSpan) != lines.end();
    for (const Rect& line : lines) {
      if (stacked || stillFaint(page, line)) stretchContrast(page, line);
    }
  }
}

const GradientBar* barAt(const std::vector<const GradientBar*>& bars, int x) {
  for (const GradientBar* bar : bars) {
    if (bar->left <= x && x < bar->right) return bar;
  }
  return nullptr;
}

// What a pixel is measured against, in one cell of the map near a region.
struct CellLook {
  bool kept = false;                 // the region's, or next to one of its cells
  std::uint8_t own = 0;              // the background the pixel's ink stands out from
  std::vector<std::uint8_t> others;  // backgrounds of other areas around the cell
};

// The cells of `window` (in cells) as the region's page sees them. Cells of
// other areas next to the region's keep their ink: a glyph at the edge of a
// panel may reach into a cell that mostly shows the neighbour.
std::vector<CellLook> lookAtCells(const BackgroundMap& map, const TextRegion& region, const CellBox& window) {
  const int columns = window.columns();
  std::vector<CellLook> looks(static_cast<std::size_t>(columns) * window.rows());
  auto lookAt = [&](int column, int row) -> CellLook& {
    return looks[static_cast<std::size_t>(row - window.top) * columns + (column - window.left)];
  };
  for (int row = window.top; row <= window.bottom; ++row) {
    for (int column = window.left; column <= window.right; ++column) {
      if (map.areaAt(column, row) != region.area) continue;
      for (int r = std::max(window.top, row - 1); r <= std::min(window.bottom, row + 1); ++r) {
        for (int c = std::max(window.left, column - 1); c <= std::min(window.right, column + 1); ++c) {
          CellLook& look = lookAt(c, r);
          look.kept = true;
          if (r == row && c == column) {
            look.own = map.cellBackground[static_cast<std::size_t>(row) * map.columns + column];
          }
        }
      }
    }
  }
  for (int row = window.top; row <= window.bottom; ++row) {
    for (int column = window.left; column <= window.right; ++column) {
      CellLook& look = lookAt(column, row);
      if (!look.kept) continue;
      if (map.areaAt(column, row) != region.area) look.own = region.background;
      for (int r = std::max(0, row - 1); r <= std::min(map.rows - 1, row + 1); ++r) {
        for (int c = std::max(0, column - 1); c <= std::min(map.columns - 1, column + 1); ++c) {
          const int area = map.areaAt(c, r);
          const std::uint8_t background = map.areaBackground[area];
          const bool known = std::find(look.others.begin(), look.others.end(), background) != look.others.end();
          if (area != region.area && !known) look.others.push_back(background);
        }
      }
    }
  }
  return looks;
}

// Longer than a glyph's stem at screen sizes: a panel's wall.
constexpr int kLeastWallLength = 2 * kEdgeLength;

// The rows of column x's longest run of ink.
RowRun longestInkRun(const GrayImage& page, int x) {
  RowRun longest;
  for (int y = 0, top = 0; y < page.height; ++y) {
    if (!inkAt(page, x, y)) {
      top = y + 1;
    } else if (y + 1 - top > longest.bottom - longest.top) {
      longest = {top, y + 1};
    }
  }
  return longest;
}

// A border this thin, inked on few of its rows beside it: a stem of a glyph
// has its bowls, bars and serifs beside it, and a terminal's first column
// of stems touching line to line ("$" over "R" over "A") too.
constexpr int kMostBorderWidth = 2;
constexpr int kMostBesideShare = 8;  // one row in this many

// How many columns wide the bare line that `run` of column x starts is,
// going `step`; 0 if it is no bare line.
int bareLineWidth(const GrayImage& page, int x, int step, const RowRun& run) {
  const auto inkedRows = [&](int column) {
    int rows = 0;
    for (int y = run.top; y < run.bottom; ++y) rows += column >= 0 && column < page.width && inkAt(page, column, y);
    return rows;
  };
  const int length = run.bottom - run.top;
  int width = 1;
  while (width <= kMostBorderWidth && kMostBesideShare * (length - inkedRows(x + width * step)) < length) ++width;
  return width <= kMostBorderWidth && kMostBesideShare * inkedRows(x + width * step) <= length ? width : 0;
}

}  // namespace

void eraseOuterSides(GrayImage& page) {
  GrayImage without = page;
  bool erased = false;
  const auto erase = [&](int x, const RowRun& rows) {
    for (int y = rows.top; y < rows.bottom; ++y) without.pixels[static_cast<std::size_t>(y) * page.width + x] = 255;
    erased = true;
  };
  const auto sidesFrom = [&](int x, int step) {
    for (; x >= 0 && x < page.width; x += step) {
      const RowRun run = longestInkRun(page, x);
      const int length = run.bottom - run.top;
      if (length == 0) continue;
      if (4 * length >= 3 * page.height) {
        erase(x, {0, page.height});
        continue;
      }
      const int width = length >= kLeastWallLength ? bareLineWidth(page, x, step, run) : 0;
      for (int i = 0; i < width; ++i) erase(x + i * step, run);
      return;
    }
  };
  sidesFrom(0, 1);
  sidesFrom(page.width - 1, -1);
  if (erased && inkRowRuns(without).size() >= 2) page = std::move(without);
}

namespace {

// Rows a window's border may break a neighbour's edge for: a frame's lines,
// light and dark, a few pixels each.
constexpr int kMostWallGap = 8;

// A long straight run of a neighbour's background down the region's side
// is the neighbour's edge: what lies past it, in the cells kept for the
// region's own glyphs' sake, is the neighbour's. Seen from the desktop, each
// window's first column of letters, which Tesseract read into marks and
// appended to lines, at a tenth of a terminal screen's time. A selected
// row's side, about 30 px, is too short: past it, its rounded corner was cut
// in two, and the halves read as marks.
void blankPastEdges(GrayImage& page, const std::vector<std::uint8_t>& foreign, const Rect& r, const BackgroundMap& map,
                    const TextRegion& region) {
  const int cell = map.cellSize;
  const auto own = [&](int column, int row) {
    return column >= 0 && column < map.columns && map.areaAt(column, row) == region.area;
  };
  const auto foreignAt = [&](int x, int y) { return foreign[static_cast<std::size_t>(y) * r.width + x] != 0; };
  for (int x = 0; x < r.width; ++x) {
    const int column = (r.x + x) / cell;
    for (int y = 0; y < r.height;) {
      if (!foreignAt(x, y)) {
        ++y;
        continue;
      }
      int end = y;
      while (end < r.height && foreignAt(x, end)) ++end;
      // A window's border across the wall breaks it for a few rows between
      // two long runs: beside that text line the border's end stayed
      // ("_=web02$"). Shorter runs may be a glyph's as dark as the neighbour.
      for (int gap = end; end - y >= kEdgeLength && gap < r.height && gap - end <= kMostWallGap; ++gap) {
        if (!foreignAt(x, gap)) continue;
        int resumed = gap;
        while (resumed < r.height && foreignAt(x, resumed)) ++resumed;
        if (resumed - gap >= kEdgeLength) end = resumed;
        break;
      }
      if (end - y < kLeastWallLength) y = end;
      for (; y < end; ++y) {
        const int row = (r.y + y) / cell;
        const bool beside = own(column, row);
        const bool right = !own(column + 1, row) && (beside || own(column - 1, row));
        const bool left = !own(column - 1, row) && (beside || own(column + 1, row));
        if (right == left) continue;
        // Where a border crossed it, the wall's own column goes too.
        const int crossed = foreignAt(x, y) ? 0 : 1;
        const int from = right ? x + 1 - crossed : std::max(0, (column - 1) * cell - r.x);
        const int to = right ? std::min(r.width, (column + 2) * cell - r.x) : x + crossed;
        std::fill(page.pixels.begin() + static_cast<std::ptrdiff_t>(y) * r.width + from,
                  page.pixels.begin() + static_cast<std::ptrdiff_t>(y) * r.width + to, 255);
      }
    }
  }
}

// A pixel's four neighbours in a row-major image; itself where one lies off the edge.
std::array<std::size_t, 4> fourNeighbours(std::size_t at, int width, std::size_t size) {
  const int x = static_cast<int>(at % static_cast<std::size_t>(width));
  const auto w = static_cast<std::size_t>(width);
  return {x > 0 ? at - 1 : at, x + 1 < width ? at + 1 : at, at >= w ? at - w : at, at + w < size ? at + w : at};
}

// A gradient area (a picture's thumbnail) has no one background: where it
// is lightest, it stands as far from its own cells' gray as from the
// region's, and its corner stayed as a solid wedge of ink that Tesseract
// joined to the name under it ("invoice_" and "invoice_0042" as two lines).
// Such pixels continue the area's gray smoothly, a level or two a pixel
// every way; a glyph's edges step away from its neighbours at once, so the
// growth never enters a glyph that does not touch the area. The wedge's
// rim, where it meets the page's own background, goes with it.
constexpr int kMostGradientStep = 3;

void growForeignAlongGradients(std::vector<std::uint8_t>& foreign, const GrayImage& page, const GrayImage& image,
                               const Rect& r) {
  const auto source = [&](std::size_t at) {
    return static_cast<int>(image.at(r.x + static_cast<int>(at % r.width), r.y + static_cast<int>(at / r.width)));
  };
  const auto neighbours = [&](std::size_t at) { return fourNeighbours(at, r.width, foreign.size()); };
  const auto ink = [&](std::size_t at) { return page.pixels[at] <= 255 - kInkContrast; };
  const auto smooth = [&](std::size_t at) {
    return std::ranges::all_of(neighbours(at), [&](std::size_t n) {
      return std::abs(source(n) - source(at)) <= kMostGradientStep;
    });
  };
  std::vector<std::uint8_t> grown(foreign.size(), 0);
  std::vector<std::size_t> todo;
  // Seeded only where the area meets ink: a screen's worth of seeds cost 16 MB.
  for (std::size_t at = 0; at < foreign.size(); ++at) {
    const auto outside = [&](std::size_t n) { return !foreign[n] && ink(n); };
    if (foreign[at] && std::ranges::any_of(neighbours(at), outside)) todo.push_back(at);
  }
  while (!todo.empty()) {
    const std::size_t at = todo.back();
    todo.pop_back();
    for (const std::size_t next : neighbours(at)) {
      if (foreign[next] || grown[next] || !ink(next)) continue;
      if (std::abs(source(next) - source(at)) > kMostGradientStep || !smooth(next)) continue;
      grown[next] = 1;
      todo.push_back(next);
    }
  }
  // The rim reaches diagonally too: a rounded corner's last pixel may touch
  // the growth at a corner only, and alone it is a speck the layout joins
  // to the name under it ("invoice" over "invoice_0042").
  const int rows = static_cast<int>(foreign.size() / static_cast<std::size_t>(r.width));
  for (std::size_t at = 0; at < foreign.size(); ++at) {
    if (grown[at] != 1) continue;
    const int x = static_cast<int>(at % static_cast<std::size_t>(r.width)), y = static_cast<int>(at / r.width);
    for (int ny = std::max(0, y - 1); ny <= std::min(rows - 1, y + 1); ++ny) {
      for (int nx = std::max(0, x - 1); nx <= std::min(r.width - 1, x + 1); ++nx) {
        const std::size_t next = static_cast<std::size_t>(ny) * r.width + nx;
        if (!foreign[next] && !grown[next] && ink(next)) grown[next] = 2;
      }
    }
  }
  for (std::size_t at = 0; at < foreign.size(); ++at) foreign[at] = foreign[at] || grown[at] != 0;
}

}  // namespace

void blankForeignEdgeRows(GrayImage& page, const std::vector<std::uint8_t>& foreign, int cell) {
  const auto rowAt = [&](int y) { return static_cast<std::ptrdiff_t>(y) * page.width; };
  const auto judgedForeign = [&](std::ptrdiff_t at) { return foreign[at] != 0 && page.pixels[at] != 255; };
  const auto foreignRow = [&](int y) {
    std::ptrdiff_t first = -1, last = -1, count = 0;
    for (std::ptrdiff_t x = 0; x < page.width; ++x) {
      if (!judgedForeign(rowAt(y) + x)) continue;
      first = first < 0 ? x : first;
      last = x;
      ++count;
    }
    return last - first + 1 >= kEdgeLength && 2 * count >= last - first + 1;
  };
  const auto blankRow = [&](int y) {
    const auto row = page.pixels.begin() + rowAt(y);
    return std::all_of(row, row + page.width, [](std::uint8_t pixel) { return pixel == 255; });
  };
  const auto inPage = [&](int y) { return y >= 0 && y < page.height; };
  const auto blankSlice = [&](int edge, int inward) {
    int y = edge;
    while (inPage(y) && blankRow(y)) y += inward;
    std::vector<int> slice;
    for (int at = y; inPage(at) && foreignRow(at); at += inward) {
      slice.push_back(at);
      if (static_cast<int>(slice.size()) == cell) return;
    }
    for (const int at : slice) std::fill_n(page.pixels.begin() + rowAt(at), page.width, 255);
  };
  blankSlice(0, 1);
  blankSlice(page.height - 1, -1);
}

namespace {

// A descender leaves this much of an underline out at most, with the gaps
// beside it; the pieces cover this much of their stretch at least.
constexpr int kUnderlineGap = 6;
constexpr double kUnderlineCover = 0.7;

}  // namespace

void eraseBrokenUnderlines(GrayImage& page) {
  // Blank above and below; a page's edge may cut glyphs off to a row of slivers.
  const auto thin = [&](int x, int y) {
    return y > 0 && y + 1 < page.height && !inkAt(page, x, y - 1) && !inkAt(page, x, y + 1);
  };
  for (int y = 0; y < page.height; ++y) {
    std::vector<ColumnSpan> pieces;
    for (int x = 0; x < page.width;) {
      if (!inkAt(page, x, y)) {
        ++x;
        continue;
      }
      const int left = x;
      int thinPixels = 0;
      for (; x < page.width && inkAt(page, x, y); ++x) thinPixels += thin(x, y) ? 1 : 0;
      if (x - left >= 2 && 10 * thinPixels >= 8 * (x - left)) pieces.push_back({left, x});
    }
    for (std::size_t first = 0; first < pieces.size();) {
      std::size_t last = first;
      int covered = pieces[first].right - pieces[first].left;
      while (last + 1 < pieces.size() && pieces[last + 1].left - pieces[last].right <= kUnderlineGap) {
        ++last;
        covered += pieces[last].right - pieces[last].left;
      }
      const int stretch = pieces[last].right - pieces[first].left;
      if (last > first && stretch >= kRuleWidth && covered >= kUnderlineCover * stretch) {
        for (std::size_t i = first; i <= last; ++i) {
          std::fill_n(page.pixels.begin() + static_cast<std::ptrdiff_t>(y) * page.width + pieces[i].left,
                      pieces[i].right - pieces[i].left, 255);
        }
      }
      first = last + 1;
    }
  }
}

GrayImage preparePage(const GrayImage& image, const BackgroundMap& map, const TextRegion& region) {
  const Rect& r = region.bounds;
  GrayImage page{r.width, r.height, std::vector<std::uint8_t>(static_cast<std::size_t>(r.width) * r.height)};
  const int cell = map.cellSize;
  const CellBox window{r.x / cell, r.y / cell, (r.right() - 1) / cell, (r.bottom() - 1) / cell};
  const std::vector<CellLook> looks = lookAtCells(map, region, window);
  // Near another area, a pixel of that area's color is its background
  // showing, or a window's edge, when it belongs to a long straight run of
  // such pixels; shorter runs are strokes of glyphs at the panel's edge.
  std::vector<std::uint8_t> foreign(page.pixels.size(), 0);
  for (int y = 0; y < r.height; ++y) {
    const std::uint8_t* source = image.pixels.data() + static_cast<std::size_t>(r.y + y) * image.width;
    const std::size_t rowStart = static_cast<std::size_t>(y) * r.width;
    std::vector<const GradientBar*> rowBars;
    for (const GradientBar& bar : map.bars) {
      if (bar.top <= r.y + y && r.y + y < bar.bottom()) rowBars.push_back(&bar);
    }
    const std::size_t cellRow = static_cast<std::size_t>((r.y + y) / cell - window.top);
    const CellLook* rowLooks = looks.data() + cellRow * window.columns();
    for (int column = window.left; column <= window.right; ++column) {
      const CellLook& look = rowLooks[column - window.left];
      const int from = std::max(r.x, column * cell);
      const int to = std::min(r.right(), (column + 1) * cell);
      for (int ix = from; ix < to; ++ix) {
        const std::size_t at = rowStart + (ix - r.x);
        if (!look.kept) {
          foreign[at] = 1;
          page.pixels[at] = 255;
          continue;
        }
        // A title bar is read as a page of its own: in the window's page its
        // title, buttons and icon would be read with the window's first line.
        if (barAt(rowBars, ix) != nullptr) {
          page.pixels[at] = 255;
          continue;
        }
        const int pixel = source[ix];
        const int fromOwn = std::abs(pixel - look.own);
        int fromOther = 256;
        for (std::uint8_t other : look.others) fromOther = std::min(fromOther, std::abs(pixel - other));
        foreign[at] = fromOther <= kInkContrast && fromOther < fromOwn;
        page.pixels[at] = static_cast<std::uint8_t>(255 - fromOwn);
      }
    }
  }
  for (const Rect& ceded : region.ceded) {
    for (int y = ceded.y; y < ceded.bottom(); ++y) {
      const std::size_t rowStart = static_cast<std::size_t>(y - r.y) * r.width;
      std::fill_n(page.pixels.begin() + rowStart + (ceded.x - r.x), ceded.width, 255);
      std::fill_n(foreign.begin() + rowStart + (ceded.x - r.x), ceded.width, 1);
    }
  }
  // Before another area's long runs are blanked: a frame's lines can be of a
  // panel's color, and its sides alone would stay.
  eraseLabelFrames(page);
  growForeignAlongGradients(foreign, page, image, r);
  blankForeignEdgeRows(page, foreign, cell);
  std::vector<std::uint8_t> edge(page.pixels.size(), 0);
  markRuns(foreign, r.width, r.height, kEdgeLength, kEdgeLength, edge);
  for (std::size_t i = 0; i < page.pixels.size(); ++i) {
    if (edge[i]) page.pixels[i] = 255;
  }
  blankPastEdges(page, foreign, r, map, region);
  readChipsOnTheirFill(page, image, r);
  stretchLines(page);
  eraseRules(page, kRuleWidth, kRuleHeight);
  eraseBrokenUnderlines(page);
  eraseOuterSides(page);
  eraseFaintGrid(page);
  eraseCursorsAndIcons(page, kCursorWidth, kCursorHeight);
  return page;
}

GrayImage prepareTitleBar(const GrayImage& image, const GradientBar& bar) {
  const int width = bar.right - bar.left;
  const int height = static_cast<int>(bar.grays.size());
  GrayImage page{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height)};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int fromBar = image.at(bar.left + x, bar.top + y) - bar.grays[y];
      page.pixels[static_cast<std::size_t>(y) * width + x] =
          static_cast<std::uint8_t>(255 - std::max(0, bar.lightTitle ? fromBar : -fromBar));
    }
  }
  stretchLines(page);
  eraseRules(page, kRuleWidth, kRuleHeight);
  eraseCursorsAndIcons(page, kCursorWidth, kCursorHeight);
  return page;
}

bool moreInkLighter(const GrayImage& image, const GradientBar& bar) {
  // Well clear of the bar's own gradient and of glyphs' soft edges.
  constexpr int kInkContrast = 60;
  int lighter = 0;
  int darker = 0;
  for (int y = bar.top; y < bar.bottom(); ++y) {
    const int gray = bar.grays[static_cast<std::size_t>(y - bar.top)];
    for (int x = bar.left; x < bar.right; ++x) {
      lighter += image.at(x, y) - gray > kInkContrast ? 1 : 0;
      darker += gray - image.at(x, y) > kInkContrast ? 1 : 0;
    }
  }
  return lighter > darker;
}

namespace {

// A row of glyphs that each cross one bar ("++++++++" in a diff's summary)
// makes one long run, but stems cross it at one glyph's pitch: stems above
// and below it this close together, as evenly spaced. A table's grid
// crosses its rules a column apart, an underline's descenders and a struck
// word's letters unevenly.
constexpr int kMostGlyphPitch = 16;
constexpr int kLeastCrossingStems = 4;
constexpr int kPitchTolerance = 2;

bool crossedByGlyphs(const std::vector<std::uint8_t>& ink, int width, int height, int y, int left, int right) {
  const auto inkAt = [&](int x, int row) {
    return row >= 0 && row < height && ink[static_cast<std::size_t>(row) * width + x] != 0;
  };
  const auto reach = [&](int x, int step) {
    int rows = 0;
    while (inkAt(x, y + (rows + 1) * step)) ++rows;
    return rows;
  };
  std::vector<int> stems;  // middles
  for (int x = left, first = -1; x <= right; ++x) {
    const bool crossing = x < right && reach(x, -1) >= 2 && reach(x, 1) >= 2;
    if (crossing && first < 0) first = x;
    if (!crossing && first >= 0) {
      stems.push_back((first + x - 1) / 2);
      first = -1;
    }
  }
  if (static_cast<int>(stems.size()) < kLeastCrossingStems) return false;
  std::vector<int> pitches;
  for (std::size_t i = 1; i < stems.size(); ++i) pitches.push_back(stems[i] - stems[i - 1]);
  const auto [fewest, most] = std::minmax_element(pitches.begin(), pitches.end());
  return *most <= kMostGlyphPitch && *most - *fewest <= kPitchTolerance;
}

// A rule is a few pixels thick along most of its length; a row through
// the strokes of large bold letters that touch ("ned" in a 70 px heading
// makes a run of 60 px) is inked far above or below it at most columns.
constexpr int kMostRuleThickness = 6;

bool throughThickStrokes(const std::vector<std::uint8_t>& ink, int width, int height, int y, int left, int right) {
  const auto inkAt = [&](int x, int row) {
    return row >= 0 && row < height && ink[static_cast<std::size_t>(row) * width + x] != 0;
  };
  int thick = 0;
  for (int x = left; x < right; ++x) {
    int top = y, bottom = y;
    while (bottom - top <= kMostRuleThickness && inkAt(x, top - 1)) --top;
    while (bottom - top <= kMostRuleThickness && inkAt(x, bottom + 1)) ++bottom;
    thick += bottom - top > kMostRuleThickness;
  }
  return 2 * thick > right - left;
}

// A large glyph's bar (a 96 px "2"'s base, a "7"'s top) is as long as a
// short rule, but one end of it turns into a slanting stroke that goes on
// far up or down, where the other end is free. A frame's or a grid's rule
// meets strokes at both ends or at neither, or, half covered by another
// window, a side that goes straight on. Longer than this, it is a rule
// whatever it meets.
constexpr int kLongestGlyphBar = 120;

bool glyphsBar(const std::vector<std::uint8_t>& ink, int width, int height, int y, int left, int right) {
  if (right - left > kLongestGlyphBar) return false;
  struct Reach {
    int rows = 0;
    int drift = 0;  // how far the stroke's first column moved over those rows
  };
  // How far the ink goes on up or down from row y within columns [from, to).
  const auto reach = [&](int from, int to) {
    from = std::max(0, from), to = std::min(width, to);
    Reach most;
    for (const int step : {-1, 1}) {
      int rows = 0, first = -1, last = -1;
      for (int row = y + step; row >= 0 && row < height; row += step, ++rows) {
        const auto begin = ink.begin() + static_cast<std::ptrdiff_t>(row) * width;
        const auto inked = std::find_if(begin + from, begin + to, [](std::uint8_t v) { return v != 0; });
        if (inked == begin + to) break;
        last = static_cast<int>(inked - begin);
        if (first < 0) first = last;
      }
      if (rows > most.rows) most = {rows, std::abs(last - first)};
    }
    return most;
  };
  const int end = 2 * kMostRuleThickness;
  const Reach atLeft = reach(left, left + end), atRight = reach(right - end, right);
  const auto slanting = [](const Reach& r) { return r.rows > 2 * kMostRuleThickness && 2 * r.drift >= kMostRuleThickness; };
  const auto free = [](const Reach& r) { return r.rows <= kMostRuleThickness; };
  return (slanting(atLeft) && free(atRight)) || (slanting(atRight) && free(atLeft));
}

// A large heading's ligature of two f's ("Effortless" in 56 px bold) has one
// bar across both, as long as a short rule; thick stems cross it inside its
// ends and go on far above it and below. A grid's lines are thin, an
// underline's descenders end just below it, and a frame's sides stand at
// its ends.
constexpr int kLeastStemWidth = 3;

bool ligatureBar(const std::vector<std::uint8_t>& ink, int width, int height, int y, int left, int right) {
  if (right - left > kLongestGlyphBar) return false;
  const auto inkAt = [&](int x, int row) {
    return row >= 0 && row < height && ink[static_cast<std::size_t>(row) * width + x] != 0;
  };
  const auto reaches = [&](int x, int step) {
    for (int rows = 1; rows <= 2 * kMostRuleThickness; ++rows) {
      if (!inkAt(x, y + rows * step)) return false;
    }
    return true;
  };
  int stems = 0, stemWidth = 0;
  for (int x = left; x <= right; ++x) {
    const bool crossing = x < right && reaches(x, -1) && reaches(x, 1);
    if (crossing && (x == left || x == right - 1)) return false;
    if (crossing) {
      ++stemWidth;
      continue;
    }
    if (stemWidth > 0 && stemWidth < kLeastStemWidth) return false;
    stems += stemWidth > 0;
    stemWidth = 0;
  }
  return stems >= 2 && stems <= 3;
}

}  // namespace

void eraseRules(GrayImage& page, int minimumWidth, int minimumHeight, int inkBelow) {
  const std::vector<std::uint8_t> ink = inkMask(page, inkBelow);
  std::vector<std::uint8_t> rule(page.pixels.size(), 0);
  markRuns(ink, page.width, page.height, minimumWidth, minimumHeight, rule);
  for (int y = 0; y < page.height; ++y) {
    const std::uint8_t* row = ink.data() + static_cast<std::size_t>(y) * page.width;
    for (int x = 0; x < page.width;) {
      const int left = x;
      while (x < page.width && row[x] != 0) ++x;
      if (x - left >= minimumWidth && (crossedByGlyphs(ink, page.width, page.height, y, left, x) ||
                                       throughThickStrokes(ink, page.width, page.height, y, left, x) ||
                                       glyphsBar(ink, page.width, page.height, y, left, x) ||
                                       ligatureBar(ink, page.width, page.height, y, left, x))) {
        std::fill_n(rule.begin() + static_cast<std::ptrdiff_t>(y) * page.width + left, x - left, 0);
      }
      x = std::max(x, left + 1);
    }
  }
  for (std::size_t i = 0; i < rule.size(); ++i) {
    if (rule[i]) page.pixels[i] = 255;
  }
}

namespace {

// A faint grid (a dark spreadsheet's cell borders, 34 steps from its
// cells) stays after the rules are erased, and runs across every row of
// text, so each band is handed to Tesseract at full width, whose line finder
// then walks it all (a dark sheet in a window: 60 -> 44 MB, 20% less CPU).
// Only long runs, and only where they cross as a grid: a lone faint
// separator or a button's outline is left as it was.
constexpr int kGridRuleWidth = 8 * kRuleWidth;
constexpr int kGridRuleHeight = 3 * kRuleHeight;
constexpr int kLeastGridRules = 3;

// How many separate rules, across or down, `marked` holds: runs of
// neighbouring rows (or columns) that hold a marked pixel.
int countRules(const std::vector<std::uint8_t>& marked, int width, int height, bool across) {
  std::vector<bool> holds(static_cast<std::size_t>(across ? height : width), false);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (marked[static_cast<std::size_t>(y) * width + x] != 0) holds[across ? y : x] = true;
    }
  }
  int rules = 0;
  for (std::size_t i = 0; i < holds.size(); ++i) rules += holds[i] && (i == 0 || !holds[i - 1]);
  return rules;
}

}  // namespace

void eraseFaintGrid(GrayImage& page) {
  const std::vector<std::uint8_t> faint = inkMask(page, 255 - kFaintInk);
  std::vector<std::uint8_t> across(page.pixels.size(), 0);
  markRuns(faint, page.width, page.height, kGridRuleWidth, page.height + 1, across);
  if (countRules(across, page.width, page.height, true) < kLeastGridRules) return;
  std::vector<std::uint8_t> down(page.pixels.size(), 0);
  markRuns(faint, page.width, page.height, page.width + 1, kGridRuleHeight, down);
  if (countRules(down, page.width, page.height, false) < kLeastGridRules) return;
  for (std::size_t i = 0; i < page.pixels.size(); ++i) {
    if (across[i] != 0 || down[i] != 0) page.pixels[i] = 255;
  }
}

namespace {

struct Blob {
  std::vector<std::size_t> pixels;
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive

  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};

// The 8-connected blob of set pixels around `seed`, which is cleared from `set`.
Blob takeBlob(std::vector<std::uint8_t>& set, int width, int height, std::size_t seed) {
  Blob blob;
  std::vector<std::size_t> stack{seed};
  set[seed] = 0;
  while (!stack.empty()) {
    const std::size_t at = stack.back();
    stack.pop_back();
    blob.pixels.push_back(at);
    const int x = static_cast<int>(at % width);
    const int y = static_cast<int>(at / width);
    blob.left = std::min(blob.left, x);
    blob.right = std::max(blob.right, x);
    blob.top = std::min(blob.top, y);
    blob.bottom = std::max(blob.bottom, y);
    for (int ny = std::max(0, y - 1); ny <= std::min(height - 1, y + 1); ++ny) {
      for (int nx = std::max(0, x - 1); nx <= std::min(width - 1, x + 1); ++nx) {
        const std::size_t next = static_cast<std::size_t>(ny) * width + nx;
        if (set[next] != 0) {
          set[next] = 0;
          stack.push_back(next);
        }
      }
    }
  }
  return blob;
}

// An outline one pixel wide whose inside is blank: every row between the
// first and last holds ink only at both ends, and those two rows are full,
// unless the page's edge cuts them off.
bool isOutline(const Blob& blob, const GrayImage& page) {
  auto ink = [&](int x, int y) { return inkAt(page, x, y); };
  for (int y = blob.top; y <= blob.bottom; ++y) {
    const bool cutOff = (y == 0 && blob.top == 0) || (y == page.height - 1 && blob.bottom == y);
    const bool full = y == blob.top || y == blob.bottom;
    if (!ink(blob.left, y) || !ink(blob.right, y)) return false;
    for (int x = blob.left + 1; x < blob.right; ++x) {
      if (ink(x, y) != full && !(cutOff && !ink(x, y))) return false;
    }
  }
  return true;
}

// Whether the ink at (x, y) is a blob that fits in a `size` square, and
// lies above row `below`: flooded only within that reach of (x, y).
bool smallBlobAt(const GrayImage& page, int x, int y, int size, int below) {
  const int left = std::max(0, x - size), top = std::max(0, y - size);
  const int right = std::min(page.width - 1, x + size), bottom = std::min(page.height - 1, y + size);
  const int width = right - left + 1;
  std::vector<std::uint8_t> seen(static_cast<std::size_t>(width) * (bottom - top + 1), 0);
  Blob blob;
  std::vector<std::pair<int, int>> stack{{x, y}};
  seen[static_cast<std::size_t>(y - top) * width + (x - left)] = 1;
  while (!stack.empty()) {
    const auto [px, py] = stack.back();
    stack.pop_back();
    blob.left = std::min(blob.left, px), blob.right = std::max(blob.right, px);
    blob.top = std::min(blob.top, py), blob.bottom = std::max(blob.bottom, py);
    // Reaching the edge of the window, it is larger than a dot.
    if (px == left || px == right || py == top || py == bottom) return false;
    for (int ny = py - 1; ny <= py + 1; ++ny) {
      for (int nx = px - 1; nx <= px + 1; ++nx) {
        std::uint8_t& mark = seen[static_cast<std::size_t>(ny - top) * width + (nx - left)];
        if (mark == 0 && inkAt(page, nx, ny)) {
          mark = 1;
          stack.emplace_back(nx, ny);
        }
      }
    }
  }
  return blob.width() <= size && blob.height() <= size && blob.bottom < below;
}

// Whether a dot, no larger than half again the stem's width, lies right above
// it: an i's over its stem (a bold i's stem is as wide as a block cursor's
// share of its height).
bool dottedStem(const Blob& stem, const GrayImage& page) {
  const int gap = std::max(2, stem.height() / 3);
  for (int y = std::max(0, stem.top - gap); y < stem.top; ++y) {
    for (int x = stem.left; x <= stem.right; ++x) {
      if (inkAt(page, x, y)) return smallBlobAt(page, x, y, 3 * stem.width() / 2, stem.top);
    }
  }
  return false;
}

// A cursor is drawn solid; two stems of small light text on a colour ("ll"
// on a tag) blend into one block, the column between them lighter.
bool evenlyDark(const Blob& blob, const GrayImage& page) {
  const auto dark = std::ranges::count_if(blob.pixels, [&](std::size_t at) { return page.pixels[at] < kHalfInk; });
  return 10 * static_cast<std::size_t>(dark) >= 9 * blob.pixels.size();
}

bool isCursor(const Blob& blob, const GrayImage& page, int minimumWidth, int minimumHeight) {
  const int w = blob.width();
  const int h = blob.height();
  // What the page's edge cuts off shows less of its height.
  const bool cut = blob.top == 0 || blob.bottom == page.height - 1;
  if (w < minimumWidth || h < (cut ? minimumHeight / 2 : minimumHeight)) return false;
  // A block cursor is a character cell, about twice as high as wide; a
  // square is the dot of a large bold i.
  if (blob.pixels.size() == static_cast<std::size_t>(w) * h) {
    return 5 * w >= 2 * h && 10 * w <= 7 * h && !dottedStem(blob, page) && evenlyDark(blob, page);
  }
  return isOutline(blob, page);
}

// A square at least this many pixels a side, filled or outlined, is an icon
// (a file's, a place's, a check box) before its label when the ink beside it
// is about its height: the model takes an icon of its text's size for
// glyphs. A larger one (an avatar beside a name) it leaves out by itself; the
// dot of a large i, a colon's or a period's stands beside letters several
// times taller.
constexpr int kLeastIconSide = 12;
constexpr double kLeastIconFill = 0.9;  // its corners may be rounded

bool iconSized(const Blob& blob) {
  const int w = blob.width(), h = blob.height();
  return std::min(w, h) >= kLeastIconSide && 3 * w >= 2 * h && 3 * h >= 2 * w;
}

bool solidSquare(const Blob& blob) {
  return iconSized(blob) && static_cast<double>(blob.pixels.size()) >= kLeastIconFill * blob.width() * blob.height();
}

// A plain avatar: a solid disc two lines of small text high or more, no
// initials in it (a chat's list of people). In a dark theme it turns black
// beside the names and dim previews, and Tesseract's threshold, pulled down
// by its mass, drops the previews' gray.
constexpr int kLeastDiscSide = 20;
constexpr double kLeastDiscFill = 0.7;  // of its box; a disc fills about 0.79
constexpr double kLeastDiscCore = 0.8;  // of the radius, all ink: initials would leave holes

bool solidDisc(const Blob& blob, const GrayImage& page) {
  const int w = blob.width(), h = blob.height();
  const double fill = static_cast<double>(blob.pixels.size()) / (static_cast<double>(w) * h);
  if (std::min(w, h) < kLeastDiscSide || std::abs(w - h) > 2 || fill < kLeastDiscFill || fill >= kLeastIconFill) {
    return false;
  }
  const double cx = blob.left + (w - 1) / 2.0, cy = blob.top + (h - 1) / 2.0;
  const double core = kLeastDiscCore * std::min(w, h) / 2.0;
  for (int y = static_cast<int>(cy - core); y <= static_cast<int>(cy + core); ++y) {
    for (int x = static_cast<int>(cx - core); x <= static_cast<int>(cx + core); ++x) {
      if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= core * core && !inkAt(page, x, y)) return false;
    }
  }
  return true;
}

// Whether the blob is a box drawn as an outline a few pixels thick (an
// unchecked box, a window's title-bar button, its corners maybe rounded):
// each side straight along most of its length (a U's top is not), nothing
// inside.
bool outlinedSquare(const Blob& blob, const GrayImage& page) {
  if (!iconSized(blob)) return false;
  const int w = blob.width(), h = blob.height();
  int top = 0, bottom = 0, left = 0, right = 0;  // the blob's pixels along each side of its box
  for (std::size_t at : blob.pixels) {
    const int x = static_cast<int>(at % page.width), y = static_cast<int>(at / page.width);
    top += y == blob.top, bottom += y == blob.bottom, left += x == blob.left, right += x == blob.right;
  }
  const bool straight = 5 * top >= 3 * w && 5 * bottom >= 3 * w && 5 * left >= 3 * h && 5 * right >= 3 * h;
  // Nothing inside, its own or another blob (a check mark, a ring's mark).
  const int inset = std::max(2, std::min(w, h) / 5);
  for (int y = blob.top + inset; y <= blob.bottom - inset; ++y) {
    for (int x = blob.left + inset; x <= blob.right - inset; ++x) {
      if (inkAt(page, x, y)) return false;
    }
  }
  return straight;
}

// Whether the ink that shares the square's rows, within a few of its widths
// to either side, is at least half its height and none more than twice it.
bool besideInkOfItsHeight(const Blob& square, const std::vector<Rect>& blobs) {
  const int reach = 4 * square.width();
  bool comparable = false;
  for (const Rect& other : blobs) {
    const bool sharesRows = other.y <= square.bottom && square.top < other.bottom();
    const bool near = other.x <= square.right + reach && square.left - reach < other.right();
    const bool itself = other.x == square.left && other.y == square.top;
    if (!sharesRows || !near || itself) continue;
    if (other.height > 2 * square.height()) return false;
    comparable = comparable || 2 * other.height >= square.height();
  }
  return comparable;
}

// A frame drawn around a label: a button's or a text field's outline, its
// corners maybe rounded. Lower than a window (whose border the rules take),
// wide enough for a word, drawn in thin lines: every pixel lies near the
// edge of its box, which a ring's round middle does not.
constexpr int kLeastFrameHeight = 14;
constexpr int kMostFrameHeight = 100;
constexpr int kFrameLineShare = 8;  // the lines' reach in, as a share of the height
// Fainter than faint ink: a rounded corner's smoothing, which holds the
// frame's lines together.
constexpr int kFrameContrast = 10;

bool sizedAsLabelFrame(const Blob& blob) {
  const int w = blob.width(), h = blob.height();
  return h >= kLeastFrameHeight && h <= kMostFrameHeight && 2 * w >= 3 * h;
}

bool thinFrame(const Blob& blob, int width) {
  if (!sizedAsLabelFrame(blob)) return false;
  const int w = blob.width(), h = blob.height();
  const int reach = std::max(3, h / kFrameLineShare);
  int top = 0, bottom = 0, left = 0, right = 0;  // the blob's pixels along each side of its box
  for (std::size_t at : blob.pixels) {
    const int x = static_cast<int>(at % width), y = static_cast<int>(at / width);
    const int inward = std::min({x - blob.left, blob.right - x, y - blob.top, blob.bottom - y});
    if (inward >= reach) return false;
    top += y == blob.top, bottom += y == blob.bottom, left += x == blob.left, right += x == blob.right;
  }
  return 2 * top >= w && 2 * bottom >= w && 2 * left >= h && 2 * right >= h;
}

// A pill: a frame whose ends are half circles, as a store's "Install"
// button or a tag's outline. Read whole, its ends are parentheses
// ("(Install)"). Every pixel lies near its outline: a half circle at either
// end, the straight lines between along its top and bottom.
bool thinPill(const Blob& blob, int width) {
  if (!sizedAsLabelFrame(blob)) return false;
  const int h = blob.height();
  const double reach = std::max(3, h / kFrameLineShare);
  const double radius = h / 2.0, middle = blob.top + radius;
  const double leftCentre = blob.left + radius, rightCentre = blob.right + 1 - radius;
  int top = 0, bottom = 0;
  for (std::size_t at : blob.pixels) {
    const int x = static_cast<int>(at % width), y = static_cast<int>(at / width);
    const double cx = x + 0.5, cy = y + 0.5;
    const double end = cx < leftCentre ? leftCentre : cx > rightCentre ? rightCentre : cx;
    if (radius - std::hypot(cx - end, cy - middle) >= reach) return false;
    top += y == blob.top, bottom += y == blob.bottom;
  }
  const double straight = rightCentre - leftCentre;
  return 2 * top >= straight && 2 * bottom >= straight;
}

}  // namespace

void eraseLabelFrames(GrayImage& page) {
  std::vector<std::uint8_t> faint = inkMask(page, 255 - kFrameContrast);
  // A frame's side runs down most of its height, longer than the stems of
  // small text: only blobs holding such a run are taken apart, not every glyph.
  const int side = kLeastFrameHeight / 2;
  for (int x = 0; x < page.width; ++x) {
    int run = 0;
    for (int y = 0; y < page.height; ++y) {
      const std::size_t at = static_cast<std::size_t>(y) * page.width + x;
      run = faint[at] != 0 ? run + 1 : 0;
      if (run < side) continue;
      run = 0;
      const Blob blob = takeBlob(faint, page.width, page.height, at);
      if (!thinFrame(blob, page.width) && !thinPill(blob, page.width)) continue;
      for (std::size_t pixel : blob.pixels) page.pixels[pixel] = 255;
    }
  }
}

void eraseCursorsAndIcons(GrayImage& page, int minimumWidth, int minimumHeight) {
  std::vector<std::uint8_t> ink = inkMask(page);
  std::vector<Rect> boxes;
  std::vector<Blob> squares;
  for (std::size_t seed = 0; seed < ink.size(); ++seed) {
    if (ink[seed] == 0) continue;
    Blob blob = takeBlob(ink, page.width, page.height, seed);
    boxes.push_back({blob.left, blob.top, blob.width(), blob.height()});
    if (isCursor(blob, page, minimumWidth, minimumHeight) || solidDisc(blob, page)) {
      for (std::size_t at : blob.pixels) page.pixels[at] = 255;
    } else if (solidSquare(blob) || outlinedSquare(blob, page)) {
      squares.push_back(std::move(blob));
    }
  }
  for (const Blob& square : squares) {
    if (!besideInkOfItsHeight(square, boxes)) continue;
    for (std::size_t at : square.pixels) page.pixels[at] = 255;
  }
}

namespace {

// A shape's fill differs from the panel by this many gray steps at least.
constexpr int kChipContrast = 24;
// A line of small text with a pixel of padding, up to a large button's.
constexpr int kLeastChipHeight = 12;
constexpr int kMostChipHeight = 48;
constexpr double kLeastChipFill = 0.75;
// A round avatar with initials is as wide as high, and fills less of its box
// than a tag (a disc, its smoothed edge left out); glyphs that tall are a
// heading's.
constexpr int kLeastAvatarHeight = 20;
constexpr double kLeastAvatarFill = 0.7;
// A label's strokes, however short ("ui").
constexpr int kLeastLabelPixels = 6;

// How many of `counts` have `gray`, give or take a few steps.
int countNear(const std::array<int, 256>& counts, int gray) {
  int near = 0;
  for (int g = std::max(0, gray - kOwnBackgroundSteps); g <= std::min(255, gray + kOwnBackgroundSteps); ++g) {
    near += counts[g];
  }
  return near;
}

// The gray that most of `counts` have, give or take a few steps, and how many have it.
std::pair<int, int> mostCommonGray(const std::array<int, 256>& counts) {
  int best = -1, most = 0;
  for (int gray = 0; gray < 256; ++gray) {
    if (const int near = countNear(counts, gray); near > most) best = gray, most = near;
  }
  return {best, most};
}

// A shape's fill in the screen's grays: one gray, or two where the grays
// judged its colour cell by cell: its luma where it fills a cell, its
// colour's distance from the panel where the panel does (farther from the
// panel's gray). Within a cell, the fill is one gray.
struct ChipFill {
  int luma = -1;
  int other = -1;
  int panel = -1;
};

bool nearGray(int gray, int fill) { return fill >= 0 && std::abs(gray - fill) <= kOwnBackgroundSteps; }

// The commonest gray along the ring of pixels just outside the blob's box: the panel's.
int panelAround(const Blob& blob, const GrayImage& page, const GrayImage& image, const Rect& bounds) {
  std::array<int, 256> counts{};
  const int left = std::max(0, blob.left - 1), right = std::min(page.width - 1, blob.right + 1);
  const int top = std::max(0, blob.top - 1), bottom = std::min(page.height - 1, blob.bottom + 1);
  const auto count = [&](int x, int y) { ++counts[image.at(bounds.x + x, bounds.y + y)]; };
  for (int x = left; x <= right; ++x) count(x, top), count(x, bottom);
  for (int y = top; y <= bottom; ++y) count(left, y), count(right, y);
  return mostCommonGray(counts).first;
}

// The fill's grays are the commonest of the blob's unlike the panel's. The
// second, its colour's distance from the panel, shows where the panel fills
// the cells: along the shape's edge, which touches the panel (not a toggle's
// knob, a second gray as large but within).
ChipFill chipFill(const Blob& blob, const GrayImage& page, const GrayImage& image, const Rect& bounds) {
  ChipFill fill;
  fill.panel = panelAround(blob, page, image, bounds);
  const auto panelAt = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < page.width && y < page.height &&
           std::abs(image.at(bounds.x + x, bounds.y + y) - fill.panel) <= kChipContrast;
  };
  std::array<int, 256> counts{}, edgeCounts{};
  int edge = 0;
  for (std::size_t at : blob.pixels) {
    const int x = static_cast<int>(at % page.width), y = static_cast<int>(at / page.width);
    const int gray = image.at(bounds.x + x, bounds.y + y);
    if (std::abs(gray - fill.panel) <= kChipContrast) continue;
    ++counts[gray];
    if (panelAt(x - 1, y) || panelAt(x + 1, y) || panelAt(x, y - 1) || panelAt(x, y + 1)) ++edgeCounts[gray], ++edge;
  }
  const auto [first, firstCount] = mostCommonGray(counts);
  if (first < 0) return fill;
  const int near = 2 * kOwnBackgroundSteps;
  std::fill(counts.begin() + std::max(0, first - near), counts.begin() + std::min(255, first + near) + 1, 0);
  const auto [second, secondCount] = mostCommonGray(counts);
  fill.luma = first;
  if (second < 0 || 4 * secondCount < firstCount) return fill;
  fill.other = second;
  if (std::abs(second - fill.panel) < std::abs(first - fill.panel)) std::swap(fill.luma, fill.other);
  if (4 * countNear(edgeCounts, fill.other) < edge) fill = {first, -1, fill.panel};
  return fill;
}

enum class ChipPixel : std::uint8_t { enclosed, shape, outside };

// The blob's box: which pixels show the fill (the shape), which lie outside
// it (reached from the box's edge around it) and which it encloses; the
// shape's own box within; and the fill's gray in each cell of the screen's
// grays.
struct ChipBox {
  Rect box;  // in the page
  std::vector<ChipPixel> kinds;
  Rect shape;
  Rect cells;  // the screen's, that the box spans
  std::vector<int> fills;
  Rect bounds;  // the page's on the screen

  ChipPixel kindAt(int x, int y) const {
    return kinds[static_cast<std::size_t>(y - box.y) * box.width + (x - box.x)];
  }
  std::size_t cellAt(int x, int y) const {
    const int column = (bounds.x + x) / kGrayCellColumns - cells.x, row = (bounds.y + y) / kGrayCellRows - cells.y;
    return static_cast<std::size_t>(row) * cells.width + column;
  }
  int fillAt(int x, int y) const { return fills[cellAt(x, y)]; }
};

// Each cell's fill: of the fill's grays, the one more of its pixels show.
void cellFills(ChipBox& chip, const ChipFill& fill, const GrayImage& image) {
  const Rect& box = chip.box;
  const int left = (chip.bounds.x + box.x) / kGrayCellColumns, top = (chip.bounds.y + box.y) / kGrayCellRows;
  chip.cells = {left, top, (chip.bounds.x + box.right() - 1) / kGrayCellColumns - left + 1,
                (chip.bounds.y + box.bottom() - 1) / kGrayCellRows - top + 1};
  std::vector<int> balance(static_cast<std::size_t>(chip.cells.width) * chip.cells.height, 0);
  for (int y = box.y; y < box.bottom(); ++y) {
    for (int x = box.x; x < box.right(); ++x) {
      const int gray = image.at(chip.bounds.x + x, chip.bounds.y + y);
      balance[chip.cellAt(x, y)] += nearGray(gray, fill.other) - nearGray(gray, fill.luma);
    }
  }
  std::ranges::transform(balance, std::back_inserter(chip.fills),
                         [&](int more) { return more > 0 ? fill.other : fill.luma; });
}

// Marks the box's pixels that the edge of the box reaches without crossing the shape.
void markOutside(ChipBox& chip) {
  const int w = chip.box.width, h = chip.box.height;
  std::vector<std::size_t> stack;
  const auto reach = [&](int x, int y) {
    ChipPixel& kind = chip.kinds[static_cast<std::size_t>(y) * w + x];
    if (kind != ChipPixel::enclosed) return;
    kind = ChipPixel::outside;
    stack.push_back(static_cast<std::size_t>(y) * w + x);
  };
  for (int x = 0; x < w; ++x) reach(x, 0), reach(x, h - 1);
  for (int y = 0; y < h; ++y) reach(0, y), reach(w - 1, y);
  while (!stack.empty()) {
    const int x = static_cast<int>(stack.back() % w), y = static_cast<int>(stack.back() / w);
    stack.pop_back();
    if (x > 0) reach(x - 1, y);
    if (x + 1 < w) reach(x + 1, y);
    if (y > 0) reach(x, y - 1);
    if (y + 1 < h) reach(x, y + 1);
  }
}

// The box reaches a cell past the blob's: where the cells that find
// backgrounds took the shape's fill for their own, the shape is ink only in
// the cells around it, and its rim, a cell away, may be a blob of its own.
// The shape is the fill's pixels joined to the blob's.
constexpr int kChipReach = 8;

ChipBox chipBox(const Blob& blob, const ChipFill& fill, const GrayImage& page, const GrayImage& image,
                const Rect& bounds) {
  const int boxLeft = std::max(0, blob.left - kChipReach), boxTop = std::max(0, blob.top - kChipReach);
  const int w = std::min(page.width - 1, blob.right + kChipReach) - boxLeft + 1;
  const int h = std::min(page.height - 1, blob.bottom + kChipReach) - boxTop + 1;
  ChipBox chip{{boxLeft, boxTop, w, h}, {}, {}, {}, {}, bounds};
  chip.kinds.assign(static_cast<std::size_t>(w) * h, ChipPixel::enclosed);
  cellFills(chip, fill, image);
  std::vector<std::uint8_t> fillShows(chip.kinds.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int gray = image.at(bounds.x + boxLeft + x, bounds.y + boxTop + y);
      fillShows[static_cast<std::size_t>(y) * w + x] = nearGray(gray, chip.fillAt(boxLeft + x, boxTop + y));
    }
  }
  int left = w, top = h, right = -1, bottom = -1;
  for (std::size_t at : blob.pixels) {
    const auto seed = static_cast<std::size_t>(static_cast<int>(at / page.width) - boxTop) * w +
                      (static_cast<int>(at % page.width) - boxLeft);
    if (fillShows[seed] == 0) continue;
    const Blob part = takeBlob(fillShows, w, h, seed);
    for (std::size_t pixel : part.pixels) chip.kinds[pixel] = ChipPixel::shape;
    left = std::min(left, part.left), right = std::max(right, part.right);
    top = std::min(top, part.top), bottom = std::max(bottom, part.bottom);
  }
  chip.shape = right < 0 ? Rect{} : Rect{boxLeft + left, boxTop + top, right - left + 1, bottom - top + 1};
  markOutside(chip);
  return chip;
}

// Whether a pixel of `kind` lies within `reach` of (x, y).
bool kindNear(const ChipBox& chip, int x, int y, ChipPixel kind, int reach = 2) {
  for (int ny = std::max(chip.box.y, y - reach); ny <= std::min(chip.box.bottom() - 1, y + reach); ++ny) {
    for (int nx = std::max(chip.box.x, x - reach); nx <= std::min(chip.box.right() - 1, x + reach); ++nx) {
      if (chip.kindAt(nx, ny) == kind) return true;
    }
  }
  return false;
}

// Whether (x, y) lies within two of the shape's edge or of a pixel outside it: the shape's rim.
bool onRim(const ChipBox& chip, int x, int y) {
  const Rect& shape = chip.shape;
  return x - 2 < shape.x || y - 2 < shape.y || x + 2 >= shape.right() || y + 2 >= shape.bottom() ||
         kindNear(chip, x, y, ChipPixel::outside);
}

// How dark a pixel of gray `gray` is on the page, on a fill of gray `fill`:
// as it differs from the fill, against the room the fill leaves on that side.
constexpr int kLeastRoom = 64;

std::uint8_t inkOnFill(int gray, int fill) {
  const int room = std::max(kLeastRoom, gray > fill ? 255 - fill : fill);
  return static_cast<std::uint8_t>(255 - std::min(255, 255 * std::abs(gray - fill) / room));
}

// Whether the shape is filled, mostly of its fill, with a label: pixels
// unlike the fill away from its rim, strokes that leave much of their box
// blank (a toggle's knob fills its own: a switch, not a tag).
constexpr double kMostLabelFill = 0.6;

bool isChip(const ChipBox& chip, const ChipFill& fill, const GrayImage& image, const Rect& bounds, double leastFill) {
  const Rect& shape = chip.shape;
  if (fill.luma < 0 || shape.height < kLeastChipHeight || shape.height > kMostChipHeight) return false;
  int filled = 0, onFill = 0, label = 0;
  int left = shape.right(), top = shape.bottom(), right = shape.x - 1, bottom = shape.y - 1;
  for (int y = shape.y; y < shape.bottom(); ++y) {
    for (int x = shape.x; x < shape.right(); ++x) {
      const ChipPixel kind = chip.kindAt(x, y);
      if (kind == ChipPixel::outside) continue;
      ++filled;
      onFill += kind == ChipPixel::shape;
      if (kind != ChipPixel::enclosed || onRim(chip, x, y) ||
          std::abs(image.at(bounds.x + x, bounds.y + y) - chip.fillAt(x, y)) <= kInkContrast) {
        continue;
      }
      ++label;
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  const double labelBox = static_cast<double>(right - left + 1) * (bottom - top + 1);
  return filled >= leastFill * shape.width * shape.height && 2 * onFill >= filled &&
         label >= kLeastLabelPixels && label <= kMostLabelFill * labelBox;
}

}  // namespace

void readChipsOnTheirFill(GrayImage& page, const GrayImage& image, const Rect& bounds) {
  std::vector<std::uint8_t> unlike = inkMask(page, 255 - kChipContrast);
  // A window's side is no tag's: a terminal's coloured label at the start of
  // a line touches it, and the two made one blob as tall as the window, so
  // the label was left with strips of the panel beside it ("[ FATAL]").
  std::vector<std::uint8_t> side(unlike.size(), 0);
  markRuns(unlike, page.width, page.height, page.width + 1, kMostChipHeight + 2 * kChipReach + 1, side);
  for (std::size_t i = 0; i < unlike.size(); ++i) unlike[i] &= static_cast<std::uint8_t>(side[i] == 0);
  for (std::size_t seed = 0; seed < unlike.size(); ++seed) {
    if (unlike[seed] == 0) continue;
    const Blob blob = takeBlob(unlike, page.width, page.height, seed);
    // A tag is half again as wide as high at least, and so is its blob (its
    // fill, or the ring of cells around it), a cell higher at most. Most
    // glyphs are about as wide as high: they are not measured further, but
    // for those as tall as an avatar (its initials on a disc), a heading's.
    const bool tagSized = blob.height() >= kLeastChipHeight && blob.height() <= kMostChipHeight + 2 * kChipReach;
    const bool round = 2 * blob.width() < 3 * blob.height();
    if (!tagSized || (round && (blob.height() < kLeastAvatarHeight || blob.width() < blob.height()))) continue;
    const ChipFill fill = chipFill(blob, page, image, bounds);
    const ChipBox chip = chipBox(blob, fill, page, image, bounds);
    if (!isChip(chip, fill, image, bounds, round ? kLeastAvatarFill : kLeastChipFill)) continue;
    for (int y = chip.box.y; y < chip.box.bottom(); ++y) {
      for (int x = chip.box.x; x < chip.box.right(); ++x) {
        const int gray = image.at(bounds.x + x, bounds.y + y);
        std::uint8_t& pixel = page.pixels[static_cast<std::size_t>(y) * page.width + x];
        if (chip.kindAt(x, y) == ChipPixel::outside) {
          // The shape's edge blended with the panel, and the panel showing
          // where cells took the shape's fill for theirs, less than half a
          // cell from it (not another tag's label).
          const bool panel = std::abs(gray - fill.panel) <= kChipContrast;
          if (kindNear(chip, x, y, ChipPixel::shape, panel ? kChipReach / 2 : 2)) pixel = 255;
          continue;
        }
        // The rim, blended with the panel, is no ink of either.
        pixel = chip.kindAt(x, y) == ChipPixel::shape || onRim(chip, x, y) ? 255 : inkOnFill(gray, chip.fillAt(x, y));
      }
    }
  }
}

namespace {

// Large bold text's underscore is thicker than `thickest`, which holds for
// small text: two pixels of a 150% terminal's, six rows enlarged with their
// blended edges. A line this share of the ascent thick is thin still.
constexpr int kUnderscoreAscents = 6;

// A thin line of ink along row `y` from `start`: how long, or 0 where ink lies
// right above it or more than `thickest` rows of it (a letter's foot, a bar).
int hairlineFrom(const GrayImage& page, int start, int y, int thickest) {
  int end = start;
  while (end < page.width && inkAt(page, end, y)) ++end;
  const auto blank = [&](int row) {
    if (row < 0 || row >= page.height) return true;
    for (int x = start; x < end; ++x) {
      if (inkAt(page, x, row)) return false;
    }
    return true;
  };
  int thickness = 1;
  while (thickness <= thickest && !blank(y + thickness)) ++thickness;
  return thickness <= thickest && blank(y - 1) ? end - start : 0;
}

// Whether the ink along row `y` from `start` goes on from ink above it and
// ends by row `last`: none under that row.
bool strokeEndsBy(const GrayImage& page, int start, int y, int last) {
  bool above = false;
  for (int x = start; x < page.width && inkAt(page, x, y); ++x) {
    if (last + 1 < page.height && inkAt(page, x, last + 1)) return false;
    above = above || (y > 0 && inkAt(page, x, y - 1));
  }
  return above;
}

}  // namespace

bool underscoreAfter(const GrayImage& page, const WordEnd& word, int thickest) {
  // Clamped so that no coordinate, however wrong, leaves the page.
  const int ascent = std::min(word.ascent, page.height);
  const int baseline = std::clamp(word.baseline, -1, page.height);
  const int right = std::clamp(word.right, 0, page.width);
  if (ascent <= 0) return false;
  thickest = std::max(thickest, ascent / kUnderscoreAscents);
  const int reach = ascent / 2;
  // Ink left of the word's end is its last letter's (a y's tail bending left).
  const int from = std::max(0, right - 1);
  const int to = std::min(page.width, right + reach);
  // Tesseract's line box may end above a thin underscore of small monospace
  // text: it may reach a little under the box, not as far as the next line.
  const int lowest = std::min({page.height - 1, std::max(word.lineBottom, baseline + ascent * 2 / 5),
                               baseline + ascent * 2 / 3});
  // Tesseract's baseline may lie a row under a thin underscore that sits on
  // it: there, only what is an underscore counts.
  for (int y = std::max(0, baseline - 1); y <= lowest; ++y) {
    int start = from;
    while (start < to && !inkAt(page, start, y)) ++start;
    if (start == to) continue;
    // The first ink under the baseline decides: a descender's stroke comes
    // first where a letter, not an underscore, ends the word. A line with ink
    // right above it is a letter's foot (Tesseract's baseline is a row or two
    // off), one with ink under it within `thickest` rows is too thick.
    const int length = hairlineFrom(page, start, y, thickest);
    const bool underscore = length > 0 && 4 * length >= ascent && length <= ascent;
    // Nor is the baseline always under the letters' feet: a foot may end a
    // row or two below it (an E's before "_DELAY"), where a descender goes on.
    const int feet = baseline + thickest / 2;
    if (!underscore && y > baseline && y <= feet && strokeEndsBy(page, start, y, feet)) continue;
    if (y > baseline || underscore) return underscore;
  }
  return false;
}

std::vector<UnderscoreRun> underscoreRuns(const GrayImage& page, const Rect& word, const WordEnd& line, int thickest) {
  const int left = std::max(0, word.x);
  const int right = std::min(word.right(), page.width);
  const int baseline = std::clamp(line.baseline, 0, page.height);
  const int ascent = std::min(line.ascent, baseline);
  if (ascent <= 0 || right <= left) return {};
  thickest = std::max(thickest, ascent / kUnderscoreAscents);
  // Letters over columns [from, to): ink in the upper two thirds of the
  // ascent, above a period or a comma.
  const auto lettersOver = [&](int from, int to) {
    for (int y = baseline - ascent; y < baseline - ascent / 3; ++y) {
      for (int x = std::max(0, from); x < std::min(to, page.width); ++x) {
        if (inkAt(page, x, y)) return true;
      }
    }
    return false;
  };
  // Underscores run together: counted by the width of one, about three
  // quarters of the ascent in monospace and proportional text alike.
  const int underscore = std::max(1, 3 * ascent / 4);
  const int margin = underscore / 4;  // a glyph's side bearing, or less
  const int lowest = std::min(page.height - 1, baseline + ascent * 2 / 3);
  const int from = std::max(0, left - margin);
  const int to = std::min(page.width, right + margin);
  std::vector<UnderscoreRun> runs;
  for (int y = std::max(0, baseline - 1); y <= lowest; ++y) {
    for (int x = from; x < to; ++x) {
      if (!inkAt(page, x, y)) continue;
      int start = x;
      while (start > 0 && inkAt(page, start - 1, y)) --start;
      int end = x;
      while (end < page.width && inkAt(page, end, y)) ++end;
      x = end;
      const int length = hairlineFrom(page, start, y, thickest);
      // Right after a letter left of the word, it joins the word before,
      // whose underscore it is.
      const bool joinsBefore = start < left && lettersOver(start - margin, std::min(start + margin, left));
      const bool taken = std::any_of(runs.begin(), runs.end(),
                                     [&](const UnderscoreRun& run) { return run.columns.overlaps({start, end}); });
      if (4 * length < 3 * underscore || joinsBefore || taken || lettersOver(start + margin, end - margin)) continue;
      runs.push_back({{start, end}, std::max(1, (length + underscore / 2) / underscore)});
    }
  }
  std::sort(runs.begin(), runs.end(),
            [](const UnderscoreRun& a, const UnderscoreRun& b) { return a.columns.left < b.columns.left; });
  return runs;
}

namespace {

// The glyph's box within the page.
Rect clampedToPage(const GrayImage& page, const Rect& glyph) {
  const int left = std::max(0, glyph.x);
  const int top = std::max(0, glyph.y);
  return {left, top, std::max(0, std::min(glyph.right(), page.width) - left),
          std::max(0, std::min(glyph.bottom(), page.height) - top)};
}

// The runs of positions [from, to) whose gray, `grayAt(position)`, is
// darker than `inkBelow`, as `Run`s of [first, past the last).
template <typename Run, typename GrayAt>
std::vector<Run> inkRuns(int from, int to, int inkBelow, GrayAt grayAt) {
  std::vector<Run> runs;
  for (int at = from, start = -1; at <= to; ++at) {
    const bool ink = at < to && grayAt(at) < inkBelow;
    if (ink && start < 0) start = at;
    if (!ink && start >= 0) runs.push_back({std::exchange(start, -1), at});
  }
  return runs;
}

// The runs of ink in row `y` of the glyph, left to right, as [left, right).
std::vector<ColumnSpan> inkRunsInRow(const GrayImage& page, const Rect& glyph, int y, int inkBelow = kPageInk) {
  return inkRuns<ColumnSpan>(glyph.x, glyph.right(), inkBelow, [&](int x) { return page.at(x, y); });
}

// The runs of ink down column `x` of the glyph, top to bottom, as [top, bottom).
std::vector<RowRun> inkRunsInColumn(const GrayImage& page, const Rect& glyph, int x, int inkBelow) {
  return inkRuns<RowRun>(glyph.y, glyph.bottom(), inkBelow, [&](int y) { return page.at(x, y); });
}

// How far the ink of rows [top, bottom) of the glyph reaches left and right
// of its stem, in pixels; and as far as `beyondLeft` pixels left of its box,
// ink that runs on from the stem.
StemReach reachBeside(const GrayImage& page, const Rect& box, const ColumnSpan& stem, int top, int bottom,
                      int beyondLeft) {
  const Rect wider = clampedToPage(page, {box.x - beyondLeft, box.y, box.width + beyondLeft, box.height});
  int left = stem.left;
  int right = stem.right;
  for (int y = top; y < bottom; ++y) {
    for (const ColumnSpan& run : inkRunsInRow(page, wider, y)) {
      const bool fromStem = run.left <= stem.right && run.right >= stem.left;
      const int runLeft = fromStem ? run.left : std::max(run.left, box.x);
      if (runLeft >= run.right) continue;
      left = std::min(left, runLeft);
      right = std::max(right, run.right);
    }
  }
  return {stem.left - left, right - stem.right};
}

}  // namespace

StemShape stemShape(const GrayImage& page, const Rect& glyph, bool flagBeyondBox) {
  Rect box = clampedToPage(page, glyph);
  // From the ink's top: a box may start at the line's, above a 1's flag,
  // whose top sixth would then be blank ("slotl.sav").
  const InkBox ink = inkWithin(page, {box.y, box.bottom()}, {box.x, box.right()});
  if (ink.pixels > 0) box = {box.x, ink.box.y, box.width, box.bottom() - ink.box.y};
  // A box wider than tall holds more than one glyph (a 1 and the next).
  if (box.height < 6 || glyph.width > glyph.height) return {};
  // Half way down, an l, an L or a 1 is its stem alone.
  const std::vector<ColumnSpan> middle = inkRunsInRow(page, box, box.y + box.height / 2);
  if (middle.size() != 1) return {};
  const ColumnSpan stem = middle.front();
  // The flag and the foot lie in the glyph's top and bottom sixths.
  const int sixth = std::max(1, box.height / 6);
  return {stem.right - stem.left, reachBeside(page, box, stem, box.y, box.y + sixth, flagBeyondBox ? box.width : 0),
          reachBeside(page, box, stem, box.bottom() - sixth, box.bottom(), 0)};
}

bool flagged(const StemShape& shape) {
  // A serif L's top reaches both ways.
  return shape.width > 0 && 2 * shape.top.left >= std::max(4, shape.width) && 3 * shape.top.right <= shape.width;
}

bool hooksRight(const GrayImage& page, const Rect& glyph) {
  const StemShape shape = stemShape(page, glyph);
  if (shape.width == 0 || shape.top.left > 0 || shape.bottom.left > 0 || shape.bottom.right > 0) return false;
  const Rect box = clampedToPage(page, glyph);
  const std::vector<ColumnSpan> middle = inkRunsInRow(page, box, box.y + box.height / 2);
  if (middle.size() != 1) return false;
  const ColumnSpan stem = middle.front();
  // The hook may reach past a box that hugs the stem: only ink joined to
  // the stem counts there, not the next glyph.
  const Rect wider = clampedToPage(page, {box.x, box.y, box.width + shape.width, box.height});
  const auto onStem = [&](const ColumnSpan& run) { return run.left < stem.right && run.right > stem.left; };
  int top = box.y;
  while (top < box.bottom() && std::ranges::none_of(inkRunsInRow(page, box, top), onStem)) ++top;
  int reach = 0;
  for (int y = top; y < std::min(box.bottom(), top + std::max(2, box.height / 6)); ++y) {
    for (const ColumnSpan& run : inkRunsInRow(page, wider, y)) {
      if (onStem(run)) reach = std::max(reach, run.right - stem.right);
    }
  }
  return reach >= std::max(2, shape.width / 3);
}

bool barOnTop(const GrayImage& page, const Rect& glyph) {
  const Rect box = clampedToPage(page, glyph);
  const InkBox ink = inkWithin(page, {box.y, box.bottom()}, {box.x, box.right()});
  if (ink.pixels == 0 || ink.box.height < 6) return false;
  // A 7's bar runs on into its stroke; an underscore of the line above, in
  // the box, stands apart over a slash.
  for (int y = ink.box.y; y < ink.box.bottom(); ++y) {
    if (inkRunsInRow(page, ink.box, y).empty()) return false;
  }
  // Where the stroke down begins, the top's rightmost run: a bar across
  // most of the ink, where a slash's is the stroke's end and a neighbour's
  // edge in the box stands apart from it.
  for (int y = ink.box.y; y < ink.box.y + std::max(2, ink.box.height / 6); ++y) {
    const std::vector<ColumnSpan> runs = inkRunsInRow(page, ink.box, y);
    if (!runs.empty() && 5 * (runs.back().right - runs.back().left) >= 3 * ink.box.width) return true;
  }
  return false;
}

bool footReaches(const StemShape& shape, bool bothWays) {
  const int reach = std::max(2, shape.width / 2);
  return shape.width > 0 && shape.bottom.right >= reach && (shape.bottom.left >= reach) == bothWays;
}

namespace {

// How far, in its heights, a straight quote's stroke may lean.
constexpr double kMostUprightLean = 0.15;
// How far, in its heights, a backtick's one stroke leans down to the right
// at the least.
constexpr double kLeastBacktickLean = 0.2;

// Whether ink within `box` at the foot of `window` goes on under it: the
// top of a glyph of the line below, where the baseline was placed too low,
// is no dot.
bool inkGoesOnBelow(const GrayImage& page, const Rect& window, const Rect& box) {
  return inkWithin(page, {window.bottom(), window.bottom() + 2}, {box.x, box.right()}).pixels > 0;
}

}  // namespace

bool dotOnBaseline(const GrayImage& page, const Rect& glyph, int baseline, int ascent) {
  const Rect line = clampedToPage(page, {glyph.x, baseline - ascent, glyph.width, ascent + 2});
  if (line.width <= 0 || line.height <= 0) return false;
  const InkBox ink = inkWithin(page, {line.y, line.bottom()}, {line.x, line.right()});
  const int most = std::max(2, ascent / 3);
  return ink.pixels > 0 && ink.box.width <= most && ink.box.height <= most && ink.box.bottom() >= baseline - 1 &&
         !inkGoesOnBelow(page, line, ink.box);
}

bool dotBeforeGlyph(const GrayImage& page, int left, int baseline, int ascent) {
  const RowRun rows{std::max(0, baseline - ascent), std::min(page.height, baseline + 2)};
  if (rows.bottom <= rows.top) return false;
  // The stretches of inked columns from half an ascent before the box to an ascent into it.
  const int height = rows.bottom - rows.top;
  const std::vector<ColumnSpan> inked = uncoveredInk(
      page, rows, {{0, rows.top, left - ascent / 2, height}, {left + ascent, rows.top, page.width, height}}, 1, 0);
  if (inked.size() < 2) return false;
  const ColumnSpan& dot = inked.front();
  return dotOnBaseline(page, {dot.left, rows.top, dot.right - dot.left, rows.bottom - rows.top}, baseline, ascent);
}

bool dotBetweenGlyphs(const GrayImage& page, int from, int to, int baseline, int ascent) {
  // Blobs, not stretches of columns: a glyph may reach over the dot (an r's arm).
  const Rect window = clampedToPage(page, {from, baseline - ascent, to - from, ascent + 2});
  if (window.width <= 0 || window.height <= 0) return false;
  const GrayImage part = copyGray(page.pixels.data() + static_cast<std::size_t>(window.y) * page.width + window.x,
                                  window.width, window.height, page.width);
  std::vector<std::uint8_t> ink = inkMask(part);
  std::vector<Blob> blobs;
  for (std::size_t seed = 0; seed < ink.size(); ++seed) {
    if (ink[seed] != 0) blobs.push_back(takeBlob(ink, part.width, part.height, seed));
  }
  const int bottom = baseline - window.y;
  return std::any_of(blobs.begin(), blobs.end(), [&](const Blob& dot) {
    const auto glyphBeside = [&](bool before) {
      return std::any_of(blobs.begin(), blobs.end(), [&](const Blob& glyph) {
        const bool beside = before ? glyph.left < dot.left : glyph.right > dot.right;
        return beside && glyph.height() >= 2 * dot.height();
      });
    };
    const Rect box{window.x + dot.left, window.y + dot.top, dot.width(), dot.height()};
    return dot.bottom >= bottom - 1 && dot.width() <= dot.height() + 1 && !inkGoesOnBelow(page, window, box) &&
           glyphBeside(true) && glyphBeside(false);
  });
}

namespace {

struct Stroke {
  double lean;  // in its heights: its foot's middle column less its top's, so positive leaning down to the right
  int width;
};

// The strokes within `glyph`, above row `bottom`. Ink that reaches row
// `bottom` is a letter beside them, and not looked at.
std::vector<Stroke> strokesAbove(const GrayImage& page, const Rect& glyph, int bottom) {
  const Rect window = clampedToPage(page, {glyph.x, glyph.y, glyph.width, bottom - glyph.y});
  if (window.width <= 0 || window.height <= 0) return {};
  const GrayImage part = copyGray(page.pixels.data() + static_cast<std::size_t>(window.y) * page.width + window.x,
                                  window.width, window.height, page.width);
  std::vector<std::uint8_t> ink = inkMask(part);
  std::vector<Stroke> strokes;
  for (std::size_t seed = 0; seed < ink.size(); ++seed) {
    if (ink[seed] == 0) continue;
    const Blob blob = takeBlob(ink, part.width, part.height, seed);
    if (blob.bottom >= part.height - 1 || blob.height() < 3) continue;
    const int third = std::max(1, blob.height() / 3);
    double topSum = 0, footSum = 0;
    int topCount = 0, footCount = 0;
    for (const std::size_t pixel : blob.pixels) {
      const int x = static_cast<int>(pixel % static_cast<std::size_t>(part.width));
      const int y = static_cast<int>(pixel / static_cast<std::size_t>(part.width));
      if (y < blob.top + third) topSum += x, ++topCount;
      if (y > blob.bottom - third) footSum += x, ++footCount;
    }
    strokes.push_back({(footSum / footCount - topSum / topCount) / blob.height(), blob.width()});
  }
  return strokes;
}

}  // namespace

bool uprightTicks(const GrayImage& page, const Rect& glyph, int bottom) {
  // A curly quote's tail leans away from its bowl, a straight one's stroke stands upright.
  const std::vector<Stroke> strokes = strokesAbove(page, glyph, bottom);
  return !strokes.empty() &&
         std::ranges::all_of(strokes, [](const Stroke& stroke) { return std::abs(stroke.lean) <= kMostUprightLean; });
}

bool backtickStroke(const GrayImage& page, const Rect& glyph, int bottom, int mostWidth) {
  const std::vector<Stroke> strokes = strokesAbove(page, glyph, bottom);
  return strokes.size() == 1 && strokes.front().lean >= kLeastBacktickLean && strokes.front().width <= mostWidth;
}

int legsAtFoot(const GrayImage& page, const Rect& glyph) {
  const Rect box = clampedToPage(page, glyph);
  const InkBox ink = inkWithin(page, {box.y, box.bottom()}, {box.x, box.right()});
  if (ink.pixels == 0) return 0;
  int most = 0;
  for (int y = ink.box.bottom() - std::max(1, ink.box.height / 5); y < ink.box.bottom(); ++y) {
    int runs = 0;
    bool inRun = false;
    for (int x = ink.box.x; x < ink.box.right(); ++x) {
      const bool inked = inkAt(page, x, y);
      runs += inked && !inRun ? 1 : 0;
      inRun = inked;
    }
    most = std::max(most, runs);
  }
  return most;
}

bool dotAbove(const GrayImage& page, const Rect& glyph) {
  const Rect box = clampedToPage(page, glyph);
  // Over a stem's columns alone: a box may take in a neighbour's edge,
  // which fills the blank beside the dot. The stems are looked for a quarter
  // above the ink's foot: a box may reach down to the line's descenders.
  // A small proportional font's box may lag onto the glyph before (half
  // an "n" boxed as "i"): the stems after the one nearest its middle, up to
  // a box's width past its right edge, count too; none before.
  const InkBox ink = inkWithin(page, {box.y, box.bottom()}, {box.x, box.right()});
  if (ink.pixels == 0) return false;
  const int middle = box.x + box.width / 2;
  const Rect onwards = clampedToPage(page, {box.x, box.y, 2 * box.width, box.height});
  std::vector<ColumnSpan> stems = inkRunsInRow(page, onwards, ink.box.y + 3 * ink.box.height / 4);
  const auto away = [&](const ColumnSpan& run) { return std::abs((run.left + run.right) / 2 - middle); };
  stems.erase(stems.begin(), std::ranges::min_element(stems, {}, away));
  // A box may leave the dot out: it is looked for above too, where a band
  // that begins at the box leaves it unknown.
  const int top = box.y - box.height / 2;
  if (stems.empty()) return false;
  if (top < 0) return true;
  // The blank under a dot keeps a faint edge of its smoothing, and a small
  // font's dot is itself faint: a row at most half as dark as the mark
  // above it parts them.
  const auto darknessAt = [&](int x, int y) { return 255 - page.at(x, y); };
  // Past the nearest stem, the mark must be a dot, no wider than twice the
  // stem: a 7's or a 6's top is as far apart from the stroke under it.
  const auto dot = [&](const ColumnSpan& stem, int y, int markDarkness) {
    if (stem.left == stems.front().left) return true;
    int left = stem.left, right = stem.right;
    while (left > 0 && 2 * darknessAt(left - 1, y) >= markDarkness) --left;
    while (right < page.width && 2 * darknessAt(right, y) >= markDarkness) ++right;
    return right - left <= 2 * (stem.right - stem.left) + 2;
  };
  return std::ranges::any_of(stems, [&](const ColumnSpan& stem) {
    int markDarkness = 0, markRow = top;
    for (int y = top; y < box.y + box.height / 2; ++y) {
      const auto row = page.pixels.begin() + static_cast<std::ptrdiff_t>(y) * page.width;
      const int darkness = 255 - *std::min_element(row + stem.left, row + stem.right);
      if (markDarkness >= kInkContrast && 2 * darkness <= markDarkness) return dot(stem, markRow, markDarkness);
      if (darkness > markDarkness) markDarkness = darkness, markRow = y;
    }
    return false;
  });
}

bool inkAtMiddle(const GrayImage& page, const Rect& glyph) {
  // A box much wider than tall holds more than one glyph: its middle may be
  // where two meet.
  if (3 * glyph.width > 4 * glyph.height) return false;
  const int width = std::max(1, glyph.width / 5);
  const int height = std::max(1, glyph.height / 5);
  const int left = glyph.x + (glyph.width - width) / 2;
  const int top = glyph.y + (glyph.height - height) / 2;
  const RowRun middle{top, top + height};
  const int side = std::max(1, glyph.width / 3);
  return inkWithin(page, middle, {left, left + width}).pixels > 0 &&
         inkWithin(page, middle, {glyph.x, glyph.x + side}).pixels > 0 &&
         inkWithin(page, middle, {glyph.right() - side, glyph.right()}).pixels > 0;
}

namespace {

// Whether of three runs across [from, to) the middle one is a mark apart
// from the two around it: short, in the middle third (an @'s bowl is longer).
template <typename Run>
bool markBetween(const std::vector<Run>& runs, int from, int to, int Run::*start, int Run::*end) {
  if (runs.size() != 3) return false;
  const int third = (to - from) / 3;
  return runs[1].*start >= from + third && runs[1].*end <= to - third &&
         4 * (runs[1].*end - runs[1].*start) <= to - from;
}

}  // namespace

bool percentShaped(const GrayImage& page, const Rect& glyph) {
  const Rect box = clampedToPage(page, glyph);
  std::vector<std::uint8_t> blank(static_cast<std::size_t>(std::max(0, box.width * box.height)));
  for (int y = 0; y < box.height; ++y) {
    for (int x = 0; x < box.width; ++x) {
      blank[static_cast<std::size_t>(y) * box.width + x] = inkAt(page, box.x + x, box.y + y) ? 0 : 1;
    }
  }
  std::vector<Blob> holes;  // blanks the box's edge does not reach, of two pixels or more
  for (std::size_t seed = 0; seed < blank.size(); ++seed) {
    if (blank[seed] == 0) continue;
    Blob blob = takeBlob(blank, box.width, box.height, seed);
    const bool enclosed = blob.left > 0 && blob.top > 0 && blob.right < box.width - 1 && blob.bottom < box.height - 1;
    if (enclosed && blob.pixels.size() >= 2) holes.push_back(std::move(blob));
  }
  if (holes.size() != 2) return false;
  const Blob& upper = holes[0].top <= holes[1].top ? holes[0] : holes[1];
  const Blob& lower = &upper == &holes[0] ? holes[1] : holes[0];
  return upper.bottom < lower.top && upper.right < lower.left;
}

bool equalsShaped(const GrayImage& page, const Rect& glyph) {
  const Rect box = clampedToPage(page, glyph);
  int bars = 0;
  bool lastFull = false;
  for (int y = box.y; y < box.bottom(); ++y) {
    int inked = 0;
    for (int x = box.x; x < box.right(); ++x) inked += inkAt(page, x, y) ? 1 : 0;
    const bool full = inked > 0 && 2 * inked >= box.width;
    if (inked > 0 && !full) return false;
    bars += full && !lastFull ? 1 : 0;
    lastFull = full;
  }
  return bars == 2;
}

bool plusShaped(const GrayImage& page, const Rect& glyph) {
  const Rect box = clampedToPage(page, glyph);
  std::vector<int> inked;  // per row of the box
  for (int y = box.y; y < box.bottom(); ++y) {
    int count = 0;
    for (int x = box.x; x < box.right(); ++x) count += inkAt(page, x, y) ? 1 : 0;
    inked.push_back(count);
  }
  const auto first = std::ranges::find_if(inked, [](int count) { return count > 0; });
  if (first == inked.end()) return false;
  const auto top = static_cast<int>(first - inked.begin());
  const auto bottom = static_cast<int>(inked.rend() - std::ranges::find_if(inked.rbegin(), inked.rend(),
                                                                          [](int count) { return count > 0; }));
  const int widest = *std::ranges::max_element(inked);
  // The bar's rows, and the stem's above and below it, which are narrow.
  int barTop = -1, barBottom = -1;
  for (int y = top; y < bottom; ++y) {
    if (2 * inked[static_cast<std::size_t>(y)] <= widest) continue;
    if (barTop >= 0 && y != barBottom) return false;
    if (barTop < 0) barTop = y;
    barBottom = y + 1;
  }
  const int above = barTop - top, below = bottom - barBottom;
  int stem = 0;  // the widest of the rows above and below the bar
  for (int y = top; y < bottom; ++y) {
    if (y < barTop || y >= barBottom) stem = std::max(stem, inked[static_cast<std::size_t>(y)]);
  }
  // A bar of a third of the height at most, twice as wide as the stem; stems
  // of two thirds of each other's length at least.
  return 3 * (barBottom - barTop) <= bottom - top && widest >= 2 * stem && above > 0 && below > 0 &&
         3 * above >= 2 * below && 3 * below >= 2 * above;
}

std::optional<int> dottedStemTop(const GrayImage& page, const Rect& glyph) {
  const Rect box = clampedToPage(page, glyph);
  std::vector<bool> inked;  // per row of the box
  for (int y = box.y; y < box.bottom(); ++y) {
    inked.push_back(inkWithin(page, {y, y + 1}, {box.x, box.right()}).pixels > 0);
  }
  const auto top = std::ranges::find(inked, true);
  const auto dotEnd = std::find(top, inked.end(), false);
  const auto stemTop = std::find(dotEnd, inked.end(), true);
  const auto stemEnd = std::find(stemTop, inked.end(), false);
  // One gap, the stem down to the foot, the dot far shorter than the stem.
  if (stemTop == inked.end() || std::find(stemEnd, inked.end(), true) != inked.end() ||
      2 * (dotEnd - top) >= stemEnd - stemTop) {
    return std::nullopt;
  }
  return box.y + static_cast<int>(stemTop - inked.begin());
}

bool markedRing(const GrayImage& page, const Rect& glyph) {
  const Rect box = clampedToPage(page, glyph);
  // A zero is taller than wide; a box as wide as tall holds a round glyph
  // (an @, a copyright sign) or two glyphs.
  if (box.height < 10 || 5 * box.width > 4 * box.height) return false;
  // Enlarged, the gap between the mark and the ring is blurred: it is told
  // by pixels at least half as light as the blank, from the glyph's darkest
  // (light text on a dark page may be normalized to mid grey at darkest).
  const auto [darkest, lightest] = grayRange(page, box);
  const int halfInk = (darkest + lightest + 1) / 2;
  // Closed on both sides down its middle half (an @ opens at its lower right).
  const int third = box.width / 3;
  for (int y = box.y + box.height / 4; y < box.bottom() - box.height / 4; ++y) {
    const std::vector<ColumnSpan> runs = inkRunsInRow(page, box, y, halfInk);
    if (runs.empty() || runs.front().left >= box.x + third || runs.back().right <= box.right() - third) return false;
  }
  for (int step = -1; step <= 1; ++step) {
    const int y = box.y + box.height / 2 + step;
    const int x = box.x + box.width / 2 + step;
    if (markBetween(inkRunsInRow(page, box, y, halfInk), box.x, box.right(), &ColumnSpan::left, &ColumnSpan::right) &&
        markBetween(inkRunsInColumn(page, box, x, halfInk), box.y, box.bottom(), &RowRun::top, &RowRun::bottom)) {
      return true;
    }
  }
  return false;
}

namespace {

// Whether all of column x's ink in `rows` lies within the rows of the boxes
// that reach over it, `slack` rows either side.
bool inkWithinBoxes(const GrayImage& page, const RowRun& rows, int x, const std::vector<Rect>& boxes, int slack) {
  std::vector<RowRun> within;
  for (const Rect& box : boxes) {
    if (box.x <= x && x < box.right()) within.push_back({box.y - slack, box.bottom() + slack});
  }
  for (int y = rows.top; y < rows.bottom; ++y) {
    const bool inBox = std::any_of(within.begin(), within.end(), [&](const RowRun& r) { return r.top <= y && y < r.bottom; });
    if (!inBox && inkAt(page, x, y)) return false;
  }
  return true;
}

}  // namespace

std::vector<ColumnSpan> uncoveredInk(const GrayImage& page, const RowRun& rows, const std::vector<Rect>& read,
                                     int joinGap, int slack) {
  std::vector<Rect> over;
  std::copy_if(read.begin(), read.end(), std::back_inserter(over),
               [&](const Rect& box) { return rows.overlaps({box.y, box.bottom()}); });
  std::vector<bool> open(page.width, true);
  for (const Rect& box : over) {
    const int left = std::clamp(box.x, 0, page.width);
    const int right = std::clamp(box.right(), 0, page.width);
    const int shared = std::min(rows.bottom, box.bottom()) - std::max(rows.top, box.y);
    int beyond = 0;
    for (int x = left; x < right && 2 * shared < box.height; ++x) {
      beyond += inkWithinBoxes(page, rows, x, over, slack) ? 0 : 1;
    }
    if (2 * beyond < rows.bottom - rows.top) std::fill(open.begin() + left, open.begin() + right, false);
  }
  std::vector<ColumnSpan> spans;
  bool crossedCover = true;  // no span reaches over a line read
  for (int x = 0; x < page.width; ++x) {
    if (!open[x]) {
      crossedCover = true;
      continue;
    }
    bool ink = false;
    for (int y = rows.top; y < rows.bottom && !ink; ++y) ink = inkAt(page, x, y);
    if (!ink) continue;
    if (!crossedCover && x - spans.back().right < joinGap) {
      spans.back().right = x + 1;
    } else {
      spans.push_back({x, x + 1});
    }
    crossedCover = false;
  }
  return spans;
}

namespace {

// Glyphs of a word stand closer than this many of the line's heights.
constexpr int kGlyphGapHeights = 2;
constexpr int kLeastGlyphsInWord = 4;
// Glyphs' antialiased edges meet at a faint threshold, and greyed ones
// vanish at a dark one: a run is looked at through a few.
constexpr std::array kGlyphThresholds{255 - kFaintInkContrast, 192, 128};

// Whether the run's ink darker than `threshold` holds a word. A window's
// edge, or a rule beside a corner, is one piece of ink however wide; two
// lines joined by faint ink make a run as tall as large text, so glyphs are
// counted, not a width measured.
bool holdsWord(const GrayImage& page, const RowRun& run, const ColumnSpan& columns, int threshold) {
  const int height = run.bottom - run.top;
  ColumnSpan word{};
  int glyphs = 0;
  for (int x = columns.left; x < columns.right; ++x) {
    bool ink = false;
    for (int y = run.top; y < run.bottom && !ink; ++y) ink = page.at(x, y) < threshold;
    if (!ink) continue;
    if (word.right <= word.left || x - word.right >= kGlyphGapHeights * height) {
      word.left = x;
      glyphs = 0;
    }
    glyphs += x > word.right || glyphs == 0;
    word.right = x + 1;
    if (glyphs >= kLeastGlyphsInWord) return true;
  }
  return false;
}

}  // namespace

bool onlyTokensOfInk(const GrayImage& page, const RowRun& rows, const ColumnSpan& columns, const LineRows& line) {
  const auto inked = [&](int y) {
    for (int x = columns.left; x < columns.right; ++x) {
      if (page.at(x, y) < 255 - kFaintInkContrast) return true;
    }
    return false;
  };
  const auto tokensOnly = [&](const RowRun& run) {
    const int height = run.bottom - run.top;
    if (height < line.least) return true;
    if (height > line.most) return false;
    return std::ranges::none_of(kGlyphThresholds,
                                [&](int threshold) { return holdsWord(page, run, columns, threshold); });
  };
  int runTop = -1;
  for (int y = rows.top; y < rows.bottom; ++y) {
    if (inked(y)) {
      if (runTop < 0) runTop = y;
    } else if (runTop >= 0) {
      if (!tokensOnly({runTop, y})) return false;
      runTop = -1;
    }
  }
  return runTop < 0 || tokensOnly({runTop, rows.bottom});
}

std::vector<RowRun> inkRowRuns(const GrayImage& page, int inkContrast) {
  std::vector<RowRun> runs;
  const int limit = 255 - inkContrast;
  for (int y = 0; y < page.height; ++y) {
    const std::uint8_t* row = page.pixels.data() + static_cast<std::size_t>(y) * page.width;
    const bool inked = std::any_of(row, row + page.width, [&](std::uint8_t p) { return p < limit; });
    if (!inked) continue;
    if (!runs.empty() && runs.back().bottom == y) {
      runs.back().bottom = y + 1;
    } else {
      runs.push_back({y, y + 1});
    }
  }
  return runs;
}

std::string glyphPrint(const GrayImage& page, const Rect& glyph) {
  const InkBox ink = inkWithin(page, {glyph.y, glyph.bottom()}, {glyph.x, glyph.right()});
  if (ink.pixels == 0) return {};
  const Rect& box = ink.box;
  std::string print = std::to_string(box.width);  // with the count of pixels, its height too
  print += ':';
  for (int y = box.y; y < box.bottom(); ++y) {
    for (int x = box.x; x < box.right(); ++x) print += inkAt(page, x, y) ? '#' : '.';
  }
  return print;
}

bool narrowRing(const GrayImage& page, const Rect& glyph) {
  const InkBox ink = inkWithin(page, {glyph.y, glyph.bottom()}, {glyph.x, glyph.right()});
  return ink.pixels > 0 && 8 * ink.box.width < 7 * ink.box.height;
}

namespace {

bool inkInColumn(const GrayImage& page, int x, const RowRun& rows) {
  for (int y = std::max(0, rows.top); y < std::min(page.height, rows.bottom); ++y) {
    if (inkAt(page, x, y)) return true;
  }
  return false;
}

}  // namespace

ColumnSpan grownOverInkBeside(const GrayImage& page, const RowRun& rows, const ColumnSpan& columns, int gap) {
  ColumnSpan grown = columns;
  for (int x = grown.left - 1; x >= 0 && grown.left - x <= gap + 1; --x) {
    if (inkInColumn(page, x, rows)) grown.left = x;
  }
  for (int x = grown.right; x < page.width && x - grown.right < gap + 1; ++x) {
    if (inkInColumn(page, x, rows)) grown.right = x + 1;
  }
  return grown;
}

int widestBlank(const GrayImage& page, const RowRun& rows, const ColumnSpan& columns) {
  int widest = 0;
  int blank = 0;
  for (int x = std::max(0, columns.left); x < std::min(page.width, columns.right); ++x) {
    blank = inkInColumn(page, x, rows) ? 0 : blank + 1;
    widest = std::max(widest, blank);
  }
  return widest;
}

std::vector<std::vector<std::size_t>> stackedInColumns(const std::vector<InkStretch>& stretches, int tolerance,
                                                       std::size_t least) {
  std::vector<std::size_t> byLeft(stretches.size());
  std::iota(byLeft.begin(), byLeft.end(), 0);
  std::ranges::stable_sort(byLeft, {}, [&](std::size_t i) { return stretches[i].columns.left; });
  std::vector<bool> taken(stretches.size(), false);
  std::vector<std::vector<std::size_t>> columns;
  for (std::size_t first = 0; first < byLeft.size(); ++first) {
    if (taken[byLeft[first]]) continue;
    std::vector<std::size_t> column{byLeft[first]};
    const int leftmost = stretches[byLeft[first]].columns.left;
    for (std::size_t next = first + 1;
         next < byLeft.size() && stretches[byLeft[next]].columns.left - leftmost <= tolerance; ++next) {
      const InkStretch& candidate = stretches[byLeft[next]];
      const bool apart = std::ranges::none_of(
          column, [&](std::size_t member) { return stretches[member].rows.overlaps(candidate.rows); });
      if (!taken[byLeft[next]] && apart) column.push_back(byLeft[next]);
    }
    if (column.size() < least) continue;
    for (std::size_t member : column) taken[member] = true;
    std::ranges::sort(column, {}, [&](std::size_t i) { return stretches[i].rows.top; });
    columns.push_back(std::move(column));
  }
  return columns;
}

InkBox inkWithin(const GrayImage& page, const RowRun& rows, const ColumnSpan& columns) {
  InkBox ink;
  int left = page.width, top = page.height, right = -1, bottom = -1;
  for (int y = std::max(0, rows.top); y < std::min(page.height, rows.bottom); ++y) {
    for (int x = std::max(0, columns.left); x < std::min(page.width, columns.right); ++x) {
      if (!inkAt(page, x, y)) continue;
      ++ink.pixels;
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  if (ink.pixels > 0) ink.box = {left, top, right - left + 1, bottom - top + 1};
  return ink;
}

namespace {

bool inkInRow(const GrayImage& page, int y, const ColumnSpan& columns) {
  for (int x = std::max(0, columns.left); x < std::min(page.width, columns.right); ++x) {
    if (inkAt(page, x, y)) return true;
  }
  return false;
}

// The farthest column with ink in `rows` from `from`, stepping by `step`,
// before a blank `gap` columns wide.
int inkReach(const GrayImage& page, int from, int step, const RowRun& rows, int gap) {
  int reach = from;
  for (int x = from + step, blank = 0; x >= 0 && x < page.width && blank < gap; x += step) {
    if (inkInColumn(page, x, rows)) {
      reach = x;
      blank = 0;
    } else {
      ++blank;
    }
  }
  return reach;
}

}  // namespace

Rect inkBlockAround(const GrayImage& page, const Rect& box, int gapHeights) {
  // Grown from the box's middle row where it holds ink: the model's box of
  // a heading may reach over the rule and the line under it.
  const int middle = box.y + box.height / 2;
  InkBox ink = inkWithin(page, {middle, middle + 1}, {box.x, box.right()});
  if (ink.pixels == 0) ink = inkWithin(page, {box.y, box.bottom()}, {box.x, box.right()});
  if (ink.pixels == 0) return box;
  int left = ink.box.x, right = ink.box.right() - 1, top = ink.box.y, bottom = ink.box.bottom() - 1;
  for (bool grew = true; grew;) {
    const Rect before{left, top, right - left + 1, bottom - top + 1};
    while (top > 0 && inkInRow(page, top - 1, {left, right + 1})) --top;
    while (bottom + 1 < page.height && inkInRow(page, bottom + 1, {left, right + 1})) ++bottom;
    const int gap = gapHeights * (bottom - top + 1);
    left = inkReach(page, left, -1, {top, bottom + 1}, gap);
    right = inkReach(page, right, 1, {top, bottom + 1}, gap);
    grew = before != Rect{left, top, right - left + 1, bottom - top + 1};
  }
  return {left, top, right - left + 1, bottom - top + 1};
}

std::vector<int> bandCuts(const std::vector<RowRun>& runs, int height, int parts) {
  std::vector<int> gaps;  // the middle row of each blank gap between two runs
  for (std::size_t i = 1; i < runs.size(); ++i) gaps.push_back((runs[i - 1].bottom + runs[i].top) / 2);
  std::vector<int> cuts;
  for (int part = 1; part < parts && !gaps.empty(); ++part) {
    const int target = static_cast<int>(static_cast<long long>(height) * part / parts);
    const int nearest = *std::min_element(gaps.begin(), gaps.end(),
                                          [&](int a, int b) { return std::abs(a - target) < std::abs(b - target); });
    if (cuts.empty() || nearest > cuts.back()) cuts.push_back(nearest);
  }
  return cuts;
}

namespace {

// A row widened to twice its width, in 1/256 steps: each output pixel lies a
// quarter of a source pixel from the nearer one. The same sums as the general
// walk, written out so that they vectorize (enlarging was 4% of the CPU time
// on a screen of terminals).
void widenTwice(const std::uint8_t* source, int width, int* wide) {
  wide[0] = source[0] * 256;
  for (int i = 1; i < width; ++i) wide[2 * i] = source[i - 1] * 64 + source[i] * 192;
  for (int i = 0; i + 1 < width; ++i) wide[2 * i + 1] = source[i] * 192 + source[i + 1] * 64;
  wide[2 * width - 1] = source[width - 1] * 256;
}

}  // namespace

GrayImage scaleUpRows(const GrayImage& image, int factor, int top, int bottom) {
  top = std::clamp(top, 0, image.height * factor);
  bottom = std::clamp(bottom, top, image.height * factor);
  GrayImage out{image.width * factor, bottom - top,
                std::vector<std::uint8_t>(static_cast<std::size_t>(image.width) * factor * (bottom - top))};
  if (image.width == 0 || image.height == 0) return out;
  // Source coordinates in 1/256 steps of a pixel, centred on pixel middles.
  auto sample = [factor](int o, int size, int& low, int& weight) {
    const int fixed = std::max(0, ((2 * o + 1) * 256) / (2 * factor) - 128);
    low = std::min(fixed >> 8, size - 1);
    weight = low + 1 < size ? fixed & 255 : 0;
  };
  std::vector<int> xLow(out.width), xWeight(out.width);
  for (int x = 0; x < out.width; ++x) sample(x, image.width, xLow[x], xWeight[x]);
  // Each source row, widened, serves `factor` rows or more of the output:
  // widened once, for the row being read and the one below it.
  auto widen = [&](int y, std::vector<int>& wide) {
    const std::uint8_t* source = image.pixels.data() + static_cast<std::size_t>(y) * image.width;
    if (factor == 2) {
      widenTwice(source, image.width, wide.data());
      return;
    }
    for (int x = 0; x < out.width; ++x) {
      const int x0 = xLow[x];
      const int x1 = xWeight[x] > 0 ? x0 + 1 : x0;
      wide[x] = source[x0] * (256 - xWeight[x]) + source[x1] * xWeight[x];
    }
  };
  std::vector<int> upper(out.width), lower(out.width);
  int upperRow = -1;
  int lowerRow = -1;
  for (int y = top; y < bottom; ++y) {
    int y0 = 0;
    int wy = 0;
    sample(y, image.height, y0, wy);
    const int y1 = wy > 0 ? y0 + 1 : y0;
    if (y0 != upperRow) {
      if (y0 == lowerRow) {
        std::swap(upper, lower);
        lowerRow = -1;
      } else {
        widen(y0, upper);
      }
      upperRow = y0;
    }
    if (y1 != lowerRow && y1 != y0) {
      widen(y1, lower);
      lowerRow = y1;
    }
    const std::vector<int>& below = y1 == y0 ? upper : lower;
    std::uint8_t* row = out.pixels.data() + static_cast<std::size_t>(y - top) * out.width;
    for (int x = 0; x < out.width; ++x) {
      row[x] = static_cast<std::uint8_t>((upper[x] * (256 - wy) + below[x] * wy + (1 << 15)) >> 16);
    }
  }
  return out;
}

}  // namespace kestrova::desktop::tesseract

namespace kestrova::desktop::tesseract {
namespace {

// Whether a line's middle lies within another's rows.
bool levelWith(const Rect& line, const Rect& other) {
  const int middle = line.y + line.height / 2;
  return other.y <= middle && middle < other.bottom();
}

// Pixels a line of a column may start off its margin (a heading's bolder first letter).
constexpr int kMarginSlack = 3;
// A line fewer pixels than this after one level with it stands beside it
// in its row (a message's time and its bubble), not in a column of its own.
constexpr int kLeastGutter = 12;

// How many of the lines start at one margin, the most shared.
std::ptrdiff_t linesAtOneMargin(const std::vector<int>& starts) {
  std::ptrdiff_t most = 0;
  for (const int margin : starts) {
    most = std::max(most, std::count_if(starts.begin(), starts.end(),
                                        [&](int x) { return std::abs(x - margin) <= kMarginSlack; }));
  }
  return most;
}

constexpr std::size_t kLeastPageLines = 3;

// Whether a region's lines on both sides of a cut down before group g are
// columns beside each other: two lines or more a side, the shorter side
// standing mostly beside the other, the right side's first column of the
// region, the first line of each of its rows, starting at one margin (a sidebar and a
// page of one background, or a grid of cards whose row of tags joins its
// columns; not a form's labels over a row of buttons, nor a grid's centred labels).
bool columnsSideBySide(const std::vector<PlacedLine>& lines, const std::vector<std::vector<std::size_t>>& groups,
                       int region, std::size_t g) {
  RowRun sides[2] = {{1 << 30, -1}, {1 << 30, -1}};
  int counts[2] = {0, 0};
  for (std::size_t k = 0; k < groups.size(); ++k) {
    for (std::size_t i : groups[k]) {
      if (lines[i].region != region) continue;
      const int side = k < g ? 0 : 1;
      ++counts[side];
      sides[side] = {std::min(sides[side].top, lines[i].box.y), std::max(sides[side].bottom, lines[i].box.bottom())};
    }
  }
  // The region's first column right of the cut may stand beyond a page
  // of other regions' lines (a sidebar and a panel of activity of one
  // background, a dashboard between them); not beyond a few labels.
  const auto ofRegion = [&](std::size_t i) { return lines[i].region == region; };
  std::size_t first = g, between = 0;
  for (; first < groups.size() && std::none_of(groups[first].begin(), groups[first].end(), ofRegion); ++first) {
    between += groups[first].size();
  }
  if (first > g && between < kLeastPageLines) return false;
  std::vector<int> starts;
  for (std::size_t i : first < groups.size() ? groups[first] : std::vector<std::size_t>{}) {
    const auto before = [&](std::size_t j) {
      return ofRegion(j) && lines[j].box.x < lines[i].box.x &&
             (levelWith(lines[i].box, lines[j].box) || levelWith(lines[j].box, lines[i].box));
    };
    if (ofRegion(i) && std::none_of(groups[first].begin(), groups[first].end(), before)) {
      starts.push_back(lines[i].box.x);
    }
  }
  const int overlap = std::min(sides[0].bottom, sides[1].bottom) - std::max(sides[0].top, sides[1].top);
  const int shorter = std::min(sides[0].bottom - sides[0].top, sides[1].bottom - sides[1].top);
  return counts[0] > 1 && counts[1] > 1 && 3 * overlap >= 2 * shorter && starts.size() > 1 &&
         3 * linesAtOneMargin(starts) >= 2 * static_cast<std::ptrdiff_t>(starts.size());
}

// The groups every blank gap along one axis divides `ids` into, in order along it.
std::vector<std::vector<std::size_t>> splitAtGaps(const std::vector<PlacedLine>& lines, std::vector<std::size_t> ids,
                                                  bool across) {
  auto start = [&](std::size_t i) { return across ? lines[i].box.y : lines[i].box.x; };
  auto end = [&](std::size_t i) { return across ? lines[i].box.bottom() : lines[i].box.right(); };
  std::stable_sort(ids.begin(), ids.end(), [&](std::size_t a, std::size_t b) { return start(a) < start(b); });
  // Down, a line may start a pixel or two inside the box of one that ends
  // beside it (a short address over a page's sidebar and text).
  const int slack = across ? 0 : kMarginSlack;
  const auto besideLevel = [&](const std::vector<std::size_t>& group, std::size_t i) {
    return !across && std::ranges::any_of(group, [&](std::size_t j) {
      return end(j) + kLeastGutter > start(i) && levelWith(lines[j].box, lines[i].box);
    });
  };
  std::vector<std::vector<std::size_t>> groups{{}};
  int reach = start(ids.front());
  for (std::size_t i : ids) {
    if (!groups.back().empty() && start(i) >= reach - slack && !besideLevel(groups.back(), i)) groups.emplace_back();
    groups.back().push_back(i);
    reach = std::max(reach, end(i));
  }
  return groups;
}

constexpr int kLeastTurns = 3;

// The last group of a region that starts in group g level with a line of the
// one region on both sides of a cut before g, the panel's, and right of it
// (a bubble beside its sender); 0 when none does. A file list's rows stand
// level with its sidebar's items, and each region that a selected row
// splits off either begins beside an item: only one right of it is a turn.
std::size_t bubbleEnd(const std::vector<PlacedLine>& lines, const std::vector<std::size_t>& group, int split,
                      const std::map<int, std::pair<std::size_t, std::size_t>>& span, std::size_t g) {
  std::size_t end = 0;
  for (std::size_t label : group) {
    if (lines[label].region != split) continue;
    for (std::size_t i : group) {
      const auto& [first, last] = span.at(lines[i].region);
      if (lines[i].region != split && first == g && lines[i].box.x >= lines[label].box.right() &&
          levelWith(lines[label].box, lines[i].box)) {
        end = std::max(end, last);
      }
    }
  }
  return end;
}

// Whether a group reaches into the columns that the lines of groups
// [first, last] of any region but `panel` span: a composer under the bubbles,
// not a sender's time under the sender.
bool reachesUnder(const std::vector<PlacedLine>& lines, const std::vector<std::vector<std::size_t>>& groups,
                  std::size_t first, std::size_t last, int panel, const std::vector<std::size_t>& group) {
  ColumnSpan bubble{1 << 30, -1};
  for (std::size_t g = first; g <= last; ++g) {
    for (std::size_t i : groups[g]) {
      if (lines[i].region == panel) continue;
      bubble = {std::min(bubble.left, lines[i].box.x), std::max(bubble.right, lines[i].box.right())};
    }
  }
  return std::any_of(group.begin(), group.end(), [&](std::size_t i) {
    return lines[i].box.x < bubble.right && bubble.left < lines[i].box.right();
  });
}

// Before which groups a cut across may split a chat's panel: where a turn
// begins, a sender beside a bubble that ends before the next turn begins (an
// editor's code goes on beside its sidebar), three turns at least (a page's
// button beside a line is no chat); and where the last turn ends, at the
// composer. Read turn by turn, each sender and time before the bubble; read
// as one part, the senders and times come first, or rows run through the bubbles.
std::vector<bool> chatTurnCuts(const std::vector<PlacedLine>& lines,
                               const std::vector<std::vector<std::size_t>>& groups,
                               const std::map<int, std::pair<std::size_t, std::size_t>>& span) {
  std::vector<std::size_t> ends(groups.size(), 0);
  std::vector<int> panels(groups.size(), -1);
  for (std::size_t g = 1; g < groups.size(); ++g) {
    const auto split = [&](const auto& s) { return s.second.first < g && g <= s.second.second; };
    if (std::count_if(span.begin(), span.end(), split) != 1) continue;
    panels[g] = std::find_if(span.begin(), span.end(), split)->first;
    ends[g] = bubbleEnd(lines, groups[g], panels[g], span, g);
  }
  std::vector<bool> cuts(groups.size(), false);
  int turns = 0;
  for (std::size_t g = groups.size(), next = groups.size(); g-- > 1;) {
    if (ends[g] == 0) continue;
    if (ends[g] < next) {
      cuts[g] = true;
      ++turns;  // walking back, the first turn found is the last
      for (std::size_t h = ends[g] + 1; turns == 1 && h < next; ++h) {
        if (!reachesUnder(lines, groups, g, ends[g], panels[g], groups[h])) continue;
        cuts[h] = true;
        break;
      }
    }
    next = g;
  }
  if (turns < kLeastTurns) cuts.assign(groups.size(), false);
  return cuts;
}

// The groups a blank gap along one axis divides `ids` into, in order along
// it; one group when no allowed cut exists.
std::vector<std::vector<std::size_t>> cutAlong(const std::vector<PlacedLine>& lines,
                                               const std::vector<std::size_t>& ids, bool across) {
  auto groups = splitAtGaps(lines, ids, across);
  // Only a part that holds one region may be cut through that region.
  const bool oneRegion = std::all_of(ids.begin(), ids.end(), [&](std::size_t i) {
    return lines[i].region == lines[ids.front()].region;
  });
  if (oneRegion || groups.size() < 2) return groups;
  // A cut before group g is allowed when no region has lines on both sides,
  // or, cutting down, when the region's two sides are columns side by side,
  // or, cutting across, when g begins a chat's turn.
  std::map<int, std::pair<std::size_t, std::size_t>> span;  // region -> first and last group
  for (std::size_t g = 0; g < groups.size(); ++g) {
    for (std::size_t i : groups[g]) {
      span.try_emplace(lines[i].region, g, g).first->second.second = g;
    }
  }
  const std::vector<bool> turns = across ? chatTurnCuts(lines, groups, span) : std::vector<bool>(groups.size(), false);
  std::vector<std::vector<std::size_t>> merged{groups.front()};
  for (std::size_t g = 1; g < groups.size(); ++g) {
    const bool splitsARegion = !turns[g] && std::any_of(span.begin(), span.end(), [&](const auto& s) {
      return s.second.first < g && g <= s.second.second && (across || !columnsSideBySide(lines, groups, s.first, g));
    });
    if (splitsARegion) {
      merged.back().insert(merged.back().end(), groups[g].begin(), groups[g].end());
    } else {
      merged.push_back(groups[g]);
    }
  }
  return merged;
}

// Words on a line of running text, a table's cells seldom hold as many.
constexpr int kParagraphWords = 5;

// Whether a column holds paragraphs: lines of many words that fill most of
// the column's width, each with the next line right under it at its own
// margin, and seldom a shorter line at that pitch but at a paragraph's end
// (a log's messages, a table's cells are ragged from line to line). A page's
// columns of text, set in one font, stand level line for line like cells.
bool holdsParagraph(const std::vector<PlacedLine>& lines, std::vector<std::size_t> column) {
  std::stable_sort(column.begin(), column.end(),
                   [&](std::size_t a, std::size_t b) { return lines[a].box.y < lines[b].box.y; });
  int widest = 0;
  for (std::size_t i : column) widest = std::max(widest, lines[i].box.width);
  int pitch = -1, full = 0, ragged = 0;
  for (std::size_t k = 1; k < column.size(); ++k) {
    const Rect& upper = lines[column[k - 1]].box;
    const Rect& lower = lines[column[k]].box;
    // Heights, and so gaps, differ by a line's descenders: the taller one sets the pitch.
    const int taller = std::max(upper.height, lower.height);
    const int step = lower.y - upper.y;
    if (std::abs(lower.x - upper.x) > kMarginSlack || step >= 5 * taller / 2) continue;
    const bool filled = 5 * upper.width >= 4 * widest;
    if (pitch < 0 && filled && lines[column[k - 1]].words >= kParagraphWords) pitch = step;
    if (pitch < 0 || 4 * std::abs(step - pitch) > taller) continue;
    ++(filled ? full : ragged);
  }
  return full > 2 * ragged;
}

// Whether `lower` lies no more than a line's gap under `upper`: rows of one
// block of text, not two parts of a page.
bool closeRows(const std::vector<PlacedLine>& lines, const std::vector<std::size_t>& upper,
               const std::vector<std::size_t>& lower) {
  int bottom = -1, tallest = 0, top = 1 << 30;
  for (std::size_t i : upper) {
    bottom = std::max(bottom, lines[i].box.bottom());
    tallest = std::max(tallest, lines[i].box.height);
  }
  for (std::size_t i : lower) top = std::min(top, lines[i].box.y);
  return top - bottom < 2 * tallest;
}

// Whether the lines are a page's columns of text: three rows or more (two
// are as likely a table's), a line's gap apart, that a cut down leaves as
// neighbouring columns that both hold paragraphs.
bool columnsOfText(const std::vector<PlacedLine>& lines, const std::vector<std::size_t>& ids) {
  const auto rows = splitAtGaps(lines, ids, true);
  if (rows.size() < 3) return false;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    if (!closeRows(lines, rows[r - 1], rows[r])) return false;
  }
  const auto columns = splitAtGaps(lines, ids, false);
  for (std::size_t c = 1; c < columns.size(); ++c) {
    if (holdsParagraph(lines, columns[c - 1]) && holdsParagraph(lines, columns[c])) return true;
  }
  return false;
}

// Joins neighbouring columns that are one table, so that it is read row by
// row: a column of numbers whose neighbour's lines mostly stand level with
// one of them (an editor's line numbers, a sheet's row numbers), columns
// sharing a region whose lines pair up, middle to middle, along the shorter one (a
// table's cells), or columns whose lines take turns (a chat's bubbles). Columns
// of text beside each other meet level only by chance.
std::vector<std::vector<std::size_t>> joinTableColumns(const std::vector<PlacedLine>& lines,
                                                       std::vector<std::vector<std::size_t>> columns) {
  using Column = std::vector<std::size_t>;
  const auto mostly = [&](const Column& column, const Column& other, auto paired) {
    const auto count = std::count_if(column.begin(), column.end(), [&](std::size_t line) {
      return std::any_of(other.begin(), other.end(), [&](std::size_t i) { return paired(lines[line].box, lines[i].box); });
    });
    return 2 * count > static_cast<std::ptrdiff_t>(column.size());
  };
  // Middles, not tops: a dropdown's or a checkbox's frame, read as a mark, raises a cell's top.
  const auto alongside = [](const Rect& a, const Rect& b) {
    return 3 * std::abs(2 * a.y + a.height - 2 * b.y - b.height) <= 2 * std::min(a.height, b.height);
  };
  // Whether each line of `column` that stands between two of `other`'s
  // stands in a blank twice its height: a chat's turn in the room its
  // bubble leaves between the other side's turns, where an editor's
  // sidebar items fall between its code lines, a line's blank apart.
  const auto leaveRoom = [&](const Column& column, const Column& other) {
    return std::all_of(column.begin(), column.end(), [&](std::size_t i) {
      const Rect& box = lines[i].box;
      int above = -1, below = 1 << 30;
      for (std::size_t j : other) {
        const Rect& near = lines[j].box;
        if (2 * near.y + near.height < 2 * box.y + box.height) above = std::max(above, near.bottom());
        if (2 * near.y + near.height > 2 * box.y + box.height) below = std::min(below, near.y);
      }
      return above < 0 || below == 1 << 30 || below - above >= 2 * box.height;
    });
  };
  const auto extent = [&](const Column& column) {
    RowRun run{1 << 30, -1};
    for (std::size_t i : column) run = {std::min(run.top, lines[i].box.y), std::max(run.bottom, lines[i].box.bottom())};
    return run;
  };
  // The column's lines but those far below the other's last, where none
  // can pair (a dialog's buttons under its dropdowns, beside their labels).
  const auto notFarBelow = [&](const Column& column, const Column& other) {
    const int bottom = extent(other).bottom;
    Column kept;
    std::ranges::copy_if(column, std::back_inserter(kept),
                         [&](std::size_t i) { return lines[i].box.y < bottom + 2 * lines[i].box.height; });
    return kept;
  };
  // A side of a chat holds one bubble a row; a column with three lines
  // level is a grid's (a file manager's names under their icons), which
  // a sidebar's items beside it may well fall between.
  const auto rowOfThree = [&](const Column& column) {
    return std::any_of(column.begin(), column.end(), [&](std::size_t i) {
      return std::count_if(column.begin(), column.end(),
                           [&](std::size_t j) { return levelWith(lines[j].box, lines[i].box); }) >= 3;
    });
  };
  // Lines of two columns that take turns down the page, never level with
  // each other and each in room left between the other's: a chat's bubbles
  // on either side, one message a row.
  const auto staggered = [&](const Column& left, const Column& right) {
    if (rowOfThree(left) || rowOfThree(right)) return false;
    const RowRun a = extent(left), b = extent(right);
    const bool interleaved = a.top < b.bottom && b.top < a.bottom;
    return interleaved && leaveRoom(left, right) && leaveRoom(right, left) &&
           std::none_of(left.begin(), left.end(), [&](std::size_t l) {
             return std::any_of(right.begin(), right.end(), [&](std::size_t r) {
               return levelWith(lines[l].box, lines[r].box) || levelWith(lines[r].box, lines[l].box);
             });
           });
  };
  for (std::size_t c = columns.size() - 1; c-- > 0;) {
    Column& left = columns[c];
    const Column& right = columns[c + 1];
    const Column& shorter = left.size() <= right.size() ? left : right;
    const bool numbers = std::all_of(left.begin(), left.end(), [&](std::size_t i) { return lines[i].number; }) &&
                         mostly(right, left, levelWith);
    const bool shareARegion = std::any_of(left.begin(), left.end(), [&](std::size_t i) {
      return std::any_of(right.begin(), right.end(), [&](std::size_t j) { return lines[i].region == lines[j].region; });
    });
    const Column& longer = &shorter == &left ? right : left;
    const bool cells = shareARegion && mostly(notFarBelow(shorter, longer), longer, alongside);
    if (!numbers && !cells && !staggered(left, right)) continue;
    left.insert(left.end(), right.begin(), right.end());
    columns.erase(columns.begin() + static_cast<std::ptrdiff_t>(c) + 1);
  }
  return columns;
}

// The rows a set of lines spans, and its tallest line.
struct RowExtent {
  int top = 1 << 30;
  int tallest = 0;
};

RowExtent extentOf(const std::vector<PlacedLine>& lines, const std::vector<std::size_t>& row) {
  RowExtent extent;
  for (std::size_t i : row) {
    extent = {std::min(extent.top, lines[i].box.y), std::max(extent.tallest, lines[i].box.height)};
  }
  return extent;
}

// Whether row `after` goes on from row `before` as the next line of the same
// text would: a line's gap below, about as tall, at `pitch`.
bool goesOn(const std::vector<PlacedLine>& lines, const std::vector<std::size_t>& before,
            const std::vector<std::size_t>& after, int pitch) {
  const RowExtent a = extentOf(lines, before), b = extentOf(lines, after);
  const int taller = std::max(a.tallest, b.tallest);
  return closeRows(lines, before, after) && 4 * std::abs(b.top - a.top - pitch) <= taller &&
         3 * std::abs(a.tallest - b.tallest) <= taller;
}

// Keeps together each run of close rows that stand in columns when, as a
// whole, it is columns of text, to be read column by column rather than row
// by row. Judged whole and only where set off from the rows around it: a
// log's rows, or a table's, may look like paragraphs a few rows at a time.
std::vector<std::vector<std::size_t>> keepColumnsOfText(const std::vector<PlacedLine>& lines,
                                                        const std::vector<std::vector<std::size_t>>& rows) {
  std::vector<std::vector<std::size_t>> kept;
  for (std::size_t r = 0; r < rows.size();) {
    std::vector<std::size_t> run = rows[r];
    std::size_t end = r + 1;
    for (; end < rows.size() && closeRows(lines, rows[end - 1], rows[end]); ++end) {
      std::vector<std::size_t> longer = run;
      longer.insert(longer.end(), rows[end].begin(), rows[end].end());
      if (splitAtGaps(lines, longer, false).size() < 2) break;
      run = std::move(longer);
    }
    const auto pitch = [&](std::size_t upper) {
      return extentOf(lines, rows[upper + 1]).top - extentOf(lines, rows[upper]).top;
    };
    const bool setOff = end - r > 1 && !(r > 0 && goesOn(lines, rows[r - 1], rows[r], pitch(r))) &&
                        !(end < rows.size() && goesOn(lines, rows[end - 1], rows[end], pitch(end - 2)));
    if (setOff && columnsOfText(lines, run)) {
      kept.push_back(std::move(run));
    } else {
      kept.insert(kept.end(), rows.begin() + static_cast<std::ptrdiff_t>(r),
                  rows.begin() + static_cast<std::ptrdiff_t>(end));
    }
    r = end;
  }
  return kept;
}

// Rows top to bottom, a line joining the row above when its middle lies
// within that row; each row left to right. Rows that are columns of text are
// read column by column.
void appendByRows(const std::vector<PlacedLine>& lines, std::vector<std::size_t> ids, std::vector<std::size_t>& out) {
  std::stable_sort(ids.begin(), ids.end(), [&](std::size_t a, std::size_t b) { return lines[a].box.y < lines[b].box.y; });
  std::vector<std::vector<std::size_t>> rows;
  int rowBottom = -1;
  for (std::size_t i : ids) {
    const Rect& box = lines[i].box;
    if (box.y + box.height / 2 >= rowBottom) {
      rows.emplace_back();
      rowBottom = box.bottom();
    }
    rows.back().push_back(i);
    rowBottom = std::max(rowBottom, box.bottom());
  }
  for (auto& run : keepColumnsOfText(lines, rows)) {
    if (columnsOfText(lines, run)) {
      for (const auto& column : splitAtGaps(lines, run, false)) appendByRows(lines, column, out);
      continue;
    }
    std::stable_sort(run.begin(), run.end(),
                     [&](std::size_t a, std::size_t b) { return lines[a].box.x < lines[b].box.x; });
    out.insert(out.end(), run.begin(), run.end());
  }
}

// The box around each region's lines among `ids`, and how many they are.
std::map<int, std::pair<Rect, int>> regionBoxes(const std::vector<PlacedLine>& lines,
                                                const std::vector<std::size_t>& ids) {
  std::map<int, std::pair<Rect, int>> boxes;
  for (std::size_t i : ids) {
    auto& [box, count] = boxes.try_emplace(lines[i].region, lines[i].box, 0).first->second;
    box = unite(box, lines[i].box);
    ++count;
  }
  return boxes;
}

// A region whose lines lie on top of another window's text, as a dialog's
// do: three lines or more, none of another region among them, others above
// and below, and on their left lines that the window's frame cuts off at
// one edge (two or more, and not numbers, which a column aligns so). Its
// index, or -1.
int windowOnTop(const std::vector<PlacedLine>& lines, const std::vector<std::size_t>& ids) {
  for (const auto& [region, boxAndCount] : regionBoxes(lines, ids)) {
    const auto& [box, count] = boxAndCount;
    if (count < 3) continue;
    bool among = false, above = false, below = false;
    std::vector<int> cutOff;  // right ends
    for (std::size_t i : ids) {
      const Rect& line = lines[i].box;
      if (lines[i].region == region) continue;
      const bool overlapping = line.x < box.right() && box.x < line.right();
      among |= overlapping && line.y < box.bottom() && box.y < line.bottom();
      above |= overlapping && line.bottom() <= box.y;
      below |= overlapping && line.y >= box.bottom();
      const int middle = line.y + line.height / 2;
      if (!lines[i].number && line.right() <= box.x && box.y <= middle && middle < box.bottom()) {
        cutOff.push_back(line.right());
      }
    }
    if (among || !above || !below) continue;
    for (const int edge : cutOff) {
      if (std::count_if(cutOff.begin(), cutOff.end(), [&](int x) { return std::abs(x - edge) <= 2; }) > 1) return region;
    }
  }
  return -1;
}

// Panels side by side (a chat's list of chats beside its messages) stand
// this many pixels apart at least, and each holds this many lines.
constexpr int kPanelGutter = 24;
constexpr int kPanelLines = 3;

// Whether the groups a cut down makes are panels side by side, to be read
// one after the other even where a blank row runs across them all (a row
// between two chats of the list, level with a gap between two bubbles): no
// region in two groups, each group starting level with the first and
// reaching down half the rows of all of them at least, wide gutters between.
// A title or heading over one of them starts higher; a page's footer under
// its columns shares their region.
bool panelsSideBySide(const std::vector<PlacedLine>& lines, const std::vector<std::vector<std::size_t>>& groups) {
  if (groups.size() < 2) return false;
  std::map<int, std::size_t> groupOfRegion;
  int tallest = 0;
  RowRun all{1 << 30, -1};
  std::vector<RowRun> rows;
  std::vector<ColumnSpan> columns;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    RowRun r{1 << 30, -1};
    ColumnSpan c{1 << 30, -1};
    for (std::size_t i : groups[g]) {
      const Rect& box = lines[i].box;
      if (groupOfRegion.try_emplace(lines[i].region, g).first->second != g) return false;
      tallest = std::max(tallest, box.height);
      r = {std::min(r.top, box.y), std::max(r.bottom, box.bottom())};
      c = {std::min(c.left, box.x), std::max(c.right, box.right())};
    }
    rows.push_back(r);
    columns.push_back(c);
    all = {std::min(all.top, r.top), std::max(all.bottom, r.bottom)};
  }
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (static_cast<int>(groups[g].size()) < kPanelLines || std::abs(rows[g].top - rows[0].top) > tallest ||
        2 * (rows[g].bottom - rows[g].top) < all.bottom - all.top) {
      return false;
    }
    if (g > 0 && columns[g].left - columns[g - 1].right < kPanelGutter) return false;
  }
  return true;
}

void order(const std::vector<PlacedLine>& lines, const std::vector<std::size_t>& ids, std::vector<std::size_t>& out) {
  if (ids.size() < 2) {
    out.insert(out.end(), ids.begin(), ids.end());
    return;
  }
  // Cut across first, but panels side by side down.
  const auto down = joinTableColumns(lines, cutAlong(lines, ids, false));
  const auto across = panelsSideBySide(lines, down) ? std::vector<std::vector<std::size_t>>{}
                                                    : keepColumnsOfText(lines, cutAlong(lines, ids, true));
  for (const auto* groups : {&across, &down}) {
    if (groups->size() < 2) continue;
    for (const auto& group : *groups) order(lines, group, out);
    return;
  }
  // No cut: a window on top of the text is read as a whole, after the text it covers.
  if (const int window = windowOnTop(lines, ids); window >= 0) {
    std::vector<std::size_t> under, over;
    for (std::size_t i : ids) (lines[i].region == window ? over : under).push_back(i);
    order(lines, under, out);
    order(lines, over, out);
    return;
  }
  appendByRows(lines, ids, out);
}

// The window of the nearest bar above `top` whose columns hold the line's
// middle, -1 when none.
int barAbove(const PlacedLine& line, int top, const std::vector<Rect>& bars) {
  const int middle = line.box.x + line.box.width / 2;
  int window = -1;
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const Rect& b = bars[i];
    const bool holds = b.x <= middle && middle < b.right() && b.y <= top;
    if (holds && (window < 0 || b.y > bars[static_cast<std::size_t>(window)].y)) window = static_cast<int>(i);
  }
  return window;
}

}  // namespace

void placeInWindows(std::vector<PlacedLine>& lines, const std::vector<Rect>& bars, int firstBarRegion) {
  const auto barOf = [&](const PlacedLine& line) {
    const int bar = line.region - firstBarRegion;
    return bar >= 0 && bar < static_cast<int>(bars.size()) ? bar : -1;
  };
  std::map<int, const PlacedLine*> regionTop;
  for (const PlacedLine& line : lines) {
    const auto [top, added] = regionTop.try_emplace(line.region, &line);
    if (!added && line.box.y < top->second->box.y) top->second = &line;
  }
  for (PlacedLine& line : lines) {
    line.title = barOf(line) >= 0;
    line.window = line.title ? barOf(line) : barAbove(line, regionTop[line.region]->box.y, bars);
  }
  // A window lying on another's title bar hides the bar's columns that hold
  // lines to its right further down, below that window (the columns of a
  // terminal under the corner of the one above): such a line would fall into
  // the upper window, whose bar is higher than that of its region's top line.
  const auto barY = [&](int window) { return bars[static_cast<std::size_t>(window)].y; };
  for (PlacedLine& line : lines) {
    const int topWindow = regionTop[line.region]->window;
    if (barOf(line) < 0 && topWindow >= 0 && line.window >= 0 && barY(line.window) < barY(topWindow)) {
      line.window = topWindow;
    }
  }
}

std::vector<std::size_t> readingOrder(const std::vector<PlacedLine>& lines) {
  std::map<int, std::vector<std::size_t>> windows;
  for (std::size_t i = 0; i < lines.size(); ++i) windows[lines[i].window].push_back(i);
  std::vector<std::vector<std::size_t>> groups;
  for (auto& [window, ids] : windows) groups.push_back(std::move(ids));
  const auto top = [&](const std::vector<std::size_t>& ids) {
    int y = 1 << 30;
    for (std::size_t i : ids) y = std::min(y, lines[i].box.y);
    return y;
  };
  std::stable_sort(groups.begin(), groups.end(), [&](const auto& a, const auto& b) { return top(a) < top(b); });
  std::vector<std::size_t> out;
  for (const auto& ids : groups) {
    // A window's title first: above one of the panels beside each other
    // below it (a chat's conversation, its list of chats beside), it would
    // keep them from being read as panels.
    std::vector<std::size_t> titles, rest;
    for (std::size_t i : ids) (lines[i].title ? titles : rest).push_back(i);
    order(lines, titles, out);
    order(lines, rest, out);
  }
  return out;
}

bool repeatsRead(const PlacedLine& line, const PlacedLine& other, bool sameText) {
  const Rect& a = line.box;
  const Rect& b = other.box;
  const Rect shared = intersection(a, b);
  const long long smaller =
      std::min(static_cast<long long>(a.width) * a.height, static_cast<long long>(b.width) * b.height);
  return sameText && line.region != other.region && 2LL * shared.width * shared.height > smaller;
}

bool continuesLine(const PlacedLine& before, const PlacedLine& after) {
  if (before.window != after.window || after.box.x < before.box.right()) return false;
  // A smaller label beside a line sits on its foot (a message's time beside
  // the message): its middle may lie under the line's box.
  const bool smaller = 5 * after.box.height <= 4 * before.box.height;
  const Rect reach{before.box.x, before.box.y, before.box.width, before.box.height * (smaller ? 3 : 2) / 2};
  return levelWith(after.box, reach);
}

}  // namespace kestrova::desktop::tesseract
