// Finds kestrova-ocr.so beside the executable or where it is installed, and
// opens it with the OpenMP thread limit in place.
#include "desktop/tesseract/module_loader.h"

#include <dlfcn.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace kestrova::desktop::tesseract {

void OcrModule::Closer::operator()(void* handle) const noexcept { dlclose(handle); }

std::vector<std::filesystem::path> moduleCandidates() {
  std::vector<std::filesystem::path> candidates;
  std::error_code failed;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", failed);
  if (!failed) {
    const std::filesystem::path dir = executable.parent_path();
    candidates.push_back(dir / KESTROVA_OCR_MODULE_FILE);
    candidates.push_back((dir / KESTROVA_OCR_RELATIVE_DIR / KESTROVA_OCR_MODULE_FILE).lexically_normal());
  }
  const std::filesystem::path installed = std::filesystem::path(KESTROVA_OCR_INSTALL_DIR) / KESTROVA_OCR_MODULE_FILE;
  if (std::find(candidates.begin(), candidates.end(), installed) == candidates.end()) candidates.push_back(installed);
  return candidates;
}

std::unique_ptr<OcrModule> OcrModule::load(std::string& error) {
  const std::vector<std::filesystem::path> candidates = moduleCandidates();
  std::error_code ignored;
  const auto found = std::find_if(candidates.begin(), candidates.end(),
                                  [&](const auto& path) { return std::filesystem::is_regular_file(path, ignored); });
  if (found == candidates.end()) {
    error = "the Tesseract module " KESTROVA_OCR_MODULE_FILE " is missing; looked in";
    for (const auto& path : candidates) error += " " + path.parent_path().string();
    return nullptr;
  }
  // Our own threads use the cores; OpenMP threads inside each engine would
  // only contend with them (and alone make a screen several times slower on
  // two cores). The module stands in for the OpenMP calls Tesseract makes;
  // the limit, read once when the runtime loads, holds for any other.
  setenv("OMP_THREAD_LIMIT", "1", 1);
  // Under an address-space limit (ulimit -v), glibc's 64 MB reservation for
  // each thread's own heap runs out long before the memory in use does: the
  // engines then share the main heap (a full screen of text, two engines:
  // read in 150 MB of address space instead of 300 MB).
  rlimit addressSpace{};
  if (getrlimit(RLIMIT_AS, &addressSpace) == 0 && addressSpace.rlim_cur != RLIM_INFINITY) mallopt(M_ARENA_MAX, 1);
  // RTLD_NODELETE: should the OpenMP runtime ever start threads of its own,
  // it must outlive them at exit.
  std::unique_ptr<void, Closer> handle(dlopen(found->c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
  if (!handle) {
    const char* why = dlerror();
    error = "cannot load the Tesseract module " + found->string() + ": " + (why != nullptr ? why : "unknown reason");
    return nullptr;
  }
  auto function = reinterpret_cast<KestrovaOcrRecognizeFunction>(dlsym(handle.get(), KESTROVA_OCR_ENTRY_POINT));
  if (function == nullptr) {
    error = "the Tesseract module " + found->string() + " has no " KESTROVA_OCR_ENTRY_POINT;
    return nullptr;
  }
  return std::unique_ptr<OcrModule>(new OcrModule(std::move(handle), function));
}

bool OcrModule::recognize(const RasterImage& image, const KestrovaOcrOptions& options, const char* languageDataDir,
                          std::vector<RecognizedLine>& lines, std::string& error) const {
  const KestrovaOcrRequest request{image.pixels().data(), image.width(), image.height(), image.bytesPerRow(), options,
                                   languageDataDir};
  char description[512] = {};
  auto sink = [](void* context, const char* text, float confidence) {
    static_cast<std::vector<RecognizedLine>*>(context)->push_back({text, confidence});
  };
  if (function_(&request, sink, &lines, description, sizeof description) != 0) {
    error = description;
    return false;
  }
  return true;
}

}  // namespace kestrova::desktop::tesseract
