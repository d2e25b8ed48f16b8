// The X11 desktop: connects on first need, so commands that never touch the
// display (or that fail before) never pay for it.
#include <thread>

#include "desktop/desktop.h"
#include "desktop/tesseract/loader.h"
#include "desktop/x11/activation.h"
#include "desktop/x11/applications.h"
#include "desktop/x11/capture.h"
#include "desktop/x11/clipboard.h"
#include "desktop/x11/connection.h"

namespace kestrova::desktop {
namespace {

class X11Desktop final : public Desktop {
 public:
  ImagePtr captureMainDisplay() override {
    auto* c = connection();
    return c != nullptr ? x11::captureMainDisplay(*c) : nullptr;
  }

  TextRecognizer& textRecognizer() override {
    if (!recognizer_) recognizer_ = makeTesseractRecognizer();
    return *recognizer_;
  }

  std::unique_ptr<RunningApplication> frontmostApplication() override {
    auto* c = connection();
    return c != nullptr ? x11::frontmostApplication(*c) : nullptr;
  }

  std::unique_ptr<RunningApplication> runningApplication(std::int32_t pid) override {
    auto* c = connection();
    return c != nullptr ? x11::runningApplication(*c, pid) : nullptr;
  }

  std::unique_ptr<Element> applicationElement(std::int32_t pid) override {
    return x11::makeApplicationElement(connection(), pid);
  }

  PasteboardRead pasteboardString() override {
    auto* c = connection();
    return c != nullptr ? x11::readClipboard(*c) : PasteboardRead::failed();
  }

  void pause(std::chrono::microseconds duration) override { std::this_thread::sleep_for(duration); }

  std::optional<Unreachable> unreachable() const override {
    if (connection_) return connection_->stoppedAnswering();
    return notOpened_;
  }

 private:
  x11::Connection* connection() {
    if (!connectionTried_) {
      Unreachable why;
      connection_ = x11::Connection::open(why);
      if (!connection_) notOpened_ = std::move(why);
      connectionTried_ = true;
    }
    return connection_.get();
  }

  std::unique_ptr<TextRecognizer> recognizer_;
  std::unique_ptr<x11::Connection> connection_;
  bool connectionTried_ = false;
  std::optional<Unreachable> notOpened_;
};

}  // namespace

std::unique_ptr<Desktop> makePlatformDesktop() { return std::make_unique<X11Desktop>(); }

}  // namespace kestrova::desktop
