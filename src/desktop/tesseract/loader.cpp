// Placeholder until the Tesseract module lands: every run fails with a description.
#include "desktop/tesseract/loader.h"

namespace kestrova::desktop {
namespace {
class UnavailableRecognizer final : public TextRecognizer {
 public:
  bool perform(const Image&, const RecognitionSettings&, Completion, std::string& error) override {
    error = "text recognition is not built in";
    return false;
  }
};
}  // namespace

std::unique_ptr<TextRecognizer> makeTesseractRecognizer() { return std::make_unique<UnavailableRecognizer>(); }

}  // namespace kestrova::desktop
