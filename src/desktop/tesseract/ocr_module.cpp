// kestrova-ocr.so: the only code that links Tesseract. Cuts the screen into
// text regions, recognizes them on a few engines at once and hands the lines
// back in reading order.
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <malloc.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <iterator>
#include <limits>
#include <map>
#include <unordered_map>
#include <memory>
#include <new>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "desktop/tesseract/image_analysis.h"
#include "desktop/tesseract/line_text.h"
#include "desktop/tesseract/module_interface.h"

namespace kestrova::desktop::tesseract {
namespace {

constexpr const char* kEnglish = "eng";
// Where Debian, Fedora, Arch and source builds keep Tesseract's data.
constexpr const char* kDataDirs[] = {
    "/usr/share/tesseract-ocr/5/tessdata", "/usr/share/tesseract-ocr/4.00/tessdata", "/usr/share/tessdata",
    "/usr/local/share/tessdata",           "/usr/local/share/tesseract-ocr/tessdata",
};
// Enlarging 2x makes small screen text far more legible to the model: on a
// screen of dense 13 px logs word recall 0.81 -> 0.98, underscores and hex
// digits above all, for about 60% more CPU time. A whole 1920x1080 screen
// fits the budget; on larger screens regions are enlarged, smallest first,
// while their total stays within this many pixels, which bounds time and memory.
constexpr long long kEnlargeBudget = 2'200'000;
// Single column of variable-size text: unlike automatic segmentation it keeps
// a table's rows as lines (CER 0.77 -> 0.00 on the bench's table).
constexpr int kPageSegMode = ::tesseract::PSM_SINGLE_COLUMN;
// Pages are recognized in bands of about this many rows of the screen, cut
// between text lines: Tesseract's memory and its layout work grow with the
// page (full screen of text, one engine: 85 -> 62 MB and 6.7 -> 5.5 s CPU).
constexpr int kBandRows = 160;
// Engines at work together each hold a band, so theirs are smaller (full
// screen, two engines: 78 -> 73 MB at no measurable cost in time; 80 rows
// cost 2% more CPU for no less memory).
constexpr int kSharedBandRows = 100;
// A second engine costs about 14 MB and 0.1 s to start; it only pays when
// there is this much page to share (pixels, after enlargement).
constexpr long long kParallelPixels = 1'500'000;

// Words of one line this many heights of its words apart stand in different
// columns: wider than the gaps of a terminal's tables, narrower than a page's gutters.
constexpr int kColumnGapHeights = 2;

// Lines Tesseract rates below this are, on a desktop, window decoration read
// as text (gradient title bars, icons, window buttons). Measured: such
// decoration rates 44 or less on the tuning screens, nearly every real line 57 or more.
constexpr float kLeastLineConfidence = 45.0F;
// But a line with a word of this many letters or digits that Tesseract is
// sure of is text, whose other words it could not make out (a terminal's
// tab-spaced "ok  github. com/... 0.214s" rates 20, its "0.214s" 87): no
// decoration on the bench reads as such a word.
constexpr int kSureWordCharacters = 4;
constexpr float kSureWordConfidence = 80.0F;

// A title bar whose title the layout dropped, read again as a line, comes
// out with its buttons as marks, rated below this; lone tokens above it.
constexpr float kLeastTokenConfidence = 75.0F;
// Small text on a colour (an editor's status bar: "n 22, Col 17" for "Ln
// 22, Col 17"), or a few words beside wide blanks ("3d4h_) 10..42.1.17"),
// make a doubtful line, rated below this. Each of its pieces with a doubtful
// word is read again alone, larger, and that reading is kept where Tesseract
// is sure of it and surer than before, and it has as many words or only
// its spaces changed where the larger reading places them better. On a
// screen of terminals it costs 2.5% more instructions.
constexpr float kDoubtfulLineConfidence = 70.0F;
// A line cut into this many pieces at wide blanks at least is a row of cells.
constexpr std::size_t kLeastRowCells = 3;
constexpr float kSureAgainConfidence = 85.0F;
constexpr float kAgainGain = 10.0F;
constexpr int kAgainScale = 3;

// Heights, in screen pixels, of a lone token's run of ink rows.
constexpr int kLeastTokenRows = 5;
constexpr int kMostTokenRows = 48;
// Gaps, in heights of their row, across which ink where nothing else was
// read is still one line: a sheet's column letters stood 3 apart on the
// bench's sheet, and columns ten times as wide still keep them together.
constexpr int kFarthestTokenGapHeights = 40;
// Beside lines read, words this many heights apart are one token.
constexpr int kNearTokenGapHeights = 2;

struct Line {
  std::string text;
  float confidence;
  float leastWordConfidence;  // of its own words: a line may be read in pieces
  PlacedLine place;  // on the screen
  // One of a row of pieces far apart (a grid's names, a sheet's cells), which
  // the model read as one line, each word in the others' context.
  bool amongCells = false;
  Rect lastWord{};  // on the screen, as the model read it
  float lastWordConfidence = 100.0F;
};

// A text region to read, enlarged `scale` times. Its rows are enlarged
// only a band at a time, when read: the whole enlarged screen would cost
// 8 MB more at the peak, when both engines are at work.
struct Page {
  GrayImage image;  // not yet enlarged
  int scale;
  Rect bounds;  // on the screen
  int region;   // the text region it shows, kept together by the reading order

  // Title bars on the screen: a line read in one is a region of its own,
  // numbered from `firstBarRegion`, read before the window under it.
  std::vector<Rect> titleBars;
  int firstBarRegion = 0;
  // A title bar read the other way round, only when the first way found no title.
  bool secondReading = false;

  int width() const { return image.width * scale; }  // enlarged, as are all rows and columns below
  int height() const { return image.height * scale; }

  // Where columns [left, right) and rows [top, bottom) of the page lie on the screen.
  Rect onScreen(int left, int top, int right, int bottom) const {
    return {bounds.x + left / scale, bounds.y + top / scale, (right - left) / scale, (bottom - top) / scale};
  }
};

// Enlarged rows of a page, from row `top` on.
struct PageRows {
  GrayImage image;
  int top;

  // The rows' own coordinates of a row of the page.
  int at(int row) const { return row - top; }
};

// Rows [top, bottom) of a page, and what was read there.
struct Band {
  const Page* page;
  int top;
  int bottom;
  std::vector<Line> lines;
  std::vector<RowRun> inkRuns;  // of the page, within the band
  ColumnSpan columns{};         // read only these when not empty
  const PageRows* rows = nullptr;  // the band's, and some around it, while it is read
  // Whether an l read in the band has a foot bent right, unlike a 1's base:
  // its font tells the two apart by their feet.
  bool feetTellLFromOne = false;
  // Whether an l read in the band has no flag at its top, unlike a 1: its
  // font tells the two apart by their flags.
  bool flagTellsLFromOne = false;
  // The advance of the band's monospace lines, 0 if it has none.
  double monospaceAdvance = 0;
  // Whether it was told by all lines together, each too short alone: then
  // every line is of that font.
  bool everyLineMonospace = false;
  // How often the band's monospace glyphs were read as what, by their print.
  std::unordered_map<std::string, std::map<std::string, int>> readingsByPrint{};

  long long pixels() const {
    const int width = columns.right > columns.left ? columns.right - columns.left : page->width();
    return static_cast<long long>(bottom - top) * width;
  }
};

struct Deleter {
  void operator()(::tesseract::TessBaseAPI* api) const noexcept {
    api->End();
    delete api;
  }
  void operator()(char* text) const noexcept { delete[] text; }
  void operator()(::tesseract::ResultIterator* iterator) const noexcept { delete iterator; }
};
using Engine = std::unique_ptr<::tesseract::TessBaseAPI, Deleter>;

std::string findDataDir(const char* requested, std::string& error) {
  std::vector<std::string> dirs;
  if (requested != nullptr) {
    dirs.emplace_back(requested);
  } else {
    dirs.assign(std::begin(kDataDirs), std::end(kDataDirs));
  }
  std::error_code ignored;
  for (const std::string& dir : dirs) {
    if (std::filesystem::is_regular_file(std::filesystem::path(dir) / (std::string(kEnglish) + ".traineddata"), ignored)) {
      return dir;
    }
  }
  error = "Tesseract language data eng.traineddata not found in";
  for (const std::string& dir : dirs) error += " " + dir;
  return {};
}

// English, and the language of the user's locale (the first of LC_ALL,
// LC_MESSAGES and LANG that is set decides) when its model is installed.
std::string chooseLanguages(const std::string& dataDir) {
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      locale = value;
      break;
    }
  }
  const std::string language = tesseractLanguage(locale);
  std::error_code ignored;
  if (language.empty() ||
      !std::filesystem::is_regular_file(std::filesystem::path(dataDir) / (language + ".traineddata"), ignored)) {
    return kEnglish;
  }
  return std::string(kEnglish) + "+" + language;
}

Engine startEngine(const std::string& dataDir, const std::string& languages, const KestrovaOcrOptions& options) {
  // Tesseract writes its diagnostics to debug_file; it must be set while the
  // engine starts, or the first messages reach the tool's standard error.
  std::vector<std::string> names{"debug_file"};
  std::vector<std::string> values{"/dev/null"};
  if (options.noLanguageModel != 0) {
    for (const char* name : {"load_system_dawg", "load_freq_dawg"}) {
      names.emplace_back(name);
      values.emplace_back("0");
    }
  }
  Engine engine(new ::tesseract::TessBaseAPI());
  // Init's own variables arrive too late for the messages about unreadable
  // language data; debug_file is global, so it can be set beforehand.
  engine->SetVariable("debug_file", "/dev/null");
  if (engine->Init(dataDir.c_str(), languages.c_str(), ::tesseract::OEM_LSTM_ONLY, nullptr, 0, &names, &values,
                   false) != 0) {
    // A locale's model that will not load leaves English, which did.
    if (languages == kEnglish) return nullptr;
    return startEngine(dataDir, kEnglish, options);
  }
  const int mode = options.pageSegMode > 0 ? options.pageSegMode : kPageSegMode;
  engine->SetPageSegMode(static_cast<::tesseract::PageSegMode>(mode));
  return engine;
}

// The middle height of a line's words, which sets the gap between columns:
// a line Tesseract read across columns is as tall as all of them, and a word
// may be stretched over the line above (a large bold name beside a list).
int middleWordHeight(const ::tesseract::LTRResultIterator& line) {
  std::vector<int> heights;
  ::tesseract::LTRResultIterator words(line);
  do {
    int left = 0, top = 0, right = 0, bottom = 0;
    if (words.BoundingBox(::tesseract::RIL_WORD, &left, &top, &right, &bottom)) heights.push_back(bottom - top);
  } while (!words.IsAtFinalElement(::tesseract::RIL_TEXTLINE, ::tesseract::RIL_WORD) &&
           words.Next(::tesseract::RIL_WORD));
  if (heights.empty()) return 0;
  const auto middle = heights.begin() + static_cast<std::ptrdiff_t>(heights.size() / 2);
  std::nth_element(heights.begin(), middle, heights.end());
  return *middle;
}

// The word's symbols and where each stands; none when Tesseract gives no box.
std::vector<PlacedSymbol> symbolsOf(const ::tesseract::LTRResultIterator& word) {
  using ::tesseract::RIL_SYMBOL;
  std::vector<PlacedSymbol> placed;
  ::tesseract::LTRResultIterator symbols(word);
  do {
    std::unique_ptr<char, Deleter> symbol(symbols.GetUTF8Text(RIL_SYMBOL));
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!symbol || !symbols.BoundingBox(RIL_SYMBOL, &left, &top, &right, &bottom)) return {};
    placed.push_back({symbol.get(), left, right, top, bottom});
  } while (!symbols.IsAtFinalElement(::tesseract::RIL_WORD, RIL_SYMBOL) && symbols.Next(RIL_SYMBOL));
  return placed;
}

// Each word's symbols.
std::vector<std::vector<PlacedSymbol>> wordSymbolsOf(const ::tesseract::LTRResultIterator& line) {
  std::vector<std::vector<PlacedSymbol>> words;
  ::tesseract::LTRResultIterator eachWord(line);
  do {
    words.push_back(symbolsOf(eachWord));
  } while (!eachWord.IsAtFinalElement(::tesseract::RIL_TEXTLINE, ::tesseract::RIL_WORD) &&
           eachWord.Next(::tesseract::RIL_WORD));
  return words;
}

// Where a symbol's glyph stands in the band's enlarged rows, and its shape as a stem.
Rect glyphOf(const PlacedSymbol& symbol, const Band& band) {
  return {symbol.left, band.rows->at(band.top) + symbol.top, symbol.right - symbol.left, symbol.bottom - symbol.top};
}
StemShape stemOf(const PlacedSymbol& symbol, const Band& band) {
  return stemShape(band.rows->image, glyphOf(symbol, band));
}

// Whether the symbol is an l whose foot is bent right, unlike a 1's base.
bool footBentRight(const PlacedSymbol& symbol, const Band& band) {
  if (symbol.text != "l") return false;
  const StemShape shape = stemOf(symbol, band);
  return flagged(shape) && footReaches(shape, false);
}

// Whether the symbol's box, one glyph wide, reaches below the `baseline`
// (of the line's `ascent`), as an @'s ring does and an a's or an e's alone never.
bool descends(const PlacedSymbol& symbol, const Band& band, int baseline, int ascent) {
  const Rect glyph = glyphOf(symbol, band);
  return glyph.width <= ascent && glyph.bottom() > baseline + std::max(2, ascent / 8);
}

// Whether the page holds no ink at all where the symbol was read: in a
// wide blank between a terminal's columns the model may make up marks
// ("3d4h =: 10.42.1.17"). A glyph the model boxed as a sliver beside its
// ink (the first t of "CMakeLists.txt", a pixel wide after the period) is
// looked for a few pixels either side.
bool blankUnder(const PlacedSymbol& symbol, const Band& band) {
  const Rect glyph = glyphOf(symbol, band);
  const int reach = glyph.width < 2 * band.page->scale ? 2 * band.page->scale : 0;
  return inkWithin(band.rows->image, {glyph.y, glyph.bottom()}, {glyph.x - reach, glyph.right() + reach}).pixels == 0;
}

// The blank columns between each symbol's middle and the start of the one
// before, in the word's rows of the band: the model's boxes may lag right
// of their ink, over the blank after it ("Col 3" read "Col3", its l boxed
// over the space).
std::vector<int> inkBlanks(const std::vector<PlacedSymbol>& symbols, const Band& band, int wordTop, int wordBottom) {
  const int top = band.rows->at(band.top) + wordTop;
  std::vector<int> blanks(symbols.size(), 0);
  for (std::size_t i = 1; i < symbols.size(); ++i) {
    blanks[i] = widestBlank(band.rows->image, {top, top + wordBottom - wordTop + 1},
                            {symbols[i - 1].left, static_cast<int>(symbols[i].middle())});
  }
  return blanks;
}

// What Tesseract reads a monospace zero, a ring around a mark, as besides O
// ("eth0" as "etho", "nvme0n1" as "nvme@n1", a lone 0 as "©").
constexpr std::string_view kZeroLookAlikes[] = {"o", "@", "Q", "d", "D", "\u00A9", "\u00AE"};
// What Tesseract reads a period at a word's start as (".bashrc" as "-bashrc").
constexpr std::string_view kPeriodLookAlikes[] = {"-", ",", "'", "\u2018", "\u2019", "\u201C", "\u201D", "\u00AB", "\u00BB"};
// The first bytes of their UTF-8, and of the other look-alikes'.
constexpr const char* kLookAlikeBytes = "LOo@QdDaei\xC2-,'\xE2";

// Whether the symbol is one character of a kind.
bool oneCharacterOf(const PlacedSymbol& symbol, int (*kind)(int)) {
  return symbol.text.size() == 1 && kind(static_cast<unsigned char>(symbol.text[0])) != 0;
}

// Whether symbol i (none past either end) is one character of a kind.
bool symbolIs(const std::vector<PlacedSymbol>& symbols, std::size_t i, int (*kind)(int)) {
  return i < symbols.size() && oneCharacterOf(symbols[i], kind);
}

