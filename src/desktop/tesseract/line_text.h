// Text-only helpers of the recognizer: corrections to a recognized line, and
// the language of the user's locale.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::desktop::tesseract {

// Tesseract's model, trained mostly on print, reads a straight quote that
// opens a string as a curly one ("“summary.json\"" in code, "‘Route the
// cart'" in a shell). A curly quote whose partner is straight is such a
// misreading, and is made straight like its partner; quotes paired in one
// style are left as they are. Double and single quotes each pair with their own kind.
void straightenMismatchedQuotes(std::string& line);

// Tesseract reads a capital I set alone as a bar, and a button's or a box's
// edges as bars and brackets. A lone "|" after a lowercase word, a comma or a
// sentence's end, or at the line's start, and before a word that follows I
// in sentences ("in threads | follow", "PM, | will", "cracked. | took") is
// made an I; another one at either end of the line or between two
// capitalized words ("Cancel | Apply"), a box at the line's start ("(_)",
// "[=]"), an icon or avatar read as rings or bars before a name ("@\u00A7 notes.txt",
// "P| Alice"), a row of round buttons ("O00") and a lone opening bracket
// that nothing closes later in the line (a dropdown's edge: "Language [
// English") are dropped. Bars between other words, as in code ("a | b"), stay.
void mendBarsAndBoxes(std::string& line);

// Read one by one, far apart, a sheet's column letters come out doubled
// where a capital looks like its small letter ("A B Cc D"), or as another
// mark ("N fe) P", "H l J"): in a line of lone capitals, a capital and its
// own small letter are the capital alone, and what stands between two
// capitals one apart is the capital between them.
void mendColumnLetters(std::string& line);

// Whether a line's pieces are a sheet's column letters, read one by one:
// five lone capitals (or a capital and its own small letter) at least, two
// thirds of them. Their pieces are not mended one by one, where a lone
// "I" read as a bar or an "Oo" would be taken for a frame or a row of
// buttons; the letters are mended together.
bool rowOfColumnLetters(const std::vector<std::string>& words);

// Whether the text is a count of ready containers ("1/1", "0/2": kubectl's
// READY column), which the model rates as low as 41 in its cells.
bool readyCount(std::string_view text);

// Which lines read again where the layout found none are kept, for each
// stretch of a row read (its lines, and whether the model was sure of
// them): window buttons and icons, which the layout rightly dropped, read
// as marks ("=", "it"); a sure stretch that holds a digit or three letters
// is a token (a row of lone column letters, read apart, together), so is a
// terminal's prompt ("$", "#", ">>>") and a block's end in code ("}"); and
// a column letter (a capital, or a
// capital and its own small letter, which the model doubts) in a row of
// five sure ones at least is one (a sheet's column letters, read one by one
// where the layout read some of them), and made the capital alone; so is a
// shell's prompt ("user@host:path$") and a count of ready containers, doubted
// or not.
struct TokenStretch {
  std::vector<std::string> lines;
  bool sure = true;
};
std::vector<std::vector<bool>> keptTokens(std::vector<TokenStretch>& stretches);

// Whether a line read in a column of tokens is one: a letter or a digit
// among letters, digits and the marks of grades, numbers and amounts ("B+",
// "-4", "45%", "$12", "N/A"). Icons read as marks in brackets, bars or rings
// ("[=]", "©") are none.
bool stackedToken(std::string_view text);

// In a hexadecimal number (a hash, a trace id: seven characters or more,
// two decimal digits or more, nothing but hexadecimal digits and letters
// that look like digits) a 1 read as l or I and a 0 read as O, o or Q are
// digits again ("span=4fdf8ela", "7B9EOD4"), and a capital among four times
// as many small letters is small ("91F7b3c0d").
void mendHexDigits(std::string& line);

// A version or a tag's number after a name's colon or at sign starts with a
// 1 the model read as an l in a monospace font ("postgres:l6",
// "shop@l.3.0"): an l there before digits alone, or before a period and a
// digit, is a 1.
void mendOnesOfVersions(std::string& line);

