// The port: every platform operation the tool uses, one for one, at the level
// the tool's rules name them. Backends translate; the core decides.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::desktop {

// A captured display image. Backends derive their own kind; whoever recognizes
// text in it knows which kind its platform captures.
class Image {
 public:
  virtual ~Image() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
};
using ImagePtr = std::unique_ptr<Image>;

// --- Text recognition -------------------------------------------------------

enum class RecognitionLevel { accurate = 0, fast = 1 };

struct RecognitionSettings {
  RecognitionLevel level = RecognitionLevel::accurate;
  bool usesLanguageCorrection = true;
};

struct RecognizedText {
  std::string string;
  float confidence = 0.0F;  // 0 to 1, as the recognizer rates it
};

// One observation as the recognizer lists it.
struct Observation {
  bool isText = true;                          // false: another kind of observation
  std::vector<RecognizedText> topCandidates;   // the answer to "top 1": at most one
};

// Called for every run that ends, on any thread, before or after perform()
// returns. `results` absent: the request has no results; `error` present: the
// run failed with that description.
using Completion = std::function<void(std::optional<std::vector<Observation>> results,
                                      std::optional<std::string> error)>;

class TextRecognizer {
 public:
  virtual ~TextRecognizer() = default;
  // Runs one request over the image. On failure returns false and fills
  // `error` with a description; the completion may then never be called.
  virtual bool perform(const Image& image, const RecognitionSettings& settings,
                       Completion completion, std::string& error) = 0;
};

// --- Applications -----------------------------------------------------------

// Bit values as the platform's activation options define them.
enum ActivationOptions : unsigned {
  activateAllWindows = 1U,
  activateIgnoringOtherApps = 2U,
};

class RunningApplication {
 public:
  virtual ~RunningApplication() = default;
  virtual std::optional<std::string> localizedName() = 0;
  virtual std::optional<std::string> bundleIdentifier() = 0;
  // A request only: its answer is never read and nobody waits for it.
  virtual void activate(unsigned options) = 0;
};

// --- Accessibility ----------------------------------------------------------

class Element;

// What an attribute holds: a list of elements, or a value of some other kind.
class AttributeValue {
 public:
  static AttributeValue elementList(std::vector<std::unique_ptr<Element>> elements);
  static AttributeValue otherKind();

  bool isElementList() const { return isElementList_; }
  std::vector<std::unique_ptr<Element>>& elements() { return elements_; }

 private:
  AttributeValue(bool isElementList, std::vector<std::unique_ptr<Element>> elements);
  bool isElementList_;
  std::vector<std::unique_ptr<Element>> elements_;
};

class Element {
 public:
  virtual ~Element() = default;
  // Absent: the attribute has no value (the error code is never read).
  virtual std::optional<AttributeValue> copyAttributeValue(std::string_view attribute) = 0;
  virtual void setAttributeValue(std::string_view attribute, bool value) = 0;
  virtual void performAction(std::string_view action) = 0;
};

// --- Pasteboard -------------------------------------------------------------

// A text, none, or a read that failed (the platform could not be asked, or an
// owner stopped answering).
struct PasteboardRead {
  enum class Outcome { text, none, failed };
  Outcome outcome = Outcome::none;
  std::string text;

  static PasteboardRead withText(std::string text) { return {Outcome::text, std::move(text)}; }
  static PasteboardRead noText() { return {Outcome::none, {}}; }
  static PasteboardRead failed() { return {Outcome::failed, {}}; }
};

// --- Reaching the desktop ---------------------------------------------------

// Why the desktop could not be used, in the platform's words.
struct Unreachable {
  // notOpened: no desktop to talk to (none named, none there, access refused).
  // stoppedAnswering: it was found but did not answer in time, or went away.
  enum class Kind { notOpened, stoppedAnswering };
  Kind kind = Kind::notOpened;
  std::string display;  // as the user named it; empty when none is named
  std::string reason;   // may be empty
};

// --- The desktop ------------------------------------------------------------

class Desktop {
 public:
  virtual ~Desktop() = default;

  // The whole main display, or null when there is no image to be had.
  virtual ImagePtr captureMainDisplay() = 0;
  // Loaded on first use, so commands that never recognize text never pay for it.
  virtual TextRecognizer& textRecognizer() = 0;

  virtual std::unique_ptr<RunningApplication> frontmostApplication() = 0;
  virtual std::unique_ptr<RunningApplication> runningApplication(std::int32_t pid) = 0;
  virtual std::unique_ptr<Element> applicationElement(std::int32_t pid) = 0;

  virtual PasteboardRead pasteboardString() = 0;

  virtual void pause(std::chrono::microseconds duration) = 0;
  virtual std::chrono::system_clock::time_point now() { return std::chrono::system_clock::now(); }

  // Once an operation found the desktop out of reach, why; none while it
  // answers. Platforms whose desktop is always there keep the default.
  virtual std::optional<Unreachable> unreachable() const { return std::nullopt; }
};

// Built once per process by the platform chosen at build time.
std::unique_ptr<Desktop> makePlatformDesktop();

}  // namespace kestrova::desktop