// Letters of a monospace font that Tesseract reads as their look-alikes
// are themselves again, by their shape: an l flagged at its top read as L
// ("omar@Lab", "import Logging"), a 1 read as i, flagged and without a dot
// ("budget_qi"), a 1 read as l where the font's l has a
// foot bent right ("mailq -l") and such an l read as 1 ("ls -1"), a dotted
// zero read as O ("Swap: 2.0Gi OB") or as another round glyph ("eth0" as
// "etho"); and in a proportional font, a zero read as O beside a digit
// ("river_O1.jpg"), which is narrower than the font's O, and where the
// font's l has no flag, a flagged 1 with its foot read as l beside a digit
// or such a zero ("data_Ol.csv"), or anywhere in a line whose own l's are
// bare stems (`flagTellsInLine`: "Al - Opening.flac"). A word's first
// mark that is a dot on the `baseline` (of the line's `ascent`) is a period.
// Returns whether any was.
bool mendLookAlikes(std::vector<PlacedSymbol>& symbols, const Band& band, bool monospace, bool feetTell,
                    bool flagTellsInLine, int baseline, int ascent) {
  const auto is = [&](std::size_t i, int (*kind)(int)) { return symbolIs(symbols, i, kind); };
  const auto narrowO = [&](std::size_t i) {
    return i < symbols.size() && symbols[i].text == "O" && narrowRing(band.rows->image, glyphOf(symbols[i], band));
  };
  // Beside a digit or a zero read as O: a number's 1 read as l ("data_Ol").
  const auto besideNumber = [&](std::size_t i) {
    return is(i - 1, isdigit) || is(i + 1, isdigit) || narrowO(i - 1) || narrowO(i + 1);
  };
  // An L between capitals ("MAX_DELAY") is no l: the capital before it may
  // reach into its box with an arm, which would look like an l's flag; so
  // may a 7's bar in a proportional font ("1257L"), whose l has no flag.
  const auto armBefore = [&](std::size_t i) {
    return i > 0 && ((is(i - 1, isupper) && is(i + 1, isupper)) || (!monospace && is(i - 1, isdigit)));
  };
  // Whether the word, holding no @, is a shell's prompt with one at symbol i
  // ("rootamesa:~$": a box that descends is no proof alone, an a's beside an
  // underscore reaches down to it).
  const auto promptWithAt = [&](std::size_t i) {
    std::string text;
    for (std::size_t j = 0; j < symbols.size(); ++j) {
      if (symbols[j].text == "@") return false;
      text += j == i ? "@" : symbols[j].text;
    }
    return holdsShellPrompt(text);
  };
  // A stem's foot stands on the baseline: an underscore after a 1, below
  // it, would look like an l's foot bent right ("atlas_3.4.1_linux").
  const auto stemAboveBaseline = [&](const PlacedSymbol& symbol) {
    Rect glyph = glyphOf(symbol, band);
    glyph.height = std::min(glyph.height, baseline + 1 - glyph.y);
    return stemShape(band.rows->image, glyph);
  };
  // A word's first O before a small letter starts a word ("Owner", "Open"),
  // however its box lags onto the next glyph; a number's 0 comes before an
  // x at most ("0x1f").
  const auto capitalStartingWord = [&](std::size_t i) {
    return i == 0 && is(1, islower) && symbols[1].text != "x";
  };
  // An f's top stands as high as the line's capitals, an r's at its small letters'.
  const auto ascender = [&](const PlacedSymbol& symbol) {
    const Rect glyph = glyphOf(symbol, band);
    const InkBox ink = inkWithin(band.rows->image, {glyph.y, glyph.bottom()}, {glyph.x, glyph.right()});
    return ink.pixels > 0 && 5 * (baseline - ink.box.y) >= 4 * ascent;
  };
  // One pass over the symbols; whether it mended any.
  const auto mendPass = [&] {
    bool any = false;
    for (std::size_t i = 0; i < symbols.size(); ++i) {
      PlacedSymbol& symbol = symbols[i];
      const char* itself = nullptr;
      // A digit on one side, or a number's decimals after ("util-O.11"), and
      // no small letter on the other ("transcript_LO1"; "CO2" keeps its O,
      // which is no narrow ring). Between small letters, in a word with
      // digits, an O is no capital either ("nvmeOn1p3").
      const bool digitAfter =
          is(i + 1, isdigit) || (i + 2 < symbols.size() && symbols[i + 1].text == "." && is(i + 2, isdigit));
      const bool besideDigit = (is(i - 1, isdigit) && !is(i + 1, islower)) || (digitAfter && !is(i - 1, islower));
      const auto amidSmallLetters = [&] {
        return is(i - 1, islower) && is(i + 1, islower) &&
               std::ranges::any_of(symbols, [](const PlacedSymbol& other) { return oneCharacterOf(other, isdigit); });
      };
      if (symbol.text == "O" && !monospace && (besideDigit || amidSmallLetters()) &&
          narrowRing(band.rows->image, glyphOf(symbol, band))) {
        itself = "0";
      } else if (symbol.text == "L" && !armBefore(i) &&
                 flagged(stemShape(band.rows->image, glyphOf(symbol, band), /*flagBeyondBox=*/monospace))) {
        itself = "l";
      } else if ((symbol.text == "a" || symbol.text == "e") && monospace && descends(symbol, band, baseline, ascent) &&
                 promptWithAt(i)) {
        itself = "@";
      } else if (i == 0 && is(1, isalnum) &&
                 std::find(std::begin(kPeriodLookAlikes), std::end(kPeriodLookAlikes), symbol.text) !=
                     std::end(kPeriodLookAlikes) &&
                 dotOnBaseline(band.rows->image, glyphOf(symbol, band), baseline, ascent)) {
        itself = ".";
      } else if (symbol.text == "i" && flagged(stemOf(symbol, band)) &&
                 !dotAbove(band.rows->image, glyphOf(symbol, band))) {
        itself = "1";
      } else if (symbol.text == "i" && ascender(symbol) && hooksRight(band.rows->image, glyphOf(symbol, band)) &&
                 !dotAbove(band.rows->image, glyphOf(symbol, band))) {
        itself = "f";
      } else if (symbol.text == "/" && monospace && barOnTop(band.rows->image, glyphOf(symbol, band))) {
        itself = "7";
      } else if (symbol.text == "l" &&
                 (feetTell || (!monospace && ((band.flagTellsLFromOne && besideNumber(i)) || flagTellsInLine)))) {
        const StemShape shape = stemAboveBaseline(symbol);
        if (flagged(shape) && footReaches(shape, true)) itself = "1";
      } else if (symbol.text == "1" && feetTell) {
        const StemShape shape = stemAboveBaseline(symbol);
        if (flagged(shape) && footReaches(shape, false)) itself = "l";
      } else if (symbol.text == "O" && !capitalStartingWord(i) && inkAtMiddle(band.rows->image, glyphOf(symbol, band))) {
        itself = "0";
      } else if (std::find(std::begin(kZeroLookAlikes), std::end(kZeroLookAlikes), symbol.text) !=
                     std::end(kZeroLookAlikes) &&
                 markedRing(band.rows->image, glyphOf(symbol, band))) {
        itself = "0";
      }
      if (itself != nullptr) {
        symbol.text = itself;
        any = true;
      }
    }
    return any;
  };
  // Twice: a digit mended may stand beside another look-alike ("Ol": 1, then 0).
  const bool mended = mendPass();
  if (mended) mendPass();
  return mended;
}

// A space the model left out between two words of small proportional text
// ("Forteachers" among a page's links, "Vinylrips" in a breadcrumb): a blank
// across the small letters' rows at least half their height wide and far
// wider than the word's other blanks. Measured on the ink, not the boxes,
// which may lag onto a neighbour. The word with the space put in, or empty.
constexpr double kSpaceOverLetterBlank = 2.5;

std::string spacedAtWideBlank(const std::vector<PlacedSymbol>& symbols, const Band& band, int smallTop, int baseline) {
  const int height = baseline - smallTop;
  if (symbols.size() < 4 || height < 4) return {};
  std::vector<ColumnSpan> blanks;
  bool inked = false;
  for (int x = symbols.front().left; x < symbols.back().right; ++x) {
    if (inkWithin(band.rows->image, {smallTop, baseline}, {x, x + 1}).pixels > 0) {
      inked = true;
    } else if (inked) {
      if (blanks.empty() || blanks.back().right != x) blanks.push_back({x, x});
      blanks.back().right = x + 1;
    }
  }
  // The last blank ran on past the ink.
  if (!blanks.empty() && blanks.back().right == symbols.back().right) blanks.pop_back();
  if (blanks.size() < 3) return {};
  std::vector<int> widths;
  for (const ColumnSpan& blank : blanks) widths.push_back(blank.right - blank.left);
  std::ranges::sort(widths);
  const double least = std::max(kSpaceOverLetterBlank * widths[widths.size() / 2], height / 2.0);
  // Between small letters, two at least on either side: beside a capital
  // (a T's stem under its bar) the small letters' rows are blank far wider,
  // and an abbreviation run into its word ("APlreference") is mended whole
  // elsewhere.
  const auto small = [&](std::size_t i) { return symbolIs(symbols, i, islower); };
  const auto between = [&](std::size_t i) {
    return i >= 2 && i + 2 <= symbols.size() && small(i - 2) && small(i - 1) && small(i) && small(i + 1);
  };
  return spacedWhere(symbols, [&](std::size_t i) {
    return between(i) && std::ranges::any_of(blanks, [&](const ColumnSpan& blank) {
      const double middle = (blank.left + blank.right) / 2.0;
      return blank.right - blank.left >= least && middle > symbols[i - 1].middle() && middle < symbols[i].middle();
    });
  });
}

// A percent sign read as an s or an S ("sCpu(s)" for top's "%Cpu(s)"), and
// in a rule of equals signs, one read as an s ("sssss===="). Only beside
// them: a slice of an s that the model boxed narrow may look like one.
// Returns whether any was.
bool mendMarksReadAsS(std::vector<PlacedSymbol>& symbols, const Band& band) {
  const bool amongEquals = std::ranges::any_of(symbols, [](const PlacedSymbol& symbol) { return symbol.text == "="; });
  bool mended = false;
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    PlacedSymbol& symbol = symbols[i];
    if (symbol.text != "s" && symbol.text != "S") continue;
    const Rect glyph = glyphOf(symbol, band);
    const bool equals = amongEquals && equalsShaped(band.rows->image, glyph);
    // Between two letters an s it is: a small bold s's counters close into
    // two rings ("Clo%e" on a button).
    const bool withinWord = i > 0 && symbolIs(symbols, i - 1, isalpha) && symbolIs(symbols, i + 1, isalpha);
    const char* itself = !withinWord && percentShaped(band.rows->image, glyph) ? "%" : equals ? "=" : nullptr;
    if (itself == nullptr) continue;
    symbol.text = itself;
    mended = true;
  }
  return mended;
}

// Each `read` symbol whose glyph has the `shape` of what it `is`, made
// that. Returns whether any was.
bool mendByShape(std::vector<PlacedSymbol>& symbols, const Band& band, std::string_view read, const char* is,
                 bool (*shape)(const GrayImage&, const Rect&)) {
  bool mended = false;
  for (PlacedSymbol& symbol : symbols) {
    if (symbol.text != read || !shape(band.rows->image, glyphOf(symbol, band))) continue;
    symbol.text = is;
    mended = true;
  }
  return mended;
}

// Each I whose glyph is a dotted stem, made an i. The model's box may
// leave the dot out ("It." for "it." alone on a paragraph's last line): the
// glyph is looked at up to the line's top. Ink above a capital's box may
// look like a dot over it ("LICENSE" under a line's descenders): an i's
// stem starts below the tops of the other letters of its word.
bool mendDottedIs(std::vector<PlacedSymbol>& symbols, const Band& band, int lineTop) {
  // Among three capitals or more and no small letter, an I is a capital:
  // a mark of the line above may stand over it ("FAiLED" under pytest's dots).
  const auto capitals = std::ranges::count_if(
      symbols, [](const PlacedSymbol& s) { return oneCharacterOf(s, isupper) && s.text != "I"; });
  const bool smallLetters =
      std::ranges::any_of(symbols, [](const PlacedSymbol& s) { return oneCharacterOf(s, islower); });
  if (capitals >= 3 && !smallLetters) return false;
  bool mended = false;
  for (PlacedSymbol& symbol : symbols) {
    if (symbol.text != "I") continue;
    int lettersTop = std::numeric_limits<int>::max();
    for (const PlacedSymbol& other : symbols) {
      if (&other != &symbol && other.text.size() == 1 && std::isalpha(static_cast<unsigned char>(other.text[0])) != 0) {
        lettersTop = std::min(lettersTop, other.top);
      }
    }
    if (lettersTop == std::numeric_limits<int>::max()) continue;
    Rect glyph = glyphOf(symbol, band);
    const int bandTop = band.rows->at(band.top);
    const int top = bandTop + std::min(lineTop, symbol.top);
    glyph.height += glyph.y - top;
    glyph.y = top;
    const std::optional<int> stemTop = dottedStemTop(band.rows->image, glyph);
    if (!stemTop || *stemTop <= bandTop + lettersTop) continue;
    symbol.text = "i";
    mended = true;
  }
  return mended;
}

// Whether a word stands between the words `before` and `after` of a
// sentence: after a small letter or a comma, before a small letter. Alone,
// a bar is a window's edge or a column's rule.
bool withinSentence(const std::vector<PlacedSymbol>& before, const std::vector<PlacedSymbol>* after) {
  if (before.empty() || before.back().text.empty() || after == nullptr || after->empty() ||
      after->front().text.empty()) {
    return false;
  }
  const std::string& last = before.back().text;
  return (isLower(last.back()) || last == "," || last == ";") && isLower(after->front().text.front());
}

// A word that is one bar, its ink standing on the `baseline` (of the line's
// `ascent`), is a capital I ("the list, | pass the shop"): a font's bar
// reaches below the baseline as far as its descenders. Returns whether it was.
bool mendBarReadForI(std::vector<PlacedSymbol>& symbols, const Band& band, int baseline, int ascent) {
  if (symbols.size() != 1) return false;
  const Rect glyph = glyphOf(symbols.front(), band);
  const InkBox ink =
      inkWithin(band.rows->image, {glyph.y, std::max(glyph.bottom(), baseline + ascent / 2)}, {glyph.x, glyph.right()});
  if (ink.pixels == 0 || ink.box.bottom() > baseline + std::max(2, ascent / 10)) return false;
  symbols.front().text = "I";
  return true;
}

// A bar's box may stand over more rows than its ink ("size|_b": an
// underscore's line at the foot of an upright box): its rows become its ink's.
void fitBarsToTheirInk(std::vector<PlacedSymbol>& symbols, const Band& band) {
  for (PlacedSymbol& symbol : symbols) {
    if (symbol.text != "|" || symbol.bottom <= symbol.top) continue;
    const Rect glyph = glyphOf(symbol, band);
    const InkBox ink = inkWithin(band.rows->image, {glyph.y, glyph.bottom()}, {glyph.x, glyph.right()});
    if (ink.pixels == 0) continue;
    symbol.top += ink.box.y - glyph.y;
    symbol.bottom = symbol.top + ink.box.height;
  }
}

// An underscore the model read as a period ("apply.discount"): the ink
// under the period's box is one bar, unbroken across and lying flat, where a
// period's is square. That box spans the cell in monospace text and may take
// in the foot of the glyph beside it, which leaves a break.
bool mendFlatPeriods(std::vector<PlacedSymbol>& symbols, const Band& band) {
  constexpr int kFlatWidthHeights = 3;
  bool mended = false;
  for (PlacedSymbol& symbol : symbols) {
    if (symbol.text != ".") continue;
    const Rect glyph = glyphOf(symbol, band);
    const InkBox ink = inkWithin(band.rows->image, {glyph.y, glyph.bottom()}, {glyph.x, glyph.right()});
    if (ink.pixels == 0 || ink.box.width < kFlatWidthHeights * ink.box.height ||
        widestBlank(band.rows->image, {ink.box.y, ink.box.bottom()}, {ink.box.x, ink.box.right()}) > 0) {
      continue;
    }
    symbol.text = "_";
    mended = true;
  }
  return mended;
}

// Whether the word ends with a closing quote that none of its symbols opens.
bool endsWithUnopenedQuote(const std::vector<PlacedSymbol>& symbols) {
  const auto opening = [](const PlacedSymbol& symbol) {
    return symbol.text == "\u2018" || symbol.text == "\u201C" || symbol.text == "'" || symbol.text == "\"";
  };
  return !symbols.empty() && (symbols.back().text == "\u2019" || symbols.back().text == "\u201D") &&
         std::none_of(symbols.begin(), symbols.end() - 1, opening);
}

// Capitals that are their small letters enlarged, or raised above the
// small letter's descender, which the model reads for the small letter at a
// line's or a word's start ("origin" as "Origin", "gcc -o" as "-O",
// "passport_scan" as "Passport_scan"); the small letters without
// ascenders, whose tops mark the line's x-height; and the glyphs whose tops
// mark a capital's, none of them a capital that may be a small letter read.
constexpr std::string_view kSameShapeCapitals = "COSVWXZPY";
constexpr std::string_view kXHeightLetters = "acemnorsuvwxz";
constexpr std::string_view kCapitalHeightGlyphs = "ABDEFGHIJKLMNQRTU0123456789bdfhkl";
// Below this many pixels between a line's capitals and its small letters,
// their tops do not tell one from the other.
constexpr int kLeastCapitalRise = 3;

// The top of the ink in the symbol's columns, in the band's enlarged rows
// from the line's `top` down to its `baseline`; none when blank.
std::optional<int> inkTopOf(const PlacedSymbol& symbol, const Band& band, int top, int baseline) {
  const InkBox ink = inkWithin(band.rows->image, {top, baseline}, {symbol.left, symbol.right});
  if (ink.pixels == 0) return std::nullopt;
  return ink.box.y;
}