// Whether the word is such a number, in small letters: digits and a to f
// only, seven or more, two of them decimal.
bool hexadecimalNumber(std::string_view word);

// A mail address's l read as a bar ("ava.|@acorn.io"): no address holds one.
void mendBarsInAddresses(std::string& line);

// A file name's extension, or a hidden file's name after its period, that
// is no known one, but one glyph off a known one by a look-alike Tesseract
// confuses, is that one ("report.pdt" for "report.pdf", "results.xIsx" for
// "results.xlsx", ".bashre" for ".bashrc", "revenue.sq|" for "revenue.sql").
void mendFileExtensions(std::string& line);

// An abbreviation's last I read as l and run into the word after it, whose
// first letter stands as close to the I as a letter's neighbour does in a
// sans-serif UI font ("APlreference" for "API reference"). A small l
// between capitals and small letters is no spelling of a word.
void mendAbbreviationsBeforeWords(std::string& line);

// A bold prompt's "@", whose tail the model reads as a capital G beside it
// ("leoG@harbor:~/apps$", "leo@Gharbor:~$"): a word that is a shell's
// prompt but for such a G is that prompt. A line's first words that make
// a prompt only joined ("ops@f jord: ~$") are that prompt. A 7 that starts
// its path before a letter is the root's slash.
void mendShellPrompts(std::string& line);

// A compiler's optimization flag, a word of its own, whose O the model read
// as a zero ("cc -02 -c main.c"), even in a terminal font that dots its
// zeros and leaves its O plain; "-02" alone is seldom a number.
void mendOptimizationFlags(std::string& line);

// A rate of nothing, "0 B/s" as a system monitor shows it in a
// proportional font, which the model reads as one word, its zero as O and
// its slash as l ("OBls", "OkB/s"): such a word is that rate.
void mendZeroRates(std::string& line);

// A device's or an interface's number zero after its name's small letters
// ("usb0", "eth0:", "wlan0"), which the model reads as a capital O, as tall
// as a zero; a capital that ends a word of small letters is seldom one. A
// small o before a digit is left to its height, not its place: it may well
// be an o ("go1.22", "photo1.jpg").
void mendDeviceZeros(std::string& line);

// A file's mode as ls -l shows it ("-rw-r--r--"), whose r the model reads
// as an f, an l or an I beside the dashes ("-fw-r--r--", "-lw-I-----"): in
// a word of that shape, its places' letters or dashes and perhaps one mark
// after, such a letter where an r belongs is that r.
void mendFileModes(std::string& line);

// A symbol of a word read, and where it stands.
struct PlacedSymbol {
  std::string text;
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;

  double middle() const { return (left + right) / 2.0; }
};

// Whether the character is a small ASCII letter, whatever the locale.
bool isLower(char c);

// The symbols' texts joined, with a space before each symbol i > 0 that
// `spaceBefore(i)` holds one before; empty when none does.
std::string spacedWhere(const std::vector<PlacedSymbol>& symbols, const std::function<bool(std::size_t)>& spaceBefore);

// Tesseract drops a narrow space between a number and a word ("2kB" for
// "2 kB", "Ln22" for "Ln 22"), and after a comma in small proportional text
// ("22,Col"): the word's symbols joined, with a space where a digit and a
// letter stand a third of the line's word `height` apart or more (without a
// space they stand a quarter apart at most, hexadecimal in monospace), or
// where `inkBlanks` are given (a proportional font's: the blank columns
// between each symbol and the one before) a quarter. Where they are given,
// a comma and a letter so far apart hold one too: a monospace comma's cell
// leaves as wide a gap before a letter without a space; and so do a word's
// colon and a number ("Spaces: 2", not a time's "10:14"). Any symbols one and
// a half heights apart hold one ("7)" for a line number beside a lone
// bracket). Empty when no space was missed. Rings beside zeros are a row of
// round buttons ("O00"), which stay whole to be dropped.
std::string withMissedSpaces(const std::vector<PlacedSymbol>& symbols, int height,
                             const std::vector<int>& inkBlanks = {});

