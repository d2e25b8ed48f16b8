// Screen image analysis for text recognition: finds the panels of uniform
// background that hold text and turns each into a dark-on-light page.
// Pure functions over pixels, so they are tested without any OCR engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::desktop::tesseract {

// Gray steps from a background that make a pixel ink.
inline constexpr int kInkContrast = 48;
// Gray steps from white that are faint ink: greyed text the contrast
// stretch left light, which Tesseract still reads.
inline constexpr int kFaintInkContrast = 12;

struct GrayImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // rows top to bottom, `width` bytes each

  std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  int right() const { return x + width; }
  int bottom() const { return y + height; }
  bool operator==(const Rect&) const = default;
};

// The smallest box that holds both.
Rect unite(const Rect& a, const Rect& b);

// One byte a pixel, rows `bytesPerRow` apart, as an image of its own.
GrayImage copyGray(const std::uint8_t* pixels, int width, int height, std::size_t bytesPerRow);

// The image cut into square cells, each given the gray value most of its
// pixels share (its background) and joined with its neighbours into areas of
// the same background. Small areas (a word in bold, an icon, a button too
// small to be a panel) belong to the large area around them.
// A bar whose gray shades row by row (a window manager's title bar): the
// gray of each of its rows, from `top` down, over columns [left, right).
struct GradientBar {
  int left = 0;
  int right = 0;
  int top = 0;
  std::vector<std::uint8_t> grays;
  bool lightTitle = true;  // its page shows what is lighter than the bar (a shadow under it is no ink), or darker

  int bottom() const { return top + static_cast<int>(grays.size()); }
};

struct BackgroundMap {
  int cellSize = 0;
  int columns = 0;
  int rows = 0;
  std::vector<int> area;                    // per cell, index into areaBackground
  std::vector<std::uint8_t> areaBackground; // per area
  std::vector<std::uint8_t> cellBackground; // per cell: its area's, the button's it lies in, or its own on a gradient
  std::vector<bool> ink;                    // per cell: holds pixels unlike any background near it
  std::vector<GradientBar> bars;            // whose title is lighter than each row's gray

  int areaAt(int column, int row) const { return area[static_cast<std::size_t>(row) * columns + column]; }
};

struct RegionTuning {
  int cellSize = 8;
  // Gray steps between neighbouring cells of one area: an editor's sidebar
  // lies 7 steps from its code, a light IDE's panels 12 from the editor.
  int backgroundTolerance = 4;
  int minimumAreaCells = 48;     // smaller areas join the area around them
};

BackgroundMap mapBackground(const GrayImage& image, const RegionTuning& tuning = {});

// The bars of the image whose gray shades by a few steps from row to row.
std::vector<GradientBar> findGradientBars(const GrayImage& image);

// A part of the screen to recognize on its own.
struct TextRegion {
  int area = 0;             // the BackgroundMap area it covers
  Rect bounds;              // pixels, around the area's ink
  std::uint8_t background = 255;
  // Rows inside `bounds` that a region below reaches up into: its first
  // line's tops, which on this region's background look like ink.
  std::vector<Rect> ceded;
};

// The areas that hold ink, top to bottom then left to right.
std::vector<TextRegion> findTextRegions(const GrayImage& image, const BackgroundMap& map);

// The region as a page, dark on white whatever its colors: each pixel as dark
// as it differs from the background under it (so dark themes come out
// inverted and a button's label is read against the button), pixels of other
// areas white, each line's contrast stretched so its strongest ink is black, rules
// erased.
GrayImage preparePage(const GrayImage& image, const BackgroundMap& map, const TextRegion& region);

// Rows at the page's top or bottom edge where another area's background
// fills most of a stretch as long as an edge are a slice of that area, cut
// off by the cell grid: a reverse-video row under a terminal's text. Between
// its letters its ground would show as blots too short to be taken for an
// edge, read as underscores under the line above. Light glyphs on a dark
// ground look like a light area's background too, but only in strokes. A
// slice is thinner than a cell; more such rows are a panel beside the text.
// Rows of cells left out of the page are blank already and passed over.
// `foreign` marks the page's pixels that show another area or no area of its
// own (blank, 255).
void blankForeignEdgeRows(GrayImage& page, const std::vector<std::uint8_t>& foreign, int cell);