// The middle top of the line's `glyphs`; none where it holds fewer than two.
std::optional<int> middleTopOf(const std::vector<std::vector<PlacedSymbol>>& words, std::string_view glyphs,
                               const Band& band, int top, int baseline) {
  std::vector<int> tops;
  for (const std::vector<PlacedSymbol>& word : words) {
    for (const PlacedSymbol& symbol : word) {
      if (symbol.text.size() != 1 || glyphs.find(symbol.text[0]) == std::string_view::npos) continue;
      if (const std::optional<int> inkTop = inkTopOf(symbol, band, top, baseline)) tops.push_back(*inkTop);
    }
  }
  if (tops.size() < 2) return std::nullopt;
  std::nth_element(tops.begin(), tops.begin() + static_cast<std::ptrdiff_t>(tops.size() / 2), tops.end());
  return tops[tops.size() / 2];
}

// Where a line's capitals and its small letters stop, in the band's enlarged rows.
struct LetterTops {
  int capital;
  int small;
};

// None where the line does not tell them apart. A box that lags onto a
// taller neighbour raises a small letter's top, so the two may come too
// close to tell, never too far apart.
std::optional<LetterTops> letterTopsOf(const std::vector<std::vector<PlacedSymbol>>& words, const Band& band,
                                       int top, int baseline) {
  const std::optional<int> capital = middleTopOf(words, kCapitalHeightGlyphs, band, top, baseline);
  const std::optional<int> small = middleTopOf(words, kXHeightLetters, band, top, baseline);
  if (!capital || !small || *small - *capital < kLeastCapitalRise) return std::nullopt;
  return LetterTops{*capital, *small};
}

// Whether symbol i stands in a run of zeros beside a small letter and no
// other digit: a font's old-style figures stand at the small letters'
// height too, but among digits ("2026"), where an o read as a zero stands
// among letters ("z00_giraffe.jpg").
bool zerosBesideSmallLetter(const std::vector<PlacedSymbol>& symbols, std::size_t i) {
  std::size_t first = i, last = i;
  while (first > 0 && symbols[first - 1].text == "0") --first;
  while (last + 1 < symbols.size() && symbols[last + 1].text == "0") ++last;
  const bool digitBeside = (first > 0 && symbolIs(symbols, first - 1, isdigit)) || symbolIs(symbols, last + 1, isdigit);
  const bool smallBeside = (first > 0 && symbolIs(symbols, first - 1, islower)) || symbolIs(symbols, last + 1, islower);
  return smallBeside && !digitBeside;
}

// A same-shape capital whose ink stops nearer the line's small letters'
// tops than its capitals' is the small letter, and so is a zero among
// small letters. Returns whether any was mended.
bool mendCapitalsAtXHeight(std::vector<PlacedSymbol>& symbols, const Band& band, int top, int baseline,
                           const LetterTops& tops) {
  const auto atXHeight = [&](const PlacedSymbol& symbol) {
    const std::optional<int> inkTop = inkTopOf(symbol, band, top, baseline);
    // Two thirds of the way down: a small letter's round top overshoots.
    return inkTop && 3 * (*inkTop - tops.capital) >= 2 * (tops.small - tops.capital);
  };
  const auto atCapitalHeight = [&](const PlacedSymbol& symbol) {
    const std::optional<int> inkTop = inkTopOf(symbol, band, top, baseline);
    return inkTop && 3 * (*inkTop - tops.capital) <= tops.small - tops.capital;
  };
  bool mended = false;
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    PlacedSymbol& symbol = symbols[i];
    if (symbol.text.size() != 1) continue;
    if (kSameShapeCapitals.find(symbol.text[0]) != std::string_view::npos && atXHeight(symbol)) {
      symbol.text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(symbol.text[0])));
      mended = true;
    } else if (symbol.text == "0" && zerosBesideSmallLetter(symbols, i) && atXHeight(symbol)) {
      symbol.text = "o";
      mended = true;
    } else if (symbol.text == "o" && symbolIs(symbols, i - 1, islower) && symbolIs(symbols, i + 1, isdigit) &&
               atCapitalHeight(symbol)) {
      symbol.text = "0";  // a host's number ("db01" read "dbo1")
      mended = true;
    } else if (symbol.text == "Q" && atXHeight(symbol)) {
      // A g's tail curls back under its bowl; a q's stem drops straight at its right.
      const int descent = (baseline - tops.small) / 2;
      const ColumnSpan leftHalf{symbol.left, (symbol.left + symbol.right) / 2};
      const RowRun tail{baseline + 1 + descent / 2, baseline + 1 + descent};
      symbol.text = inkWithin(band.rows->image, tail, leftHalf).pixels > 0 ? "g" : "q";
      mended = true;
    }
  }
  return mended;
}

// A $ rises above a line's small letters, halfway to its capitals at least,
// and its stroke down the middle reaches below its baseline, where an s or
// an S does not (an underscore beside one may reach under its sides).
bool dollarShaped(const PlacedSymbol& symbol, const Band& band, int top, int baseline, const LetterTops& tops) {
  const std::optional<int> inkTop = inkTopOf(symbol, band, top, baseline);
  const int descent = (baseline - tops.small) / 2;
  const int third = (symbol.right - symbol.left) / 3;
  const ColumnSpan middle{symbol.left + third, symbol.right - third};
  // Past the pixel or two a round glyph's curve overshoots the baseline.
  const int overshoot = std::max(1, descent / 4);
  const bool below = inkWithin(band.rows->image, {baseline + 1 + overshoot, baseline + 1 + descent}, middle).pixels > 0;
  return inkTop && 2 * (*inkTop - tops.capital) <= tops.small - tops.capital && below;
}

// A prompt's closing "$" read as an s ("leo@harbor:~/apps/ledgers"), by
// its shape. Returns whether it was.
bool mendPromptDollar(std::vector<PlacedSymbol>& symbols, const Band& band, int top, int baseline,
                      const LetterTops& tops) {
  std::string word;
  for (const PlacedSymbol& symbol : symbols) word += symbol.text;
  if (symbols.empty() || symbols.back().text != "s" || holdsShellPrompt(word)) return false;
  word.back() = '$';
  if (!holdsShellPrompt(word) || !dollarShaped(symbols.back(), band, top, baseline, tops)) return false;
  symbols.back().text = "$";
  return true;
}

// A variable's $ in code read as an S ("SBACKUP_DIR" for "$BACKUP_DIR" in
// a shell script), by its shape. Returns whether any was.
bool mendDollarsReadAsS(std::vector<PlacedSymbol>& symbols, const Band& band, int top, int baseline,
                        const LetterTops& tops) {
  bool mended = false;
  for (PlacedSymbol& symbol : symbols) {
    if (symbol.text != "S" || !dollarShaped(symbol, band, top, baseline, tops)) continue;
    symbol.text = "$";
    mended = true;
  }
  return mended;
}

// A closing quote the model makes up after a word ("Tools" read "Tools’" in
// a menu bar, its box a pixel wide at the s's edge) has no ink of its own:
// a quote's stands above the line's small letters, and none does there, in
// its box or `reach` pixels past it, where a box that lags its glyph leaves
// it. Returns whether it went.
bool dropMadeUpClosingQuote(std::vector<PlacedSymbol>& symbols, const Band& band, const LetterTops& tops,
                            int reach) {
  if (symbols.size() < 2 || !endsWithUnopenedQuote(symbols)) return false;
  const PlacedSymbol& quote = symbols.back();
  if (inkWithin(band.rows->image, {tops.capital, tops.small - 1}, {quote.left, quote.right + reach}).pixels > 0) {
    return false;
  }
  symbols.pop_back();
  return true;
}

// The model's boxes may lag their glyphs in a monospace line and open a
// space the ink does not have ("mika@studio: ~/work", the colon's box over
// the blank before it). Words in neighbouring cells leave less than a cell
// blank between them; a space leaves a cell and the glyphs' sides. The
// blank is measured in the half of the line above the baseline, where all
// glyphs but a few marks high in their cells have ink: beside such a mark
// the blank looks wider, and the space stays. So it is measured between the
// words' facing glyphs only, not beside a quote further in ("\"sshd\",").
constexpr double kLeastSpaceAdvances = 0.9;

bool lessThanACellBlank(const Band& band, int top, int baseline, const ColumnSpan& words, double advance) {
  const int blank = widestBlank(band.rows->image, {baseline - (baseline - top) / 2, baseline}, words);
  return blank < kLeastSpaceAdvances * advance;
}

// How many cells of a monospace line's `advance` the word's ink spans,
// from its first box to its last; none where it has no ink.
std::optional<std::size_t> cellsSpanned(const std::vector<PlacedSymbol>& symbols, const Band& band, double advance,
                                        int top, int bottom) {
  const int rows = band.rows->at(band.top);
  // Not a pixel beyond the boxes: a neighbour's underscore reaches up to them.
  const InkBox ink =
      inkWithin(band.rows->image, {rows + top, rows + bottom + 1}, {symbols.front().left, symbols.back().right});
  if (ink.pixels == 0) return std::nullopt;
  return static_cast<std::size_t>(std::ceil(ink.box.width / advance));
}

// Straight quotes, which the model reads as curly ones ("KeyError:
// ‘cache_key’" in a terminal, “quarterly-report.odt” in a dialog), where
// their strokes stand upright, in the upper part of the line that a quote
// keeps to and the letters beside it go on below. In a proportional line
// only double ones: a small curly apostrophe may lean too little to tell.
// Returns whether any was.
bool straightenUprightQuotes(std::vector<PlacedSymbol>& symbols, const Band& band, int top, int baseline,
                             bool monospace) {
  const int rows = band.rows->at(band.top);
  const int bottom = rows + top + (baseline - top) * 3 / 5;
  bool straightened = false;
  for (PlacedSymbol& symbol : symbols) {
    const bool single = monospace && (symbol.text == "\u2018" || symbol.text == "\u2019");
    const bool pair = symbol.text == "\u201C" || symbol.text == "\u201D";
    if ((!single && !pair) || !uprightTicks(band.rows->image, glyphOf(symbol, band), bottom)) continue;
    symbol.text = single ? "'" : "\"";
    straightened = true;
  }
  return straightened;
}

// A monospace backtick (a template string's, a shell's command, Markdown's
// code), a short stroke at the top of its cell, which the model reads as an
// asterisk or a degree sign ("fetch(*/api/users*)"), as a curly quote or a
// tilde ("Run “make dist~"): a mark narrower than half a cell, at the
// letters' top. An asterisk is wider, in DejaVu, Liberation and Nimbus Mono
// alike; a degree sign's ring is blank at its middle. A quote's stroke or a
// tilde read may be one, where its one stroke leans down to the right: a
// straight quote's stands upright, a curly one's tail leans the other way.
// Returns whether any was.
bool mendBackticks(std::vector<PlacedSymbol>& symbols, const Band& band, double advance, int top, int baseline) {
  static constexpr std::array<std::string_view, 5> kStrokesReadForBackticks{"\u2018", "\u2019", "\u201C", "\u201D",
                                                                             "~"};
  const int rows = band.rows->at(band.top);
  const int ascent = baseline - top;
  bool mended = false;
  for (PlacedSymbol& symbol : symbols) {
    const bool mark = symbol.text == "*" || symbol.text == "\u00B0";
    const bool stroke = std::ranges::find(kStrokesReadForBackticks, symbol.text) != kStrokesReadForBackticks.end();
    if (!mark && !stroke) continue;
    const InkBox ink = inkWithin(band.rows->image, {rows + top, rows + baseline}, {symbol.left, symbol.right});
    const Rect& box = ink.box;
    if (ink.pixels == 0 || 4 * (box.y - rows - top) > ascent) continue;
    // A stroke read may be boxed with the bracket after it.
    const bool backtick =
        mark ? 2 * box.width <= advance &&
                   band.rows->image.at(box.x + box.width / 2, box.y + box.height / 2) < 255 - kInkContrast
             : backtickStroke(band.rows->image, box, rows + top + ascent * 3 / 5, static_cast<int>(advance / 2));
    if (!backtick) continue;
    symbol.text = "`";
    mended = true;
  }
  return mended;
}

// A hexadecimal number's f, which the model reads as a # at or near its
// start ("f9d4764" read "#9d4764", a commit in a log), where the glyph stands
// on one stem: the word, read with an f there, is hexadecimal digits only,
// seven or more, two of them decimal. Returns whether any was.
bool mendHashInHex(std::vector<PlacedSymbol>& symbols, const Band& band) {
  std::string hex;
  for (const PlacedSymbol& symbol : symbols) hex += symbol.text == "#" ? "f" : symbol.text;
  if (hex.size() != symbols.size() || !hexadecimalNumber(hex)) return false;
  bool mended = false;
  for (PlacedSymbol& symbol : symbols) {
    if (symbol.text != "#" || legsAtFoot(band.rows->image, glyphOf(symbol, band)) != 1) continue;
    symbol.text = "f";
    mended = true;
  }
  return mended;
}

// A lone 0 in a monospace line (a table's count: "Swap: 2047 0 2047")
// has no neighbours to tell it by, and the model reads its dotted middle as
// glyphs of their own ("ic}", "(0)"). A word of several symbols in one cell,
// whose ink (the word spans `cells`) is a ring around a mark, is that 0.
bool readLoneZero(std::vector<PlacedSymbol>& symbols, const Band& band, double advance, std::size_t cells, int top,
                  int baseline) {
  if (symbols.size() < 2 || cells != 1) return false;
  const int rows = band.rows->at(band.top);
  const int reach = static_cast<int>(advance / 2);
  const InkBox ink = inkWithin(band.rows->image, {rows + top, rows + baseline + 1},
                               {symbols.front().left - reach, symbols.back().right + reach});
  if (!markedRing(band.rows->image, ink.box)) return false;
  symbols = {{"0", symbols.front().left, symbols.back().right, symbols.front().top, symbols.front().bottom}};
  return true;
}

// Marks a monospace line doubles ("&&", "||", "==", ">>") that the model may
// read once, its box over both cells ("cd ../ansible && ls" read "& ls").
constexpr std::string_view kDoubledMarks = "&|=<>+-";
// Two glyphs alike hold about as much ink each.
constexpr long long kAlikeHalves = 2;

// Such a mark, its box over two cells that hold a glyph each, in a word of
// fewer symbols than the cells its ink spans, is read twice. Returns
// whether any was.
bool doubleMarksReadOnce(std::vector<PlacedSymbol>& symbols, const Band& band, double advance, std::size_t cells,
                         int top, int bottom) {
  if (symbols.size() >= cells) return false;
  const int rows = band.rows->at(band.top);
  const RowRun wordRows{rows + top, rows + bottom + 1};
  bool doubled = false;
  for (PlacedSymbol& symbol : symbols) {
    if (symbol.text.size() != 1 || kDoubledMarks.find(symbol.text[0]) == std::string_view::npos ||
        symbol.right - symbol.left < kTwoCellAdvances * advance) {
      continue;
    }
    // Two glyphs alike, one in each half; a single glyph under a box that
    // lags leaves one half nearly blank.
    const int middle = (symbol.left + symbol.right) / 2;
    const long long before = inkWithin(band.rows->image, wordRows, {symbol.left, middle}).pixels;
    const long long after = inkWithin(band.rows->image, wordRows, {middle, symbol.right}).pixels;
    if (kAlikeHalves * before < after || kAlikeHalves * after < before) continue;
    symbol.text += symbol.text;
    doubled = true;
  }
  return doubled;
}

// Letters that fill their cell and touch a twin beside them in a monospace
// font (w, m), which the model reads as fewer, one box over the run
// ("www-data" read "ww-data", the second w's box over all three cells).
constexpr std::string_view kTouchingLetters = "wmWM";

// Such a letter whose box spans more cells than the symbols within it, in
// a word short of the cells its ink spans by as many, stands for a glyph in
// each cell, where the cells hold ink alike (an underscore the model left
// out, under the box of the m after it, holds little). So does the letter
// before a box over one cell more than it reads, whose first cell is inked
// alike the letter's (the hyphen's box over the third w). Returns whether
// any was.
bool touchingLettersReadOnce(std::vector<PlacedSymbol>& symbols, const Band& band, double advance, std::size_t cells,
                             int top, int bottom) {
  const int rows = band.rows->at(band.top);
  const RowRun wordRows{rows + top, rows + bottom + 1};
  const auto cellInk = [&](const PlacedSymbol& symbol, std::size_t cell) {
    const int left = symbol.left + static_cast<int>(std::lround(static_cast<double>(cell) * advance));
    const int right = symbol.left + static_cast<int>(std::lround(static_cast<double>(cell + 1) * advance));
    return inkWithin(band.rows->image, wordRows, {left, std::min(right, symbol.right)}).pixels;
  };
  const auto alike = [](const std::vector<long long>& ink) {
    return kAlikeHalves * std::ranges::min(ink) >= std::ranges::max(ink);
  };
  const auto touching = [&](const PlacedSymbol& letter) {
    return letter.text.size() == 1 && kTouchingLetters.find(letter.text[0]) != std::string_view::npos;
  };
  std::size_t glyphs = symbols.size();
  bool repeated = false;
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    PlacedSymbol& symbol = symbols[i];
    const auto spanned = static_cast<std::size_t>(std::lround((symbol.right - symbol.left) / advance));
    const auto within = static_cast<std::size_t>(std::ranges::count_if(symbols, [&](const PlacedSymbol& other) {
      return &other != &symbol && other.middle() >= symbol.left && other.middle() <= symbol.right;
    }));
    if (spanned <= within + 1 || glyphs + spanned - within - 1 != cells) continue;
    if (touching(symbol)) {
      std::vector<long long> ink;
      for (std::size_t cell = 0; cell < spanned; ++cell) ink.push_back(cellInk(symbol, cell));
      if (!alike(ink)) continue;
      const std::size_t missing = spanned - within - 1;
      symbol.text.append(missing, symbol.text[0]);
      glyphs += missing;
      repeated = true;
    } else if (i > 0 && touching(symbols[i - 1]) && spanned == within + 2 &&
               alike({cellInk(symbols[i - 1], 0), cellInk(symbol, 0)})) {
      symbol.text.insert(0, symbols[i - 1].text);
      glyphs += 1;
      repeated = true;
    }
  }
  return repeated;
}

