// The core's rules: on the fake desktop as a host sees them (exact bytes on
// both streams, the exit status, the platform calls behind them), then the
// record read back, the timestamp, the UTF-8 repair, output onto a pipe a
// slow reader drains and the screen's grays, on their own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <new>
#include <sstream>
#include <thread>

#include "cli/run.h"
#include "desktop/desktop.h"
#include "desktop/raster_image.h"
#include "desktop/screen_gray.h"
#include "io/fd_stream.h"
#include "recognition/recognize_text.h"
#include "result/capture_result.h"
#include "result/timestamp.h"
#include "text/utf8.h"

namespace kestrova::testing {
namespace {

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
  void performAction(std::string_view action) override {
    log.push_back(name + ".perform(" + std::string(action) + ")");
  }
  CallLog& log;
  std::string name;
  int windows;
};

// A scripted desktop: the test sets every answer and every call is logged in
// order, so a whole call sequence is one assertion.
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

Observation line(std::string text, float confidence) { return {true, {{text, confidence}}}; }

const std::string usage = "Usage: kestrova-capture [screenshot|active-app|clipboard|activate <pid>]\n";
const std::string activateUsage = "Usage: kestrova-capture activate <pid>\n";
using Given = std::function<void(FakeDesktop&)>;

struct Ending {
  std::vector<std::string> arguments;
  std::string out, err;
  int status;
  Given given = {};
  std::optional<CallLog> calls = std::nullopt;
};

void expectEndings(const std::vector<Ending>& rows) {
  for (const auto& row : rows) {
    FakeDesktop desktop;
    if (row.given) row.given(desktop);
    std::vector<std::string> arguments{"kestrova-capture"};
    arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
    std::ostringstream out, err;
    const int status = run(arguments, desktop, out, err);
    const auto where = ::testing::PrintToString(row.arguments);
    EXPECT_EQ(std::make_tuple(out.str(), err.str(), status), std::tie(row.out, row.err, row.status)) << where;
    if (row.calls) { EXPECT_EQ(desktop.calls, *row.calls) << where; }
    // A command line the tool refuses touches nothing of the desktop.
    if (row.err == usage || row.err == activateUsage || row.err.starts_with("Unknown command")) {
      EXPECT_EQ(desktop.calls, CallLog{}) << where;
    }
  }
}

Given away(desktop::Unreachable::Kind kind, std::string display, std::string reason = "", bool found = false) {
  return [=](FakeDesktop& desktop) {
    desktop.outOfReach = desktop::Unreachable{kind, display, reason};
    desktop.hasImage = found;
    if (found) desktop.applications[812] = AppScript{"Editor", {}};
  };
}

TEST(Dispatch, EveryEndingHasItsBytesAndStatus) {
  using enum desktop::Unreachable::Kind;
  const Given outOfMemory = [](FakeDesktop& desktop) { desktop.outOfMemory = true; };
  const std::string noDisplay = "Failed to open display :199\n", silent = "Failed to open display :5: did not answer\n";
  const std::string captureFailed = "Failed to capture screen\n", clipboardFailed = "Failed to read clipboard\n";
  std::vector<Ending> rows{
      {{}, "", usage, 1},
      {{"sh\xFFot\xC3"}, "", "Unknown command: sh\xEF\xBF\xBDot\xEF\xBF\xBD\n", 1},
      {{"activate"}, "", activateUsage, 1},
      {{"activate", "-7", "99"}, "ok\n", "No app with PID -7\n", 0},
      {{"active-app", "--verbose"}, "Unknown\n", "", 0},
      {{"screenshot"}, "", captureFailed, 1, [](FakeDesktop& d) { d.hasImage = false; }, CallLog{"captureMainDisplay"}},
      // Never reached: the display line for every command; stopped answering: the command's own failure.
      {{"active-app"}, "", noDisplay, 1, away(notOpened, ":199")},
      {{"active-app"}, "", "Failed to open display: not set\n", 1, away(notOpened, "", "not set")},
      {{"active-app"}, "", silent, 1, away(stoppedAnswering, ":5", "did not answer")},
      {{"active-app"}, "", "Failed to open display :1: \xEF\xBF\xBD\n", 1, away(notOpened, ":1", "\xFF")},
      {{"clipboard"}, "", noDisplay, 1, away(notOpened, ":199")},
      {{"clipboard"}, "", clipboardFailed, 1, away(stoppedAnswering, ":5")},
      {{"screenshot"}, "", noDisplay, 1, away(notOpened, ":199")},
      {{"screenshot"}, "", captureFailed, 1, away(stoppedAnswering, ":5")},
      {{"screenshot"}, "", captureFailed, 1, away(stoppedAnswering, ":5", "", true)},
      {{"activate", "812"}, "", noDisplay, 1, away(notOpened, ":199")},
      {{"activate", "812"}, "", silent, 1, away(stoppedAnswering, ":5", "did not answer")},
      {{"activate", "812"}, "ok\n", "", 0, away(stoppedAnswering, ":5", "did not answer", true)},
      // No allocation failure ends the run by a signal or an exception.
      {{"screenshot"}, "", captureFailed, 1, outOfMemory},
      {{"clipboard"}, "", clipboardFailed, 1, outOfMemory},
      {{"active-app"}, "", "Out of memory\n", 1, outOfMemory},
      {{"activate", "812"}, "", "Out of memory\n", 1, outOfMemory},
  };
  for (const std::string word : {"Screenshot", "screenshot ", " clipboard", "--help", "", "active_app", "activ"})
    rows.push_back({{word}, "", "Unknown command: " + word + "\n", 1});
  for (const std::string& pid : std::vector<std::string>{"", "12abc", " 12", "12 ", "+", "-", "+-1", "1\n", "1_000",
                                                         "0x1F", "3.0", "2147483648", "-2147483649", "99999999999",
                                                         "\xEF\xBC\x91", std::string("1\0", 2)})
    rows.push_back({{"activate", pid}, "", activateUsage, 1});
  for (const std::string pid : {"+42", "0049", "-0", "-2147483648", "000000000000002147483647"}) {
    const auto value = std::to_string(std::stoll(pid));
    const CallLog asked{"runningApplication(" + value + ")"};
    rows.push_back({{"activate", pid}, "ok\n", "No app with PID " + value + "\n", 0, {}, asked});
  }
  expectEndings(rows);
}

TEST(Clipboard, PrintsTheTextRepairedWithOneLineFeed) {
  using desktop::PasteboardRead;
  const auto holding = [](std::string out, PasteboardRead read, std::string err = "") -> Ending {
    return {{"clipboard", "ignored"}, out, err, err.empty() ? 0 : 1, [=](FakeDesktop& d) { d.pasteboard = read; }};
  };
  expectEndings({
      holding("two\nlines\n\n", PasteboardRead::withText("two\nlines\n")),
      holding("\n", PasteboardRead::withText("")),
      holding("\xEF\xBF\xBD \xE6\xB0\xB4\n", PasteboardRead::withText("\xE9 \xE6\xB0\xB4")),
      holding(std::string("nul\0\n", 5), PasteboardRead::withText(std::string("nul\0", 4))),
      holding("", PasteboardRead::noText()),
      holding("", PasteboardRead::failed(), "Failed to read clipboard\n"),
  });
}

TEST(Screenshot, NamesTheAppRightAfterTheCaptureAndPrintsThePrettyRecord) {
  const CallLog unnamed{"captureMainDisplay", "frontmostApplication", "perform(accurate, corrected)", "now",
                        "image released"};
  CallLog named = unnamed;
  named.insert(named.begin() + 2, "localizedName");
  const auto reading = [](std::string text, float confidence, std::optional<AppScript> app = std::nullopt) {
    return [=](FakeDesktop& d) { d.recognizer.results = {{line(text, confidence)}}, d.frontmost = app; };
  };
  const auto record = [](std::string text, std::string app, std::string confidence) {
    return "{\n  \"text\": \"" + text + "\",\n  \"appName\": \"" + app +
           "\",\n  \"timestamp\": \"1970-01-01T00:00:00Z\",\n  \"confidence\": " + confidence + "\n}\n";
  };
  const std::string encodingFailed = "Failed to encode capture result\n";
  expectEndings({
      {{"screenshot", "extra"}, record("Hi", "Editor", "0.5"), "", 0, reading("Hi", .5F, AppScript{"Editor"}), named},
      {{"screenshot"}, record(R"(say \"hi\"\t\\ a/b \u0000\u001f caf)" "\xC3\xA9", "Unknown", "0.30000001192092896"),
       "", 0,
       reading(std::string("say \"hi\"\t\\ a/b \0\x1F caf\xC3\xA9", 23), 0.3F)},
      {{"screenshot"}, record("", "Unknown", "0.0"), "OCR error: no eng.traineddata\n", 0,
       [](FakeDesktop& d) { d.recognizer = {Delivery::failedSilently, {}, {}, "no eng.traineddata"}; }, unnamed},
      {{"screenshot"}, "", encodingFailed, 1, reading("x", NAN), unnamed},
      {{"screenshot"}, "", encodingFailed, 1, reading("x", INFINITY), unnamed},
  });
}

TEST(NonBlockingOutput, ASlowReaderGetsEveryByte) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ASSERT_EQ(fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) | O_NONBLOCK), 0);
  // Several pipe buffers' worth, so the writer must wait for the reader more than once.
  std::string text(1024 * 1024, 'x');
  for (std::size_t i = 0; i < text.size(); i += 4093) text[i] = static_cast<char>('a' + i % 26);
  std::string received;
  std::thread reader([&received, fd = ends[0]] {
    char chunk[8192];
    for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0; usleep(200)) received.append(chunk, std::size_t(n));
    close(fd);
  });
  const bool written = static_cast<bool>(FdOStream(ends[1]) << text << std::flush);
  close(ends[1]);
  reader.join();
  EXPECT_TRUE(written);
  EXPECT_TRUE(received == text) << received.size() << " of " << text.size() << " bytes, or changed";
}

