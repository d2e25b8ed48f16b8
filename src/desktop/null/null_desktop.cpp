// The desktop of a platform without a backend: every answer is absent, so
// the tool builds and runs anywhere and says so through its usual messages.
#include <thread>

#include "desktop/desktop.h"

namespace kestrova::desktop {
namespace {

class NoRecognizer final : public TextRecognizer {
 public:
  bool perform(const Image&, const RecognitionSettings&, Completion, std::string& error) override {
    error = "no text recognizer on this platform";
    return false;
  }
};

class NullDesktop final : public Desktop {
 public:
  ImagePtr captureMainDisplay() override { return nullptr; }
  TextRecognizer& textRecognizer() override { return recognizer_; }
  std::unique_ptr<RunningApplication> frontmostApplication() override { return nullptr; }
  std::unique_ptr<RunningApplication> runningApplication(std::int32_t) override { return nullptr; }
  std::unique_ptr<Element> applicationElement(std::int32_t) override { return nullptr; }
  PasteboardRead pasteboardString() override { return PasteboardRead::noText(); }
  void pause(std::chrono::microseconds duration) override { std::this_thread::sleep_for(duration); }

 private:
  NoRecognizer recognizer_;
};

}  // namespace

std::unique_ptr<Desktop> makePlatformDesktop() { return std::make_unique<NullDesktop>(); }

}  // namespace kestrova::desktop