// A title bar as a page of its own, dark on white: each pixel as dark as it
// stands out from its row's gray on the title's side. Where windows overlap,
// a bar lies over other areas, whose pages each show a piece of it.
GrayImage prepareTitleBar(const GrayImage& image, const GradientBar& bar);

// Whether more of the bar's pixels stand out lighter than its gray than
// darker: the likelier side of its title.
bool moreInkLighter(const GrayImage& image, const GradientBar& bar);

// Paints white every horizontal run of ink (pixels darker than `inkBelow`) at
// least `minimumWidth` pixels long and every vertical one at least
// `minimumHeight`: window borders, table rules and underlines, which
// Tesseract otherwise glues to the letters beside them. A bar that glyphs
// cross at their pitch is theirs and stays ("++++++" in a diff's summary).
void eraseRules(GrayImage& page, int minimumWidth, int minimumHeight, int inkBelow = 255 - kInkContrast);

// A link's underline is broken where its letters' descenders cross it
// (browsers leave the ink a gap), into pieces too short to be rules; the
// piece under a space was read as an underscore ("Security_policy"). Thin
// pieces along one row, close together and covering most of their stretch
// (a rule's length at least), are one underline and are painted white. An
// underscore's is a piece alone, or pieces a word apart.
void eraseBrokenUnderlines(GrayImage& page);

// Paints white the side of the window or panel a page lies in, which
// Tesseract reads beside its first lines or finds none of them (a sidebar's
// first items), and whose rows it inks are one run, too tall to be read
// again as a line (a terminal's column of process ids under a reverse-video
// header): the outermost ink on either side when it runs down three
// quarters of the page at least, or is a bare line, one or two pixels wide,
// as long as a wall (a window's border cut short where a panel's cells
// end). Only where lines of text stand beside it: beside one line (a
// sheet's grid around its column letters) Tesseract reads the line.
void eraseOuterSides(GrayImage& page);

// Paints white the faint rules of a grid, at least three long ones across
// and three down (a spreadsheet's cell borders), which the rules erased
// above, darker ones, leave.
void eraseFaintGrid(GrayImage& page);

// Paints white the outline drawn around a label (a button's, a text
// field's), which the model reads as bars or brackets beside it ("Reply lf
// Reply all lf Forward"): faint ink in one piece, a line of text high or a
// few, wider than high, every pixel of it in thin lines along its box.
void eraseLabelFrames(GrayImage& page);

// Paints white every blob of ink that is a rectangle at least `minimumWidth`
// by `minimumHeight` pixels, filled or drawn as a one-pixel outline: a
// terminal's cursor (block, or hollow when the window has no focus), which
// sits right under or after the text and is otherwise read as part of its
// letters. A filled blob narrower than two fifths of its height is a stem
// (a bold I or l) and stays, and so does one wider than seven tenths of its
// height (the dot of a large bold i) or one with a dot right above it (the
// stem of a bold i, as wide as a cursor for its height). So is a square a
// dozen pixels a side or larger, filled or drawn as an empty outline, beside
// ink about its height and none more than twice it: an icon or a check box
// before its label, which the model reads as marks that cost the label's
// line its rating.
void eraseCursorsAndIcons(GrayImage& page, int minimumWidth, int minimumHeight);

// A small filled shape of a color of its own (a tag, a status pill, a
// calendar's event chip, a badge) is too small for the cells that find
// backgrounds: against the panel around it, both the shape and its label are
// ink, and the label is lost within. Each such shape is judged against its
// own fill instead: its label's pixels as dark as they differ from the fill,
// the fill and its rim white. A shape is as high as a line of text, half
// again as wide at least (a bold letter, its counter enclosed, is about as
// wide as high), filled, mostly of its fill's gray, with pixels of another
// within, away from its rim, that leave their box half blank at least (a
// toggle's knob fills its own). `page` is `bounds` of `image`.
void readChipsOnTheirFill(GrayImage& page, const GrayImage& image, const Rect& bounds);

// Columns [left, right) of a page.
struct ColumnSpan {
  int left = 0;
  int right = 0;
  bool operator==(const ColumnSpan&) const = default;
  bool overlaps(const ColumnSpan& other) const { return left < other.right && other.left < right; }
};

// Where a word of a line ends, in page pixels, with the line's baseline,
// its height above the baseline and the bottom of its box.
struct WordEnd {
  int right = 0;  // first column after the word
  int baseline = 0;
  int ascent = 0;
  int lineBottom = 0;  // last row
};

