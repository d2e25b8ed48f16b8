// Corrections to a recognized line that need only its text.
#pragma once

#include <string>

namespace kestrova::desktop::tesseract {

// Tesseract's model, trained mostly on print, reads a straight double quote
// that opens a string as a curly one ("“summary.json\"" in code). A curly
// quote whose partner is straight is such a misreading, and is made straight
// like its partner; quotes paired in one style are left as they are.
void straightenMismatchedQuotes(std::string& line);

}  // namespace kestrova::desktop::tesseract
