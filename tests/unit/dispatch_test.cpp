// The command line as a host sees it: exact bytes on both streams and the
// exit status, for every way a run can end.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "fake_desktop.h"
#include "result/capture_result.h"

namespace kestrova::testing {
namespace {

using desktop::PasteboardRead;

const std::string generalUsage = "Usage: kestrova-capture [screenshot|active-app|clipboard|activate <pid>]\n";
const std::string activateUsage = "Usage: kestrova-capture activate <pid>\n";

using Reach = desktop::Unreachable::Kind;

TEST(Dispatch, EveryEndingHasItsBytesAndStatus) {
  struct Row {
    const char* situation;
    std::vector<std::string> arguments;
    std::string out;
    std::string err;
    int status;
    std::function<void(FakeDesktop&)> setUp = [](FakeDesktop&) {};
  };
  auto outOfReach = [](Reach kind, std::string display, std::string reason, bool appFound = false, bool image = false) {
    return [=](FakeDesktop& desktop) {
      desktop.outOfReach = desktop::Unreachable{kind, display, reason};
      desktop.hasImage = image;
      if (appFound) desktop.applications[812] = AppScript{"Editor", {}};
    };
  };
  auto outOfMemory = [](FakeDesktop& desktop) { desktop.outOfMemory = true; };
  const std::string noDisplay = "Failed to open display :199\n";
  const std::string silent = "Failed to open display :5: did not answer\n";
  const std::vector<Row> rows{
      {"no command", {}, "", generalUsage, 1},
      {"no command word", {"shot"}, "", "Unknown command: shot\n", 1},
      {"activate without pid", {"activate"}, "", activateUsage, 1},
      {"activate with bad pid", {"activate", "12abc"}, "", activateUsage, 1},
      {"activate with unknown pid", {"activate", "812"}, "ok\n", "No app with PID 812\n", 0},
      {"activate ignores a second number", {"activate", "-7", "99"}, "ok\n", "No app with PID -7\n", 0},
      {"active-app without frontmost app", {"active-app"}, "Unknown\n", "", 0},
      {"active-app ignores extra arguments", {"active-app", "--verbose"}, "Unknown\n", "", 0},
      {"clipboard with no text", {"clipboard"}, "", "", 0},
      // A desktop never reached is the display line for every command; one
      // that stopped answering is the command's own failure, where it has one.
      {"active-app, no display", {"active-app"}, "", noDisplay, 1, outOfReach(Reach::notOpened, ":199", "")},
      {"active-app, display unnamed", {"active-app"}, "", "Failed to open display: not set\n", 1,
       outOfReach(Reach::notOpened, "", "not set")},
      {"active-app, silent display", {"active-app"}, "", silent, 1,
       outOfReach(Reach::stoppedAnswering, ":5", "did not answer")},
      {"clipboard, no display", {"clipboard"}, "", noDisplay, 1, outOfReach(Reach::notOpened, ":199", "")},
      {"clipboard, silent display", {"clipboard"}, "", "Failed to read clipboard\n", 1,
       outOfReach(Reach::stoppedAnswering, ":5", "did not answer")},
      {"screenshot, no display", {"screenshot"}, "", noDisplay, 1, outOfReach(Reach::notOpened, ":199", "")},
      {"screenshot, silent display", {"screenshot"}, "", "Failed to capture screen\n", 1,
       outOfReach(Reach::stoppedAnswering, ":5", "did not answer")},
      {"screenshot, display silent after the capture", {"screenshot"}, "", "Failed to capture screen\n", 1,
       outOfReach(Reach::stoppedAnswering, ":5", "did not answer", false, true)},
      {"activate, no display: no 'No app'", {"activate", "812"}, "", noDisplay, 1,
       outOfReach(Reach::notOpened, ":199", "")},
      {"activate, silent before the app was found", {"activate", "812"}, "", silent, 1,
       outOfReach(Reach::stoppedAnswering, ":5", "did not answer")},
      {"activate, silent after the app was asked", {"activate", "812"}, "ok\n", "", 0,
       outOfReach(Reach::stoppedAnswering, ":5", "did not answer", true)},
      {"reason repaired", {"active-app"}, "", "Failed to open display :1: \xEF\xBF\xBD\n", 1,
       outOfReach(Reach::notOpened, ":1", "\xFF")},
      // No allocation failure ends the run by a signal or an exception.
      {"screenshot out of memory", {"screenshot"}, "", "Failed to capture screen\n", 1, outOfMemory},
      {"clipboard out of memory", {"clipboard"}, "", "Failed to read clipboard\n", 1, outOfMemory},
      {"active-app out of memory", {"active-app"}, "", "Out of memory\n", 1, outOfMemory},
      {"activate out of memory", {"activate", "812"}, "", "Out of memory\n", 1, outOfMemory},
  };
  for (const auto& row : rows) {
    FakeDesktop desktop;
    row.setUp(desktop);
    const auto result = runTool(row.arguments, desktop);
    EXPECT_EQ(result.out, row.out) << row.situation;
    EXPECT_EQ(result.err, row.err) << row.situation;
    EXPECT_EQ(result.status, row.status) << row.situation;
  }
}

TEST(Dispatch, EmptyArgumentListIsUsage) {
  FakeDesktop desktop;
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(run({}, desktop, out, err), 1);
  EXPECT_EQ(err.str(), generalUsage);
  EXPECT_EQ(out.str(), "");
  EXPECT_TRUE(desktop.calls.empty());
}

TEST(Dispatch, CommandWordsMatchWholeAndCaseSensitively) {
  for (const std::string word : {"Screenshot", "SCREENSHOT", "screenshot ", " clipboard", "--help", "", "active_app",
                                 "activ", "-activate", "clipboard\n"}) {
    FakeDesktop desktop;
    const auto result = runTool({word}, desktop);
    EXPECT_EQ(result.err, "Unknown command: " + word + "\n") << word;
    EXPECT_EQ(result.out, "") << word;
    EXPECT_EQ(result.status, 1) << word;
    EXPECT_TRUE(desktop.calls.empty()) << word << ": no platform call for an unknown command";
  }
}

TEST(Dispatch, UnknownCommandWithIllFormedBytesIsRepaired) {
  FakeDesktop desktop;
  const auto result = runTool({"sh\xFFot\xC3"}, desktop);
  EXPECT_EQ(result.err, "Unknown command: sh\xEF\xBF\xBDot\xEF\xBF\xBD\n");
}

TEST(Dispatch, ActivateRejectsEveryMalformedPidWithUsage) {
  for (const std::string pid : {"", "12abc", " 12", "12 ", "+", "-", "1_000", "0x1F", "3.0", "--5", "2147483648",
                                "-2147483649", "\xD9\xA3"}) {
    FakeDesktop desktop;
    const auto result = runTool({"activate", pid}, desktop);
    EXPECT_EQ(result.err, activateUsage) << pid;
    EXPECT_EQ(result.out, "") << pid;
    EXPECT_EQ(result.status, 1) << pid;
    EXPECT_TRUE(desktop.calls.empty()) << pid;
  }
}

TEST(Dispatch, ActivatePassesParsedPidUnchanged) {
  const std::vector<std::pair<std::string, std::string>> rows{
      {"+42", "42"}, {"0042", "42"}, {"-0", "0"}, {"2147483647", "2147483647"}, {"-2147483648", "-2147483648"}};
  for (const auto& [text, value] : rows) {
    FakeDesktop desktop;
    const auto result = runTool({"activate", text}, desktop);
    ASSERT_FALSE(desktop.calls.empty()) << text;
    EXPECT_EQ(desktop.calls.front(), "runningApplication(" + value + ")") << text;
    EXPECT_EQ(result.err, "No app with PID " + value + "\n") << text;
    EXPECT_EQ(result.out, "ok\n") << text;
  }
}

TEST(Clipboard, PrintsTextUnchangedWithOneLineFeed) {
  const std::vector<std::pair<PasteboardRead, std::string>> rows{
      {PasteboardRead::withText("hello"), "hello\n"},
      {PasteboardRead::withText(""), "\n"},
      {PasteboardRead::withText("two\nlines\n"), "two\nlines\n\n"},
      {PasteboardRead::withText("caf\xC3\xA9 \xE6\xB0\xB4 \xF0\x9F\x98\x80"), "caf\xC3\xA9 \xE6\xB0\xB4 \xF0\x9F\x98\x80\n"},
      {PasteboardRead::withText("latin \xE9!"), "latin \xEF\xBF\xBD!\n"},
      {PasteboardRead::withText(std::string("nul\0inside", 10)), std::string("nul\0inside\n", 11)},
      {PasteboardRead::noText(), ""},
  };
  for (const auto& [read, expected] : rows) {
    FakeDesktop desktop;
    desktop.pasteboard = read;
    const auto result = runTool({"clipboard", "ignored"}, desktop);
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(desktop.calls, CallLog{"pasteboardString"}) << "read once, never written";
  }
}

TEST(Clipboard, FailedReadIsReportedAsFailure) {
  FakeDesktop desktop;
  desktop.pasteboard = PasteboardRead::failed();
  const auto result = runTool({"clipboard"}, desktop);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Failed to read clipboard\n");
  EXPECT_EQ(result.status, 1);
}

TEST(Screenshot, RunsItsStepsInOrderAndReleasesTheImageLast) {
  FakeDesktop desktop;
  desktop.recognizer.results = std::vector<desktop::Observation>{textObservation("Hello", 0.5F)};
  desktop.frontmost = AppScript{"Editor", "org.example.editor"};
  const auto result = runTool({"screenshot", "extra", "args"}, desktop);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(desktop.calls, (CallLog{"captureMainDisplay", "frontmostApplication", "localizedName",
                                    "perform(accurate, corrected)", "now", "image released"}));
  const auto record = decodeJson(result.out);
  ASSERT_TRUE(record.has_value()) << result.out;
  EXPECT_EQ(record->text, "Hello");
  EXPECT_EQ(record->appName, "Editor");
  EXPECT_EQ(record->timestamp, "1970-01-01T00:00:00Z");
  EXPECT_EQ(record->confidence, 0.5);
}

TEST(Screenshot, NoImageFailsBeforeAnythingElse) {
  FakeDesktop desktop;
  desktop.hasImage = false;
  const auto result = runTool({"screenshot"}, desktop);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Failed to capture screen\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(desktop.calls, CallLog{"captureMainDisplay"});
}

TEST(Screenshot, FailedRecognitionStillPrintsTheRecord) {
  FakeDesktop desktop;
  desktop.recognizer.delivery = Delivery::failedSilently;
  desktop.recognizer.performError = "language data eng.traineddata not found";
  const auto result = runTool({"screenshot"}, desktop);
  EXPECT_EQ(result.err, "OCR error: language data eng.traineddata not found\n");
  EXPECT_EQ(result.status, 0);
  const auto record = decodeJson(result.out);
  ASSERT_TRUE(record.has_value()) << result.out;
  EXPECT_EQ(record->text, "");
  EXPECT_EQ(record->appName, "Unknown");
  EXPECT_EQ(record->confidence, 0.0);
}

TEST(Screenshot, NonFiniteConfidenceIsAnEncodingFailure) {
  for (const float confidence : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    FakeDesktop desktop;
    desktop.recognizer.results = std::vector<desktop::Observation>{textObservation("x", confidence)};
    const auto result = runTool({"screenshot"}, desktop);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Failed to encode capture result\n");
    EXPECT_EQ(result.status, 1);
  }
}

}  // namespace
}  // namespace kestrova::testing
