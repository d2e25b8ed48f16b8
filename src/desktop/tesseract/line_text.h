// Text-only helpers of the recognizer: corrections to a recognized line, and
// the language of the user's locale.
#pragma once

#include <string>
#include <string_view>

namespace kestrova::desktop::tesseract {

// Tesseract's model, trained mostly on print, reads a straight double quote
// that opens a string as a curly one ("“summary.json\"" in code). A curly
// quote whose partner is straight is such a misreading, and is made straight
// like its partner; quotes paired in one style are left as they are.
void straightenMismatchedQuotes(std::string& line);

// The name of Tesseract's model for the language of a POSIX locale
// ("de_DE.UTF-8" -> "deu", "zh_TW" -> "chi_tra"), or empty for English, for
// "C" and "POSIX", and for languages without a model of their own.
std::string tesseractLanguage(std::string_view locale);

}  // namespace kestrova::desktop::tesseract
