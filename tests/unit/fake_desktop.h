// A scripted desktop: the test sets every answer and every call is logged in
// order, so a whole call sequence is one assertion.
#pragma once

#include <map>
#include <new>
#include <thread>

#include "desktop/desktop.h"

namespace kestrova::testing {

using CallLog = std::vector<std::string>;
using desktop::Observation;

struct FakeImage final : desktop::Image {
  explicit FakeImage(CallLog& log) : log(log) {}
  ~FakeImage() override { log.push_back("image released"); }
  int width() const override { return 1920; }
  int height() const override { return 1080; }
  CallLog& log;
};

enum class Delivery { insidePerform, laterOnOtherThread, failedWithCompletion, failedSilently };

struct RecognizerScript {
  Delivery delivery = Delivery::insidePerform;
  std::optional<std::vector<Observation>> results = std::vector<Observation>{};
  std::optional<std::string> completionError = std::nullopt;
  std::string performError = "";
};

struct AppScript {
  std::optional<std::string> localizedName = std::nullopt, bundleIdentifier = std::nullopt;
};

struct FakeApplication final : desktop::RunningApplication {
  FakeApplication(CallLog& log, AppScript script) : log(log), script(std::move(script)) {}
  std::optional<std::string> localizedName() override { return log.push_back("localizedName"), script.localizedName; }
  std::optional<std::string> bundleIdentifier() override {
    return log.push_back("bundleIdentifier"), script.bundleIdentifier;
  }
  void activate(unsigned options) override { log.push_back("activate(" + std::to_string(options) + ")"); }
  CallLog& log;
  AppScript script;
};

constexpr int noWindowsValue = -1, windowsOfOtherKind = -2;

// The application ("app", whose window list holds `windows`) or one of its windows.
struct FakeElement final : desktop::Element {
  FakeElement(CallLog& log, std::string name, int windows = 0) : log(log), name(std::move(name)), windows(windows) {}
  std::optional<desktop::AttributeValue> copyAttributeValue(std::string_view attribute) override {
    log.push_back(name + ".copy(" + std::string(attribute) + ")");
    if (windows == noWindowsValue) return std::nullopt;
    if (windows == windowsOfOtherKind) return desktop::AttributeValue::otherKind();
    std::vector<std::unique_ptr<desktop::Element>> list;
    for (int i = 1; i <= windows; ++i) list.push_back(std::make_unique<FakeElement>(log, "window" + std::to_string(i)));
    return desktop::AttributeValue::elementList(std::move(list));
  }
  void setAttributeValue(std::string_view attribute, bool value) override {
    log.push_back(name + ".set(" + std::string(attribute) + (value ? ", true)" : ", false)"));
  }
  void performAction(std::string_view action) override { log.push_back(name + ".perform(" + std::string(action) + ")"); }
  CallLog& log;
  std::string name;
  int windows;
};

struct FakeDesktop final : desktop::Desktop, desktop::TextRecognizer {
  bool hasImage = true;
  RecognizerScript recognizer;
  std::optional<AppScript> frontmost;
  std::map<std::int32_t, AppScript> applications;
  int windows = 0;
  desktop::PasteboardRead pasteboard;
  std::optional<desktop::Unreachable> outOfReach;
  bool outOfMemory = false;  // every call to the desktop throws std::bad_alloc
  CallLog calls;

  ~FakeDesktop() override {
    if (late.joinable()) late.join();
  }
  desktop::ImagePtr captureMainDisplay() override {
    return log("captureMainDisplay"), hasImage ? std::make_unique<FakeImage>(calls) : nullptr;
  }
  desktop::TextRecognizer& textRecognizer() override { return *this; }
  bool perform(const desktop::Image&, const desktop::RecognitionSettings& settings, desktop::Completion done,
               std::string& error) override {
    const bool asked = settings.level == desktop::RecognitionLevel::accurate && settings.usesLanguageCorrection;
    calls.push_back(asked ? "perform(accurate, corrected)" : "perform(other settings)");
    const RecognizerScript s = recognizer;
    if (s.delivery == Delivery::insidePerform) done(s.results, s.completionError);
    if (s.delivery == Delivery::failedWithCompletion) done(std::nullopt, s.performError);
    if (s.delivery == Delivery::laterOnOtherThread) {
      late = std::thread([done, s] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        done(s.results, s.completionError);
      });
    }
    error = s.performError;
    return s.delivery == Delivery::insidePerform || s.delivery == Delivery::laterOnOtherThread;
  }
  std::unique_ptr<desktop::RunningApplication> frontmostApplication() override {
    return log("frontmostApplication"), frontmost ? std::make_unique<FakeApplication>(calls, *frontmost) : nullptr;
  }
  std::unique_ptr<desktop::RunningApplication> runningApplication(std::int32_t pid) override {
    log("runningApplication(" + std::to_string(pid) + ")");
    const auto found = applications.find(pid);
    return found != applications.end() ? std::make_unique<FakeApplication>(calls, found->second) : nullptr;
  }
  std::unique_ptr<desktop::Element> applicationElement(std::int32_t pid) override {
    return log("applicationElement(" + std::to_string(pid) + ")"), std::make_unique<FakeElement>(calls, "app", windows);
  }
  desktop::PasteboardRead pasteboardString() override { return log("pasteboardString"), pasteboard; }
  void pause(std::chrono::microseconds duration) override { log("pause(" + std::to_string(duration.count()) + "us)"); }
  std::chrono::system_clock::time_point now() override { return log("now"), std::chrono::system_clock::time_point{}; }
  std::optional<desktop::Unreachable> unreachable() const override { return outOfReach; }

 private:
  void log(std::string call) {
    calls.push_back(std::move(call));
    if (outOfMemory) throw std::bad_alloc();
  }
  std::thread late;
};

}  // namespace kestrova::testing