TEST(Activation, RaisesEveryWindowBackToFrontAfterThePauseOrStopsAtAnUnknownPid) {
  const CallLog found{"runningApplication(4242)", "activate(3)", "pause(50000us)", "applicationElement(4242)",
                      "app.copy(AXWindows)"};
  CallLog raised = found;
  for (const std::string window : {"window3", "window2", "window1"}) {
    raised.insert(raised.end(), {window + ".set(AXFocused, true)", window + ".perform(AXRaise)"});
  }
  const auto with = [](std::string pid, int windows, CallLog calls, std::string err = "") -> Ending {
    return {{"activate", pid}, "ok\n", err, 0,
            [=](FakeDesktop& d) { d.applications[4242] = AppScript{"App", {}}, d.windows = windows; }, calls};
  };
  expectEndings({with("4242", 3, raised), with("4242", 0, found), with("4242", noWindowsValue, found),
                 with("4242", windowsOfOtherKind, found),
                 with("812", 3, {"runningApplication(812)"}, "No app with PID 812\n")});
}

TEST(ActiveAppName, FallsBackFromDisplayNameToBundleIdentifierToUnknownOnOneLine) {
  const CallLog named{"frontmostApplication", "localizedName"};
  const CallLog unnamed{"frontmostApplication", "localizedName", "bundleIdentifier"};
  const auto front = [](std::string name, std::optional<AppScript> app, CallLog calls) -> Ending {
    return {{"active-app"}, name + "\n", "", 0, [=](FakeDesktop& d) { d.frontmost = app; }, calls};
  };
  expectEndings({
      front("Unknown", std::nullopt, {"frontmostApplication"}),
      front("XTerm", AppScript{"XTerm", "xterm"}, named),
      front("org.example.App", AppScript{std::nullopt, "org.example.App"}, unnamed),
      front("Unknown", AppScript{}, unnamed),
      front("", AppScript{"", "org.example.App"}, named),
      front("Caf\xC3\xA9 Bad\xEF\xBF\xBD", AppScript{"Caf\xC3\xA9 Bad\xE9", {}}, named),
      front("Two Lines   \xC2\xA0.", AppScript{"Two\nLines\t\x7F\xC2\x85\xC2\xA0.", {}}, named),
      front("id  ", AppScript{{}, "id\r\n"}, unnamed),
  });
}