// Whether an underscore follows the word, which Tesseract reads as a space
// ("load settings" for "load_settings"): a line of ink at most `thickest`
// rows thick between the baseline and the line's bottom, starting within half
// the ascent of the word's end, about a letter long (an underline beneath a
// whole word is longer), with nothing right under it.
bool underscoreAfter(const GrayImage& page, const WordEnd& word, int thickest);

// The lines of underscores along a word, each with how many underscores it
// is (about three quarters of the ascent each; they run together): thin
// lines on or under the baseline, under no letter (an underline runs under
// them), within the word's box or running out of it. Tesseract leaves them
// out ("future" for "__future__") or reads them as a dash ("—all__").
// A line right after a letter left of the word is the word before's.
struct UnderscoreRun {
  ColumnSpan columns;
  int count = 0;
  bool operator==(const UnderscoreRun&) const = default;
};
std::vector<UnderscoreRun> underscoreRuns(const GrayImage& page, const Rect& word, const WordEnd& line, int thickest);

// A glyph that is one stem (an l, an L, a 1, an I): how wide the stem is
// half way down (0 when the glyph is no single stem, or its box holds more
// than one glyph), and how far, in pixels, ink reaches left and right of it
// in the glyph's top and bottom sixths (its flag or serifs, its foot). With
// `flagBeyondBox`, a flag that runs on from the stem is looked for as far
// left of the box as the box is wide: the model may give a monospace l's
// flag to the colon before it ("app-web:latest" read "...:Latest").
struct StemReach {
  int left = 0;
  int right = 0;
};
struct StemShape {
  int width = 0;
  StemReach top;
  StemReach bottom;
};
StemShape stemShape(const GrayImage& page, const Rect& glyph, bool flagBeyondBox = false);

// Whether the stem has a flag reaching left from its top and nothing
// reaching right there: a monospace l (DejaVu Sans Mono's, bold above all),
// which Tesseract reads as L, or a 1. A capital L has no flag, and a serif
// one's top reaches both ways.
bool flagged(const StemShape& shape);

// Whether the glyph's top is a bar across most of its ink's width: a 7,
// where a slash's top is its stroke's end ("5b/c9d4f8" for "5b7c9d4f8").
bool barOnTop(const GrayImage& page, const Rect& glyph);

// Whether the glyph is a stem whose top hooks to the right, with nothing
// reaching left there or at its foot: a small f, whose crossbar Tesseract
// may miss and read an i ("setup.cig").
bool hooksRight(const GrayImage& page, const Rect& glyph);

// Whether the stem's foot reaches right of it, and left too (`bothWays`: a
// 1's base) or not (a monospace l's foot, bent right).
bool footReaches(const StemShape& shape, bool bothWays);

// Whether the ink in the glyph's columns, from `ascent` above the baseline
// to just under it, is one dot on the baseline, no larger than a third of
// the ascent: a period, where Tesseract read a word's first mark as "-", "“"
// or "«" (".bashrc" as "-bashrc"). A hyphen stands at mid-height, quotes at
// the top.
bool dotOnBaseline(const GrayImage& page, const Rect& glyph, int baseline, int ascent);

// Whether a mark stands apart above the glyph's stem, a row at most half as
// dark between them, in its box's top half or above the box, which may
// leave it out: an i's dot, which a 1 read as i ("budget_qi") has not. At
// the page's top, where a dot would be cut off, it is taken to be there.
bool dotAbove(const GrayImage& page, const Rect& glyph);

// Whether a word's first ink, from half its `ascent` before `left` (its
// box, which may leave the dot out or give it the first letter's box), is a
// dot on the `baseline`, with blank after it and more ink beyond.
bool dotBeforeGlyph(const GrayImage& page, int left, int baseline, int ascent);

// Whether between columns `from` and `to` (the middles of two glyphs) a dot
// stands on the `baseline` apart from the glyphs' ink on either side: a
// period Tesseract dropped.
bool dotBetweenGlyphs(const GrayImage& page, int from, int to, int baseline, int ascent);

// Whether the ink within `glyph`, above row `bottom`, is strokes that
// stand upright: a straight quote, which the model reads as a curly one
// (a curly quote's tail leans away from its bowl). Ink that reaches row
// `bottom` is a letter beside it, and not looked at.
bool uprightTicks(const GrayImage& page, const Rect& glyph, int bottom);

