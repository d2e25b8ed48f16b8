// A scripted desktop for the core's tests: every answer is set by the test,
// and every call is recorded in order, so a whole call sequence is one
// assertion.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/run.h"
#include "desktop/desktop.h"

namespace kestrova::testing {

using CallLog = std::vector<std::string>;

class FakeImage final : public desktop::Image {
 public:
  explicit FakeImage(CallLog& log) : log_(log) {}
  ~FakeImage() override { log_.push_back("image released"); }
  int width() const override { return 1920; }
  int height() const override { return 1080; }

 private:
  CallLog& log_;
};

// How the scripted recognizer delivers its run.
enum class Delivery {
  insidePerform,         // completion runs on the calling thread, then perform succeeds
  laterOnOtherThread,    // perform succeeds at once; completion follows on a thread
  failedWithCompletion,  // completion gets the error, then perform fails too
  failedSilently,        // perform fails and never calls the completion
};

struct RecognizerScript {
  Delivery delivery = Delivery::insidePerform;
  std::optional<std::vector<desktop::Observation>> results = std::vector<desktop::Observation>{};
  std::optional<std::string> completionError;
  std::string performError = "recognition failed";
};

class FakeRecognizer final : public desktop::TextRecognizer {
 public:
  FakeRecognizer(CallLog& log, RecognizerScript& script) : log_(log), script_(script) {}
  ~FakeRecognizer() override {
    if (late_.joinable()) late_.join();
  }

  bool perform(const desktop::Image&, const desktop::RecognitionSettings& settings,
               desktop::Completion completion, std::string& error) override {
    log_.push_back(std::string("perform(") +
                   (settings.level == desktop::RecognitionLevel::accurate ? "accurate" : "fast") +
                   (settings.usesLanguageCorrection ? ", corrected)" : ", uncorrected)"));
    switch (script_.delivery) {
      case Delivery::insidePerform:
        completion(script_.results, script_.completionError);
        return true;
      case Delivery::laterOnOtherThread:
        late_ = std::thread([completion = std::move(completion), script = script_] {
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          completion(script.results, script.completionError);
        });
        return true;
      case Delivery::failedWithCompletion:
        completion(std::nullopt, script_.performError);
        error = script_.performError;
        return false;
      case Delivery::failedSilently:
        error = script_.performError;
        return false;
    }
    return false;
  }

 private:
  CallLog& log_;
  RecognizerScript& script_;
  std::thread late_;
};

struct AppScript {
  std::optional<std::string> localizedName;
  std::optional<std::string> bundleIdentifier;
};

class FakeApplication final : public desktop::RunningApplication {
 public:
  FakeApplication(CallLog& log, AppScript script) : log_(log), script_(std::move(script)) {}
  std::optional<std::string> localizedName() override {
    log_.push_back("localizedName");
    return script_.localizedName;
  }
  std::optional<std::string> bundleIdentifier() override {
    log_.push_back("bundleIdentifier");
    return script_.bundleIdentifier;
  }
  void activate(unsigned options) override { log_.push_back("activate(" + std::to_string(options) + ")"); }

 private:
  CallLog& log_;
  AppScript script_;
};

class FakeWindow final : public desktop::Element {
 public:
  FakeWindow(CallLog& log, std::string name) : log_(log), name_(std::move(name)) {}
  std::optional<desktop::AttributeValue> copyAttributeValue(std::string_view attribute) override {
    log_.push_back(name_ + ".copy(" + std::string(attribute) + ")");
    return std::nullopt;
  }
  void setAttributeValue(std::string_view attribute, bool value) override {
    log_.push_back(name_ + ".set(" + std::string(attribute) + (value ? ", true)" : ", false)"));
  }
  void performAction(std::string_view action) override {
    log_.push_back(name_ + ".perform(" + std::string(action) + ")");
  }

