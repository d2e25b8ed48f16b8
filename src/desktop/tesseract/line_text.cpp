#include "desktop/tesseract/line_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <functional>
#include <iterator>
#include <utility>
#include <string_view>
#include <vector>

namespace kestrova::desktop::tesseract {
namespace {

// A kind of quote: its straight mark and its curly opening and closing ones.
struct QuoteKind {
  std::string_view straight, opening, closing;
};
constexpr QuoteKind kDouble{"\"", "\u201C", "\u201D"};
constexpr QuoteKind kSingle{"'", "\u2018", "\u2019"};

struct Quote {
  std::size_t at;
  std::string_view mark;
};

std::vector<Quote> quotesIn(const std::string& line, const QuoteKind& kind) {
  std::vector<Quote> quotes;
  for (std::size_t at = 0; at < line.size(); ++at) {
    for (std::string_view mark : {kind.straight, kind.opening, kind.closing}) {
      if (line.compare(at, mark.size(), mark) == 0) quotes.push_back({at, mark});
    }
  }
  return quotes;
}

void straighten(std::string& line, const QuoteKind& kind) {
  const std::vector<Quote> quotes = quotesIn(line, kind);
  std::vector<bool> straighten(quotes.size(), false);
  for (std::size_t i = 0; i < quotes.size(); ++i) {
    const bool opensBeforeStraight =
        quotes[i].mark == kind.opening && i + 1 < quotes.size() && quotes[i + 1].mark == kind.straight;
    const bool closesAfterStraight = quotes[i].mark == kind.closing && i > 0 && quotes[i - 1].mark == kind.straight;
    straighten[i] = opensBeforeStraight || closesAfterStraight;
  }
  std::string straightened;
  std::size_t copied = 0;
  for (std::size_t i = 0; i < quotes.size(); ++i) {
    if (!straighten[i]) continue;
    straightened.append(line, copied, quotes[i].at - copied).append(kind.straight);
    copied = quotes[i].at + quotes[i].mark.size();
  }
  if (copied == 0) return;
  line = straightened.append(line, copied);
}

}  // namespace

void straightenMismatchedQuotes(std::string& line) {
  straighten(line, kDouble);
  straighten(line, kSingle);
}

bool isLower(char c) { return c >= 'a' && c <= 'z'; }

namespace {

std::vector<std::string> wordsOf(const std::string& line) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t end = std::min(line.find(' ', at), line.size());
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

std::string joined(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) line += (line.empty() ? "" : " ") + word;
  return line;
}

// Words that follow "I" in a sentence far more often than they follow a pipe
// or a bitwise or; past tenses ("I booked") among them.
bool followsI(std::string_view word) {
  // "I did, around seven": punctuation after the verb.
  while (!word.empty() && std::string_view(",.;:!?").find(word.back()) != std::string_view::npos) word.remove_suffix(1);
  if (word.size() > 3 && word.ends_with("ed")) return true;
  static constexpr std::string_view kVerbs[] = {
      "agree", "also",   "am",    "brought", "can",   "could",  "did",   "do",   "don't", "feel",
      "follow", "forgot", "found", "got",     "guess", "had",    "have",  "hope", "just",  "know",
      "left",  "like",   "made",  "mean",    "might", "need",   "put",   "really", "said", "saw",
      "see",   "sent",   "should", "still",  "think", "thought", "told", "took", "tried", "want",
      "was",   "went",   "will",  "would",   "wrote",
  };
  return std::find(std::begin(kVerbs), std::end(kVerbs), word) != std::end(kVerbs);
}
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

// An empty box or checkbox as Tesseract reads one: an opening bracket, at
// most two of "_" and "=", and a closing one or a bar.
bool isBox(const std::string& word) {
  if (word.size() < 2 || word.size() > 4 || std::string_view("([{").find(word.front()) == std::string_view::npos ||
      std::string_view(")]}|").find(word.back()) == std::string_view::npos) {
    return false;
  }
  return word.find_first_not_of("_=", 1) == word.size() - 1;
}

// A row of round buttons (a browser's back, forward and reload, a window's
// traffic lights) as Tesseract reads it: rings and zeros, some not digits.
bool isRowOfRings(const std::string& word) {
  return word.size() >= 2 && word.find_first_not_of("Oo0") == std::string::npos &&
         word.find_first_not_of('0') != std::string::npos;
}

// An icon as Tesseract reads one: ring-like symbols, perhaps with a bracket
// ("@", "\u00AE\u00A7", "\u00A9)").
bool isRings(std::string_view word) {
  static constexpr std::string_view kRings[] = {"@", "\u00A9", "\u00AE", "\u00A7", "\u2122"};
  bool ring = false;
  while (!word.empty()) {
    if (word.front() == '(' || word.front() == ')') {
      word.remove_prefix(1);
      continue;
    }
    const auto* found = std::find_if(std::begin(kRings), std::end(kRings),
                                     [&](std::string_view mark) { return word.starts_with(mark); });
    if (found == std::end(kRings)) return false;
    ring = true;
    word.remove_prefix(found->size());
  }
  return ring;
}

// A presence dot, an avatar, a file's icon or a ticked checkbox before a
// name or a label, as Tesseract reads one: rings, bars, or a letter and a
// bar (a filled square avatar: "P|"). A copyright sign before a year stays.
bool isMarkBeforeLabel(const std::string& word, const std::string& next) {
  const bool bars = word == "||" || (word.size() == 2 && word.back() == '|');
  return (bars && isUpper(next.front())) || (isRings(word) && !isdigit(static_cast<unsigned char>(next.front())));
}

// Brackets, each opening one at the place of the one that closes it.
constexpr std::string_view kOpeningBrackets = "([{", kClosingBrackets = ")]}";

// A dropdown's or a field's left edge before its value, as Tesseract reads
// it: a lone opening bracket that nothing closes later in the line ("Language
// [ English (United States)"); one that ends the line opens a block of code.
bool isUnclosedFrame(const std::vector<std::string>& words, std::size_t i) {
  const std::string& word = words[i];
  if (word.size() != 1 || kOpeningBrackets.find(word.front()) == std::string_view::npos || i + 1 == words.size()) {
    return false;
  }
  const char closing = kClosingBrackets[kOpeningBrackets.find(word.front())];
  return std::none_of(words.begin() + static_cast<std::ptrdiff_t>(i) + 1, words.end(),
                      [&](const std::string& later) { return later.find(closing) != std::string::npos; });
}

}  // namespace

void mendBarsAndBoxes(std::string& line) {
  std::vector<std::string> words = wordsOf(line);
  if (words.empty()) return;
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if ((i == 0 && words.size() > 1 && (isBox(word) || isMarkBeforeLabel(word, words[1]))) || isRowOfRings(word) ||
        isUnclosedFrame(words, i)) {
      continue;
    }
    if (word != "|") {
      kept.push_back(word);
      continue;
    }
    const bool first = i == 0;
    const bool last = i + 1 == words.size();
    if (last) continue;
    // A sentence may begin with I, after the one before or at the line's start.
    const char before = first ? '.' : words[i - 1].back();
    const char after = words[i + 1].front();
    if ((isLower(before) || std::string_view(",.!?").find(before) != std::string_view::npos) &&
        followsI(words[i + 1])) {
      kept.emplace_back("I");
    } else if (!first && !(isUpper(words[i - 1].front()) && isUpper(after))) {
      kept.push_back(word);
    }
  }
  line = joined(kept);
}