// A monospace word's symbols joined, with a space where the `inkBlanks`
// between a symbol and the one before (as withMissedSpaces takes them) are
// a cell's `advance` wide or more: without a space, the narrowest glyphs
// leave less ("7  2 90" of vmstat's columns read "7 290"). Empty when no
// space was missed.
std::string withBlankCells(const std::vector<PlacedSymbol>& symbols, const std::vector<int>& inkBlanks, double advance);

// Two spacings of the same symbols (neither's symbols hold a space) merged:
// a space wherever either has one.
std::string spacedAsEither(std::string_view a, std::string_view b);

// Tesseract reads a g after a number as a 9 (top's "2.0g" of memory as
// "2.09"): a 9 that stands lower than the word's other
// digits, its top and its foot a sixth of their height or more below
// theirs, is a g. Returns whether any was.
bool mendLowNines(std::vector<PlacedSymbol>& symbols);

// The model may read a straight double quote's two ticks as two quotes
// ("getLogger(""pipeline")"): two quote marks side by side, each a tick no
// wider than a quarter of the word's `height` and a quarter of it apart at
// most, are one double quote. A quote glyph is wider, and two quotes in
// two cells stand farther apart ("''"). Returns whether any was.
bool joinSplitQuotes(std::vector<PlacedSymbol>& symbols, int height);

// A line of `count` underscores that the page shows over columns [left,
// right); 0 where an earlier word of the line holds them.
struct UnderscoreLine {
  int left = 0;
  int right = 0;
  int count = 0;
};

// Tesseract leaves underscores out of a word ("future" for "__future__",
// "print(name_," for "print(__name__,") or reads them as a dash ("—all__"):
// the symbols over one of the `lines` that are no letter or digit are the
// line, written as as many underscores as it shows, before the first symbol
// that starts at it or after. Returns whether the word's text changed.
bool mendUnderscores(std::vector<PlacedSymbol>& symbols, const std::vector<UnderscoreLine>& lines);

// Tesseract may also end a word with an underscore the page does not show
// ("run.sh_" in light bold text, "3d4h_" before a wide blank): a last "_"
// over none of the `lines` is dropped, unless the word is only underscores.
// Returns whether it was.
bool dropMadeUpUnderscore(std::vector<PlacedSymbol>& symbols, const std::vector<UnderscoreLine>& lines);

// Symbols the model made up over the first column of a digit, read before
// it, their boxes a sliver at most `widest` pixels wide within the digit's
// (a calendar's "12" read "#12", "14" read "«#214"); and marks so made up
// before a letter, two or more (an underlined link's "GDPR" read
// "#£#GDPR"). How many went. Letters stay before a letter: where a line's
// boxes slip, a word's letters may all be slivers ("later" boxed 'l' over
// the a's first column).
std::size_t dropSliversBeforeGlyphs(std::vector<PlacedSymbol>& symbols, int widest);

// Tesseract may read a small monospace underscore as a bar as well ("u_|59434",
// "size_|b"), or instead; the bar's box then lies flat, three times as wide
// as high at least, where a bar stands upright. Such a bar is an
// underscore, and dropped where it lies under the underscore before it.
// Returns whether any was.
bool mendFlatBars(std::vector<PlacedSymbol>& symbols);

// The advance of a monospace font, in pixels, that the line's `words` (each
// its symbols) are set in: the distance between neighbouring symbols' middles
// within a word, when it is nearly the same all along a line long enough to
// tell (a proportional font's narrow and wide letters vary it); 0 otherwise.
double monospaceAdvance(const std::vector<std::vector<PlacedSymbol>>& words);