 private:
  CallLog& log_;
  std::string name_;
};

// What the application element's window attribute holds.
struct WindowsScript {
  enum class Kind { noValue, otherKind, list } kind = Kind::list;
  int count = 0;
};

class FakeApplicationElement final : public desktop::Element {
 public:
  FakeApplicationElement(CallLog& log, WindowsScript script) : log_(log), script_(script) {}
  std::optional<desktop::AttributeValue> copyAttributeValue(std::string_view attribute) override {
    log_.push_back("app.copy(" + std::string(attribute) + ")");
    switch (script_.kind) {
      case WindowsScript::Kind::noValue:
        return std::nullopt;
      case WindowsScript::Kind::otherKind:
        return desktop::AttributeValue::otherKind();
      case WindowsScript::Kind::list:
        break;
    }
    std::vector<std::unique_ptr<desktop::Element>> windows;
    for (int i = 1; i <= script_.count; ++i) {
      windows.push_back(std::make_unique<FakeWindow>(log_, "window" + std::to_string(i)));
    }
    return desktop::AttributeValue::elementList(std::move(windows));
  }
  void setAttributeValue(std::string_view attribute, bool) override {
    log_.push_back("app.set(" + std::string(attribute) + ")");
  }
  void performAction(std::string_view action) override { log_.push_back("app.perform(" + std::string(action) + ")"); }

 private:
  CallLog& log_;
  WindowsScript script_;
};

class FakeDesktop final : public desktop::Desktop {
 public:
  // Scripted answers; change them before the call under test.
  bool hasImage = true;
  RecognizerScript recognizer;
  std::optional<AppScript> frontmost;
  std::map<std::int32_t, AppScript> applications;
  WindowsScript windows;
  desktop::PasteboardRead pasteboard = desktop::PasteboardRead::noText();
  std::chrono::system_clock::time_point clock{};
  std::optional<desktop::Unreachable> outOfReach;  // what unreachable() says, from the start
  bool outOfMemory = false;                        // every platform call throws std::bad_alloc

  CallLog calls;

  desktop::ImagePtr captureMainDisplay() override {
    calls.push_back("captureMainDisplay");
    if (outOfMemory) throw std::bad_alloc();
    if (!hasImage) return nullptr;
    return std::make_unique<FakeImage>(calls);
  }
  desktop::TextRecognizer& textRecognizer() override {
    if (!recognizer_) recognizer_ = std::make_unique<FakeRecognizer>(calls, recognizer);
    return *recognizer_;
  }
  std::unique_ptr<desktop::RunningApplication> frontmostApplication() override {
    calls.push_back("frontmostApplication");
    if (outOfMemory) throw std::bad_alloc();
    if (!frontmost) return nullptr;
    return std::make_unique<FakeApplication>(calls, *frontmost);
  }
  std::unique_ptr<desktop::RunningApplication> runningApplication(std::int32_t pid) override {
    calls.push_back("runningApplication(" + std::to_string(pid) + ")");
    if (outOfMemory) throw std::bad_alloc();
    const auto found = applications.find(pid);
    if (found == applications.end()) return nullptr;
    return std::make_unique<FakeApplication>(calls, found->second);
  }
  std::unique_ptr<desktop::Element> applicationElement(std::int32_t pid) override {
    calls.push_back("applicationElement(" + std::to_string(pid) + ")");
    return std::make_unique<FakeApplicationElement>(calls, windows);
  }
  desktop::PasteboardRead pasteboardString() override {
    calls.push_back("pasteboardString");
    if (outOfMemory) throw std::bad_alloc();
    return pasteboard;
  }
  void pause(std::chrono::microseconds duration) override {
    calls.push_back("pause(" + std::to_string(duration.count()) + "us)");
  }
  std::chrono::system_clock::time_point now() override {
    calls.push_back("now");
    return clock;
  }
  std::optional<desktop::Unreachable> unreachable() const override { return outOfReach; }

 private:
  std::unique_ptr<FakeRecognizer> recognizer_;
};

// One run of the tool against a fake desktop, with both streams captured.
struct RunResult {
  int status;
  std::string out;
  std::string err;
};

// `arguments` come after the program name.
inline RunResult runTool(const std::vector<std::string>& arguments, desktop::Desktop& desktop) {
  std::vector<std::string> args{"kestrova-capture"};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::ostringstream out;
  std::ostringstream err;
  const int status = run(args, desktop, out, err);
  return {status, out.str(), err.str()};
}

inline desktop::Observation textObservation(std::string text, float confidence) {
  return {true, {{std::move(text), confidence}}};
}

}  // namespace kestrova::testing