// A name's period before its extension that Tesseract dropped ("ledger.rs"
// read "ledgerrs" in an editor's file tree, "cart.js" "cartjs"), put back
// where the ink shows it between the name and the extension.
void putBackExtensionPeriod(std::string& word, const std::vector<PlacedSymbol>& symbols, const Band& band,
                            int baseline, int ascent) {
  std::vector<std::size_t> ends;  // where each symbol's text ends in the word
  std::string spelled;
  for (const PlacedSymbol& symbol : symbols) ends.push_back((spelled += symbol.text).size());
  if (spelled != word) return;
  for (const std::size_t start : extensionStarts(word)) {
    const auto after = std::find(ends.begin(), ends.end(), start);
    if (after == ends.end() || after + 1 == ends.end()) continue;
    const std::size_t last = static_cast<std::size_t>(after - ends.begin());
    // The model's boxes may lag its glyphs by half a glyph.
    if (dotBetweenGlyphs(band.rows->image, symbols[last].left, symbols[last + 1].right + ascent / 2,
                         band.rows->at(band.top) + baseline, ascent)) {
      word.insert(start, ".");
      return;
    }
  }
}

// A number's decimal point that Tesseract dropped, a faint dot in small
// grey text ("1.4 GB" read "14 GB", "4.4 MB" "44 MB" under the names of a
// dark file grid), put back where the ink shows it between two of the
// digits that begin the word, alone or before a space.
void putBackDecimalPoint(std::string& word, const std::vector<PlacedSymbol>& symbols, const Band& band, int baseline,
                         int ascent) {
  constexpr std::size_t kLongestNumber = 4;
  const auto digit = [](const PlacedSymbol& symbol) {
    return symbol.text.size() == 1 && std::isdigit(static_cast<unsigned char>(symbol.text.front())) != 0;
  };
  const auto number = static_cast<std::size_t>(
      std::find_if_not(symbols.begin(), symbols.end(), digit) - symbols.begin());
  if (number < 2 || number > kLongestNumber || word.size() < number) return;
  // Its digits as the word spells them.
  const bool spelled = std::equal(word.begin(), word.begin() + static_cast<std::ptrdiff_t>(number), symbols.begin(),
                                  [](char c, const PlacedSymbol& symbol) { return symbol.text.front() == c; });
  // A colon or comma right after the digits would show as a dot between them.
  if (!spelled || (word.size() > number && word[number] != ' ')) return;
  for (std::size_t i = 1; i < number; ++i) {
    if (dotBetweenGlyphs(band.rows->image, symbols[i - 1].left, symbols[i].right + ascent / 2,
                         band.rows->at(band.top) + baseline, ascent)) {
      word.insert(i, ".");
      return;
    }
  }
}

// How the l's read in the band are shaped: whether any has a foot bent
// right only, and whether any has no flag.
void lookAtLs(const ::tesseract::LTRResultIterator& page, Band& band) {
  ::tesseract::LTRResultIterator words(page);
  do {
    std::unique_ptr<char, Deleter> word(words.GetUTF8Text(::tesseract::RIL_WORD));
    if (!word || std::strchr(word.get(), 'l') == nullptr) continue;
    for (const PlacedSymbol& symbol : symbolsOf(words)) {
      if (symbol.text != "l") continue;
      const StemShape shape = stemOf(symbol, band);
      band.feetTellLFromOne = band.feetTellLFromOne || (flagged(shape) && footReaches(shape, false));
      band.flagTellsLFromOne = band.flagTellsLFromOne || (shape.width > 0 && !flagged(shape));
    }
  } while (words.Next(::tesseract::RIL_WORD));
}

// A line's monospace advance, 0 if its font is proportional.
double advanceOf(const std::vector<std::vector<PlacedSymbol>>& line, const Band& band) {
  return band.everyLineMonospace ? band.monospaceAdvance : lineAdvance(line, band.monospaceAdvance);
}

// The middle advance of the band's monospace lines, or that of all its lines
// together where none alone tells one. Returns each line's words' symbols,
// which the lines are read by.
std::vector<std::vector<std::vector<PlacedSymbol>>> lookAtAdvances(const ::tesseract::LTRResultIterator& page,
                                                                   Band& band) {
  std::vector<std::vector<std::vector<PlacedSymbol>>> lineSymbols;
  std::vector<double> advances;
  ::tesseract::LTRResultIterator lines(page);
  do {
    lineSymbols.push_back(wordSymbolsOf(lines));
    const double advance = monospaceAdvance(lineSymbols.back());
    if (advance > 0) advances.push_back(advance);
  } while (lines.Next(::tesseract::RIL_TEXTLINE));
  if (!advances.empty()) {
    const auto middle = advances.begin() + static_cast<std::ptrdiff_t>(advances.size() / 2);
    std::nth_element(advances.begin(), middle, advances.end());
    band.monospaceAdvance = *middle;
  } else {
    band.monospaceAdvance = pooledAdvance(lineSymbols);
    band.everyLineMonospace = band.monospaceAdvance > 0;
  }
  return lineSymbols;
}

// A symbol read as one letter or digit, of those the model mistakes for
// each other in a monospace line, one cell wide at most: a box over two
// glyphs has a print of its own.
bool twinnable(const PlacedSymbol& symbol, double advance) {
  return symbol.text.size() == 1 && std::isalnum(static_cast<unsigned char>(symbol.text[0])) != 0 &&
         symbol.right - symbol.left <= advance;
}

// Counts what the band's monospace glyphs were read as, by their prints.
void countReadingsByPrint(const std::vector<std::vector<std::vector<PlacedSymbol>>>& lineSymbols, Band& band) {
  for (const auto& line : lineSymbols) {
    const double advance = advanceOf(line, band);
    if (advance <= 0) continue;
    for (const std::vector<PlacedSymbol>& word : line) {
      for (const PlacedSymbol& symbol : word) {
        if (!twinnable(symbol, advance)) continue;
        const std::string print = glyphPrint(band.rows->image, glyphOf(symbol, band));
        if (!print.empty()) ++band.readingsByPrint[print][symbol.text];
      }
    }
  }
}

// A monospace glyph drawn alike elsewhere in the band and read there as a
// look-alike of its reading, twice as often as as its reading at least, is
// that look-alike ("node-a1" read "node-al" beside "11873Mi"). Only a
// look-alike: a symbol's box may lie over the glyph beside it. Returns
// whether any was.
bool readAsItsTwins(std::vector<PlacedSymbol>& symbols, const Band& band, double advance) {
  bool mended = false;
  for (PlacedSymbol& symbol : symbols) {
    if (!twinnable(symbol, advance)) continue;
    const auto readings = band.readingsByPrint.find(glyphPrint(band.rows->image, glyphOf(symbol, band)));
    if (readings == band.readingsByPrint.end()) continue;
    const auto& counts = readings->second;
    const auto commonest = std::ranges::max_element(counts, {}, [](const auto& reading) { return reading.second; });
    const auto own = counts.find(symbol.text);
    const int ownCount = own == counts.end() ? 0 : own->second;
    if (commonest->first != symbol.text && lookAlikes(commonest->first[0], symbol.text[0]) &&
        commonest->second >= 2 && commonest->second >= 2 * ownCount) {
      symbol.text = commonest->first;
      mended = true;
    }
  }
  return mended;
}

// The lines of underscores along the word; `box` and `line` in the band's rows.
std::vector<UnderscoreRun> underscoresAlong(const Band& band, const Rect& box, const WordEnd& line) {
  const int bandTop = band.rows->at(band.top);
  return underscoreRuns(band.rows->image, {box.x, bandTop + box.y, box.width, box.height},
                        {line.right, bandTop + line.baseline, line.ascent, bandTop + line.lineBottom},
                        2 * band.page->scale);
}

// The model's box for a word's first or last symbol may reach over the next
// word's letters, and its underscores: only lines within about a symbol's
// width of those symbols' other sides are the word's. A line an earlier word
// of the line took (Tesseract may read "__" as a word of its own before
// "file__") counts no underscores here.
std::vector<UnderscoreLine> underscoreLines(const std::vector<UnderscoreRun>& runs,
                                            const std::vector<PlacedSymbol>& symbols, std::vector<ColumnSpan>& taken) {
  if (symbols.empty()) return {};
  std::vector<int> widths;
  for (const PlacedSymbol& symbol : symbols) widths.push_back(symbol.right - symbol.left);
  std::nth_element(widths.begin(), widths.begin() + widths.size() / 2, widths.end());
  const int reach = 3 * widths[widths.size() / 2] / 2;
  const int from = symbols.front().right - reach;
  const int to = symbols.back().left + reach;
  std::vector<UnderscoreLine> lines;
  for (const UnderscoreRun& run : runs) {
    const ColumnSpan& columns = run.columns;
    if (columns.right <= from - reach / 3 || columns.left >= to + reach / 3) continue;
    const bool earlier =
        std::any_of(taken.begin(), taken.end(), [&](const ColumnSpan& span) { return span.overlaps(columns); });
    if (!earlier) taken.push_back(columns);
    lines.push_back({columns.left, columns.right, earlier ? 0 : run.count});
  }
  return lines;
}

// A stretch of a line read: its text and its box, in page pixels of the band.
struct LinePiece {
  std::string text;
  int left;
  int top;
  int right;
  int bottom;
  float leastWordConfidence;
  int lastWordLeft = left;
  int lastWordTop = top;
  int lastWordBottom = bottom;
  float lastWordConfidence = leastWordConfidence;
};

