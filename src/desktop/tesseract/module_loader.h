// Loads kestrova-ocr.so at run time, so only the commands that recognize
// text pay for Tesseract.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "desktop/raster_image.h"
#include "desktop/tesseract/module_interface.h"

namespace kestrova::desktop::tesseract {

struct RecognizedLine {
  std::string text;
  float confidence = 0.0F;  // 0 to 100, as Tesseract rates it
};

class OcrModule {
 public:
  // Looks next to the running executable, then in the installed library
  // folder.
  static std::unique_ptr<OcrModule> load(std::string& error);

  bool recognize(const RasterImage& image, const KestrovaOcrOptions& options, const char* languageDataDir,
                 std::vector<RecognizedLine>& lines, std::string& error) const;

 private:
  struct Closer {
    void operator()(void* handle) const noexcept;
  };
  OcrModule(std::unique_ptr<void, Closer> handle, KestrovaOcrRecognizeFunction function)
      : handle_(std::move(handle)), function_(function) {}

  std::unique_ptr<void, Closer> handle_;
  KestrovaOcrRecognizeFunction function_;
};

// The files tried, in order.
std::vector<std::filesystem::path> moduleCandidates();

}  // namespace kestrova::desktop::tesseract