TEST(RecognizeText, JoinsTopCandidatesAndWaitsForTheCompletionWhereverItRuns) {
  const Observation none{true, {}};
  const std::vector<Observation> lines{line("Hello", 0.75F), line("World", 0.25F)};
  const auto given = [](std::vector<Observation> seen) { return RecognizerScript{Delivery::insidePerform, seen}; };
  const std::vector<std::tuple<RecognizerScript, std::string, double, std::string>> rows{
      {given({}), "", 0.0, ""},
      {given({line("A", 0.5F), none, line("B", 1.0F)}), "A\nB", 0.5, ""},
      {given({line("A", 1.0F), line("", 1.0F), line("B", 1.0F)}), "A\n\nB", 1.0, ""},
      {given({none, none}), "", 0.0, ""},
      {given({line("A", 0.5F), Observation{false, {{"barcode", 1.0F}}}}), "", 0.0, ""},
      {given({line("a\xFF", 1.0F)}), "a\xEF\xBF\xBD", 1.0, ""},
      {{Delivery::laterOnOtherThread, lines}, "Hello\nWorld", 0.5, ""},
      {{Delivery::insidePerform, lines, "engine crashed"}, "", 0.0, ""},
      {{Delivery::insidePerform, std::nullopt}, "", 0.0, ""},
      {{Delivery::failedWithCompletion, lines, {}, "no eng data"}, "", 0.0, "OCR error: no eng data\n"},
      {{Delivery::failedSilently, lines, {}, "bad \xC3"}, "", 0.0, "OCR error: bad \xEF\xBF\xBD\n"},
  };
  for (const auto& [script, text, confidence, message] : rows) {
    FakeDesktop desktop;
    desktop.recognizer = script;
    std::ostringstream err;
    const Recognition result = recognizeText(desktop.textRecognizer(), FakeImage(desktop.calls), err);
    EXPECT_EQ(std::make_tuple(result.text, result.confidence, err.str()), std::tie(text, confidence, message));
  }
}

