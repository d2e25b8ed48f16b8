// kestrova-ocr-probe: recognizes a PPM image file with chosen preprocessing,
// so the benchmark can measure what each choice costs and brings.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "desktop/screen_gray.h"
#include "desktop/tesseract/module_loader.h"

namespace {

using kestrova::desktop::RasterImage;

// Binary PPM (P6, 8 bits a channel) into the capture's one-byte grays.
std::optional<RasterImage> readPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int width = 0;
  int height = 0;
  int maxValue = 0;
  in >> magic >> width >> height >> maxValue;
  in.get();
  if (!in || magic != "P6" || maxValue != 255 || width <= 0 || height <= 0) return std::nullopt;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  if (!in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()))) return std::nullopt;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height);
  kestrova::desktop::toScreenGray(rgb.data(), width, height, pixels.data());
  return RasterImage(width, height, static_cast<std::size_t>(width), std::move(pixels));
}

bool readNumber(std::string_view text, int& value) {
  return std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc{};
}

}  // namespace

int main(int argc, char** argv) {
  KestrovaOcrOptions options{};
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--scale" && hasValue && readNumber(argv[++i], options.scale)) continue;
    if (arg == "--psm" && hasValue && readNumber(argv[++i], options.pageSegMode)) continue;
    if (arg == "--threads" && hasValue && readNumber(argv[++i], options.threads)) continue;
    if (arg == "--whole-image") {
      options.wholeImage = 1;
    } else if (arg.starts_with("--") || path != nullptr) {
      std::cerr << "usage: kestrova-ocr-probe [--scale N] [--psm N] [--threads N] [--whole-image] image.ppm\n";
      return 2;
    } else {
      path = argv[i];
    }
  }
  if (path == nullptr) return 2;
  const auto image = readPpm(path);
  if (!image) {
    std::cerr << "kestrova-ocr-probe: " << path << " is no binary 8-bit PPM\n";
    return 1;
  }
  std::string error;
  const auto started = std::chrono::steady_clock::now();
  const auto module = kestrova::desktop::tesseract::OcrModule::load(error);
  std::vector<kestrova::desktop::tesseract::RecognizedLine> lines;
  if (!module || !module->recognize(*image, options, nullptr, lines, error)) {
    std::cerr << "kestrova-ocr-probe: " << error << "\n";
    return 1;
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  for (const auto& line : lines) std::printf("%5.1f\t%s\n", line.confidence, line.text.c_str());
  std::fprintf(stderr, "%.3f s\n", took.count());
  return 0;
}
