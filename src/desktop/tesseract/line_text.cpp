#include "desktop/tesseract/line_text.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>
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