TEST(CaptureResultJson, ReadingRequiresEveryMemberWithItsType) {
  for (const std::string json : {R"({"appName":"a","timestamp":"t","confidence":1})",
                                 R"({"text":"x","timestamp":"t","confidence":1})",
                                 R"({"text":"x","appName":"a","confidence":1})",
                                 R"({"text":"x","appName":"a","timestamp":"t"})",
                                 R"({"text":1,"appName":"a","timestamp":"t","confidence":1})",
                                 R"({"text":"x","appName":"a","timestamp":"t","confidence":"1"})",
                                 R"({"Text":"x","appName":"a","timestamp":"t","confidence":1})",
                                 R"(["x","a","t",1])"}) {
    EXPECT_FALSE(decodeJson(json).has_value()) << json;
  }
  const auto read = decodeJson(R"({"confidence":2,"timestamp":"t","appName":"a","text":"x","extra":null})");
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(std::tie(read->text, read->appName, read->timestamp, read->confidence),
            std::make_tuple("x", "a", "t", 2.0));
}

TEST(Timestamp, IsUtcWholeSecondsWhateverTheTimeZone) {
  using namespace std::chrono;
  const std::vector<std::pair<sys_time<milliseconds>, std::string>> rows{
      {sys_days{year{2026} / 12 / 6} + 20h + 34min + 54s + 999ms, "2026-12-06T20:34:54Z"},
      {sys_days{year{2024} / 2 / 29} + 23h + 59min + 59s, "2024-02-29T23:59:59Z"},
      {sys_days{year{2000} / 1 / 1} + 9h + 5min + 7s, "2000-01-01T09:05:07Z"},
  };
  for (const char* zone : {"UTC", "Pacific/Kiritimati", "America/St_Johns"}) {
    ::setenv("TZ", zone, 1);
    ::tzset();
    for (const auto& [time, text] : rows) {
      EXPECT_EQ(formatTimestamp(time_point_cast<system_clock::duration>(time)), text) << zone;
    }
  }
  ::unsetenv("TZ");
  ::tzset();
}

