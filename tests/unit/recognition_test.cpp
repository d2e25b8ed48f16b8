// The recognizer's observations turned into one text and a mean confidence,
// and the wait for a completion that may come from anywhere.
#include <gtest/gtest.h>

#include "fake_desktop.h"
#include "recognition/recognize_text.h"

namespace kestrova::testing {
namespace {

using desktop::Observation;

const Observation noCandidate{true, {}};
const Observation otherKind{false, {{"barcode", 1.0F}}};

TEST(Aggregation, JoinsTopCandidatesAndDividesByObservations) {
  struct Row {
    const char* situation;
    std::vector<Observation> observations;
    std::optional<std::string> text;  // none: the whole result is discarded
    double confidence;
  };
  const std::vector<Row> rows{
      {"nothing recognized", {}, "", 0.0},
      {"one line", {textObservation("A", 0.5F)}, "A", 0.5},
      {"a missing candidate still counts", {textObservation("A", 0.5F), noCandidate, textObservation("B", 1.0F)},
       "A\nB", 0.5},
      {"an empty line is a line", {textObservation("A", 1.0F), textObservation("", 1.0F), textObservation("B", 1.0F)},
       "A\n\nB", 1.0},
      {"only missing candidates", {noCandidate, noCandidate}, "", 0.0},
      {"another kind empties everything", {textObservation("A", 0.5F), otherKind}, std::nullopt, 0.0},
      {"widened, not rounded", {textObservation("x", 0.3F)}, "x", static_cast<double>(0.3F)},
      {"ill-formed bytes repaired", {textObservation("a\xFF", 1.0F)}, "a\xEF\xBF\xBD", 1.0},
  };
  for (const auto& row : rows) {
    const auto result = aggregateObservations(row.observations);
    ASSERT_EQ(result.has_value(), row.text.has_value()) << row.situation;
    if (!result) continue;
    EXPECT_EQ(result->text, *row.text) << row.situation;
    EXPECT_EQ(result->confidence, row.confidence) << row.situation;
  }
}

struct HandOverCase {
  const char* situation;
  RecognizerScript script;
  std::string text;
  double confidence;
  std::string err;
};

TEST(RecognizeText, WaitsForTheCompletionWhereverItRuns) {
  const std::vector<Observation> lines{textObservation("Hello", 0.75F), textObservation("World", 0.25F)};
  const std::vector<HandOverCase> cases{
      {"inside perform", {Delivery::insidePerform, lines, {}, ""}, "Hello\nWorld", 0.5, ""},
      {"later on another thread", {Delivery::laterOnOtherThread, lines, {}, ""}, "Hello\nWorld", 0.5, ""},
      {"error in the completion", {Delivery::insidePerform, lines, "engine crashed", ""}, "", 0.0, ""},
      {"no results", {Delivery::insidePerform, std::nullopt, {}, ""}, "", 0.0, ""},
      {"failed, completion called too", {Delivery::failedWithCompletion, lines, {}, "no eng data"}, "", 0.0,
       "OCR error: no eng data\n"},
      {"failed, completion never called", {Delivery::failedSilently, lines, {}, "no engine"}, "", 0.0,
       "OCR error: no engine\n"},
      {"failure text repaired", {Delivery::failedSilently, lines, {}, "bad \xC3"}, "", 0.0,
       "OCR error: bad \xEF\xBF\xBD\n"},
  };
  for (const auto& test : cases) {
    FakeDesktop desktop;
    desktop.recognizer = test.script;
    std::ostringstream err;
    const FakeImage image(desktop.calls);
    const Recognition result = recognizeText(desktop.textRecognizer(), image, err);
    EXPECT_EQ(result.text, test.text) << test.situation;
    EXPECT_EQ(result.confidence, test.confidence) << test.situation;
    EXPECT_EQ(err.str(), test.err) << test.situation;
  }
}

}  // namespace
}  // namespace kestrova::testing