// The line's words joined by spaces, or by an underscore where the page
// shows one after the word: Tesseract reads a thin underscore between two
// letters as a space ("load settings" for "load_settings"). A gap of a few
// word heights is a gutter that Tesseract read across (a sidebar's item, a
// paragraph and a margin's note as one line): each side is a piece of its
// own, for the reading order to place. Pieces that are no text are left out.
std::vector<LinePiece> linePieces(const ::tesseract::LTRResultIterator& line,
                                  std::vector<std::vector<PlacedSymbol>> lineSymbols, const Band& band) {
  using ::tesseract::RIL_TEXTLINE;
  using ::tesseract::RIL_WORD;
  // Tesseract clips each edge against the opposite one: no sharing of
  // variables between them.
  int left = 0, top = 0, right = 0, bottom = 0;
  line.BoundingBox(RIL_TEXTLINE, &left, &top, &right, &bottom);
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  const bool hasBaseline = line.Baseline(RIL_TEXTLINE, &x1, &y1, &x2, &y2);
  auto baselineAt = [&](int x) { return x2 == x1 ? y1 : y1 + (y2 - y1) * (x - x1) / (x2 - x1); };
  const int height = middleWordHeight(line);
  std::vector<LinePiece> pieces;
  std::vector<ColumnSpan> underscoresTaken;
  bool lastEndsWithLine = false;  // the last word ends with a line of underscores put back
  int lastWordLeft = 0;
  // Each word's symbols (`lineSymbols`): in a monospace line, whether words
  // stand a blank cell apart tells a space.
  const double advance = advanceOf(lineSymbols, band);
  // A band may hold lines of other fonts beside a monospace one whose l's
  // feet tell: a serif l, flagged with a foot both ways, is no 1.
  const bool feetTell =
      band.feetTellLFromOne &&
      (advance > 0 || std::ranges::any_of(lineSymbols, [&](const std::vector<PlacedSymbol>& word) {
         return std::ranges::any_of(word, [&](const PlacedSymbol& symbol) { return footBentRight(symbol, band); });
       }));
  // An l of the line is a bare stem, reaching out neither at its top nor at
  // its foot: the font is a sans serif one, whose flagged "l" is a 1 ("Al -
  // Opening.flac" for "A1 - ..." in a file grid). In a small serif font an
  // l's flag and foot may be too short to count as such, yet they show it
  // is no bare stem (a newspaper's "old" would become "o1d").
  const bool flagTellsInLine =
      advance == 0 && std::ranges::any_of(lineSymbols, [&](const std::vector<PlacedSymbol>& word) {
        return std::ranges::any_of(word, [&](const PlacedSymbol& symbol) {
          if (symbol.text != "l") return false;
          const StemShape shape = stemOf(symbol, band);
          return shape.width > 0 && shape.top.left == 0 && shape.top.right == 0 && shape.bottom.left == 0 &&
                 shape.bottom.right == 0;
        });
      });
  const int bandTop = band.rows->at(band.top);  // where the band's rows begin in the enlarged rows
  const std::optional<LetterTops> letterTops =
      hasBaseline ? letterTopsOf(lineSymbols, band, bandTop + top, bandTop + baselineAt((left + right) / 2))
                  : std::nullopt;
  std::vector<PlacedSymbol> lastSymbols;  // the last word's
  std::size_t wordIndex = 0;
  ::tesseract::LTRResultIterator words(line);
  do {
    const std::size_t index = wordIndex++;
    std::unique_ptr<char, Deleter> word(words.GetUTF8Text(RIL_WORD));
    // A word of blanks is no word: a line of only such is dropped.
    if (!word || std::string_view(word.get()).find_first_not_of(" \t\n") == std::string_view::npos) continue;
    std::string inked;
    if (std::erase_if(lineSymbols[index], [&](const PlacedSymbol& symbol) { return blankUnder(symbol, band); }) +
            dropSliversBeforeGlyphs(lineSymbols[index], band.page->scale) >
        0) {
      for (const PlacedSymbol& symbol : lineSymbols[index]) inked += symbol.text;
      if (inked.empty()) continue;
    }
    fitBarsToTheirInk(lineSymbols[index], band);
    if (mendFlatBars(lineSymbols[index])) {
      inked.clear();
      for (const PlacedSymbol& symbol : lineSymbols[index]) inked += symbol.text;
    }
    int wordLeft = 0, wordTop = 0, wordRight = 0, wordBottom = 0;
    words.BoundingBox(RIL_WORD, &wordLeft, &wordTop, &wordRight, &wordBottom);
    if (advance > 0 && !lineSymbols[index].empty()) {
      // Measured once: each rule below leaves the symbols as they were unless it mends them.
      std::vector<PlacedSymbol>& cellSymbols = lineSymbols[index];
      const std::size_t cells = cellsSpanned(cellSymbols, band, advance, wordTop, wordBottom).value_or(0);
      const bool readAsTwins = readAsItsTwins(cellSymbols, band, advance);
      if (dropDoubledGlyphs(cellSymbols, advance, cells) ||
          (hasBaseline && readLoneZero(cellSymbols, band, advance, cells, top, baselineAt(wordLeft))) ||
          doubleMarksReadOnce(cellSymbols, band, advance, cells, wordTop, wordBottom) ||
          touchingLettersReadOnce(cellSymbols, band, advance, cells, wordTop, wordBottom) ||
          readSlashAfterOne(cellSymbols, advance, cells) || readAsTwins) {
        inked.clear();
        for (const PlacedSymbol& symbol : cellSymbols) inked += symbol.text;
      }
    }
    // Only a number beside a word can hide a missed space, and only an L,
    // an l, a 1 or a round glyph a look-alike.
    const std::string_view read = inked.empty() ? std::string_view(word.get()) : std::string_view(inked);
    const auto holds = [&](int (*kind)(int)) {
      return std::any_of(read.begin(), read.end(), [&](char c) { return kind(static_cast<unsigned char>(c)) != 0; });
    };
    const bool numberAndWord = holds(isdigit) && holds(isalpha);
    const bool lookAlike = read.find_first_of(kLookAlikeBytes) != std::string_view::npos ||
                           (feetTell && read.find_first_of("l1") != std::string_view::npos) ||
                           (band.flagTellsLFromOne && read.find('l') != std::string_view::npos && holds(isdigit)) ||
                           (flagTellsInLine && read.find('l') != std::string_view::npos);
    const bool nineAfterDigit = read.find('9') != std::string_view::npos &&
                                std::count_if(read.begin(), read.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }) > 1;
    const int wordBaseline = baselineAt(wordLeft);
    const std::vector<UnderscoreRun> runs =
        hasBaseline ? underscoresAlong(band, {wordLeft, wordTop, wordRight - wordLeft, wordBottom - wordTop},
                                       {wordRight, wordBaseline, wordBaseline - top, bottom - 1})
                    : std::vector<UnderscoreRun>{};
    std::vector<PlacedSymbol> symbols = std::move(lineSymbols[index]);
    const std::vector<UnderscoreLine> underscores = underscoreLines(runs, symbols, underscoresTaken);
    const bool madeUpUnderscore = hasBaseline && dropMadeUpUnderscore(symbols, underscores);
    // Its ink, not the lines found under the word's box, shows an
    // underscore read as a period: that box may end before it.
    const bool flatPeriods = read.find('.') != std::string_view::npos && mendFlatPeriods(symbols, band);
    // The word reaches as far as its underscores, which its box may leave out.
    for (const UnderscoreLine& underscore : underscores) {
      if (underscore.count == 0) continue;
      wordLeft = std::min(wordLeft, underscore.left);
      wordRight = std::max(wordRight, underscore.right);
    }
    const bool underscoresMended = !underscores.empty() && mendUnderscores(symbols, underscores);
    const bool lookAlikeMended =
        lookAlike && mendLookAlikes(symbols, band, advance > 0, feetTell, flagTellsInLine, bandTop + wordBaseline,
                                    wordBaseline - top);
    const bool nineMended = nineAfterDigit && mendLowNines(symbols);
    const bool hashMended = read.find('#') != std::string_view::npos && mendHashInHex(symbols, band);
    const bool marksMended = read.find_first_of("sS") != std::string_view::npos && mendMarksReadAsS(symbols, band);
    // A plus sign read as a t ("B+" as "Bt" in a sheet's grades); a
    // monospace dotted zero read as a 9 ("[00013.001]" as "[90013.001]" on a
    // serial console), its ring closed around a mark where a 9's is open below.
    const bool plusMended =
        read.find('t') != std::string_view::npos && mendByShape(symbols, band, "t", "+", plusShaped);
    const bool zerosMended =
        advance > 0 && read.find('9') != std::string_view::npos && mendByShape(symbols, band, "9", "0", markedRing);
    const bool dotsMended = read.find('I') != std::string_view::npos && mendDottedIs(symbols, band, top);
    const std::vector<PlacedSymbol>* nextWord = index + 1 < lineSymbols.size() ? &lineSymbols[index + 1] : nullptr;
    const bool barMended = advance == 0 && hasBaseline && read == "|" && withinSentence(lastSymbols, nextWord) &&
                           mendBarReadForI(symbols, band, bandTop + wordBaseline, wordBaseline - top);
    const bool quotesJoined = joinSplitQuotes(symbols, height);
    const bool capitalsMended =
        letterTops && mendCapitalsAtXHeight(symbols, band, bandTop + top, bandTop + wordBaseline, *letterTops);
    const bool quoteDropped = letterTops && dropMadeUpClosingQuote(symbols, band, *letterTops, (bottom - top) / 2);
    const bool quotesStraightened =
        hasBaseline && straightenUprightQuotes(symbols, band, top, wordBaseline, advance > 0);
    const bool backticksMended = advance > 0 && hasBaseline && mendBackticks(symbols, band, advance, top, wordBaseline);
    const bool dollarMended =
        letterTops && (mendPromptDollar(symbols, band, bandTop + top, bandTop + wordBaseline, *letterTops) ||
                       (advance > 0 && mendDollarsReadAsS(symbols, band, bandTop + top, bandTop + wordBaseline,
                                                          *letterTops)));
    // A look-alike mended may make a number beside a word ("Jan 1" read "Jani").
    const auto symbolsHold = [&](int (*kind)(int)) {
      return std::ranges::any_of(symbols, [&](const PlacedSymbol& symbol) {
        return std::ranges::any_of(symbol.text, [&](char c) { return kind(static_cast<unsigned char>(c)) != 0; });
      });
    };
    const bool numberBesideWord = numberAndWord || (lookAlikeMended && symbolsHold(isdigit) && symbolsHold(isalpha));
    // An underscore may lie below the word's box (its own box then none),
    // which would leave its cell blank in the word's rows ("user=u_ 99810"
    // in small monospace logs): blanks are then measured down to the line's foot.
    const bool underscoreWithin =
        std::ranges::any_of(symbols, [](const PlacedSymbol& symbol) { return symbol.text == "_"; });
    const int blanksBottom = underscoreWithin ? std::max(wordBottom, bottom) : wordBottom;
    const std::vector<int> blanks =
        numberBesideWord && advance == 0 ? inkBlanks(symbols, band, wordTop, blanksBottom) : std::vector<int>{};
    std::string mended = withMissedSpaces(symbols, height, blanks);
    if (mended.empty() && advance == 0 && letterTops && hasBaseline) {
      mended = spacedAtWideBlank(symbols, band, letterTops->small, bandTop + wordBaseline);
    }
    if (advance > 0 && symbols.size() > 1) {
      // A number beside a word may be spaced while a blank cell beyond it is
      // not ("1 elieli" of ls's "1 eli eli"): both rules' spaces stand.
      const std::string cells = withBlankCells(symbols, inkBlanks(symbols, band, wordTop, blanksBottom), advance);
      if (!cells.empty()) mended = mended.empty() ? cells : spacedAsEither(mended, cells);
    }
    if (mended.empty() && (lookAlikeMended || nineMended || zerosMended || hashMended || marksMended || plusMended ||
                            dotsMended || barMended || flatPeriods || quotesJoined || quotesStraightened ||
                            backticksMended || capitalsMended || quoteDropped || underscoresMended || madeUpUnderscore ||
                            dollarMended)) {
      for (const PlacedSymbol& symbol : symbols) mended += symbol.text;
    }
    std::string next(mended.empty() ? read : std::string_view(mended));
    if (hasBaseline) {
      putBackExtensionPeriod(next, symbols, band, wordBaseline, wordBaseline - top);
      putBackDecimalPoint(next, symbols, band, wordBaseline, wordBaseline - top);
    }
    const auto putBack = [&](const PlacedSymbol& symbol) {
      return std::any_of(underscores.begin(), underscores.end(), [&](const UnderscoreLine& line) {
        return line.count > 0 && line.left == symbol.left && line.right == symbol.right;
      });
    };
    const bool startsWithOwn = next.starts_with('_') && (symbols.empty() || !putBack(symbols.front()));
    const bool endsWithLine = underscoresMended && !symbols.empty() && putBack(symbols.back());
    // A word Tesseract made of an earlier word's underscores alone.
    if (next.empty()) continue;
    // Small text beside large (a page's margin beside its body) is measured by its own height.
    const int beside = pieces.empty() ? 0 : std::max(pieces.back().bottom - pieces.back().top, wordBottom - wordTop);
    const std::vector<PlacedSymbol> before = std::exchange(lastSymbols, symbols);
    if (pieces.empty() || wordLeft - pieces.back().right > kColumnGapHeights * std::min(height, beside)) {
      // A name's first period Tesseract took for a speck (".config" read
      // "config" in a file grid).
      const bool name = symbols.size() >= 2 && std::isalnum(static_cast<unsigned char>(next.front())) != 0;
      if (name && hasBaseline &&
          dotBeforeGlyph(band.rows->image, wordLeft, bandTop + wordBaseline, wordBaseline - top)) {
        next.insert(0, ".");
      }
      lastEndsWithLine = endsWithLine;
      lastWordLeft = wordLeft;
      pieces.push_back({std::move(next), wordLeft, wordTop, wordRight, wordBottom, words.Confidence(RIL_WORD)});
      continue;
    }
    LinePiece& piece = pieces.back();
    const int baseline = baselineAt(piece.right);
    // Where Tesseract split a stretch of ink into words itself, the first
    // may have the whole stretch's box, over the next word ("unwrap or(0)"):
    // an underscore would then end where the next word begins.
    const int wordEnd = wordLeft < piece.right ? std::max(piece.left, wordLeft - (baseline - top) / 2) : piece.right;
    const WordEnd end{wordEnd, bandTop + baseline, baseline - top, bandTop + bottom - 1};
    // Tesseract may keep an underscore yet split the words at it ("trace _id",
    // "__ init__.py"): their boxes, or their ink, nearly touch.
    const bool keptUnderscore = piece.text.back() == '_' || next.front() == '_';
    // Measured across both words, in the word's rows: either box may reach
    // past the gap (a line number's over the code beside it), and the
    // line's box over the next line's text.
    const int blank =
        widestBlank(band.rows->image, {bandTop + wordTop, bandTop + wordBottom + 1}, {lastWordLeft, wordRight});
    const bool oneStretch = oneStretchOfInk(wordLeft < piece.right, piece.text.back(), next, blank, height);
    const bool joined = oneStretch || (keptUnderscore && 4 * std::min(wordLeft - piece.right, blank) < bottom - top);
    const bool seen = !joined && hasBaseline && underscoreAfter(band.rows->image, end, 2 * band.page->scale);
    // A word of one symbol is left to its boxes: a neighbour's frame beside
    // the line may be one ("= cache-1"), unless it closes the line's bracket
    // or its statement, opens a block ("range(MAX_ATTEMPTS) :"), or ends a
    // prompt ("(feature/search) $").
    const bool closingMark = next == ";" || next == ":" || next == "$";
    // Nor is a separator one, that the word before took without a space
    // ("a07:" "1736799080" of a hash and a time).
    const bool separatorBefore = before.size() == 1 && (before[0].text == ":" || before[0].text == ",");
    const bool noBlankCell =
        inNeighbouringCells(before, symbols, advance) ||
        (advance > 0 && (before.size() > 1 || separatorBefore) &&
         (symbols.size() > 1 || closingMark || closesAnOpenBracket(piece.text, next)) &&
         lessThanACellBlank(band, bandTop + top, bandTop + baseline, {before.back().left, symbols.front().right},
                            advance));
    if (!joined && (seen || !noBlankCell)) piece.text += !seen ? " " : keptUnderscore ? "" : "_";
    // The underscores that end the word before, put back there, are those
    // Tesseract read at this word's start ("trace" "_id").
    if (joined && lastEndsWithLine && startsWithOwn) next.erase(0, next.find_first_not_of('_'));
    lastEndsWithLine = endsWithLine;
    lastWordLeft = wordLeft;
    piece.text += next;
    const float confidence = words.Confidence(RIL_WORD);
    piece = {std::move(piece.text), piece.left, std::min(piece.top, wordTop), wordRight,
             std::max(piece.bottom, wordBottom), std::min(piece.leastWordConfidence, confidence), wordLeft, wordTop,
             wordBottom, confidence};
  } while (!words.IsAtFinalElement(RIL_TEXTLINE, RIL_WORD) && words.Next(RIL_WORD));
  std::vector<std::string> texts;
  for (const LinePiece& piece : pieces) texts.push_back(piece.text);
  if (rowOfColumnLetters(texts)) return pieces;
  for (LinePiece& piece : pieces) {
    straightenMismatchedQuotes(piece.text);
    mendBarsAndBoxes(piece.text);
    mendHexDigits(piece.text);
    if (band.monospaceAdvance > 0) mendOnesOfVersions(piece.text);
    mendFileExtensions(piece.text);
    mendBarsInAddresses(piece.text);
    mendOptimizationFlags(piece.text);
    mendFileModes(piece.text);
    mendZeroRates(piece.text);
    mendDeviceZeros(piece.text);
    mendAbbreviationsBeforeWords(piece.text);
    mendShellPrompts(piece.text);
  }
  // Only frames; or specks and a rule's dots, far lower than the line (than
  // its words, where a stroke at its edge makes the line taller); or
  // the edge of a window's frame beside it, a pixel or two wide, read as a
  // mark (";", "!").
  const int edge = 2 * band.page->scale;
  std::erase_if(pieces, [&](const LinePiece& piece) {
    const bool mark = std::none_of(piece.text.begin(), piece.text.end(),
                                   [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
    return piece.text.empty() || 3 * (piece.bottom - piece.top) < std::min(bottom - top, 2 * height) ||
           (mark && piece.right - piece.left <= edge);
  });
  return pieces;
}

int regionOf(const Page& page, const Rect& box) {
  const int x = box.x + box.width / 2;
  const int y = box.y + box.height / 2;
  for (std::size_t i = 0; i < page.titleBars.size(); ++i) {
    const Rect& bar = page.titleBars[i];
    const bool inside = bar.x <= x && x < bar.right() && bar.y <= y && y < bar.bottom();
    if (inside) return page.firstBarRegion + static_cast<int>(i);
  }
  return page.region;
}

bool holdsSureWord(const ::tesseract::LTRResultIterator& line) {
  ::tesseract::LTRResultIterator words(line);
  do {
    std::unique_ptr<char, Deleter> word(words.GetUTF8Text(::tesseract::RIL_WORD));
    if (!word || words.Confidence(::tesseract::RIL_WORD) < kSureWordConfidence) continue;
    const std::string_view text(word.get());
    const auto characters =
        std::count_if(text.begin(), text.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
    if (characters >= kSureWordCharacters) return true;
  } while (!words.IsAtFinalElement(::tesseract::RIL_TEXTLINE, ::tesseract::RIL_WORD) &&
           words.Next(::tesseract::RIL_WORD));
  return false;
}

// Whether the line is text by its words whatever its rating.
bool readsLikeText(const ::tesseract::LTRResultIterator& line) {
  std::unique_ptr<char, Deleter> text(line.GetUTF8Text(::tesseract::RIL_TEXTLINE));
  return text && (holdsWordlikeRun(text.get()) || holdsFileName(text.get()) || holdsQuotedWord(text.get()) ||
                  holdsShellPrompt(text.get()) || holdsFormula(text.get()));
}

// A line of this many glyphs or more in a monospace font's cells is text
// however the model rates it ("Some(value.clone())" rated 0, its l's read
// "Ll"): an icon's or a frame's marks keep no cells.
constexpr std::size_t kLeastCellsOfText = 8;

bool fillsCells(const std::vector<std::vector<PlacedSymbol>>& words, double bandAdvance) {
  std::size_t glyphs = 0;
  for (const std::vector<PlacedSymbol>& word : words) glyphs += word.size();
  return glyphs >= kLeastCellsOfText && lineAdvance(words, bandAdvance) > 0;
}

void readLines(::tesseract::TessBaseAPI& engine, Band& band) {
  std::unique_ptr<::tesseract::ResultIterator, Deleter> start(engine.GetIterator());
  if (!start || start->Empty(::tesseract::RIL_TEXTLINE)) return;
  // Walked left to right as laid out: the bidirectional iterator finds each
  // word's logical place by walking the page from its start, which for a
  // screen of English text was 2% of all the time spent.
  ::tesseract::LTRResultIterator lines(*start);
  lookAtLs(lines, band);
  std::vector<std::vector<std::vector<PlacedSymbol>>> lineSymbols = lookAtAdvances(lines, band);
  countReadingsByPrint(lineSymbols, band);
  const Page& page = *band.page;
  std::size_t lineIndex = 0;
  do {
    std::vector<std::vector<PlacedSymbol>> symbols =
        lineIndex < lineSymbols.size() ? std::move(lineSymbols[lineIndex]) : wordSymbolsOf(lines);
    ++lineIndex;
    const float confidence = lines.Confidence(::tesseract::RIL_TEXTLINE);
    const bool doubted = confidence < kLeastLineConfidence && !holdsSureWord(lines) && !readsLikeText(lines) &&
                         !fillsCells(symbols, band.monospaceAdvance);
    std::vector<LinePiece> pieces = linePieces(lines, std::move(symbols), band);
    // A monospace line's cells take out a space the model put in a name ("config. yaml").
    const auto worthKeeping = [](const LinePiece& piece) {
      return holdsFileName(piece.text) || readyCount(piece.text);
    };
    if (doubted && std::ranges::none_of(pieces, worthKeeping)) continue;
    for (LinePiece& piece : pieces) {
      const Rect box = page.onScreen(piece.left, band.top + piece.top, piece.right, band.top + piece.bottom);
      const bool number = piece.text.find_first_not_of("0123456789") == std::string::npos;
      const auto words = 1 + static_cast<int>(std::count(piece.text.begin(), piece.text.end(), ' '));
      const Rect lastWord =
          page.onScreen(piece.lastWordLeft, band.top + piece.lastWordTop, piece.right, band.top + piece.lastWordBottom);
      band.lines.push_back({std::move(piece.text), confidence, piece.leastWordConfidence,
                            {box, regionOf(page, box), number, words}, pieces.size() >= kLeastRowCells, lastWord,
                            piece.lastWordConfidence});
    }
  } while (lines.Next(::tesseract::RIL_TEXTLINE));
}

// Tesseract expects a row of text as tall as its blobs times this (1.25 by
// default). Under a grid of thumbnails a row of names far apart, their
// underscores and descenders among them, may then come out as two lines
// over the same words ("invoice" over "invoice_0042", ".pdf" in neither);
// expecting rows a little smaller, it reads one. Not always: on other grids
// that splits a row that was read whole, so only stacked lines are read so.
constexpr const char* kLineSizeVariable = "textord_min_linesize";
constexpr const char* kSmallerLineSize = "1.0";

// The screen rows of two of the lines read from `first` on that stand over
// the same words, if any: most of the lower one's height, and of the
// narrower's width, shared, and each a word at least. An icon read as marks
// over a word's end ("¥:" over "away.") is no second reading, and reading
// it again would cost as much as the first (a landing page's band: 0.54 ->
// 0.74 s CPU).
std::optional<RowRun> stackedRows(const std::vector<Line>& lines, std::size_t first) {
  const auto shared = [](int from, int to, int otherFrom, int otherTo) {
    return std::min(to, otherTo) - std::max(from, otherFrom);
  };
  constexpr std::ptrdiff_t kLeastWordCharacters = 3;
  const auto wordly = [&](const Line& line) {
    return std::ranges::count_if(line.text, [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }) >=
           kLeastWordCharacters;
  };
  for (std::size_t i = first; i < lines.size(); ++i) {
    for (std::size_t j = i + 1; j < lines.size(); ++j) {
      if (!wordly(lines[i]) || !wordly(lines[j])) continue;
      const Rect& a = lines[i].place.box;
      const Rect& b = lines[j].place.box;
      if (2 * shared(a.y, a.bottom(), b.y, b.bottom()) > std::min(a.height, b.height) &&
          2 * shared(a.x, a.right(), b.x, b.right()) > std::min(a.width, b.width)) {
        return RowRun{std::min(a.y, b.y), std::max(a.bottom(), b.bottom())};
      }
    }
  }
  return std::nullopt;
}

void recognizeInto(::tesseract::TessBaseAPI& engine, Band& band) {
  const GrayImage& image = band.rows->image;
  engine.SetImage(image.pixels.data() + static_cast<std::size_t>(band.rows->at(band.top)) * image.width, image.width,
                  band.bottom - band.top, 1, image.width);
  if (band.columns.right > band.columns.left) {
    engine.SetRectangle(band.columns.left, 0, band.columns.right - band.columns.left, band.bottom - band.top);
  }
  // Screens are about 96 dpi; telling Tesseract keeps it from guessing.
  engine.SetSourceResolution(96 * band.page->scale);
  if (engine.Recognize(nullptr) == 0) readLines(engine, band);
  engine.Clear();
}

void readBand(::tesseract::TessBaseAPI& engine, Band& band) {
  const std::size_t first = band.lines.size();
  recognizeInto(engine, band);
  const std::optional<RowRun> stacked = stackedRows(band.lines, first);
  double lineSize = 0;
  if (!stacked || !engine.GetDoubleVariable(kLineSizeVariable, &lineSize)) return;
  // Only the stacked lines' rows are read again: the whole band would cost
  // as much as its first reading.
  const Page& page = *band.page;
  const int margin = 2 * page.scale;
  Band rows{&page,
            std::max(band.top, (stacked->top - page.bounds.y) * page.scale - margin),
            std::min(band.bottom, (stacked->bottom - page.bounds.y) * page.scale + margin),
            {},
            {},
            band.columns,
            band.rows};
  engine.SetVariable(kLineSizeVariable, kSmallerLineSize);
  recognizeInto(engine, rows);
  engine.SetVariable(kLineSizeVariable, std::to_string(lineSize).c_str());
  if (rows.lines.empty() || stackedRows(rows.lines, 0)) return;
  // The lines of those rows give way to their new reading.
  const RowRun read{rows.top / page.scale + page.bounds.y, rows.bottom / page.scale + page.bounds.y};
  const auto within = [&](const Line& line) {
    const int middle = line.place.box.y + line.place.box.height / 2;
    return middle >= read.top && middle < read.bottom;
  };
  band.lines.erase(std::remove_if(band.lines.begin() + static_cast<std::ptrdiff_t>(first), band.lines.end(), within),
                   band.lines.end());
  std::move(rows.lines.begin(), rows.lines.end(), std::back_inserter(band.lines));
}

// Ink too small to be a glyph, or solid (an avatar, a presence dot, a
// filled icon: digits and letters leave most of their box blank), is not read
// again: on the bench's screens none of it was a token, and each read costs
// Tesseract's setup for a line.
constexpr double kMostTokenFill = 0.7;

bool mayBeToken(const InkBox& ink, int scale) {
  const Rect& box = ink.box;
  return box.height >= kLeastTokenRows * scale && box.width >= 2 * scale &&
         static_cast<double>(ink.pixels) <= kMostTokenFill * box.width * box.height;
}

// Whether the page's rows and columns, in a page under a title bar, lie in
// the bar: it is read as a page of its own, where one title is kept.
bool inTitleBar(const Page& page, const RowRun& rows, const ColumnSpan& columns) {
  return page.region < page.firstBarRegion &&
         regionOf(page, page.onScreen(columns.left, rows.top, columns.right, rows.bottom)) >= page.firstBarRegion;
}

// The lines read in each stretch of a row (and whether the model was sure
// of them) that are tokens, moved to `lines`.
void keepTokens(std::vector<std::pair<std::vector<Line>, bool>>& stretches, std::vector<Line>& lines) {
  std::vector<TokenStretch> texts;
  for (const auto& [read, sure] : stretches) {
    texts.push_back({{}, sure});
    for (const Line& line : read) texts.back().lines.push_back(line.text);
  }
  const std::vector<std::vector<bool>> kept = keptTokens(texts);
  for (std::size_t i = 0; i < stretches.size(); ++i) {
    for (std::size_t j = 0; j < stretches[i].first.size(); ++j) {
      if (!kept[i][j]) continue;
      stretches[i].first[j].text = std::move(texts[i].lines[j]);
      lines.push_back(std::move(stretches[i].first[j]));
    }
  }
}

// Rows below a band that are enlarged with it: a word's underscore is
// looked for under its line, which may be the band's last. Nothing is read
// above a band.
constexpr int kRowsBelowBand = 64;

// Screen pixels of blank kept around a piece read again.
constexpr int kPieceMargin = 4;

// A line's piece as a page of its own, larger, with the rows under it where
// its underscores lie.
Page pieceEnlarged(const Page& page, const Rect& piece) {
  const int top = std::max(0, piece.y - page.bounds.y - kPieceMargin);
  const int below = std::min(page.image.height, piece.bottom() - page.bounds.y + kPieceMargin + piece.height);
  const int left = std::max(0, piece.x - page.bounds.x - kPieceMargin);
  const int right = std::min(page.image.width, piece.right() - page.bounds.x + kPieceMargin);
  GrayImage image = copyGray(page.image.pixels.data() + static_cast<std::size_t>(top) * page.image.width + left,
                             std::max(0, right - left), std::max(0, below - top), page.image.width);
  const Rect bounds{page.bounds.x + left, page.bounds.y + top, image.width, image.height};
  return {std::move(image), kAgainScale, bounds, page.region, page.titleBars, page.firstBarRegion};
}

// The piece read alone and larger: Tesseract, unsure of a line at one
// scale, is often sure of it at another.
std::vector<Line> readPieceEnlarged(::tesseract::TessBaseAPI& engine, const Band& band, const Rect& box) {
  const Page larger = pieceEnlarged(*band.page, box);
  if (larger.image.width == 0 || larger.image.height == 0) return {};
  // Only the piece's own rows are read; those under it are for its underscores.
  const int pieceRows = (box.bottom() + kPieceMargin - larger.bounds.y) * kAgainScale;
  Band piece{&larger, 0, std::min(pieceRows, larger.height()), {}, {}, {}};
  const PageRows rows{scaleUpRows(larger.image, kAgainScale, 0, larger.height()), 0};
  piece.rows = &rows;
  // One piece tells too little of its font: the line's band tells it.
  piece.feetTellLFromOne = band.feetTellLFromOne;
  piece.flagTellsLFromOne = band.flagTellsLFromOne;
  readBand(engine, piece);
  return std::move(piece.lines);
}

bool readSurely(const std::vector<Line>& lines, float leastConfidence) {
  return !lines.empty() && lines.front().confidence >= leastConfidence;
}

// A stretch of a row at least this many times as wide as it is high holds
// more than a glyph or an icon.
constexpr int kLeastWordWidthHeights = 2;
constexpr int kMostWordWidthHeights = 16;

bool mayBeWord(const ColumnSpan& span, int height) {
  const int width = span.right - span.left;
  return width >= kLeastWordWidthHeights * height && width <= kMostWordWidthHeights * height;
}

struct TokenRead {
  std::vector<Line> lines;
  bool sure;
};

// The ink of the band's `run` within `span`, read as one line.
TokenRead readToken(::tesseract::TessBaseAPI& engine, const Band& band, const RowRun& run, const ColumnSpan& span) {
  const Page& page = *band.page;
  const int margin = 2 * page.scale;
  Band token{&page,
             std::max(band.top, run.top - margin),
             std::min(band.bottom, run.bottom + margin),
             {},
             {},
             {std::max(0, span.left - margin), std::min(page.width(), span.right + margin)},
             band.rows};
  readBand(engine, token);
  bool sure = readSurely(token.lines, kLeastTokenConfidence);
  // A word the model doubts at this scale it may be sure of at another
  // ("09-12-44.png": rated 0 at twice its size, 91 at three times).
  if (!sure && mayBeWord(span, run.bottom - run.top)) {
    std::vector<Line> again = readPieceEnlarged(engine, band, page.onScreen(span.left, run.top, span.right, run.bottom));
    // A file's name is text whatever its rating, as where the layout reads
    // lines ("budget_FINAL_final.xlsx", rated 29 as "...xisx", 75 larger).
    sure = readSurely(again, kSureAgainConfidence) || (again.size() == 1 && holdsFileName(again.front().text));
    if (sure) token.lines = std::move(again);
  }
  return {std::move(token.lines), sure};
}

std::vector<ColumnSpan> spansWithin(const std::vector<ColumnSpan>& spans, const ColumnSpan& within) {
  std::vector<ColumnSpan> inside;
  std::copy_if(spans.begin(), spans.end(), std::back_inserter(inside),
               [&](const ColumnSpan& span) { return span.left >= within.left && span.right <= within.right; });
  return inside;
}

// The boxes of the lines read in the band, in its rows, `margin` wider on each side.
std::vector<Rect> readBoxes(const Band& band, int margin) {
  const Page& page = *band.page;
  std::vector<Rect> read;
  for (const Line& line : band.lines) {
    const Rect& box = line.place.box;
    const int top = band.rows->at((box.y - page.bounds.y) * page.scale);
    const int left = (box.x - page.bounds.x) * page.scale;
    read.push_back({left - margin, top, box.width * page.scale + 2 * margin, box.height * page.scale});
  }
  return read;
}

// Whether a run of ink rows may be a line of text: rules and specks are
// none, and a taller run is no single line.
bool lineHigh(const RowRun& run, int scale) {
  const int height = run.bottom - run.top;
  return height >= kLeastTokenRows * scale && height <= kMostTokenRows * scale;
}

// The `lines` whose boxes no line of the band's overlaps, added to it.
void addUnread(Band& band, std::vector<Line>& lines) {
  const auto overlap = [](const Rect& a, const Rect& b) {
    return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
  };
  for (Line& line : lines) {
    const auto covers = [&](const Line& other) { return overlap(line.place.box, other.place.box); };
    if (std::ranges::none_of(band.lines, covers)) band.lines.push_back(std::move(line));
  }
}

// Short tokens stacked in a column, a sheet's letter grades beside their
// scores ("B+", "C-", "D"), the layout may leave out, and the model reads
// each alone unsure, or not at all ("C-"). Read together as a block, their
// column gives it the context to be sure of them. Of this many at least,
// no wider than this many heights each.
constexpr std::size_t kLeastStackedTokens = 3;
constexpr int kMostStackedTokenHeights = 3;

// Reads the band's columns of tokens where one was left after each was
// read alone (`tokensFrom` on, band.lines holds those kept): a reading is
// spent only where one was dropped (a sheet's grades), not where all were
// kept (an editor's line numbers). Those kept count toward the column and
// stay as read ("77", read "7" in its column).
void readTokenColumns(::tesseract::TessBaseAPI& engine, Band& band, std::size_t tokensFrom) {
  const Page& page = *band.page;
  const int margin = 2 * page.scale;
  const std::vector<Rect> read = readBoxes(band, margin);
  std::vector<InkStretch> stretches;  // in the page's rows
  int height = 0;                     // the tallest's
  for (const RowRun& run : band.inkRuns) {
    if (!lineHigh(run, page.scale)) continue;
    const int runHeight = run.bottom - run.top;
    const RowRun inRows{band.rows->at(run.top), band.rows->at(run.bottom)};
    const int joinGap = kNearTokenGapHeights * runHeight;
    for (const ColumnSpan& span : uncoveredInk(band.rows->image, inRows, read, joinGap, margin)) {
      if (span.right - span.left > kMostStackedTokenHeights * runHeight || inTitleBar(page, run, span)) continue;
      // Solid ink (icons, avatars) is no token, but a bold capital may be
      // as dense: such stand in a column of tokens, not make one.
      if (!mayBeToken(inkWithin(band.rows->image, inRows, span), page.scale)) continue;
      stretches.push_back({run, span});
      height = std::max(height, runHeight);
    }
  }
  const std::size_t dropped = stretches.size();  // those before are left unread
  for (std::size_t i = tokensFrom; i < band.lines.size(); ++i) {
    const Rect& box = band.lines[i].place.box;
    const int top = (box.y - page.bounds.y) * page.scale, left = (box.x - page.bounds.x) * page.scale;
    stretches.push_back({{top, top + box.height * page.scale}, {left, left + box.width * page.scale}});
  }
  const ::tesseract::PageSegMode layout = engine.GetPageSegMode();
  std::vector<Line> found;
  engine.SetPageSegMode(::tesseract::PSM_SINGLE_BLOCK);
  for (const std::vector<std::size_t>& column : stackedInColumns(stretches, height, kLeastStackedTokens)) {
    if (std::ranges::none_of(column, [&](std::size_t i) { return i < dropped; })) continue;
    ColumnSpan columns = stretches[column.front()].columns;
    for (std::size_t i : column) {
      const ColumnSpan& own = stretches[i].columns;
      columns = {std::min(columns.left, own.left), std::max(columns.right, own.right)};
    }
    Band block{&page,
               std::max(band.top, stretches[column.front()].rows.top - margin),
               std::min(band.bottom, stretches[column.back()].rows.bottom + margin),
               {},
               {},
               {std::max(0, columns.left - margin), std::min(page.width(), columns.right + margin)},
               band.rows};
    readBand(engine, block);
    engine.SetPageSegMode(::tesseract::PSM_SINGLE_LINE);
    for (Line& line : block.lines) {
      // A token the column leaves unsure may be sure larger ("A-" on a dark sheet).
      if (line.confidence < kLeastTokenConfidence) {
        std::vector<Line> again = readPieceEnlarged(engine, band, line.place.box);
        if (again.size() == 1) line = std::move(again.front());
      }
      if (line.confidence < kLeastTokenConfidence || !stackedToken(line.text)) continue;
      found.push_back(std::move(line));
    }
    engine.SetPageSegMode(::tesseract::PSM_SINGLE_BLOCK);
  }
  engine.SetPageSegMode(layout);
  addUnread(band, found);
}

// The column layout takes a lone short token (a line number, a spreadsheet's
// row number) for noise. Ink that no line read covers is read once more, a
// stretch of a row at a time, as a single line.
void readDroppedRuns(::tesseract::TessBaseAPI& engine, Band& band) {
  const Page& page = *band.page;
  const int margin = 2 * page.scale;
  const std::vector<Rect> read = readBoxes(band, margin);  // in the band's rows
  const ::tesseract::PageSegMode layout = engine.GetPageSegMode();
  engine.SetPageSegMode(::tesseract::PSM_SINGLE_LINE);
  for (const RowRun& run : band.inkRuns) {
    if (!lineHigh(run, page.scale)) continue;
    const int height = run.bottom - run.top;
    const RowRun inRows{band.rows->at(run.top), band.rows->at(run.bottom)};
    const bool nothingRead =
        std::none_of(read.begin(), read.end(), [&](const Rect& box) { return inRows.overlaps({box.y, box.bottom()}); });
    // A row nothing was read in is one line (a sheet's column letters, a
    // column's width apart) but for ink much farther apart (an input box's
    // rounded corners, which read as one line would cost the model its
    // whole width); beside lines read, words a few letters apart are one token.
    const int joinGap = (nothingRead ? kFarthestTokenGapHeights : kNearTokenGapHeights) * height;
    std::vector<std::pair<std::vector<Line>, bool>> stretches;  // each one's lines, and whether sure of them
    for (const ColumnSpan& span : uncoveredInk(band.rows->image, inRows, read, joinGap, margin)) {
      if (!mayBeToken(inkWithin(band.rows->image, inRows, span), page.scale) || inTitleBar(page, run, span)) continue;
      TokenRead token = readToken(engine, band, run, span);
      // Far-apart pieces the model doubts as one line are read apart: a
      // file grid's cells, a grey size beside a white name ("6.1 MB 1.zip"
      // rated 17 as one line, 96 and 95 apart), a status bar's items ("main
      // Ln 12, Col 15 Spaces: 2", where "Ln 12," read "ni2," sank the line).
      if (!token.sure && nothingRead) {
        std::vector<ColumnSpan> pieces = spansWithin(
            uncoveredInk(band.rows->image, inRows, read, kNearTokenGapHeights * height, margin), span);
        // Too wide for a word, they are parted where half a height apart: a
        // status bar's items stand closer than the pieces above, and a heading
        // between rules drawn in text ("==== FAILURES ====") reads as nothing
        // whole, its rules no words.
        if (pieces.size() <= 1 && !mayBeWord(span, height)) {
          pieces = spansWithin(uncoveredInk(band.rows->image, inRows, read, height / 2, margin), span);
        }
        if (pieces.size() > 1) {
          for (const ColumnSpan& piece : pieces) {
            // Each is read in the rows of its own ink, which may be shorter
            // than its neighbour's: a grey size rated 26 in the rows of the
            // name beside it, 96 in its own. Icons between them are no words.
            const Rect ink = inkWithin(band.rows->image, inRows, piece).box;
            if (!mayBeWord(piece, ink.height)) continue;
            const RowRun rows{ink.y + band.rows->top, ink.bottom() + band.rows->top};
            TokenRead apart = readToken(engine, band, rows, piece);
            stretches.emplace_back(std::move(apart.lines), apart.sure);
          }
          continue;
        }
      }
      // What it doubts may still be a column letter, which it reads twice
      // ("Cc"), or a shell's prompt.
      stretches.emplace_back(std::move(token.lines), token.sure);
    }
    keepTokens(stretches, band.lines);
  }
  engine.SetPageSegMode(layout);
}

// Tesseract's line finder may give one word's pieces to two of its lines,
// when the dots of a row's i's and j's make a line of their own: in a file
// grid "IMG_1001.jpg" came out as "IMG_", "1001, j" and ".jpg". Pieces in
// one row that touch, or a few pixels apart, are read again as one line,
// and so kept when that reading is sure.
constexpr int kMostSplitGapHeights = 2;  // the gap at most half their height
constexpr double kWholeBelowPieces = 2.0;

std::string withoutSpaces(std::string text) {
  std::erase(text, ' ');
  return text;
}

// The line read again over `box` as one: `again`'s words there.
void takeReading(Line& line, const Line& again, const Rect& box) {
  line.text = again.text;
  line.confidence = line.leastWordConfidence = again.confidence;
  line.place.box = box;
  line.place.words = again.place.words;
  line.place.number = again.place.number;
}

bool touchInRow(const Rect& a, const Rect& b) {
  const int overlap = std::min(a.bottom(), b.bottom()) - std::max(a.y, b.y);
  const int gap = std::max(a.x, b.x) - std::min(a.right(), b.right());
  return 2 * overlap >= std::min(a.height, b.height) && kMostSplitGapHeights * gap <= std::max(a.height, b.height);
}

// The line's pieces after `at` in `order` that touch it in its row, and
// those that touch them; the box around them all.
std::pair<std::vector<std::size_t>, Rect> touchingPieces(const std::vector<Line>& lines,
                                                        const std::vector<std::size_t>& order, std::size_t at,
                                                        const std::vector<bool>& joined) {
  Rect box = lines[order[at]].place.box;
  std::vector<std::size_t> touching;
  for (std::size_t next = at + 1; next < order.size(); ++next) {
    const Line& other = lines[order[next]];
    if (joined[order[next]] || !touchInRow(box, other.place.box)) continue;
    box = unite(box, other.place.box);
    touching.push_back(order[next]);
  }
  return {touching, box};
}

void readSplitWordsAgain(::tesseract::TessBaseAPI& engine, Band& band) {
  std::vector<Line>& lines = band.lines;
  std::vector<std::size_t> order(lines.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return lines[a].place.box.x < lines[b].place.box.x; });
  const ::tesseract::PageSegMode layout = engine.GetPageSegMode();
  engine.SetPageSegMode(::tesseract::PSM_SINGLE_LINE);
  std::vector<bool> joined(lines.size(), false);
  for (std::size_t at = 0; at < order.size(); ++at) {
    Line& first = lines[order[at]];
    if (joined[order[at]]) continue;
    const auto [others, box] = touchingPieces(lines, order, at, joined);
    if (others.empty()) continue;
    // Rated about as the pieces' letters are: a short piece may rate higher
    // than any long line, and the whole a point or two below its pieces
    // ("10.0.3." and ".42 - - [09/Dec/2026:...]" at 95.6 and 92.4, the whole
    // line at 91.7). A whole that spells the pieces only places their space.
    double rated = static_cast<double>(first.confidence) * static_cast<double>(first.text.size());
    double letters = static_cast<double>(first.text.size());
    std::string spelled = first.text;
    for (std::size_t other : others) {
      rated += static_cast<double>(lines[other].confidence) * static_cast<double>(lines[other].text.size());
      letters += static_cast<double>(lines[other].text.size());
      spelled += lines[other].text;
    }
    const std::vector<Line> again = readPieceEnlarged(engine, band, box);
    if (again.size() != 1 || again.front().confidence < kSureAgainConfidence) continue;
    const bool spellsPieces = withoutSpaces(again.front().text) == withoutSpaces(spelled);
    if (!spellsPieces && again.front().confidence < rated / letters - kWholeBelowPieces) continue;
    takeReading(first, again.front(), box);
    for (std::size_t other : others) joined[other] = true;
  }
  engine.SetPageSegMode(layout);
  std::size_t index = 0;
  std::erase_if(lines, [&](const Line&) { return joined[index++]; });
}

// A grid's cards whose titles wrap onto two rows beside titles on one
// stand staggered: the model reads a card's small gray line as one line
// with its neighbours' larger title, and its boxes then squash the card's
// words or cut through them ("0 rbit Club" for "Orbit Club", "Work" and
// "yp Diarie:" for "Workshop Diaries"), however sure it is of them. Such a
// cell, squashed, or doubtful and cut off from the rest of its block, is read
// again over the block of ink around it, in place of the pieces read there,
// when that reading is sure (and, for a doubtful cell, surer than they were);
// so is any line twice as high as a word level with it, a heading.
constexpr int kCellGapHeights = 1;  // wider than a space, narrower than a grid's gutter
constexpr int kSquashedFifths = 4;  // a box at most this many fifths of its ink's height

// The lines but `self` and those `taken` whose middles lie within `block`.
std::vector<std::size_t> linesWithin(const std::vector<Line>& lines, const Rect& block, std::size_t self,
                                     const std::vector<bool>& taken) {
  std::vector<std::size_t> within;
  for (std::size_t j = 0; j < lines.size(); ++j) {
    const Rect& box = lines[j].place.box;
    const int middleX = box.x + box.width / 2, middleY = box.y + box.height / 2;
    const bool inBlock = block.x <= middleX && middleX < block.right() && block.y <= middleY && middleY < block.bottom();
    if (j != self && !taken[j] && inBlock) within.push_back(j);
  }
  return within;
}

// Whether a word level with the line is half as high or less: a heading
// read with the small text beside it, its letters spaced as the small
// text's words ("Introduction Cac h i n g On this page"), or whose box took
// in the rule and the line under it ("Copper vaey Rallway").
bool outsizedInRow(const std::vector<Line>& lines, std::size_t i) {
  const Rect& box = lines[i].place.box;
  const auto isWord = [](const std::string& text) {
    return std::ranges::count_if(text, [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }) > 1;
  };
  return std::ranges::any_of(lines, [&](const Line& other) {
    const Rect& small = other.place.box;
    return &other != &lines[i] && isWord(other.text) && 2 * small.height <= box.height &&
           box.y <= small.y + small.height / 2 && small.y + small.height / 2 < box.bottom();
  });
}

void readCellBlocksAgain(::tesseract::TessBaseAPI& engine, Band& band) {
  const Page& page = *band.page;
  std::vector<Line>& lines = band.lines;
  const ::tesseract::PageSegMode layout = engine.GetPageSegMode();
  engine.SetPageSegMode(::tesseract::PSM_SINGLE_LINE);
  std::vector<bool> taken(lines.size(), false);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (taken[i]) continue;
    const bool outsized = outsizedInRow(lines, i);
    if (!lines[i].amongCells && !outsized) continue;
    const Rect& box = lines[i].place.box;
    Rect block = inkBlockAround(page.image, {box.x - page.bounds.x, box.y - page.bounds.y, box.width, box.height},
                                kCellGapHeights);
    block.x += page.bounds.x;
    block.y += page.bounds.y;
    const bool doubtful = lines[i].leastWordConfidence < kDoubtfulLineConfidence;
    const bool squashed = lines[i].amongCells && 5 * box.height <= kSquashedFifths * block.height;
    // A sheet's cell borders join all its cells into one block.
    if ((!doubtful && !squashed && !outsized) || block.height > std::max(kMostTokenRows, 2 * box.height)) continue;
    const std::vector<std::size_t> within = linesWithin(lines, block, i, taken);
    // A doubtful cell alone in its block is read again as it stands, below.
    if (!squashed && !outsized && within.empty()) continue;
    float least = lines[i].leastWordConfidence;
    for (std::size_t j : within) least = std::min(least, lines[j].leastWordConfidence);
    const std::vector<Line> again = readPieceEnlarged(engine, band, block);
    const float sure = doubtful ? std::max(kSureAgainConfidence, least + kAgainGain) : kSureAgainConfidence;
    if (again.size() != 1 || again.front().confidence < sure) continue;
    // A heading's letters were read, only its spaces misplaced (and a
    // capital's case, at the start of a word the spaces cut short).
    const bool sameLetters = withoutSpaces(lowered(lines[i].text)) == withoutSpaces(lowered(again.front().text));
    if (outsized && !squashed && !doubtful && !sameLetters) continue;
    takeReading(lines[i], again.front(), block);
    for (std::size_t j : within) taken[j] = true;
  }
  engine.SetPageSegMode(layout);
  std::size_t index = 0;
  std::erase_if(lines, [&](const Line&) { return taken[index++]; });
}

