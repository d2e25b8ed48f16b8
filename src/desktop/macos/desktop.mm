// The macOS desktop: AppKit, CoreGraphics, Vision and Accessibility behind
// the port, one call each, and the pause as the C library's usleep.
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <memory>

#include "desktop/desktop.h"
#include "desktop/macos/backend.h"

namespace kestrova::desktop {
namespace {

class MacDesktop final : public Desktop {
 public:
  ImagePtr captureMainDisplay() override { return macos::captureMainDisplay(); }

  TextRecognizer& textRecognizer() override {
    if (!recognizer_) recognizer_ = macos::makeVisionRecognizer();
    return *recognizer_;
  }

  std::unique_ptr<RunningApplication> frontmostApplication() override { return macos::frontmostApplication(); }

  std::unique_ptr<RunningApplication> runningApplication(std::int32_t pid) override {
    return macos::runningApplication(pid);
  }

  std::unique_ptr<Element> applicationElement(std::int32_t pid) override {
    return macos::applicationElement(pid);
  }

  PasteboardRead pasteboardString() override { return macos::pasteboardString(); }

  void pause(std::chrono::microseconds duration) override {
    if (duration.count() > 0) usleep(static_cast<useconds_t>(duration.count()));
  }

 private:
  std::unique_ptr<TextRecognizer> recognizer_;
};

}  // namespace

std::unique_ptr<Desktop> makePlatformDesktop() { return std::make_unique<MacDesktop>(); }

}  // namespace kestrova::desktop
