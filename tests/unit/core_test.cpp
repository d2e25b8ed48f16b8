// The core on the fake desktop: the command line as a host sees it (exact
// bytes on both streams and the exit status), and the calls behind each command.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>

#include "apps/activate_app.h"
#include "apps/active_app.h"
#include "fake_desktop.h"
#include "io/fd_stream.h"
#include "recognition/recognize_text.h"
#include "result/capture_result.h"

namespace kestrova::testing {
namespace {

const std::string usage = "Usage: kestrova-capture [screenshot|active-app|clipboard|activate <pid>]\n";
const std::string activateUsage = "Usage: kestrova-capture activate <pid>\n";
using Given = std::function<void(FakeDesktop&)>;

struct Ending {
  std::vector<std::string> arguments;
  std::string out, err;
  int status;
  Given setUp = [](FakeDesktop&) {};
  std::optional<CallLog> calls = std::nullopt;  // none: only a refused command line is checked for calls, and must make none
};

void expectEndings(const std::vector<Ending>& rows) {
  for (const auto& row : rows) {
    FakeDesktop desktop;
    row.setUp(desktop);
    const auto result = runTool(row.arguments, desktop);
    const auto where = ::testing::PrintToString(row.arguments);
    EXPECT_EQ(result.out, row.out) << where;
    EXPECT_EQ(result.err, row.err) << where;
    EXPECT_EQ(result.status, row.status) << where;
    if (row.calls) { EXPECT_EQ(desktop.calls, *row.calls) << where; }
    if (row.err == usage || row.err == activateUsage || row.err.starts_with("Unknown command")) {
      EXPECT_TRUE(desktop.calls.empty()) << where;
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
      {{"activate", "812"}, "ok\n", "", 0, [](FakeDesktop& d) { d.applications[812] = AppScript{}; }},
      {{"active-app", "--verbose"}, "Unknown\n", "", 0},
      {{"active-app"}, "\n", "", 0, [](FakeDesktop& d) { d.frontmost = AppScript{"", "ignored"}; }},
      {{"screenshot"}, "", captureFailed, 1, [](FakeDesktop& d) { d.hasImage = false; }},
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
  for (const std::string word : {"Screenshot", "screenshot ", " clipboard", "--help", "", "active_app", "activ"}) {
    rows.push_back({{word}, "", "Unknown command: " + word + "\n", 1});
  }
  for (const std::string& pid : std::vector<std::string>{"", "12abc", " 12", "12 ", "+", "-", "+-1", "1\n", "1_000",
                                                         "0x1F", "3.0", "2147483648", "-2147483649", "99999999999",
                                                         "\xEF\xBC\x91", std::string("1\0", 2)}) {
    rows.push_back({{"activate", pid}, "", activateUsage, 1});
  }
  for (const auto& [text, value] : std::vector<std::pair<std::string, std::string>>{
           {"+42", "42"}, {"0049", "49"}, {"-0", "0"}, {"-2147483648", "-2147483648"},
           {"000000000000002147483647", "2147483647"}}) {
    rows.push_back({{"activate", text}, "ok\n", "No app with PID " + value + "\n", 0});
  }
  expectEndings(rows);
}

TEST(Clipboard, PrintsTheTextRepairedWithOneLineFeed) {
  using desktop::PasteboardRead;
  const auto holding = [](PasteboardRead read) { return [=](FakeDesktop& d) { d.pasteboard = read; }; };
  expectEndings({
      {{"clipboard", "ignored"}, "two\nlines\n\n", "", 0, holding(PasteboardRead::withText("two\nlines\n"))},
      {{"clipboard"}, "\n", "", 0, holding(PasteboardRead::withText(""))},
      {{"clipboard"}, "\xEF\xBF\xBD \xE6\xB0\xB4\n", "", 0, holding(PasteboardRead::withText("\xE9 \xE6\xB0\xB4"))},
      {{"clipboard"}, std::string("nul\0\n", 5), "", 0, holding(PasteboardRead::withText(std::string("nul\0", 4)))},
      {{"clipboard"}, "", "", 0, holding(PasteboardRead::noText())},
      {{"clipboard"}, "", "Failed to read clipboard\n", 1, holding(PasteboardRead::failed())},
  });
}

TEST(Screenshot, NamesTheAppRightAfterTheCaptureAndReleasesTheImageLast) {
  const CallLog unnamed{"captureMainDisplay", "frontmostApplication", "perform(accurate, corrected)", "now",
                        "image released"};
  CallLog named = unnamed;
  named.insert(named.begin() + 2, "localizedName");
  const auto reading = [](std::string text, float confidence, std::optional<AppScript> app = std::nullopt) {
    return [=](FakeDesktop& d) { d.recognizer.results = std::vector{textObservation(text, confidence)}, d.frontmost = app; };
  };
  const Given failing = [](FakeDesktop& d) { d.recognizer = {Delivery::failedSilently, {}, {}, "no eng.traineddata"}; };
  const auto record = [](std::string text, std::string app, std::string confidence) {
    return "{\n  \"text\": \"" + text + "\",\n  \"appName\": \"" + app +
           "\",\n  \"timestamp\": \"1970-01-01T00:00:00Z\",\n  \"confidence\": " + confidence + "\n}\n";
  };
  const std::string encodingFailed = "Failed to encode capture result\n";
  expectEndings({
      {{"screenshot", "extra"}, record("Hello", "Editor", "0.5"), "", 0, reading("Hello", 0.5F, AppScript{"Editor", {}}), named},
      {{"screenshot"}, record("", "Unknown", "0.0"), "OCR error: no eng.traineddata\n", 0, failing, unnamed},
      {{"screenshot"}, "", encodingFailed, 1, reading("x", NAN), unnamed},
      {{"screenshot"}, "", encodingFailed, 1, reading("x", INFINITY), unnamed},
  });
}

TEST(Output, FailedWriteOrFlushEndsWithStatusOne) {
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0) << "/dev/full is needed to test a full output";
  for (const std::string command : {"active-app", "clipboard", "activate", "screenshot"}) {
    FakeDesktop desktop;
    desktop.pasteboard = desktop::PasteboardRead::withText(std::string(100000, 'x'));
    FdOStream out(full);
    std::ostringstream err;
    EXPECT_EQ(run({"kestrova-capture", command, "812"}, desktop, out, err), 1) << command;
    EXPECT_TRUE(err.str().ends_with("Failed to write output\n")) << command << ": " << err.str();
  }
  ::close(full);
}

TEST(Activation, RaisesEveryWindowBackToFrontAfterThePauseOrStopsAtAnUnknownPid) {
  const CallLog found{"runningApplication(4242)", "activate(3)", "pause(50000us)", "applicationElement(4242)",
                      "app.copy(AXWindows)"};
  CallLog raised = found;
  for (const std::string window : {"window3", "window2", "window1"}) {
    raised.insert(raised.end(), {window + ".set(AXFocused, true)", window + ".perform(AXRaise)"});
  }
  const std::vector<std::tuple<std::int32_t, int, CallLog>> rows{
      {4242, 3, raised}, {4242, 0, found}, {4242, noWindowsValue, found}, {4242, windowsOfOtherKind, found},
      {812, 3, {"runningApplication(812)"}}, {-2147483647 - 1, 3, {"runningApplication(-2147483648)"}},
  };
  for (const auto& [pid, windows, calls] : rows) {
    FakeDesktop desktop;
    desktop.applications[4242] = AppScript{"App", {}};
    desktop.windows = windows;
    std::ostringstream err;
    activateApp(desktop, pid, err);
    EXPECT_EQ(desktop.calls, calls) << pid << " with " << windows << " windows";
    EXPECT_EQ(err.str(), pid == 4242 ? "" : "No app with PID " + std::to_string(pid) + "\n");
  }
}

TEST(ActiveAppName, FallsBackFromDisplayNameToBundleIdentifierToUnknownOnOneLine) {
  const CallLog named{"frontmostApplication", "localizedName"};
  const CallLog unnamed{"frontmostApplication", "localizedName", "bundleIdentifier"};
  const std::vector<std::tuple<std::optional<AppScript>, std::string, CallLog>> rows{
      {std::nullopt, "Unknown", {"frontmostApplication"}},
      {AppScript{"XTerm", "xterm"}, "XTerm", named},
      {AppScript{std::nullopt, "org.example.App"}, "org.example.App", unnamed},
      {AppScript{}, "Unknown", unnamed},
      {AppScript{"", "org.example.App"}, "", named},
      {AppScript{"Caf\xC3\xA9 Bad\xE9", {}}, "Caf\xC3\xA9 Bad\xEF\xBF\xBD", named},
      {AppScript{"Two\nLines\t\x7F\xC2\x85\xC2\xA0.", {}}, "Two Lines   \xC2\xA0.", named},
      {AppScript{{}, "id\r\n"}, "id  ", unnamed},
  };
  for (const auto& [frontmost, name, calls] : rows) {
    FakeDesktop desktop;
    desktop.frontmost = frontmost;
    EXPECT_EQ(getActiveAppName(desktop), name);
    EXPECT_EQ(desktop.calls, calls) << name;
  }
}

TEST(RecognizeText, JoinsTopCandidatesAndWaitsForTheCompletionWhereverItRuns) {
  const auto line = textObservation;
  const Observation none{true, {}};
  const std::vector<Observation> lines{line("Hello", 0.75F), line("World", 0.25F)};
  const auto given = [](std::vector<Observation> observations) -> RecognizerScript { return {Delivery::insidePerform, observations}; };
  const std::vector<std::tuple<RecognizerScript, std::string, double, std::string>> rows{
      {given({}), "", 0.0, ""},
      {given({line("A", 0.5F), none, line("B", 1.0F)}), "A\nB", 0.5, ""},
      {given({line("A", 1.0F), line("", 1.0F), line("B", 1.0F)}), "A\n\nB", 1.0, ""},
      {given({none, none}), "", 0.0, ""},
      {given({line("A", 0.5F), Observation{false, {{"barcode", 1.0F}}}}), "", 0.0, ""},
      {given({line("x", 0.3F)}), "x", static_cast<double>(0.3F), ""},
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
    EXPECT_EQ(std::pair(result.text, result.confidence), std::pair(text, confidence)) << message;
    EXPECT_EQ(err.str(), message);
  }
}

}  // namespace
}  // namespace kestrova::testing