namespace {
bool loneCapital(std::string_view word) { return word.size() == 1 && isUpper(word.front()); }
// How the model reads a lone capital that looks like its small letter ("Cc").
bool doubledCapital(std::string_view word) {
  return word.size() == 2 && isUpper(word[0]) && word[1] == static_cast<char>(std::tolower(word[0]));
}
bool columnLetter(std::string_view word) { return loneCapital(word) || doubledCapital(word); }
// A shell's prompt, "user@host:path$" (or "#" for root): the model doubts
// it most alone on a terminal's last line, where no command follows.
bool shellPrompt(std::string_view text) {
  const auto nameCharacter = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '_' || c == '-';
  };
  const std::size_t at = text.find('@');
  const std::size_t colon = text.find(':', at == std::string_view::npos ? text.size() : at);
  if (at == 0 || colon == std::string_view::npos || colon == at + 1 || text.size() < colon + 2) return false;
  const std::string_view user = text.substr(0, at), host = text.substr(at + 1, colon - at - 1);
  const std::string_view path = text.substr(colon + 1, text.size() - colon - 2);
  return std::ranges::all_of(user, nameCharacter) && std::ranges::all_of(host, nameCharacter) &&
         path.find(' ') == std::string_view::npos && (text.back() == '$' || text.back() == '#');
}
bool looksLikeToken(std::string_view text) {
  const auto count = [&](int (*kind)(int)) {
    return std::count_if(text.begin(), text.end(), [&](char c) { return kind(static_cast<unsigned char>(c)) != 0; });
  };
  // A shell's or Python's prompt, alone on a terminal's last line.
  const bool prompt = text == "$" || text == "#" || text == ">>>";
  // A block's end, alone on its line of code: the model is as sure of it
  // (93) as of a dialog's close button read as "x" (95), which stays out.
  const bool blockEnd = text == "}";
  return count(isdigit) > 0 || count(isalpha) > 2 || prompt || blockEnd;
}
}  // namespace

bool stackedToken(std::string_view text) {
  constexpr std::string_view kTokenMarks = "+-.,%/$:";
  const auto alnum = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
  return std::ranges::any_of(text, alnum) && std::ranges::all_of(text, [&](char c) {
           return alnum(c) || kTokenMarks.find(c) != std::string_view::npos;
         });
}

bool readyCount(std::string_view text) {
  constexpr std::size_t kMostDigits = 2;
  const auto digits = [](std::string_view part) {
    return !part.empty() && part.size() <= kMostDigits &&
           std::ranges::all_of(part, [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
  };
  const std::size_t slash = text.find('/');
  return slash != std::string_view::npos && digits(text.substr(0, slash)) && digits(text.substr(slash + 1));
}

// A sheet's row of column letters holds this many lone capitals at least.
constexpr std::ptrdiff_t kLeastColumnLetters = 5;

std::vector<std::vector<bool>> keptTokens(std::vector<TokenStretch>& stretches) {
  std::ptrdiff_t letters = 0;
  for (const TokenStretch& stretch : stretches) {
    if (stretch.sure) letters += std::count_if(stretch.lines.begin(), stretch.lines.end(), columnLetter);
  }
  std::vector<std::vector<bool>> kept;
  for (TokenStretch& stretch : stretches) {
    std::string text;
    for (const std::string& line : stretch.lines) text += line;
    kept.emplace_back();
    for (std::string& line : stretch.lines) {
      const bool letter = letters >= kLeastColumnLetters && columnLetter(line);
      kept.back().push_back((stretch.sure && looksLikeToken(text)) || letter || shellPrompt(line) || readyCount(line));
      if (letter && doubledCapital(line)) line.resize(1);
    }
  }
  return kept;
}

namespace {
// Whether `letters` of the words are enough to make them a row of column letters.
bool enoughColumnLetters(std::ptrdiff_t letters, const std::vector<std::string>& words) {
  return letters >= kLeastColumnLetters && 3 * letters >= 2 * static_cast<std::ptrdiff_t>(words.size());
}
}  // namespace

bool rowOfColumnLetters(const std::vector<std::string>& words) {
  return enoughColumnLetters(std::count_if(words.begin(), words.end(), columnLetter), words);
}

void mendColumnLetters(std::string& line) {
  std::vector<std::string> words = wordsOf(line);
  if (!enoughColumnLetters(std::count_if(words.begin(), words.end(), loneCapital), words)) return;
  for (std::string& word : words) {
    if (doubledCapital(word)) word.resize(1);
  }
  // A capital that comes in its place after the last lone one before it,
  // read with a mark of the cell's edge as a second capital ("O p QO" for
  // "O P Q").
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word.size() != 2 || !isUpper(word[0]) || !isUpper(word[1])) continue;
    std::size_t last = i - 1;
    while (last > 0 && !loneCapital(words[last])) --last;
    if (loneCapital(words[last]) && word[0] - words[last][0] == static_cast<int>(i - last)) words[i].resize(1);
  }
  // Column letters run in alphabetical order: what stands between two
  // letters one apart is the one they leave out ("N fe) P" for "N O P",
  // "H l J" for "H I J").
  for (std::size_t i = 1; i + 1 < words.size(); ++i) {
    if (loneCapital(words[i]) || !loneCapital(words[i - 1]) || !loneCapital(words[i + 1])) continue;
    if (words[i + 1][0] - words[i - 1][0] == 2) words[i] = std::string(1, static_cast<char>(words[i - 1][0] + 1));
  }
  line = joined(words);
}

// A hexadecimal number (a hash, a trace id) is this long at least, and holds
// this many decimal digits: English words of the letters a to f hold none.
constexpr std::size_t kLeastHexDigits = 7;
constexpr std::size_t kLeastDecimalDigits = 2;

bool hexadecimalNumber(std::string_view word) {
  const auto decimal = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  const bool hex = std::all_of(word.begin(), word.end(), [&](char c) { return decimal(c) || (c >= 'a' && c <= 'f'); });
  return hex && word.size() >= kLeastHexDigits &&
         static_cast<std::size_t>(std::count_if(word.begin(), word.end(), decimal)) >= kLeastDecimalDigits;
}

constexpr std::size_t kSmallPerCapitalHexLetter = 4;

void mendHexDigits(std::string& line) {
  const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  const auto digitFor = [](char c) { return c == 'l' || c == 'I' ? '1' : c == 'O' || c == 'o' || c == 'Q' ? '0' : 0; };
  for (std::size_t start = 0; start < line.size();) {
    if (std::isalnum(static_cast<unsigned char>(line[start])) == 0) {
      ++start;
      continue;
    }
    std::size_t end = start;
    std::size_t digits = 0, misread = 0, small = 0, capitals = 0;
    bool hex = true;
    for (; end < line.size() && std::isalnum(static_cast<unsigned char>(line[end])) != 0; ++end) {
      digits += std::isdigit(static_cast<unsigned char>(line[end])) != 0 ? 1 : 0;
      misread += digitFor(line[end]) != 0 ? 1 : 0;
      small += line[end] >= 'a' && line[end] <= 'f' ? 1 : 0;
      capitals += line[end] >= 'A' && line[end] <= 'F' ? 1 : 0;
      hex = hex && (isHex(line[end]) || digitFor(line[end]) != 0);
    }
    // A number in small letters keeps to them: a capital among them is misread ("e91F7b").
    const bool capitalMisread = capitals > 0 && small >= kSmallPerCapitalHexLetter * capitals;
    if (hex && (misread > 0 || capitalMisread) && end - start >= kLeastHexDigits && digits >= kLeastDecimalDigits) {
      for (std::size_t i = start; i < end; ++i) {
        if (const char digit = digitFor(line[i]); digit != 0) line[i] = digit;
        if (capitalMisread) line[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(line[i])));
      }
    }
    start = end;
  }
}

