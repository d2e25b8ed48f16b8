// The completion hand-over: the recognizer may call back inside perform() or
// later on a thread of its own; one semaphore says the cells are final.
#include "recognition/recognize_text.h"

#include <memory>
#include <mutex>
#include <semaphore>

#include "io/write.h"
#include "text/utf8.h"

namespace kestrova {
namespace {

struct HandOver {
  std::counting_semaphore<> completed{0};
  // A recognizer that calls back twice must not race the reader.
  std::mutex cellsMutex;
  Recognition cells;
};

desktop::Completion completionFor(std::shared_ptr<HandOver> handOver) {
  return [handOver = std::move(handOver)](std::optional<std::vector<desktop::Observation>> results,
                                          std::optional<std::string> error) {
    if (!error && results) {
      if (auto recognition = aggregateObservations(*results)) {
        const std::lock_guard lock(handOver->cellsMutex);
        handOver->cells = std::move(*recognition);
      }
    }
    handOver->completed.release();
  };
}

}  // namespace

desktop::RecognitionSettings recognitionSettings() {
  return {desktop::RecognitionLevel::accurate, /*usesLanguageCorrection=*/true};
}

std::optional<Recognition> aggregateObservations(const std::vector<desktop::Observation>& observations) {
  for (const auto& observation : observations) {
    if (!observation.isText) return std::nullopt;
  }
  Recognition recognition;
  double sum = 0.0;
  bool firstLine = true;
  for (const auto& observation : observations) {
    if (observation.topCandidates.empty()) continue;
    const auto& best = observation.topCandidates.front();
    if (!firstLine) recognition.text += '\n';
    recognition.text += repairUtf8(best.string);
    firstLine = false;
    sum += static_cast<double>(best.confidence);
  }
  if (!observations.empty()) recognition.confidence = sum / static_cast<double>(observations.size());
  return recognition;
}

Recognition recognizeText(desktop::TextRecognizer& recognizer, const desktop::Image& from, std::ostream& err) {
  auto handOver = std::make_shared<HandOver>();
  std::string error;
  if (!recognizer.perform(from, recognitionSettings(), completionFor(handOver), error)) {
    writeMessage(err, "OCR error: " + repairUtf8(error) + "\n");
    handOver->completed.release();
  }
  handOver->completed.acquire();
  const std::lock_guard lock(handOver->cellsMutex);
  return handOver->cells;
}

}  // namespace kestrova