// A doubtful piece may be one whose first or last glyph the layout left
// out ("ayslip_Mar.pdf" of "payslip_Mar.pdf"); read again within its box
// alone, that glyph cut in two reads as another ("yayslip"). So the piece
// is read with the ink that touches it, a glyph's gap away at most.
constexpr int kGlyphGapFractionOfHeight = 4;
constexpr int kLeastGlyphFractionOfHeight = 3;

Rect withInkBeside(const Page& page, const Rect& box) {
  const int top = box.y - page.bounds.y;
  const ColumnSpan grown = grownOverInkBeside(page.image, {top, top + box.height},
                                              {box.x - page.bounds.x, box.right() - page.bounds.x},
                                              box.height / kGlyphGapFractionOfHeight);
  // No glyph left out, only an edge's shading: the box as the layout found
  // it, which it reads best ("Warehouse.java" where the ink one column
  // wider reads "Warehouse java").
  const int growth = (grown.right - grown.left) - box.width;
  if (kLeastGlyphFractionOfHeight * growth < box.height) return box;
  // The glyph left out may reach past the box's rows, as a p's descender
  // does; up to half a height, short of the lines above and below. The
  // grown columns hold ink in the box's rows, so there is ink to find.
  const Rect ink = inkWithin(page.image, {top - box.height / 2, top + box.height + box.height / 2}, grown).box;
  const int inkTop = std::min(top, ink.y);
  const int inkBottom = std::max(top + box.height, ink.bottom());
  return {grown.left + page.bounds.x, inkTop + page.bounds.y, grown.right - grown.left, inkBottom - inkTop};
}