void mendOnesOfVersions(std::string& line) {
  const auto digit = [&](std::size_t i) {
    return i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])) != 0;
  };
  for (std::size_t i = 2; i < line.size(); ++i) {
    if (line[i] != 'l' || (line[i - 1] != ':' && line[i - 1] != '@')) continue;
    // After a name: a slice's colon ("x[:l2]") follows a bracket.
    if (std::isalnum(static_cast<unsigned char>(line[i - 2])) == 0) continue;
    std::size_t end = i + 1;
    while (digit(end)) ++end;
    const bool digitsToEnd =
        end > i + 1 && (end == line.size() || std::isalnum(static_cast<unsigned char>(line[end])) == 0);
    const bool decimals = i + 1 < line.size() && line[i + 1] == '.' && digit(i + 2);
    if (digitsToEnd || decimals) line[i] = '1';
  }
}

std::string lowered(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

namespace {

// Extensions people see in file managers, editors and terminals, and others
// a glyph off them that are real too (".inl" beside ".ini", ".tsx" beside
// ".fsx").
constexpr std::string_view kExtensions[] = {
    "pdf", "txt", "png", "jpg", "jpeg", "gif", "svg", "bmp", "tif", "tiff", "webp", "ico", "heic", "raw", "doc",
    "docx", "xls", "xlsx", "ppt", "pptx", "odt", "ods", "odp", "csv", "tsv", "json", "yaml", "yml", "xml", "html",
    "htm", "css", "scss", "less", "mp3", "mp4", "mov", "mkv", "avi", "wav", "flac", "ogg", "m4a", "aac", "webm",
    "zip", "tar", "rar", "tgz", "bz2", "deb", "rpm", "iso", "dmg", "exe", "msi", "apk", "jar", "war", "java", "cpp",
    "hpp", "cxx", "hxx", "inl", "tex", "log", "ini", "cfg", "conf", "toml", "lock", "rst", "sql", "sqlite", "key",
    "pem", "crt", "csr", "pub", "psd", "eps", "sketch", "fig", "epub", "mobi", "ics", "vcf", "eml", "msg", "tsx",
    "jsx", "fsx", "mjs", "cjs", "vue", "php", "lua", "swift", "scala", "bash", "zsh", "fish", "ps1", "bat", "cmd",
    "ino", "asm", "dart", "exs", "erl", "nim", "zig", "kts", "gradle", "proto", "diff", "patch", "bak", "tmp",
    "com", "org", "net", "dev", "app", "env", "local", "txz", "srt", "vtt", "otf", "ttf", "woff", "woff2", "odg",
    "git", "ejs", "crl", "nef", "ld", "lib", "lnk", "lst", "qif"};

// Hidden files' names after their period, in a home folder or a project.
constexpr std::string_view kHiddenNames[] = {
    "bashrc", "zshrc", "vimrc", "npmrc", "inputrc", "xinitrc", "screenrc", "nanorc", "wgetrc", "curlrc", "profile",
    "bash", "zprofile", "gitignore", "gitconfig", "gitmodules", "gitattributes", "env", "config", "local", "cache",
    "ssh", "gnupg", "mozilla", "npm", "cargo", "rustup", "docker", "kube", "vscode", "idea", "github", "gitlab",
    "editorconfig", "dockerignore", "prettierrc", "eslintrc", "babelrc", "nvmrc", "venv", "xresources", "xprofile",
    "tmux", "terraform", "pylintrc", "flake8", "coveragerc", "mailmap", "htaccess", "pytest", "vim"};

bool known(const auto& names, std::string_view text) {
  return std::find(std::begin(names), std::end(names), lowered(text)) != std::end(names);
}

// Small letters shaped as their capitals, but smaller.
constexpr std::string_view kSameShapeSmallLetters = "cosvwxz";

// What Tesseract reads a small letter of an extension as, and the letter.
constexpr std::pair<char, char> kExtensionLookAlikes[] = {{'t', 'f'}, {'f', 't'}, {'I', 'l'}, {'i', 'l'}, {'1', 'l'},
                                                          {'l', 'i'}, {'q', 'g'}, {'g', 'q'}, {'e', 'c'}, {'c', 'e'},
                                                          {'0', 'o'}, {'|', 'l'}, {'!', 'l'}};

// An extension in capitals, `line`'s characters [from, to), of which a
// letter shaped as its small letter was read small ("talk.MoV"), or as a
// zero mended to one, is in capitals.
void raiseSmallLookAlikes(std::string& line, std::size_t from, std::size_t to) {
  const std::string_view extension = std::string_view(line).substr(from, to - from);
  const auto capitals = std::ranges::count_if(extension, isUpper);
  const bool smallLookAlikesOnly = std::ranges::all_of(
      extension, [](char c) { return !isLower(c) || kSameShapeSmallLetters.find(c) != std::string_view::npos; });
  if (capitals < 2 || !smallLookAlikesOnly) return;
  for (std::size_t i = from; i < to; ++i) {
    line[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[i])));
  }
}

}  // namespace

void mendBarsInAddresses(std::string& line) {
  std::vector<std::string> words = wordsOf(line);
  bool mended = false;
  for (std::string& word : words) {
    const std::size_t at = word.find('@');
    const bool address = at != std::string::npos && at > 0 && word.find('.', at) != std::string::npos &&
                         word.find('|') != std::string::npos;
    if (!address || word.find_first_of("(=") != std::string::npos) continue;
    std::ranges::replace(word, '|', 'l');
    mended = true;
  }
  if (mended) line = joined(words);
}

namespace {

// The name before the period at `dot`: back to the word's start.
std::string_view nameBefore(std::string_view line, std::size_t dot) {
  const std::size_t space = line.rfind(' ', dot);
  const std::size_t start = space == std::string_view::npos ? 0 : space + 1;
  return line.substr(start, dot - start);
}

// An unknown extension of a capital I and small letters is an l's
// (".Ircat"): extensions are in small letters or in capitals. But code has
// members so ("this.Items", "_rows.Index"), so only after a file's name, one
// with an underscore, a dash or a digit past its start.
bool capitalIForSmallL(std::string_view name, std::string_view extension) {
  constexpr std::size_t kLeastLetters = 3;
  return extension.size() >= kLeastLetters && extension.front() == 'I' &&
         std::all_of(extension.begin() + 1, extension.end(), isLower) &&
         name.find_first_of("_-0123456789", 1) != std::string_view::npos;
}

}  // namespace

void mendFileExtensions(std::string& line) {
  for (std::size_t dot = line.find('.'); dot != std::string::npos; dot = line.find('.', dot + 1)) {
    std::size_t end = dot + 1;
    // An l read as a bar or a mark is the extension's too (".sq|", ".ym!").
    const auto extensionCharacter = [](char c) {
      return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '|' || c == '!';
    };
    while (end < line.size() && extensionCharacter(line[end])) ++end;
    // After a name, an extension; anywhere else, a hidden file's name.
    const bool named = dot > 0 && std::isalnum(static_cast<unsigned char>(line[dot - 1])) != 0;
    const auto isKnown = [&](std::string_view text) {
      return named ? known(kExtensions, text) : known(kHiddenNames, text);
    };
    const std::string_view extension = std::string_view(line).substr(dot + 1, end - dot - 1);
    if (isKnown(extension)) {
      if (named) raiseSmallLookAlikes(line, dot + 1, end);
      continue;
    }
    std::vector<std::string> mendings;
    for (std::size_t i = 0; i < extension.size(); ++i) {
      for (const auto& [read, letter] : kExtensionLookAlikes) {
        if (extension[i] != read) continue;
        std::string candidate(extension);
        candidate[i] = letter;
        if (isKnown(candidate)) mendings.push_back(std::move(candidate));
      }
    }
    // Two ways to mend it: no telling which.
    if (mendings.size() == 1) {
      line.replace(dot + 1, extension.size(), mendings.front());
      if (named) raiseSmallLookAlikes(line, dot + 1, end);
      continue;
    }
    // No extension starts with a bar, whatever follows ("history.|pl"), nor
    // does a pipe come right after a period.
    const bool smallAfterBar =
        extension.size() > 1 && extension.front() == '|' && std::all_of(extension.begin() + 1, extension.end(), isLower);
    if (named && smallAfterBar) line[dot + 1] = 'l';
    const bool endsWord = end == line.size() || line[end] == ' ';
    if (named && endsWord && capitalIForSmallL(nameBefore(line, dot), extension)) line[dot + 1] = 'l';
  }
}

