// Text recognition as one blocking call over the platform's callback-driven
// recognizer: the lines it read, joined, and their mean confidence.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "desktop/desktop.h"

namespace kestrova {

struct Recognition {
  std::string text;
  double confidence = 0.0;
};

// The settings every recognition runs with: accurate, language correction on.
desktop::RecognitionSettings recognitionSettings();

// Joins the top candidates of the text observations with line feeds and
// divides their summed confidences by the number of observations (those
// without a candidate count too). None when any observation is not text.
std::optional<Recognition> aggregateObservations(const std::vector<desktop::Observation>& observations);

// Runs one recognition and waits for its completion. Never fails: a failed
// run writes one "OCR error: " line to `err` and yields what the completion
// stored, by default the empty text and 0.
Recognition recognizeText(desktop::TextRecognizer& recognizer, const desktop::Image& from, std::ostream& err);

}  // namespace kestrova
