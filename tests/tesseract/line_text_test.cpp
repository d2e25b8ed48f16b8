#include "desktop/tesseract/line_text.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace kestrova::desktop::tesseract {
namespace {

struct Mended {
  const char* read;
  const char* expected;
};

void expectMended(void (*mend)(std::string&), std::initializer_list<Mended> cases) {
  for (const Mended& c : cases) {
    std::string line = c.read;
    mend(line);
    EXPECT_EQ(line, c.expected) << c.read;
  }
}

TEST(StraightenMismatchedQuotes, OnlyACurlyQuotePairedWithAStraightOne) {
  expectMended(straightenMismatchedQuotes, {
      {"target = Path(folder) / \u201Csummary.json\"", "target = Path(folder) / \"summary.json\""},
      {"print(\"done\u201D)", "print(\"done\")"},
      // Several strings on one line, each judged by its own partner.
      {"f(\u201Ca\", \"b\", \u201Cc\")", "f(\"a\", \"b\", \"c\")"},
      // Quotes paired in one style are what the text shows.
      {"She said \u201Chello\u201D to him", "She said \u201Chello\u201D to him"},
      {"open(target, \"w\")", "open(target, \"w\")"},
      {"\u201Cone\u201D and \"two\"", "\u201Cone\u201D and \"two\""},
      // A lone quote has no partner to follow.
      {"\u201Cunclosed", "\u201Cunclosed"},
      {"inch: 12\"", "inch: 12\""},
      // Other text, multibyte letters included, is untouched.
      {"na\u00EFve caf\u00E9 \u201Cok\"", "na\u00EFve caf\u00E9 \"ok\""},
      {"", ""},
  });
}

TEST(MendBarsAndBoxes, AnIBetweenLowercaseWordsFramesDroppedCodeKept) {
  expectMended(mendBarsAndBoxes, {
      {"Notify me about replies in threads | follow", "Notify me about replies in threads I follow"},
      {"Thanks! Planning review at 2 PM, | will share", "Thanks! Planning review at 2 PM, I will share"},
      {"Restore defaults Cancel | Apply", "Restore defaults Cancel Apply"},
      {"| Search files |", "Search files"},
      {"|", ""},
      {"(_) Include muted channels", "Include muted channels"},
      {"[=] Dark mode", "Dark mode"},
      {"flags = a | b", "flags = a | b"},
      {"cat log | grep error", "cat log | grep error"},
      {"(x) = f(y)", "(x) = f(y)"},
      {"}", "}"},
      {"[]", "[]"},
  });
}

TEST(TesseractLanguage, TheLocalesLanguageOrNoneForEnglish) {
  struct Case {
    const char* locale;
    const char* expected;
  };
  const Case cases[] = {
      {"de_DE.UTF-8", "deu"}, {"de", "deu"},           {"fr_CA.UTF-8@euro", "fra"}, {"pt_BR", "por"},
      {"zh_CN.UTF-8", "chi_sim"}, {"zh_TW.UTF-8", "chi_tra"}, {"sr_RS@latin", "srp_latn"}, {"nb_NO.UTF-8", "nor"},
      {"en_US.UTF-8", ""},    {"C.UTF-8", ""},         {"POSIX", ""},                {"", ""},
      {"xx_YY", ""},          {"d", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(tesseractLanguage(c.locale), c.expected) << c.locale;
}

}  // namespace
}  // namespace kestrova::desktop::tesseract