// A clock time last on a line, as a chat message or a mail's line ends:
// small and dim beside the text, the model doubts it and often has a digit
// wrong ("18:33" read "18:32"), which it reads right enlarged more.
std::size_t clockTimeAtEnd(std::string_view text) {
  const std::size_t start = text.rfind(' ') + 1;  // 0 without a space
  const std::string_view last = text.substr(start);
  const std::size_t colon = last.find(':');
  const auto digits = [](std::string_view part) {
    return std::ranges::all_of(part, [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
  };
  const bool clock = (colon == 1 || colon == 2) && last.size() == colon + 3 && digits(last.substr(0, colon)) &&
                     digits(last.substr(colon + 1));
  return clock ? start : std::string::npos;
}

// A time is a digit away from another: doubted less than a line, it is
// read again ("08:12" read "03:12" at 70).
constexpr float kDoubtedClockConfidence = 80.0F;

void readClockTimeAgain(::tesseract::TessBaseAPI& engine, Band& band, Line& line) {
  const std::size_t start = clockTimeAtEnd(line.text);
  if (start == std::string::npos || line.lastWordConfidence >= kDoubtedClockConfidence) return;
  const std::vector<Line> again = readPieceEnlarged(engine, band, withInkBeside(*band.page, line.lastWord));
  if (again.size() != 1 || clockTimeAtEnd(again.front().text) != 0) return;
  if (again.front().confidence < std::max(kSureAgainConfidence, line.lastWordConfidence + kAgainGain)) return;
  line.text.replace(start, std::string::npos, again.front().text);
}

void readDoubtfulPiecesAgain(::tesseract::TessBaseAPI& engine, Band& band) {
  const ::tesseract::PageSegMode layout = engine.GetPageSegMode();
  engine.SetPageSegMode(::tesseract::PSM_SINGLE_LINE);
  for (Line& line : band.lines) {
    readClockTimeAgain(engine, band, line);
    // A piece of sure words costs a reading and gains nothing. A cell's
    // doubtful word is read again even on a sure line: across the blank
    // before it, "Sintra raw_exports" was read "Sintra Taw_exports".
    if (line.leastWordConfidence >= kDoubtfulLineConfidence) continue;
    if (line.confidence >= kDoubtfulLineConfidence && !line.amongCells) continue;
    const std::vector<Line> pieces = readPieceEnlarged(engine, band, withInkBeside(*band.page, line.place.box));
    if (pieces.size() != 1) continue;
    const Line& again = pieces.front();
    const bool surer = again.confidence >= kSureAgainConfidence && again.confidence >= line.confidence + kAgainGain;
    const bool sameWords = again.place.words == line.place.words || onlyRespaced(line.text, again.text);
    // A file name's period put back is taken from any surer reading.
    const bool named = again.confidence > line.confidence && periodRestored(line.text, again.text);
    // A doubtful word read sure, the rest no less sure ("0 60 811020", the
    // vmstat row "0 0 811020" again at 82 with none below 74).
    const bool doubtCleared = again.leastWordConfidence >= kDoubtfulLineConfidence &&
                              again.confidence > line.confidence && !onlyLookAlikesSwapped(line.text, again.text);
    if (((surer || doubtCleared) && sameWords) || named) line.text = again.text;
  }
  engine.SetPageSegMode(layout);
}

// A title bar's line of a few letters at least is a title: its buttons and
// icon read as marks or pairs of letters ("ox").
bool titleLike(const Line& line) {
  constexpr std::ptrdiff_t kTitleLetters = 3;
  return std::count_if(line.text.begin(), line.text.end(),
                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }) >= kTitleLetters;
}

bool readsTitleSurely(const Line& line) { return titleLike(line) && line.confidence >= kSureAgainConfidence; }

// The layout may leave out the end of a small title ("lena@marten:" of
// "lena@marten: ~/src/ledger", the rest taken for noise). Ink left out
// within a few letters of the title is read with it as one line, kept when
// sure; the bar's icon and buttons lie farther off.
constexpr int kMostTitleGapHeights = 1;

// The read columns widened over the ink left out beside them in the band's
// `rows`, `height` high.
ColumnSpan withInkBeside(const Band& band, const ColumnSpan& read, const RowRun& rows) {
  const int margin = 2 * band.page->scale;
  const int height = rows.bottom - rows.top;
  const Rect readBox{read.left - margin, rows.top, read.right - read.left + 2 * margin, height};
  ColumnSpan whole = read;
  for (const ColumnSpan& span :
       uncoveredInk(band.rows->image, rows, {readBox}, kNearTokenGapHeights * height, margin)) {
    const int gap = std::max(span.left - read.right, read.left - span.right);
    if (gap > kMostTitleGapHeights * height) continue;
    whole = {std::min(whole.left, span.left), std::max(whole.right, span.right)};
  }
  return whole;
}

void readRestOfTitle(::tesseract::TessBaseAPI& engine, Band& band) {
  const Page& page = *band.page;
  const ::tesseract::PageSegMode layout = engine.GetPageSegMode();
  engine.SetPageSegMode(::tesseract::PSM_SINGLE_LINE);
  for (Line& title : band.lines) {
    if (!titleLike(title)) continue;
    const Rect& box = title.place.box;
    const int top = (box.y - page.bounds.y) * page.scale, bottom = (box.bottom() - page.bounds.y) * page.scale;
    const ColumnSpan read{(box.x - page.bounds.x) * page.scale, (box.right() - page.bounds.x) * page.scale};
    const ColumnSpan whole = withInkBeside(band, read, {band.rows->at(top), band.rows->at(bottom)});
    if (whole.left == read.left && whole.right == read.right) continue;
    const Rect wholeBox = page.onScreen(whole.left, top, whole.right, bottom);
    const std::vector<Line> again = readPieceEnlarged(engine, band, wholeBox);
    if (again.size() != 1 || again.front().confidence < kSureAgainConfidence) continue;
    takeReading(title, again.front(), wholeBox);
  }
  engine.SetPageSegMode(layout);
}

// The desktop behind windows, with a shadow's corners and a stray glyph,
// costs Tesseract's layout as much as a band of text, and it finds no line
// there (a screen of terminals: a tenth of its time). What tokens there are,
// the token reading after it reads alone.
bool holdsOnlyTokens(const Band& band) {
  const ColumnSpan columns =
      band.columns.right > band.columns.left ? band.columns : ColumnSpan{0, band.rows->image.width};
  const RowRun rows{band.rows->at(band.top), band.rows->at(band.bottom)};
  const int scale = band.page->scale;
  return onlyTokensOfInk(band.rows->image, rows, columns, {kLeastTokenRows * scale, kMostTokenRows * scale});
}

void recognizeBand(::tesseract::TessBaseAPI& engine, Band& band) {
  const Page& page = *band.page;
  const PageRows rows{scaleUpRows(page.image, page.scale, band.top, band.bottom + kRowsBelowBand), band.top};
  band.rows = &rows;
  if (page.region >= page.firstBarRegion || !holdsOnlyTokens(band)) readBand(engine, band);
  // A title bar keeps one line: once its title is read, what ink is left
  // there is its icon and buttons, not worth a reading each.
  const bool titleRead =
      page.region >= page.firstBarRegion && std::any_of(band.lines.begin(), band.lines.end(), titleLike);
  if (!titleRead) {
    const std::size_t tokensFrom = band.lines.size();
    readDroppedRuns(engine, band);
    readTokenColumns(engine, band, tokensFrom);
  }
  if (titleRead) readRestOfTitle(engine, band);
  band.rows = nullptr;
  readSplitWordsAgain(engine, band);
  // Nor is the rest read again: of a bar's lines only a title stays.
  if (titleRead) std::erase_if(band.lines, [](const Line& line) { return !titleLike(line); });
  readCellBlocksAgain(engine, band);
  readDoubtfulPiecesAgain(engine, band);
}

// Regions are enlarged smallest first while the enlarged total stays within
// the budget.
std::vector<int> chooseScales(const std::vector<TextRegion>& regions, const BackgroundMap& map, int requested) {
  std::vector<int> scales(regions.size(), std::max(1, requested));
  if (requested != 0) return scales;
  // Counted by the cells of its own area: the box of a window's area holds
  // the panels inside it, which are regions of their own (counting boxes, a
  // mail screen's reading pane was left as it was).
  std::vector<long long> own(regions.size(), 0);
  for (std::size_t i = 0; i < regions.size(); ++i) {
    const Rect& r = regions[i].bounds;
    for (int row = r.y / map.cellSize; row <= (r.bottom() - 1) / map.cellSize; ++row) {
      for (int column = r.x / map.cellSize; column <= (r.right() - 1) / map.cellSize; ++column) {
        own[i] += map.areaAt(column, row) == regions[i].area;
      }
    }
    own[i] *= static_cast<long long>(map.cellSize) * map.cellSize;
  }
  std::vector<std::size_t> bySize(regions.size());
  std::iota(bySize.begin(), bySize.end(), 0);
  std::stable_sort(bySize.begin(), bySize.end(), [&](std::size_t a, std::size_t b) { return own[a] < own[b]; });
  long long enlarged = 0;
  for (std::size_t i : bySize) {
    enlarged += own[i];
    if (enlarged > kEnlargeBudget) break;
    scales[i] = 2;
  }
  return scales;
}

// Pages in reading order: the regions, or the whole image when asked.
std::vector<Page> planPages(GrayImage gray, const KestrovaOcrOptions& options) {
  std::vector<Page> pages;
  if (options.wholeImage != 0) {
    const int scale = std::max(1, options.scale);
    const Rect bounds{0, 0, gray.width, gray.height};
    pages.push_back({std::move(gray), scale, bounds, 0, {}, 1});
    return pages;
  }
  const BackgroundMap map = mapBackground(gray);
  const std::vector<TextRegion> regions = findTextRegions(gray, map);
  const std::vector<int> scales = chooseScales(regions, map, options.scale);
  std::vector<Rect> titleBars;
  for (const GradientBar& bar : map.bars) {
    titleBars.push_back({bar.left, bar.top, bar.right - bar.left, static_cast<int>(bar.grays.size())});
  }
  for (std::size_t i = 0; i < regions.size(); ++i) {
    pages.push_back({preparePage(gray, map, regions[i]), scales[i], regions[i].bounds, static_cast<int>(i), titleBars,
                     static_cast<int>(regions.size())});
  }
  // Each bar read whole, too: the most confident reading of its title stays.
  // Counting pixels cannot tell a light title from a dark one for sure (a
  // white title's shadow and the bar's dark icon and buttons may outnumber
  // its glyphs), so the likelier way is read first and the other only when
  // it finds no title.
  for (std::size_t i = 0; i < map.bars.size(); ++i) {
    const int region = static_cast<int>(regions.size() + i);
    GradientBar bar = map.bars[i];
    bar.lightTitle = moreInkLighter(gray, bar);
    for (int polarity = 0; polarity < 2; ++polarity, bar.lightTitle = !bar.lightTitle) {
      pages.push_back({prepareTitleBar(gray, bar), std::max(2, options.scale), titleBars[i], region, titleBars,
                       static_cast<int>(regions.size()), polarity == 1});
    }
  }
  return pages;
}

// Where the enlarged page holds ink: its runs of inked rows, and each row's
// first and last column of ink however faint. Enlarged a stretch of rows at a time.
struct PageInk {
  std::vector<RowRun> runs;
  std::vector<ColumnSpan> rows;  // empty for a blank row
};

PageInk findInk(const Page& page) {
  constexpr int kStretchRows = 256;
  PageInk ink;
  ink.rows.resize(static_cast<std::size_t>(page.height()));
  for (int top = 0; top < page.height(); top += kStretchRows) {
    const GrayImage stretch = scaleUpRows(page.image, page.scale, top, top + kStretchRows);
    for (int y = 0; y < stretch.height; ++y) {
      const std::uint8_t* row = stretch.pixels.data() + static_cast<std::size_t>(y) * stretch.width;
      const auto faint = [](std::uint8_t pixel) { return pixel < 255 - kFaintInkContrast; };
      const std::uint8_t* first = std::find_if(row, row + stretch.width, faint);
      if (first == row + stretch.width) continue;
      const std::uint8_t* last = std::find_if(std::make_reverse_iterator(row + stretch.width),
                                              std::make_reverse_iterator(row), faint).base();
      ink.rows[top + y] = {static_cast<int>(first - row), static_cast<int>(last - row)};
      if (std::none_of(first, last, [](std::uint8_t pixel) { return pixel < 255 - kInkContrast; })) continue;
      if (!ink.runs.empty() && ink.runs.back().bottom == top + y) {
        ink.runs.back().bottom = top + y + 1;
      } else {
        ink.runs.push_back({top + y, top + y + 1});
      }
    }
  }
  return ink;
}

// Blank rows and columns around a band's ink are not handed to Tesseract,
// which would threshold and search them all the same (a desktop's empty
// stretches beside a terminal: 6% of the instructions). This much blank is
// kept around the ink.
constexpr int kBlankAroundInk = 8;
// Tesseract's threshold between ink and paper moves with how much paper it
// is shown, and greyed lines sit near it: a band is cut down only where its
// ink spans at most this share of it (at 0.6, two mail screens lost a line).
constexpr double kMostInkedShare = 0.4;

// A band of rows [top, bottom) of the page, cut down to its ink; none when it has none.
std::optional<Band> inkedBand(const Page& page, const PageInk& ink, int top, int bottom) {
  std::vector<RowRun> within;
  std::copy_if(ink.runs.begin(), ink.runs.end(), std::back_inserter(within),
               [&](const RowRun& run) { return run.top >= top && run.bottom <= bottom; });
  ColumnSpan columns{page.width(), 0};
  int first = bottom;
  int last = top;
  for (int y = top; y < bottom; ++y) {
    const ColumnSpan& row = ink.rows[y];
    if (row.right <= row.left) continue;
    columns = {std::min(columns.left, row.left), std::max(columns.right, row.right)};
    first = std::min(first, y);
    last = y + 1;
  }
  if (last <= first) return std::nullopt;
  const int around = kBlankAroundInk * page.scale;
  columns = {std::max(0, columns.left - around), std::min(page.width(), columns.right + around)};
  first = std::max(top, first - around);
  last = std::min(bottom, last + around);
  if (kMostInkedShare * page.width() < columns.right - columns.left) columns = {};
  if (kMostInkedShare * (bottom - top) < last - first) {
    first = top;
    last = bottom;
  }
  return Band{&page, first, last, {}, std::move(within), columns};
}

std::vector<Band> cutBands(const std::vector<Page>& pages, int engines) {
  const int bandRows = engines > 1 ? kSharedBandRows : kBandRows;
  std::vector<Band> bands;
  for (const Page& page : pages) {
    const int height = page.height();
    const PageInk ink = findInk(page);
    std::vector<int> cuts = bandCuts(ink.runs, height, std::max(1, height / (bandRows * page.scale)));
    cuts.push_back(height);
    int top = 0;
    for (int cut : cuts) {
      if (std::optional<Band> band = inkedBand(page, ink, top, cut)) bands.push_back(std::move(*band));
      top = cut;
    }
  }
  return bands;
}

// The bands in the order engines take them: largest first, so no engine is
// left with a big one at the end. A title bar's second reading is left out
// if there is a first, which it follows on the same engine.
struct BandOrder {
  std::vector<std::size_t> first;
  std::map<int, std::vector<std::size_t>> second;  // by region
};

BandOrder orderBands(const std::vector<Band>& bands) {
  std::set<int> readFirst;
  for (const Band& band : bands) {
    if (!band.page->secondReading) readFirst.insert(band.page->region);
  }
  BandOrder order;
  for (std::size_t i = 0; i < bands.size(); ++i) {
    const Page& page = *bands[i].page;
    if (page.secondReading && readFirst.contains(page.region)) {
      order.second[page.region].push_back(i);
    } else {
      order.first.push_back(i);
    }
  }
  std::stable_sort(order.first.begin(), order.first.end(),
                   [&](std::size_t a, std::size_t b) { return bands[a].pixels() > bands[b].pixels(); });
  return order;
}

// Each engine's network buffers for a screen-wide line run to megabytes and
// are made and freed line after line. glibc would by default raise its mmap
// threshold to their size after the first is freed and then keep them in
// each thread's heap: a fixed threshold hands them back to the system (full
// screen, two engines: peak 92 -> 85 MB, no measurable time). Smaller blocks
// come and go as often, band after band; keeping up to 4 MB of them at the
// top of each heap saves a fifth of the page faults, which a virtual machine
// makes dear (a screen of terminals: CPU 0.86 -> 0.80 s, peak +2 MB).
void returnLargeBuffersToTheSystem() {
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  mallopt(M_TRIM_THRESHOLD, 4 << 20);
}

// The same ink read in two regions' pages is kept once. A reading the model
// doubts is another's repeat whatever it says: the page where the line is
// cut off by its region's edge reads only its glyphs' feet.
void dropRepeatedReads(std::vector<const Line*>& lines) {
  const auto doubted = [](const Line* line) { return line->confidence < kLeastLineConfidence; };
  std::vector<const Line*> kept;
  for (const Line* line : lines) {
    const auto repeated = std::ranges::find_if(kept, [&](const Line* other) {
      return repeatsRead(line->place, other->place, line->text == other->text || doubted(line) || doubted(other));
    });
    if (repeated == kept.end()) {
      kept.push_back(line);
    } else if (doubted(*repeated) && !doubted(line)) {
      *repeated = line;
    }
  }
  lines = std::move(kept);
}

// A title bar shows one title, but every page it reaches into reads it, and
// its buttons and icon read as marks: the most confident line stays, one of
// a few letters at least if there is one (a window's buttons, read as "ox",
// may rate higher than a small title).
void keepOneTitlePerBar(std::vector<const Line*>& lines, int firstBarRegion) {
  const auto rank = [](const Line* candidate) { return std::pair(titleLike(*candidate), candidate->confidence); };
  std::map<int, const Line*> best;
  for (const Line* line : lines) {
    if (line->place.region < firstBarRegion) continue;
    const Line*& kept = best[line->place.region];
    if (kept == nullptr || rank(line) > rank(kept)) {
      kept = line;
    }
  }
  std::erase_if(lines, [&](const Line* line) {
    return line->place.region >= firstBarRegion && best[line->place.region] != line;
  });
}

// Lines in reading order, those of one visual line joined by a space and
// rated by the confidence of their letters.
void emitVisualLines(const std::vector<const Line*>& lines, const std::vector<PlacedLine>& places,
                     KestrovaOcrLineSink sink, void* context) {
  std::string text;
  double rated = 0;  // confidence times letters
  double letters = 0;
  const PlacedLine* last = nullptr;
  auto emit = [&] {
    if (text.empty()) return;
    // A sheet's column letters, read one by one, are pieces of one visual line.
    mendColumnLetters(text);
    sink(context, text.c_str(), static_cast<float>(rated / letters));
  };
  for (std::size_t i : readingOrder(places)) {
    if (last == nullptr || !continuesLine(*last, places[i])) {
      emit();
      text.clear();
      rated = letters = 0;
    } else {
      text += ' ';
    }
    text += lines[i]->text;
    const auto size = static_cast<double>(lines[i]->text.size());
    rated += static_cast<double>(lines[i]->confidence) * size;
    letters += size;
    last = &places[i];
  }
  emit();
}

int recognize(const KestrovaOcrRequest& request, KestrovaOcrLineSink sink, void* context, std::string& error) {
  returnLargeBuffersToTheSystem();
  // Leptonica, under Tesseract, writes its complaints about a page straight
  // to standard error, which carries only the tool's own messages.
  setMsgSeverity(L_SEVERITY_NONE);
  const std::string dataDir = findDataDir(request.languageDataDir, error);
  if (dataDir.empty()) return 1;
  const std::string languages = chooseLanguages(dataDir);
  // The first engine loads its model while the screen is cut into pages,
  // which takes about as long (a screen of chat: wall 1.03 -> 0.85 s).
  std::future<Engine> firstEngine =
      std::async(std::launch::async, [&] { return startEngine(dataDir, languages, request.options); });
  std::atomic<bool> firstTaken{false};

  const std::vector<Page> pages =
      planPages(copyGray(request.pixels, request.width, request.height, request.bytesPerRow), request.options);
  long long work = 0;
  for (const Page& page : pages) work += static_cast<long long>(page.width()) * page.height();
  const int cores = static_cast<int>(std::min(2U, std::max(1U, std::thread::hardware_concurrency())));
  int engines = request.options.threads > 0 ? request.options.threads : (work >= kParallelPixels ? cores : 1);
  std::vector<Band> bands = cutBands(pages, engines);
  engines = std::min<int>(engines, static_cast<int>(bands.size()));

  const BandOrder order = orderBands(bands);

  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::atomic<bool> outOfMemory{false};
  auto recognizeBands = [&] {
    // An exception leaving a thread would end the process.
    try {
      Engine engine = firstTaken.exchange(true) ? startEngine(dataDir, languages, request.options) : firstEngine.get();
      if (!engine) {
        failed = true;
        return;
      }
      for (std::size_t i = next++; i < order.first.size(); i = next++) {
        Band& band = bands[order.first[i]];
        recognizeBand(*engine, band);
        const auto second = order.second.find(band.page->region);
        if (second == order.second.end() || std::ranges::any_of(band.lines, readsTitleSurely)) continue;
        for (std::size_t other : second->second) recognizeBand(*engine, bands[other]);
      }
    } catch (const std::bad_alloc&) {
      outOfMemory = true;
    }
  };
  if (engines > 1) {
    std::vector<std::jthread> threads;
    for (int i = 0; i < engines; ++i) threads.emplace_back(recognizeBands);
  } else if (!bands.empty()) {
    recognizeBands();
  }
  if (outOfMemory) throw std::bad_alloc();
  if (failed) {
    error = "Tesseract could not load its English model from " + dataDir;
    return 1;
  }
  std::vector<const Line*> lines;
  for (const Band& band : bands) {
    for (const Line& line : band.lines) lines.push_back(&line);
  }
  const int firstBarRegion = pages.empty() ? 0 : pages.front().firstBarRegion;
  keepOneTitlePerBar(lines, firstBarRegion);
  dropRepeatedReads(lines);
  std::vector<PlacedLine> places;
  for (const Line* line : lines) places.push_back(line->place);
  if (!pages.empty()) placeInWindows(places, pages.front().titleBars, firstBarRegion);
  emitVisualLines(lines, places, sink, context);
  return 0;
}

}  // namespace
}  // namespace kestrova::desktop::tesseract

extern "C" __attribute__((visibility("default"))) int kestrova_ocr_recognize(const KestrovaOcrRequest* request,
                                                                             KestrovaOcrLineSink sink, void* context,
                                                                             char* error, std::size_t errorSize) {
  std::string description;
  int status = 1;
  try {
    status = kestrova::desktop::tesseract::recognize(*request, sink, context, description);
  } catch (const std::bad_alloc&) {
    description = "Tesseract ran out of memory";
  } catch (const std::exception& e) {
    description = std::string("Tesseract recognition failed: ") + e.what();
  }
  if (status != 0 && errorSize > 0) std::snprintf(error, errorSize, "%s", description.c_str());
  return status;
}
