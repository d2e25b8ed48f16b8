// The port's text recognizer on top of kestrova-ocr.so, which is loaded by
// the first recognition and kept for the rest of the run.
#include "desktop/tesseract/loader.h"

#include <new>

#include "desktop/raster_image.h"
#include "desktop/tesseract/module_loader.h"

namespace kestrova::desktop {
namespace {

class TesseractRecognizer final : public TextRecognizer {
 public:
  // Recognition that cannot get memory is a failed recognition, not the end of the run.
  bool perform(const Image& image, const RecognitionSettings& settings, Completion completion,
               std::string& error) override {
    try {
      return performOrThrow(image, settings, std::move(completion), error);
    } catch (const std::bad_alloc&) {
      error = "out of memory";
      return false;
    }
  }

 private:
  bool performOrThrow(const Image& image, const RecognitionSettings& settings, Completion completion,
                      std::string& error) {
    const auto* raster = dynamic_cast<const RasterImage*>(&image);
    if (raster == nullptr) {
      error = "the Tesseract recognizer reads only raster images";
      return false;
    }
    if (!module_ && !(module_ = tesseract::OcrModule::load(error))) return false;

    KestrovaOcrOptions options{};
    options.noLanguageModel = settings.usesLanguageCorrection ? 0 : 1;
    std::vector<tesseract::RecognizedLine> lines;
    if (!module_->recognize(*raster, options, nullptr, lines, error)) return false;

    std::vector<Observation> observations;
    observations.reserve(lines.size());
    for (auto& line : lines) {
      observations.push_back({true, {RecognizedText{std::move(line.text), line.confidence / 100.0F}}});
    }
    completion(std::move(observations), std::nullopt);
    return true;
  }

  std::unique_ptr<tesseract::OcrModule> module_;
};

}  // namespace

std::unique_ptr<TextRecognizer> makeTesseractRecognizer() { return std::make_unique<TesseractRecognizer>(); }

}  // namespace kestrova::desktop