namespace {

// Each word of the line, between single spaces, handed to `mend` to rewrite
// in place; the spaces stay as they were.
template <typename Mend>
void mendEachWord(std::string& line, Mend mend) {
  std::string mended;
  for (std::size_t start = 0;;) {
    const std::size_t end = std::min(line.find(' ', start), line.size());
    std::string word = line.substr(start, end - start);
    mend(word);
    mended += word;
    if (end == line.size()) break;
    mended += ' ';
    start = end + 1;
  }
  line = std::move(mended);
}

}  // namespace

// Capitals before the l, and small letters after it: a word, not a suffix ("APls").
constexpr std::size_t kLeastAbbreviationCapitals = 2;
constexpr std::size_t kLeastWordLetters = 3;

void mendAbbreviationsBeforeWords(std::string& line) {
  mendEachWord(line, [](std::string& word) {
    const std::size_t capitals = std::find_if_not(word.begin(), word.end(), isUpper) - word.begin();
    const std::string_view after = std::string_view(word).substr(std::min(word.size(), capitals + 1));
    if (capitals >= kLeastAbbreviationCapitals && capitals < word.size() && word[capitals] == 'l' &&
        after.size() >= kLeastWordLetters && std::all_of(after.begin(), after.end(), isLower)) {
      word.replace(capitals, 1, "I ");
    }
  });
}

void mendOptimizationFlags(std::string& line) {
  constexpr std::string_view kLevels = "0123sgz";
  mendEachWord(line, [&](std::string& word) {
    if (word.size() == 3 && word.starts_with("-0") && kLevels.find(word[2]) != std::string_view::npos) word[1] = 'O';
  });
}

void mendZeroRates(std::string& line) {
  mendEachWord(line, [](std::string& word) {
    if (word.size() < 4 || (word[0] != 'O' && word[0] != '0')) return;
    std::size_t at = 1;
    if (std::string_view("kKMGT").find(word[at]) != std::string_view::npos) ++at;
    if (word[at] == 'i') ++at;
    const std::string_view unit = std::string_view(word).substr(1, at - 1);
    const std::string_view rest = std::string_view(word).substr(at);
    const bool slash = rest.size() == 3 && std::string_view("/lI|").find(rest[1]) != std::string_view::npos;
    const bool rate = slash && rest[0] == 'B' && rest[2] == 's';
    if (rate) word = "0 " + std::string(unit) + "B/s";
  });
}

void mendDeviceZeros(std::string& line) {
  const auto letter = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
  for (std::size_t i = 1; i < line.size(); ++i) {
    const bool afterSmall = std::islower(static_cast<unsigned char>(line[i - 1])) != 0;
    const bool endsName = i + 1 == line.size() || !letter(line[i + 1]);
    if (line[i] == 'O' && afterSmall && endsName) line[i] = '0';
  }
}

void mendFileModes(std::string& line) {
  // Each place's letters, the file's type first; a dash stands for any unset.
  constexpr std::string_view kPlaces[] = {"-dlcbps", "r", "w", "xsS", "r", "w", "xsS", "r", "w", "xtT"};
  constexpr std::string_view kReadForR = "flI";
  mendEachWord(line, [&](std::string& word) {
    // After the places ls may mark an access list or a security context.
    const bool marked =
        word.size() == std::size(kPlaces) + 1 && std::string_view(".+@").find(word.back()) != std::string_view::npos;
    if (word.size() != std::size(kPlaces) && !marked) return;
    std::string mended = word;
    for (std::size_t i = 0; i < std::size(kPlaces); ++i) {
      const bool rRead = kPlaces[i] == "r" && kReadForR.find(mended[i]) != std::string_view::npos;
      if (rRead) mended[i] = 'r';
      if (mended[i] != '-' && kPlaces[i].find(mended[i]) == std::string_view::npos) return;
    }
    word = std::move(mended);
  });
}

// Neighbouring symbols' middles, within words, needed to tell a font's
// advance: short lines of a proportional font ("Unsaved changes", "Type a
// message") can look monospace.
constexpr std::size_t kLeastAdvanceSamples = 16;
// The share of them within this much of the middle one, in a monospace
// line; symbol boxes are Tesseract's guesses, a few a line far off.
constexpr double kAdvanceTolerance = 0.15;
constexpr double kLeastSteadyShare = 0.85;

double monospaceAdvance(const std::vector<std::vector<PlacedSymbol>>& words) {
  std::vector<double> advances;
  for (const std::vector<PlacedSymbol>& word : words) {
    for (std::size_t i = 1; i < word.size(); ++i) advances.push_back(word[i].middle() - word[i - 1].middle());
  }
  if (advances.size() < kLeastAdvanceSamples) return 0;
  std::vector<double> sorted = advances;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
  const double advance = sorted[sorted.size() / 2];
  if (advance <= 0) return 0;
  const auto steady = std::count_if(advances.begin(), advances.end(),
                                    [&](double a) { return std::abs(a - advance) <= kAdvanceTolerance * advance; });
  return static_cast<double>(steady) >= kLeastSteadyShare * static_cast<double>(advances.size()) ? advance : 0;
}

double pooledAdvance(const std::vector<std::vector<std::vector<PlacedSymbol>>>& lines) {
  std::vector<std::vector<PlacedSymbol>> words;
  for (const auto& line : lines) words.insert(words.end(), line.begin(), line.end());
  return monospaceAdvance(words);
}

// A short line's neighbouring symbols that must stand the band's advance
// apart, and their least share: a misread glyph's boxes ("0" read "ic}")
// stand closer.
constexpr std::size_t kLeastShortLineSamples = 4;
constexpr double kLeastShortLineSteadyShare = 2.0 / 3.0;

double lineAdvance(const std::vector<std::vector<PlacedSymbol>>& words, double bandAdvance) {
  const double own = monospaceAdvance(words);
  if (own > 0 || bandAdvance <= 0) return own;
  std::size_t samples = 0, steady = 0;
  for (const std::vector<PlacedSymbol>& word : words) {
    for (std::size_t i = 1; i < word.size(); ++i, ++samples) {
      steady += std::abs(word[i].middle() - word[i - 1].middle() - bandAdvance) <= kAdvanceTolerance * bandAdvance;
    }
  }
  const bool keeps = steady >= kLeastShortLineSamples &&
                     static_cast<double>(steady) >= kLeastShortLineSteadyShare * static_cast<double>(samples);
  return keeps ? bandAdvance : 0;
}

bool sameGlyph(std::string_view a, std::string_view b) {
  const auto folded = [](std::string_view text) {
    if (text == "“" || text == "”") return std::string("\"");
    if (text == "‘" || text == "’") return std::string("'");
    return lowered(text);
  };
  return folded(a) == folded(b);
}

namespace {

// A glyph that is a stem alone, which the model may make up or read twice.
bool stem(const PlacedSymbol& symbol) {
  return symbol.text == "l" || symbol.text == "1" || symbol.text == "I" || symbol.text == "|";
}

}  // namespace