// One U+FFFD for each maximal ill-formed subpart, as the platforms repair it.
TEST(Utf8, KeepsValidTextAndRepairsEachIllFormedSubpart) {
  const std::string r = "\xEF\xBF\xBD";
  const std::vector<std::pair<std::string, std::string>> rows{
      {"", ""}, {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"\xC3\xA9\xE6\xB0\xB4\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", "\xC3\xA9\xE6\xB0\xB4\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
      {"\x80", r}, {"a\xFF" "b", "a" + r + "b"}, {"\xE9t\xE9", r + "t" + r},  // stray bytes
      {"\xC0\xAF", r + r}, {"\xE0\x80\xAF", r + r + r},                      // overlong
      {"\xED\xA0\x80", r + r + r}, {"\xF4\x90\x80\x80", r + r + r + r},      // surrogate, above U+10FFFF
      {"\xE6\xB0", r}, {"\xE6\xB0" "x", r + "x"}, {"\xF0\x9F\x98" "\xF0\x9F\x98\x80", r + "\xF0\x9F\x98\x80"},
  };
  for (const auto& [input, repaired] : rows) EXPECT_EQ(repairUtf8(input), repaired) << ::testing::PrintToString(input);
}


TEST(ScreenGray, ColouredTextStandsOutByItsColourWhereItsLumaHidesIt) {
  using Rgb = std::array<std::uint8_t, 3>;
  struct Case {
    const char* what;
    Rgb background, ink;
    int inkColumns;  // from column `inkLeft` of three cells of 8x8, in rows from `inkTop` down
    int gray;        // of the ink at column 9, row `inkTop`
    int inkLeft = 8;
    int inkTop = 0;
    int gapLeft = 0;  // three background columns from here
    // Else the columns from `inkTop` down, and above it: x ink, + - its edge, # another area, . background.
    const char* strokes = nullptr;
    const char* strokesAbove = "........................";
  };
  const Case cases[] = {
      {"gray text on white keeps its luma", {255, 255, 255}, {90, 90, 90}, 2, 90},
      {"dark blue on black is as bright as its blue", {16, 20, 24}, {0, 0, 238}, 2, 19 + 214},
      {"red on black", {0, 0, 0}, {205, 0, 0}, 2, 205},
      {"dark blue on a dark teal 4 steps brighter, lighter still", {0, 43, 54}, {0, 0, 238}, 2, 31 + 184},
      {"an orange icon on a mid gray-blue 8 steps brighter, darker", {100, 120, 150}, {230, 65, 15}, 2, 0},
      {"yellow on white as dark as its blue is", {255, 255, 255}, {205, 205, 0}, 2, 0},
      {"an avatar's disk, already apart by its luma", {255, 255, 255}, {79, 134, 247}, 2, 130},
      {"white on a blue button", {26, 115, 232}, {255, 255, 255}, 2, 255},
      {"a stroke filling a cell, told by the cells beside it", {255, 255, 255}, {205, 205, 0}, 8, 0},
      {"bold strokes filling the cells beside it too, told by the cells above", {255, 255, 255}, {205, 205, 0}, 18, 0,
       3, desktop::kGrayCellRows, 11},
      {"dense bold strokes leaving an eighth of the background, told by the cells above", {255, 255, 255},
       {255, 255, 0}, 0, 0, 0, desktop::kGrayCellRows, 0, "xxxxx++.xxxxx++.xxxxx++."},
      {"a stroke at a window's edge, beside another area it does not show", {255, 255, 255}, {255, 255, 0}, 0, 0, 0,
       desktop::kGrayCellRows, 0, "########xx++-...xxxxx++-", "########................"},
  };
  constexpr int kWidth = 24;
  for (const Case& c : cases) {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < 2 * desktop::kGrayCellRows; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const bool inGap = c.gapLeft > 0 && x >= c.gapLeft && x < c.gapLeft + 3;
        const bool inked = y >= c.inkTop && x >= c.inkLeft && x < c.inkLeft + c.inkColumns && !inGap;
        const char stroke = c.strokes == nullptr ? '.' : y >= c.inkTop ? c.strokes[x] : c.strokesAbove[x];
        const Rgb edge{255, 255, 128};
        const Rgb outerEdge{255, 255, 200};
        const Rgb otherArea{27, 31, 36};
        const Rgb& colour = inked || stroke == 'x' ? c.ink
                            : stroke == '+'       ? edge
                            : stroke == '-'       ? outerEdge
                            : stroke == '#'       ? otherArea
                                                  : c.background;
        rgb.insert(rgb.end(), colour.begin(), colour.end());
      }
    }
    std::vector<std::uint8_t> whole(rgb.size() / 3), inParts(rgb.size() / 3);
    desktop::toScreenGray(rgb.data(), kWidth, 2 * desktop::kGrayCellRows, whole.data());
    EXPECT_EQ(whole[c.inkTop * kWidth + 9], c.gray) << c.what;
    EXPECT_EQ(whole[20], desktop::luma(c.background[0], c.background[1], c.background[2])) << c.what;
    // Rows converted a cell's height at a time, as a capture's strips are.
    desktop::ScreenGrayConverter grays(kWidth);
    for (int top = 0; top < 2 * desktop::kGrayCellRows; top += desktop::kGrayCellRows) {
      grays.convert(rgb.data() + top * kWidth * 3, desktop::kGrayCellRows, inParts.data() + top * kWidth);
    }
    EXPECT_EQ(inParts, whole) << c.what;
  }
}

}  // namespace
}  // namespace kestrova::testing
