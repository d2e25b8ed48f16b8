// The C boundary between the tool and kestrova-ocr.so, the module that links
// Tesseract: the tool loads it with dlopen and finds this one entry point.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// Zero in a field means "what measurement chose".
struct KestrovaOcrOptions {
  int scale;           // enlargement before recognition: 1, 2, 3; 0 chooses by text height
  int pageSegMode;     // Tesseract's segmentation mode; 0 chooses
  int threads;         // engines working at once; 0 chooses
  int wholeImage;      // 1: one page of the whole image, no regions (for comparison)
  int noLanguageModel; // 1: no dictionary
};

struct KestrovaOcrRequest {
  const std::uint8_t* pixels;  // one byte a pixel, its gray
  int width;
  int height;
  std::size_t bytesPerRow;
  KestrovaOcrOptions options;
  const char* languageDataDir;  // null: the system's Tesseract data folders
};

// Called once per text line, in reading order; confidence from 0 to 100.
typedef void (*KestrovaOcrLineSink)(void* context, const char* text, float confidence);

// Returns 0 when the lines were delivered; otherwise writes a description of
// what is missing or failed to `error` (null-terminated) and returns nonzero.
typedef int (*KestrovaOcrRecognizeFunction)(const KestrovaOcrRequest* request, KestrovaOcrLineSink sink,
                                            void* context, char* error, std::size_t errorSize);

#define KESTROVA_OCR_ENTRY_POINT "kestrova_ocr_recognize"
#define KESTROVA_OCR_MODULE_FILE "kestrova-ocr.so"
}