namespace {

// Glyphs the model may read as themselves and, over part of them, another
// symbol: a zero's or an at sign's ring ("0@", "a@", "O0"), a dollar's S
// ("g$"), a nine's or an eight's loop ("Q9", "8s"), a percent sign's lower
// ring ("MEMORY%s"), a seven's stroke ("b83d0/7aa").
constexpr std::string_view kRingParts[] = {"0", "@", "o", "O", "a", "e", "Q", "d", "D", "\u00A9", "\u00AE"};
constexpr std::pair<std::string_view, std::string_view> kWholesAndParts[] = {
    {"$", "s"}, {"$", "S"}, {"$", "g"}, {"$", "5"}, {"9", "Q"}, {"9", "q"}, {"9", "g"},
    {"8", "s"}, {"8", "S"}, {"8", "B"}, {"%", "s"}, {"%", "S"}, {"7", "/"}};

bool wholeGlyph(const PlacedSymbol& symbol) {
  return symbol.text == "0" || symbol.text == "@" ||
         std::ranges::any_of(kWholesAndParts, [&](const auto& pair) { return pair.first == symbol.text; });
}

bool partOf(const PlacedSymbol& part, const PlacedSymbol& whole) {
  if (whole.text == "0" || whole.text == "@") return std::ranges::find(kRingParts, part.text) != std::end(kRingParts);
  return std::ranges::find(kWholesAndParts, std::pair<std::string_view, std::string_view>(whole.text, part.text)) !=
         std::end(kWholesAndParts);
}

// Like glyphs read as one stand less than half a cell apart: two zeros side
// by side may touch.
bool twinsInOneCell(const PlacedSymbol& first, const PlacedSymbol& second, double advance) {
  return sameGlyph(first.text, second.text) && 2 * (second.middle() - first.middle()) < advance;
}

// Two stems, the second maybe read as an L; over one glyph an i is a stem
// too ("i64" read "i164").
bool stemPair(const PlacedSymbol& first, const PlacedSymbol& second, bool overOneGlyph) {
  const auto stemLike = [&](const PlacedSymbol& symbol) {
    return stem(symbol) || (overOneGlyph && symbol.text == "i");
  };
  return stemLike(first) && (stemLike(second) || second.text == "L");
}

bool readTwice(const PlacedSymbol& first, const PlacedSymbol& second, double advance) {
  const bool stems = stemPair(first, second, true);
  const bool wholeAndPart = first.text != second.text && ((wholeGlyph(first) && partOf(second, first)) ||
                                                           (wholeGlyph(second) && partOf(first, second)));
  return stems || wholeAndPart || twinsInOneCell(first, second, advance);
}

// Each pair's second, by `isPair(i)` for symbols i and i + 1, where the
// word holds one symbol more than its cells for each.
std::vector<std::size_t> doubledPairs(const std::vector<PlacedSymbol>& symbols, std::size_t cells,
                                      const std::function<bool(std::size_t)>& isPair) {
  std::vector<std::size_t> seconds;
  for (std::size_t i = 0; i + 1 < symbols.size(); ++i) {
    if (isPair(i)) seconds.push_back(i + 1);
  }
  if (symbols.size() != cells + seconds.size()) seconds.clear();
  return seconds;
}

}  // namespace

bool dropDoubledGlyphs(std::vector<PlacedSymbol>& symbols, double advance, std::size_t cells) {
  const auto overlapping = [&](std::size_t i) {
    return symbols[i + 1].left < symbols[i].right && readTwice(symbols[i], symbols[i + 1], advance);
  };
  std::vector<std::size_t> seconds = doubledPairs(symbols, cells, overlapping);
  for (std::size_t second : seconds) {
    PlacedSymbol& first = symbols[second - 1];
    // A twin's own box is the likelier glyph's (a capital read over an l
    // shows no flag); two unlike reads each saw part of the glyph.
    if (sameGlyph(first.text, symbols[second].text)) continue;
    if (wholeGlyph(symbols[second]) && first.text != "0") first.text = symbols[second].text;
    first.left = std::min(first.left, symbols[second].left);
    first.right = std::max(first.right, symbols[second].right);
  }
  if (seconds.empty()) {
    seconds = doubledPairs(symbols, cells, [&](std::size_t i) {
      return stemPair(symbols[i], symbols[i + 1], false) || twinsInOneCell(symbols[i], symbols[i + 1], advance);
    });
  }
  if (seconds.empty()) return false;
  for (auto second = seconds.rbegin(); second != seconds.rend(); ++second) {
    symbols.erase(symbols.begin() + static_cast<std::ptrdiff_t>(*second));
  }
  return true;
}

bool readSlashAfterOne(std::vector<PlacedSymbol>& symbols, double advance, std::size_t cells) {
  if (cells != symbols.size() + 1) return false;
  bool read = false;
  for (std::size_t i = 0; i + 1 < symbols.size(); ++i) {
    PlacedSymbol& symbol = symbols[i];
    const bool overTwoCells = symbol.right - symbol.left >= kTwoCellAdvances * advance;
    const std::string& next = symbols[i + 1].text;
    const bool beforeDigit = !next.empty() && std::isdigit(static_cast<unsigned char>(next.front())) != 0;
    if ((symbol.text != "V" && symbol.text != "v") || !overTwoCells || !beforeDigit) continue;
    const int middle = static_cast<int>(symbol.middle());
    PlacedSymbol slash{"/", middle, symbol.right, symbol.top, symbol.bottom};
    symbol = {"1", symbol.left, middle, symbol.top, symbol.bottom};
    symbols.insert(symbols.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(slash));
    read = true;
  }
  return read;
}

// Symbols in neighbouring cells stand one advance apart, with a blank cell
// between them two; boxes off by a fifth either way are still told apart.
constexpr double kMostNeighbourAdvances = 1.25;

namespace {

std::size_t codePoints(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// A symbol of several characters (a line of underscores) fills as many cells.
std::size_t cellsOf(const PlacedSymbol& symbol) { return std::max<std::size_t>(1, codePoints(symbol.text)); }

std::size_t cellsOf(const std::vector<PlacedSymbol>& word) {
  std::size_t cells = 0;
  for (const PlacedSymbol& symbol : word) cells += cellsOf(symbol);
  return cells;
}

// Symbols whose cells are judged together at a word's end.
constexpr std::size_t kEndSymbols = 4;

// A box this many advances wider than its symbol's cells took in the blank
// after its glyph ("10.05 ==": the 5's box over the space and the = beyond).
constexpr double kWideBoxAdvances = 1.5;

// Where the symbol's glyph stands: a box that took in a blank beside it
// starts at the glyph, but for a word's first symbol, whose box may take in
// the blank before it instead ("1 xfailed": the x's box over the space).
double glyphMiddle(const PlacedSymbol& symbol, double advance, bool first = false) {
  const double cells = static_cast<double>(cellsOf(symbol));
  const bool wide = symbol.right - symbol.left > kWideBoxAdvances * cells * advance;
  if (!wide) return symbol.middle();
  return first ? symbol.right - cells * advance / 2 : symbol.left + cells * advance / 2;
}

// Where the middle of a word's first or last cell stands, judged by the
// symbols at that end: one box may lie a third of a cell off its glyph (a 5
// after a b, its box over the b's).
double endCellMiddle(const std::vector<PlacedSymbol>& word, double advance, bool last) {
  const double lastCell = static_cast<double>(cellsOf(word) - 1);
  std::vector<double> estimates;
  std::size_t cell = 0;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const std::size_t cells = cellsOf(word[i]);
    const double middleCell = static_cast<double>(cell) + static_cast<double>(cells - 1) / 2;
    cell += cells;
    const bool atTheEnd = last ? i + kEndSymbols >= word.size() : i < kEndSymbols;
    if (atTheEnd) estimates.push_back(glyphMiddle(word[i], advance) + ((last ? lastCell : 0) - middleCell) * advance);
  }
  std::nth_element(estimates.begin(), estimates.begin() + static_cast<std::ptrdiff_t>(estimates.size() / 2), estimates.end());
  return estimates[estimates.size() / 2];
}

// Whether the word's symbols fill as many cells as it has characters: a
// symbol read twice or made up ("7a03f11d") spreads a word's characters
// over fewer cells.
bool fillsItsCells(const std::vector<PlacedSymbol>& word, double advance) {
  const double cells = (glyphMiddle(word.back(), advance) - glyphMiddle(word.front(), advance, true)) / advance + 1;
  return std::abs(cells - static_cast<double>(cellsOf(word))) <= 0.5;
}

}  // namespace

