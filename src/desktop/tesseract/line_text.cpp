#include "desktop/tesseract/line_text.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace kestrova::desktop::tesseract {
namespace {

constexpr std::string_view kStraight = "\"";
constexpr std::string_view kOpening = "\u201C";
constexpr std::string_view kClosing = "\u201D";

struct Quote {
  std::size_t at;
  std::string_view mark;
};

std::vector<Quote> doubleQuotesIn(const std::string& line) {
  std::vector<Quote> quotes;
  for (std::size_t at = 0; at < line.size(); ++at) {
    for (std::string_view mark : {kStraight, kOpening, kClosing}) {
      if (line.compare(at, mark.size(), mark) == 0) quotes.push_back({at, mark});
    }
  }
  return quotes;
}

}  // namespace

void straightenMismatchedQuotes(std::string& line) {
  const std::vector<Quote> quotes = doubleQuotesIn(line);
  std::vector<bool> straighten(quotes.size(), false);
  for (std::size_t i = 0; i < quotes.size(); ++i) {
    const bool opensBeforeStraight = quotes[i].mark == kOpening && i + 1 < quotes.size() && quotes[i + 1].mark == kStraight;
    const bool closesAfterStraight = quotes[i].mark == kClosing && i > 0 && quotes[i - 1].mark == kStraight;
    straighten[i] = opensBeforeStraight || closesAfterStraight;
  }
  std::string straightened;
  std::size_t copied = 0;
  for (std::size_t i = 0; i < quotes.size(); ++i) {
    if (!straighten[i]) continue;
    straightened.append(line, copied, quotes[i].at - copied).append(kStraight);
    copied = quotes[i].at + quotes[i].mark.size();
  }
  if (copied == 0) return;
  line = straightened.append(line, copied);
}

}  // namespace kestrova::desktop::tesseract