// The advance all of a band's `lines` tell together, for a terminal's table
// the layout read a column a line ("CPU%", "22.5", "firefox"), no line long
// enough to tell one; 0 where they do not.
double pooledAdvance(const std::vector<std::vector<std::vector<PlacedSymbol>>>& lines);

// The line's own advance, or for a line too short to tell one ("M
// README.md", "Swap: 2047 0 2047" in a terminal) its band's monospace
// `bandAdvance`, where most of its neighbouring symbols stand that far apart.
double lineAdvance(const std::vector<std::vector<PlacedSymbol>>& words, double bandAdvance);

// The text with its ASCII capitals made small.
std::string lowered(std::string_view text);

// Whether two symbols' texts are one glyph read twice, perhaps once as its
// capital or as the other of a pair of quotes ("xX", "\"“").
bool sameGlyph(std::string_view a, std::string_view b);

// A monospace word holds no more glyphs than the cells its ink spans, but
// the model may read a glyph twice: a bold stem, the second time perhaps as
// a capital ("leo" read "lleo" or "lLeo", "latexmk" "lLatexmk"), a stem over
// a word's last glyph ("web-1" read "web-1l"), or any glyph at a word's
// edge or beside its twin ("-rwxr-xr-x" read "-rwxr-xr-xx", "\"app.py\""
// read "\"\"app.py\"", "2b0f2" read "2b00f2"). Where the word holds as many
// symbols more than its cells as it has such pairs, each pair's second goes.
// Pairs read from one glyph, their boxes overlapping, are judged first: two
// stems ("billing-361a2" read "billing-361la2", where the ll is no pair),
// twins, or a zero or an at sign and a round look-alike, an a or an e
// ("backup-01" read "backup-0@1", "root@mesa" "roota@mesa"), a dollar and
// an s or a g ("api$" read "apig$"), a nine and a Q, an eight or a percent
// sign and an s; which keeps the zero, the at sign, the dollar, the nine,
// the eight or the percent sign. The glyph kept takes both boxes, but for a
// twin.
// `cells` is how many cells the word's ink spans. Returns whether any went.
bool dropDoubledGlyphs(std::vector<PlacedSymbol>& symbols, double advance, std::size_t cells);

// A symbol's box this many advances wide spans two cells of a monospace line.
constexpr double kTwoCellAdvances = 1.5;

// A 1 and a slash before a digit, in neighbouring cells of a monospace
// line of `advance` (a table's "1/1": kubectl's READY), which the model reads
// as one V over both cells ("V1"), in a word whose ink spans `cells`, one
// more than its symbols. Returns whether any was.
bool readSlashAfterOne(std::vector<PlacedSymbol>& symbols, double advance, std::size_t cells);

// Whether `word` is a closing bracket that the `text` before it leaves
// open ("users:((\"sshd\",fd=3)" before ")"): a bracket of the text, not a
// neighbour's frame beside it.
bool closesAnOpenBracket(std::string_view text, std::string_view word);

// Whether two words of a monospace line (each its symbols), the last cell
// of one and the first of the next, stand in neighbouring cells of its
// `advance`: no blank cell, so no space, between them, where Tesseract saw
// one beside a narrow glyph ("github. com", "requireNonNull (sku) ;",
// "collections: :HashMap") or a box off its glyph ("7c9f8d6b5 -9wmzt"). A
// box that reaches over the blank after its glyph is placed by its start,
// where the glyph stands ("10.05 ==", read "10.05==").
bool inNeighbouringCells(const std::vector<PlacedSymbol>& before, const std::vector<PlacedSymbol>& next, double advance);

// Whether a period and the character after it stand inside a name, where
// no space belongs: before a small letter ("tickets.pdf", "log.info"); a
// sentence's next word begins with a capital.
bool periodInName(char before, char after);