bool closesAnOpenBracket(std::string_view text, std::string_view word) {
  const std::size_t kind = word.size() == 1 ? kClosingBrackets.find(word.front()) : std::string_view::npos;
  if (kind == std::string_view::npos) return false;
  return std::ranges::count(text, kOpeningBrackets[kind]) > std::ranges::count(text, kClosingBrackets[kind]);
}

bool inNeighbouringCells(const std::vector<PlacedSymbol>& before, const std::vector<PlacedSymbol>& next, double advance) {
  if (advance <= 0 || before.empty() || next.empty()) return false;
  const double lastOfBefore =
      fillsItsCells(before, advance) ? endCellMiddle(before, advance, true) : glyphMiddle(before.back(), advance);
  const double firstOfNext =
      fillsItsCells(next, advance) ? endCellMiddle(next, advance, false) : glyphMiddle(next.front(), advance, true);
  return firstOfNext - lastOfBefore < kMostNeighbourAdvances * advance;
}

// A missed space lies this share of the word height wide at least, between
// the symbols' boxes; or, in a proportional font, between their ink, where
// a number and a word without a space stand an eighth apart at most and
// boxes may overlap ("Col17": -0.1 of the height apart, the ink 0.29).
constexpr double kMissedSpaceHeights = 0.35;
constexpr double kMissedSpaceInkHeights = 0.25;
// Boxes this many of the word's heights apart hold a space, whatever stands
// in them.
constexpr double kApartHeights = 1.5;

bool mendLowNines(std::vector<PlacedSymbol>& symbols) {
  const auto digit = [](const PlacedSymbol& s) { return s.text.size() == 1 && std::isdigit(static_cast<unsigned char>(s.text[0])); };
  bool mended = false;
  for (PlacedSymbol& nine : symbols) {
    if (nine.text != "9") continue;
    std::vector<int> tops, bottoms;
    for (const PlacedSymbol& other : symbols) {
      if (&other != &nine && digit(other)) tops.push_back(other.top), bottoms.push_back(other.bottom);
    }
    if (tops.empty()) continue;
    std::nth_element(tops.begin(), tops.begin() + tops.size() / 2, tops.end());
    std::nth_element(bottoms.begin(), bottoms.begin() + bottoms.size() / 2, bottoms.end());
    const int top = tops[tops.size() / 2];
    const int bottom = bottoms[bottoms.size() / 2];
    const int sixth = std::max(1, (bottom - top) / 6);
    if (nine.top - top >= sixth && nine.bottom - bottom >= sixth) {
      nine.text.assign(1, 'g');  // not = "g": GCC 12 warns, wrongly, of an overlapping copy
      mended = true;
    }
  }
  return mended;
}

bool dropMadeUpUnderscore(std::vector<PlacedSymbol>& symbols, const std::vector<UnderscoreLine>& lines) {
  const auto underscore = [](const PlacedSymbol& symbol) { return symbol.text == "_"; };
  if (symbols.empty() || !underscore(symbols.back()) || std::all_of(symbols.begin(), symbols.end(), underscore)) return false;
  const PlacedSymbol& last = symbols.back();
  const bool shown = std::any_of(lines.begin(), lines.end(), [&](const UnderscoreLine& line) {
    return line.left < last.right && last.left < line.right;
  });
  if (shown) return false;
  symbols.pop_back();
  return true;
}

std::size_t dropSliversBeforeGlyphs(std::vector<PlacedSymbol>& symbols, int widest) {
  const auto one = [](const PlacedSymbol& symbol, int (*kind)(int)) {
    return symbol.text.size() == 1 && kind(static_cast<unsigned char>(symbol.text[0])) != 0;
  };
  std::vector<bool> sliver(symbols.size(), false);
  for (std::size_t i = 1; i < symbols.size(); ++i) {
    const PlacedSymbol& glyph = symbols[i];
    const bool digit = one(glyph, isdigit);
    if ((!digit && !one(glyph, isalpha)) || glyph.right - glyph.left <= widest) continue;
    std::size_t first = i;
    while (first > 0) {
      const PlacedSymbol& before = symbols[first - 1];
      if (before.right - before.left > widest || before.left < glyph.left || before.right > glyph.right) break;
      if (!digit && one(before, isalnum)) break;
      --first;
    }
    // One mark before a letter may be a real one whose box slipped (the
    // hyphen of "payments-gw" in small monospace logs).
    if (digit || i - first >= 2) {
      for (std::size_t j = first; j < i; ++j) sliver[j] = true;
    }
  }
  std::size_t index = 0;
  return std::erase_if(symbols, [&](const PlacedSymbol&) { return sliver[index++]; });
}

bool mendFlatBars(std::vector<PlacedSymbol>& symbols) {
  constexpr int kFlatWidthHeights = 3;
  bool mended = false;
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    const PlacedSymbol& bar = symbols[i];
    const int height = bar.bottom - bar.top;
    if (bar.text != "|" || height <= 0 || bar.right - bar.left < kFlatWidthHeights * height) continue;
    const bool underUnderscore = i > 0 && symbols[i - 1].text == "_" && symbols[i - 1].left < bar.right &&
                                 bar.left < symbols[i - 1].right;
    if (underUnderscore) {
      symbols.erase(symbols.begin() + static_cast<std::ptrdiff_t>(i--));
    } else {
      symbols[i].text = "_";
    }
    mended = true;
  }
  return mended;
}

bool mendUnderscores(std::vector<PlacedSymbol>& symbols, const std::vector<UnderscoreLine>& lines) {
  std::string before;
  for (const PlacedSymbol& symbol : symbols) before += symbol.text;
  for (const UnderscoreLine& line : lines) {
    // The model's boxes split the line at its time steps: a box may end a
    // little short of the glyph it stands for.
    const int slack = (line.right - line.left) / (4 * std::max(1, line.count));
    // No letter stands over the line: an underscore or a dash read there, or
    // just before it, is the line. Its box may end where the line begins
    // ("read_me_first") or short of it by a stroke, the next letter's box
    // over the line ("school_trip": a t boxed over the underscore).
    const auto over = [&](const PlacedSymbol& s) {
      const bool flat = s.text == "_" || s.text == "-" || s.text == "\u2013" || s.text == "\u2014";
      return flat && s.left < line.right && line.left - 2 * slack < s.right;
    };
    // Where the line's underscores go: in place of what was read there, or
    // else before the first symbol that starts at the line or a little before.
    std::ptrdiff_t at = std::find_if(symbols.begin(), symbols.end(), over) - symbols.begin();
    if (at < std::ssize(symbols)) {
      std::erase_if(symbols, over);
    } else {
      at = std::find_if(symbols.begin(), symbols.end(), [&](const PlacedSymbol& s) { return s.left >= line.left - slack; }) -
           symbols.begin();
    }
    if (line.count > 0) {
      symbols.insert(symbols.begin() + at, {std::string(static_cast<std::size_t>(line.count), '_'), line.left, line.right, 0, 0});
    }
    // An l whose foot ran into the line was read as an L, the line as its
    // arm ("ttL_cache.rs"); after a small letter, no capital's arm reaches there.
    if (line.count > 0 && at >= 2 && symbols[at - 1].text == "L" && symbols[at - 1].right > line.left &&
        symbols[at - 2].text.size() == 1 && isLower(symbols[at - 2].text.front())) {
      symbols[at - 1].text = "l";
    }
  }
  std::string after;
  for (const PlacedSymbol& symbol : symbols) after += symbol.text;
  return after != before;
}

