// The text recognizer for platforms without one of their own: Tesseract,
// loaded at run time by the first recognition, so commands that never
// recognize text never pay its start-up.
#pragma once

#include <memory>

#include "desktop/desktop.h"

namespace kestrova::desktop {

std::unique_ptr<TextRecognizer> makeTesseractRecognizer();

}  // namespace kestrova::desktop