// Whether the ink within `glyph`, above row `bottom`, is one stroke at most
// `mostWidth` wide that leans down to the right, as a backtick's does. Ink
// that reaches row `bottom` is a letter beside it, and not looked at.
bool backtickStroke(const GrayImage& page, const Rect& glyph, int bottom, int mostWidth);

// The most strokes a row of the lowest fifth of the glyph's ink crosses:
// a # stands on two legs, an f on one stem.
int legsAtFoot(const GrayImage& page, const Rect& glyph);

// Whether the glyph in `glyph` holds ink at its middle, and its sides
// there too: a dotted or slashed zero, which Tesseract may read as O; the
// letter is hollow there. A box the model set off the glyph (an O of a
// proportional font, its box shifted right onto its right side and the next
// letter) has no ink at its left side there.
bool inkAtMiddle(const GrayImage& page, const Rect& glyph);

// Whether the glyph is a ring, taller than wide, around a mark at its
// middle, alone across and down: a monospace zero, which Tesseract reads as
// o, @, Q, d or a copyright sign. An @ or a sign has more strokes there; a
// letter o, a d or a Q has no mark.
bool markedRing(const GrayImage& page, const Rect& glyph);
// Whether the glyph's blanks enclosed by its ink are two, one above and
// left of the other: a percent sign's rings, which the model reads as an s
// at a word's start ("%Cpu(s)"). An 8's or a B's stand one over the other.
bool percentShaped(const GrayImage& page, const Rect& glyph);
// Whether the glyph's ink is two bars across it, a blank between and no
// other ink: an equals sign, a row of which (a test runner's "=====" rule)
// the model reads as s's. An s's strokes join its top to its bottom.
bool equalsShaped(const GrayImage& page, const Rect& glyph);
// Whether the glyph's ink is a bar across it with a stem through its
// middle that reaches as far above the bar as below: a plus sign, which the
// model reads as a t after a capital ("B+" as "Bt"). A t's bar stands at its
// x-height, far nearer its top than its foot.
bool plusShaped(const GrayImage& page, const Rect& glyph);
// Where the stem starts if the glyph is a stem under a dot, a blank row
// between them: an i, which the model reads as a capital I where nothing
// beside it tells the case (a paragraph's last line, "it." alone). A
// capital I has no gap.
std::optional<int> dottedStemTop(const GrayImage& page, const Rect& glyph);

// Rows where the page holds ink, as [top, bottom) runs.
struct RowRun {
  int top = 0;
  int bottom = 0;
  bool operator==(const RowRun&) const = default;
  bool overlaps(const RowRun& other) const { return top < other.bottom && other.top < bottom; }
};
std::vector<RowRun> inkRowRuns(const GrayImage& page, int inkContrast = kInkContrast);

// Whether the ink in the page's `rows` and `columns`, faint ink too, is no
// more than specks and tokens: no run of inked rows holds a word, glyphs
// side by side, unless it is too short for text; a run taller than a line
// may be large text and counts as words.
struct LineRows {
  int least;
  int most;
};
bool onlyTokensOfInk(const GrayImage& page, const RowRun& rows, const ColumnSpan& columns, const LineRows& line);

// The stretches of ink in the page's `rows` that the boxes of the lines
// `read` there leave out, joined across gaps narrower than `joinGap`: what
// was left unread beside them, and ink under a box that reaches beyond it
// by more than `slack` rows, which the box only grazes (a file grid's size
// under a name whose box took in the top of it).
std::vector<ColumnSpan> uncoveredInk(const GrayImage& page, const RowRun& rows, const std::vector<Rect>& read,
                                     int joinGap, int slack);

// Stretches of ink, each in its own rows, that stand in one column: their
// left edges within `tolerance` of the leftmost's, their rows apart. The
// columns of `least` stretches at least, each top to bottom, as indices.
struct InkStretch {
  RowRun rows;
  ColumnSpan columns;
};
std::vector<std::vector<std::size_t>> stackedInColumns(const std::vector<InkStretch>& stretches, int tolerance,
                                                       std::size_t least);