std::string spacedWhere(const std::vector<PlacedSymbol>& symbols, const std::function<bool(std::size_t)>& spaceBefore) {
  std::string text;
  bool missed = false;
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    if (i > 0 && spaceBefore(i)) {
      text += ' ';
      missed = true;
    }
    text += symbols[i].text;
  }
  return missed ? text : std::string{};
}

std::string withMissedSpaces(const std::vector<PlacedSymbol>& symbols, int height, const std::vector<int>& inkBlanks) {
  enum Kind { kOther, kDigit, kLetter };
  const auto kind = [](const std::string& symbol, bool first) {
    const char c = first ? symbol.front() : symbol.back();
    if (c == 'O' || c == 'o') return kOther;
    if (std::isdigit(static_cast<unsigned char>(c)) != 0) return kDigit;
    return std::isalpha(static_cast<unsigned char>(c)) != 0 ? kLetter : kOther;
  };
  if (std::ranges::any_of(symbols, [](const PlacedSymbol& symbol) { return symbol.text.empty(); })) return {};
  return spacedWhere(symbols, [&](std::size_t i) {
    const Kind before = kind(symbols[i - 1].text, false), after = kind(symbols[i].text, true);
    const bool commaBeforeWord = !inkBlanks.empty() && symbols[i - 1].text == "," && after == kLetter;
    // A label's colon before its number ("Spaces: 2"); a time's stands between digits.
    const bool labelBeforeNumber = !inkBlanks.empty() && i >= 2 && symbols[i - 1].text == ":" &&
                                   kind(symbols[i - 2].text, false) == kLetter && after == kDigit;
    const bool wide = symbols[i].left - symbols[i - 1].right >= kMissedSpaceHeights * height ||
                      (i < inkBlanks.size() && inkBlanks[i] >= kMissedSpaceInkHeights * height);
    const bool numberBesideWord = before != kOther && after != kOther && before != after;
    const bool farApart = symbols[i].left - symbols[i - 1].right >= kApartHeights * height;
    return ((numberBesideWord || commaBeforeWord || labelBeforeNumber) && wide) || farApart;
  });
}

std::string withBlankCells(const std::vector<PlacedSymbol>& symbols, const std::vector<int>& inkBlanks, double advance) {
  return spacedWhere(symbols, [&](std::size_t i) { return i < inkBlanks.size() && inkBlanks[i] >= advance; });
}

std::string spacedAsEither(std::string_view a, std::string_view b) {
  std::string text;
  std::size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    const bool spaceInA = i < a.size() && a[i] == ' ', spaceInB = j < b.size() && b[j] == ' ';
    if (spaceInA || spaceInB) {
      text += ' ';
      i += spaceInA ? 1 : 0;
      j += spaceInB ? 1 : 0;
      continue;
    }
    text += i < a.size() ? a[i] : b[j];
    ++i;
    ++j;
  }
  return text;
}

bool joinSplitQuotes(std::vector<PlacedSymbol>& symbols, int height) {
  constexpr std::string_view kQuotes[] = {"\"", "'", "\u2018", "\u2019", "\u201C", "\u201D"};
  const auto tick = [&](const PlacedSymbol& symbol) {
    return std::find(std::begin(kQuotes), std::end(kQuotes), symbol.text) != std::end(kQuotes) &&
           4 * (symbol.right - symbol.left) <= height;
  };
  bool joined = false;
  for (std::size_t i = 0; i + 1 < symbols.size(); ++i) {
    if (!tick(symbols[i]) || !tick(symbols[i + 1]) || 4 * (symbols[i + 1].left - symbols[i].right) > height) continue;
    symbols[i] = {"\"", symbols[i].left, symbols[i + 1].right, std::min(symbols[i].top, symbols[i + 1].top),
                  std::max(symbols[i].bottom, symbols[i + 1].bottom)};
    symbols.erase(symbols.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    joined = true;
  }
  return joined;
}

bool periodInName(char before, char after) {
  return before == '.' && std::islower(static_cast<unsigned char>(after)) != 0;
}

bool oneStretchOfInk(bool boxesOverlap, char lastBefore, std::string_view after, int blank, int height) {
  constexpr int kSpaceBlanksPerHeight = 4;
  constexpr int kPeriodBlanksPerHeight = 3;
  constexpr std::size_t kShortestCapitalExtension = 3;
  const bool capitalExtension =
      lastBefore == '.' && after.size() >= kShortestCapitalExtension && known(kExtensions, after) &&
      std::ranges::none_of(after, isLower);
  const bool inName = !after.empty() && (periodInName(lastBefore, after.front()) || capitalExtension);
  return (boxesOverlap && kSpaceBlanksPerHeight * blank < height) ||
         (inName && kPeriodBlanksPerHeight * blank < height);
}

bool onlyRespaced(std::string_view line, std::string_view again) {
  const auto alphanumeric = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
  std::size_t i = 0, j = 0;
  for (;;) {
    const bool spaced = i < line.size() && line[i] == ' ';
    const bool spacedAgain = j < again.size() && again[j] == ' ';
    while (i < line.size() && line[i] == ' ') ++i;
    while (j < again.size() && again[j] == ' ') ++j;
    if (i == line.size() || j == again.size()) return i == line.size() && j == again.size();
    if (line[i] != again[j]) return false;
    if (spaced && !spacedAgain && j > 0 && alphanumeric(again[j - 1]) && alphanumeric(again[j])) return false;
    if (!spaced && spacedAgain && i > 0 && periodInName(line[i - 1], line[i])) return false;
    ++i, ++j;
  }
}

bool lookAlikes(char a, char b) {
  return std::ranges::any_of(kTwinLookAlikes, [&](std::string_view group) {
    return group.find(a) != std::string_view::npos && group.find(b) != std::string_view::npos;
  });
}

bool onlyLookAlikesSwapped(std::string_view line, std::string_view again) {
  return std::ranges::equal(line, again, [](char a, char b) { return a == b || lookAlikes(a, b); });
}

bool periodRestored(std::string_view line, std::string_view again) {
  if (line.size() != again.size()) return false;
  const auto [at, differs] = std::mismatch(line.begin(), line.end(), again.begin());
  if (at == line.end() || *at != ' ' || *differs != '.') return false;
  return std::equal(at + 1, line.end(), differs + 1) && holdsFileName(again);
}

bool holdsWordlikeRun(std::string_view line) {
  constexpr int kLeastLetters = 7;
  constexpr int kLeastDigits = 4;
  int letters = 0, digits = 0;
  for (const char c : line) {
    letters = c >= 'a' && c <= 'z' ? letters + 1 : 0;
    digits = c >= '0' && c <= '9' ? digits + 1 : 0;
    if (letters >= kLeastLetters || digits >= kLeastDigits) return true;
  }
  return false;
}

namespace {

// Sources' extensions too short to be mended (".c" from ".e" would turn
// "i.e." into "i.c."), known all the same where a name is judged text.
constexpr std::string_view kShortExtensions[] = {"py", "js", "ts", "rs", "go", "rb", "sh", "md", "c",  "h",
                                                 "cc", "hh", "kt", "cs", "pl", "fs", "gz", "xz", "ex", "hs"};

bool nameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-'; }

}  // namespace

bool holdsFileName(std::string_view line) {
  constexpr std::ptrdiff_t kLeastNameCharacters = 2;
  for (std::size_t dot = line.find('.'); dot != std::string_view::npos; dot = line.find('.', dot + 1)) {
    const auto name = std::find_if_not(std::make_reverse_iterator(line.begin() + dot), line.rend(), nameCharacter);
    const auto extensionEnd = std::find_if_not(line.begin() + dot + 1, line.end(), nameCharacter);
    const std::string_view extension(line.begin() + dot + 1, extensionEnd);
    const auto nameLength = name - std::make_reverse_iterator(line.begin() + dot);
    if ((nameLength > 0 && known(kExtensions, extension)) ||
        (nameLength >= kLeastNameCharacters && known(kShortExtensions, extension))) {
      return true;
    }
  }
  return false;
}

namespace {

// A line's prompt the model split with blanks where there are none ("ops@f
// jord: ~$"): its first words, up to three, joined. Whether they were.
bool joinSplitPrompt(std::vector<std::string>& words) {
  constexpr std::size_t kMostPieces = 3;
  if (words.empty() || words[0].find('@') == std::string::npos || shellPrompt(words[0])) return false;
  std::string prompt = words[0];
  for (std::size_t next = 1; next < std::min(kMostPieces, words.size()); ++next) {
    // A branch after the path stands apart in its brackets ("~/shop (main)$").
    if (words[next].starts_with('(') || words[next].starts_with('[')) return false;
    prompt += words[next];
    const std::size_t colon = prompt.find(':');
    const bool pathFollows = colon + 1 < prompt.size() && (prompt[colon + 1] == '~' || prompt[colon + 1] == '/');
    if (shellPrompt(prompt) && pathFollows) {
      words.erase(words.begin() + 1, words.begin() + static_cast<std::ptrdiff_t>(next) + 1);
      words[0] = prompt;
      return true;
    }
  }
  return false;
}

}  // namespace

bool holdsShellPrompt(std::string_view line) {
  // The model ends its line with line breaks.
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())) != 0) line.remove_suffix(1);
  std::vector<std::string> words = wordsOf(std::string(line));
  joinSplitPrompt(words);
  return std::ranges::any_of(words, shellPrompt);
}