// Whether two words Tesseract split are one stretch of ink, the widest
// `blank` between their glyphs narrower than a space for the line's word
// `height`. Boxes that overlap may be split at a glyph the model takes for
// a word's start ("fe80: :5054", "getLogger("pipeline" )"), unless a space's
// blank lies between them, a quarter of the height or wider ("Alerts 7" in
// a folder list, 0.27, whose boxes overlap because the model's lag its
// glyphs). So may a period before a small letter, in a name ("tickets.
// pdf", "method. tex" in monospace, where the period stands in the middle
// of its cell), where a sentence's next word would begin with a capital,
// or before an extension in capitals ("veil. JPG"): a third of the height
// there.
bool oneStretchOfInk(bool boxesOverlap, char lastBefore, std::string_view after, int blank, int height);

// Whether `again`, a line read again larger, is `line` with only its spaces
// changed: the larger reading places them better ("Spaces:4" for "Spaces: 4",
// "(sku) ;" for "(sku);"). A space it drops between two letters or digits is
// real ("7.1 MB"), and one it adds after a period in a name is not
// ("setup. exe").
bool onlyRespaced(std::string_view line, std::string_view again);

// Characters a monospace font draws apart that the model reads for each
// other, in its word's context.
inline constexpr std::string_view kTwinLookAlikes[] = {"1lIi", "0OoDQ", "5S", "8B", "2Z", "6b", "6G", "9g", "ce"};

bool lookAlikes(char a, char b);

// Whether two readings differ in look-alike glyphs only ("/dev/sdb1" and
// "/dev/sdbl"): the model's ratings of either cannot tell which is right.
bool onlyLookAlikesSwapped(std::string_view line, std::string_view again);

// Whether `again` is `line` with one space read again as the period of a
// file's name ("Warehouse java", rated 35, for "Warehouse.java"): a period
// the model doubts at one scale, which a larger reading puts back.
bool periodRestored(std::string_view line, std::string_view again);

// Whether the line holds a run of seven small letters or more, or of four
// digits: a line the model rates as low as decoration for one doubtful mark
// ("Warehouse java" for "Warehouse.java", rated 36; a process's "10412 S
// 1.7", 42) is text all the same, and decoration read as text makes no such
// run ("pismes seen", "ro 7 ro", "OooOoO").
bool holdsWordlikeRun(std::string_view line);

// Whether the line holds a file's name: a name of two characters or more
// and a known extension after its period, or one character before a long
// extension (a name wrapped in a file manager's grid leaves "2.odt" on a
// line of its own). A Python package's "__init__.py", read as
// "__ init__.py", is rated 33 for its underscores, and decoration makes no
// such word.
bool holdsFileName(std::string_view line);

// Where a known extension would begin in a word that has no period, a
// name's characters before it: where to look for a period Tesseract
// dropped ("ledgerrs" for "ledger.rs").
std::vector<std::size_t> extensionStarts(std::string_view word);

// Whether the line holds a shell's prompt, "user@host:path$": alone on a
// terminal's last line, with no command after it, the model rates it as
// low as decoration (15 for a bold one), which makes no such word; and
// so it does split ("max@hazel: ~$", rated 33).
bool holdsShellPrompt(std::string_view line);

// Whether the line holds a quoted word of three letters or more, straight
// or curly quotes around it: a string in code ("errors" in a Go import,
// rated 21 for its closing quote), which decoration does not make.
bool holdsQuotedWord(std::string_view line);

// Whether the line holds a sheet's formula, an equals sign before a
// function's name and its bracket ("=MEDIAN(F2:F13)") or before a cell
// ("=B2*C2"): a formula bar's line, beside its dim "fx", rates as low as
// decoration, which makes no such word.
bool holdsFormula(std::string_view line);

// The name of Tesseract's model for the language of a POSIX locale
// ("de_DE.UTF-8" -> "deu", "zh_TW" -> "chi_tra"), or empty for English, for
// "C" and "POSIX", and for languages without a model of their own.
std::string tesseractLanguage(std::string_view locale);

}  // namespace kestrova::desktop::tesseract