// The ink of the page's `rows` within `columns`: how many pixels, and the box around them.
struct InkBox {
  long long pixels = 0;
  Rect box;
};
InkBox inkWithin(const GrayImage& page, const RowRun& rows, const ColumnSpan& columns);
// The block of ink that holds the ink within `box`: grown over the rows of
// ink above and below it up to a blank row, and over the ink beside it up
// to a blank `gapHeights` times its height, until it grows no more. The box
// itself where it holds no ink.
Rect inkBlockAround(const GrayImage& page, const Rect& box, int gapHeights);
// The ink within `glyph` as a key that only the same glyph drawn the same
// way shares: the size of its ink's box and which pixels there are ink. Empty
// where it holds none.
std::string glyphPrint(const GrayImage& page, const Rect& glyph);
// Whether the glyph's ink is narrower than seven eighths of its height:
// a proportional font's zero (a bold one's four fifths, "web-01" in a
// window's title), where its O is about as wide as tall.
bool narrowRing(const GrayImage& page, const Rect& glyph);
// The widest run of columns within `columns` (clamped to the page) that
// holds no ink in `rows`.
int widestBlank(const GrayImage& page, const RowRun& rows, const ColumnSpan& columns);
// `columns` grown over the ink beside them in `rows` up to a blank wider
// than `gap`: a glyph the layout left out of a word's end.
ColumnSpan grownOverInkBeside(const GrayImage& page, const RowRun& rows, const ColumnSpan& columns, int gap);

// Cuts a page into at most `parts` bands of similar height, only through rows
// without ink, so that no text line is split. Returns the cut rows.
std::vector<int> bandCuts(const std::vector<RowRun>& runs, int height, int parts);

// Rows [top, bottom) of the bilinear enlargement by an integer factor
// (clamped to it), pixel for pixel, without the rest.
GrayImage scaleUpRows(const GrayImage& image, int factor, int top, int bottom);

}  // namespace kestrova::desktop::tesseract

namespace kestrova::desktop::tesseract {

// A recognized line where the screen shows it, and the region it was read in.
struct PlacedLine {
  Rect box;
  int region = 0;
  bool number = false;  // digits only: a line or row number
  int words = 1;        // running text has many, a table's cells few
  int window = -1;      // the title bar whose window it lies in, -1 when none
  bool title = false;   // read in that bar
};

// Places each line in the window of a title bar (`bars`, top to bottom not
// required): lines read in bar i (regions from `firstBarRegion`) are its
// title; any other lies in the window of the nearest bar above the top of
// its region whose columns hold its middle, but none whose bar is higher
// than that of its region's top line. Measured from the region's top, a
// page's lines below a dialog stay in the page's window; a terminal's columns
// below a window that hides the right of its bar stay in the terminal's.
void placeInWindows(std::vector<PlacedLine>& lines, const std::vector<Rect>& bars, int firstBarRegion);

// The lines in reading order, as indices: cut the screen where a blank band
// runs across all the lines, first across (title bars, status bars, one row
// after another), then down (a sidebar beside its panel, columns), and so on
// within each part; but panels side by side, of regions of their own and
// level at the top, are cut down first (a list of chats beside the
// messages, whose rows' gaps line up). No cut separates the lines of one region from each other
// while other regions' lines share the part (a chat's bubbles lie between its
// panel's names), unless it cuts down between columns of that region standing
// side by side (a sidebar and a page of one background) or across before a
// chat's turn (a sender level with its bubble, three turns or more). Columns that are one
// table (cells level with each other; numbers beside the lines they number)
// are read row by row; where no cut remains, a window lying on top of other
// text (a dialog, the lines beside it cut off by its frame) is read after that
// text, and otherwise rows top to bottom, each left to right. Rows set off
// from the rest that stand in columns each holding paragraphs are a page's
// columns of text, read column by column. Lines in two windows or more are
// read window by window first, topmost first (overlapping terminals, whose
// lines no blank band parts), each window's lines as above.
std::vector<std::size_t> readingOrder(const std::vector<PlacedLine>& lines);

// Whether a line repeats another's read: regions' pages overlap where an
// area's edge cuts through a row (a sheet's column letters under a
// toolbar's edge), and the same ink read in two pages is the same text over
// most of the smaller box, in another region.
bool repeatsRead(const PlacedLine& line, const PlacedLine& other, bool sameText);

// Whether a line read after another continues its visual line: level with
// it and to its right (a line number and its code, a sheet's cells), or
// smaller and on its foot (a message's time beside the message), in the
// same window (a title is a line of its own beside another window's line).
bool continuesLine(const PlacedLine& before, const PlacedLine& after);

}  // namespace kestrova::desktop::tesseract