void mendShellPrompts(std::string& line) {
  const auto capitals = [](std::string_view name) { return std::count_if(name.begin(), name.end(), isUpper); };
  std::vector<std::string> words = wordsOf(line);
  bool mended = joinSplitPrompt(words);
  for (std::string& word : words) {
    const std::size_t at = word.find('@');
    if (at == std::string::npos || !shellPrompt(word)) continue;
    std::string without = word;
    const std::string_view host = std::string_view(word).substr(at + 1, word.find(':', at) - at - 1);
    // A G in a name of small letters only.
    if (host.starts_with('G') && capitals(host) == 1) without.erase(at + 1, 1);
    if (at > 0 && word[at - 1] == 'G' && capitals(std::string_view(word).substr(0, at)) == 1) without.erase(at - 1, 1);
    // A prompt's path starts at the root or home: a 7 there before a
    // letter is the root's slash ("raj@fir:7etc/nginx$").
    const std::size_t path = without.find(':', without.find('@')) + 1;
    if (without[path] == '7' && std::isalpha(static_cast<unsigned char>(without[path + 1])) != 0) without[path] = '/';
    if (without != word) {
      word = without;
      mended = true;
    }
  }
  if (mended) line = joined(words);
}

bool holdsFormula(std::string_view line) {
  constexpr std::size_t kMostColumnLetters = 3;
  const auto upper = [](char c) { return std::isupper(static_cast<unsigned char>(c)) != 0; };
  const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  return std::ranges::any_of(wordsOf(std::string(line)), [&](std::string_view word) {
    if (!word.starts_with('=')) return false;
    const auto nameEnd = std::find_if_not(word.begin() + 1, word.end(), upper);
    const auto capitals = static_cast<std::size_t>(nameEnd - word.begin() - 1);
    const bool function = capitals >= 2 && nameEnd != word.end() && *nameEnd == '(';
    const bool cell = capitals >= 1 && capitals <= kMostColumnLetters && nameEnd != word.end() && digit(*nameEnd);
    return function || cell;
  });
}

bool holdsQuotedWord(std::string_view line) {
  constexpr std::string_view kOpening[] = {"\"", "'", "\u201c", "\u2018"};
  constexpr std::string_view kClosing[] = {"\"", "'", "\u201d", "\u2019"};
  constexpr std::ptrdiff_t kLeastLetters = 3;
  for (const std::string& spaced : wordsOf(std::string(line))) {
    std::string_view word = spaced;
    while (!word.empty() && std::string_view(",;:)]\n").find(word.back()) != std::string_view::npos) {
      word.remove_suffix(1);
    }
    const auto opening = std::find_if(std::begin(kOpening), std::end(kOpening),
                                      [&](std::string_view quote) { return word.starts_with(quote); });
    const auto closing = std::find_if(std::begin(kClosing), std::end(kClosing),
                                      [&](std::string_view quote) { return word.ends_with(quote); });
    if (opening == std::end(kOpening) || closing == std::end(kClosing) ||
        word.size() <= opening->size() + closing->size()) {
      continue;
    }
    const std::string_view inside = word.substr(opening->size(), word.size() - opening->size() - closing->size());
    const auto letters = std::count_if(inside.begin(), inside.end(),
                                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
    if (letters >= kLeastLetters) return true;
  }
  return false;
}

std::vector<std::size_t> extensionStarts(std::string_view word) {
  constexpr std::size_t kLeastNameCharacters = 2;
  constexpr std::size_t kLongestExtension = 6;
  std::vector<std::size_t> starts;
  for (std::size_t length = 1; length <= kLongestExtension && length + kLeastNameCharacters <= word.size(); ++length) {
    const std::string_view name = word.substr(0, word.size() - length);
    const std::string_view extension = word.substr(name.size());
    if ((known(kExtensions, extension) || known(kShortExtensions, extension)) &&
        std::all_of(name.begin(), name.end(), nameCharacter)) {
      starts.push_back(name.size());
    }
  }
  return starts;
}

std::string tesseractLanguage(std::string_view locale) {
  // language[_territory][.codeset][@modifier]
  const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
  const std::string_view territory =
      locale.find('_') == std::string_view::npos ? std::string_view{} : locale.substr(locale.find('_') + 1, 2);
  if (language == "zh") return territory == "TW" || territory == "HK" || territory == "MO" ? "chi_tra" : "chi_sim";
  if (language == "sr" && locale.find("@latin") != std::string_view::npos) return "srp_latn";
  // ISO 639-1 codes and the ISO 639-2 names of Tesseract's models.
  static constexpr std::pair<std::string_view, std::string_view> kModels[] = {
      {"af", "afr"}, {"ar", "ara"}, {"be", "bel"}, {"bg", "bul"}, {"bn", "ben"}, {"ca", "cat"}, {"cs", "ces"},
      {"cy", "cym"}, {"da", "dan"}, {"de", "deu"}, {"el", "ell"}, {"eo", "epo"}, {"es", "spa"}, {"et", "est"},
      {"eu", "eus"}, {"fa", "fas"}, {"fi", "fin"}, {"fr", "fra"}, {"ga", "gle"}, {"gl", "glg"}, {"he", "heb"},
      {"hi", "hin"}, {"hr", "hrv"}, {"hu", "hun"}, {"id", "ind"}, {"is", "isl"}, {"it", "ita"}, {"ja", "jpn"},
      {"ka", "kat"}, {"kk", "kaz"}, {"ko", "kor"}, {"lt", "lit"}, {"lv", "lav"}, {"mk", "mkd"}, {"ms", "msa"},
      {"mt", "mlt"}, {"nb", "nor"}, {"nl", "nld"}, {"nn", "nor"}, {"no", "nor"}, {"pl", "pol"}, {"pt", "por"},
      {"ro", "ron"}, {"ru", "rus"}, {"sk", "slk"}, {"sl", "slv"}, {"sq", "sqi"}, {"sr", "srp"}, {"sv", "swe"},
      {"ta", "tam"}, {"th", "tha"}, {"tr", "tur"}, {"uk", "ukr"}, {"ur", "urd"}, {"uz", "uzb"}, {"vi", "vie"},
  };
  const auto* found = std::find_if(std::begin(kModels), std::end(kModels),
                                   [&](const auto& model) { return model.first == language; });
  return found == std::end(kModels) ? std::string{} : std::string(found->second);
}

}  // namespace kestrova::desktop::tesseract
