// The built binary under argument vectors no shell would type: exact stdout,
// stderr and status, in bounded time, never a signal.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "expected_run.h"
#include "support/process.h"

namespace {

using kestrova::e2e::ProcessResult;
using kestrova::e2e::runProcess;

using namespace std::chrono_literals;

constexpr auto runBound = 10s;
const std::string generalUsage = "Usage: kestrova-capture [screenshot|active-app|clipboard|activate <pid>]\n";
const std::string activateUsage = "Usage: kestrova-capture activate <pid>\n";
const std::string replacement = "\xEF\xBF\xBD";

// The kernel refuses any single argument of 128 KiB or more (MAX_ARG_STRLEN),
// so this is the longest one a host can pass; a megabyte arrives in pieces.
constexpr std::size_t longestArgument = 128 * 1024 - 1;

// Runs the tool with exactly these arguments (program name first) and an
// environment without a display, so no command reaches a desktop.
ProcessResult runTool(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv{KESTROVA_CAPTURE_BINARY};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return runProcess(argv, {{"PATH", "/usr/bin:/bin"}, {"LANG", "C.UTF-8"}}, runBound);
}

void expectRows(const std::vector<kestrova::hardening::ExpectedRun>& rows) {
  for (const auto& row : rows) {
    const ProcessResult outcome = runTool(row.arguments);
    ASSERT_TRUE(outcome.exited) << row.situation << ": ended by a signal or the time bound";
    EXPECT_EQ(outcome.exitCode, row.status) << row.situation;
    EXPECT_EQ(outcome.out, row.out) << row.situation;
    // Long messages are compared by size first, so a failure report stays readable.
    EXPECT_EQ(outcome.err.size(), row.err.size()) << row.situation;
    if (outcome.err.size() < 4096) EXPECT_EQ(outcome.err, row.err) << row.situation;
    else EXPECT_TRUE(outcome.err == row.err) << row.situation;
  }
}

// A pid that parses reaches for the desktop, and there is none.
const std::string accepted = "Failed to open display: DISPLAY is not set\n";

std::string repeated(const std::string& piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(BadInput, CommandWordsNoHostShouldSend) {
  expectRows({
      {"no arguments", {}, "", generalUsage, 1},
      {"empty command word", {""}, "", "Unknown command: \n", 1},
      {"empty word before a real one", {"", "clipboard"}, "", "Unknown command: \n", 1},
      {"lone bytes that start nothing", {"\xFF\xFE"}, "", "Unknown command: " + replacement + replacement + "\n", 1},
      {"overlong slash", {"screenshot\xC0\xAF"}, "", "Unknown command: screenshot" + replacement + replacement + "\n", 1},
      {"encoded surrogate", {"\xED\xA0\x80"}, "", "Unknown command: " + repeated(replacement, 3) + "\n", 1},
      {"truncated four-byte sequence", {"clip\xF0\x9F\x98"}, "", "Unknown command: clip" + replacement + "\n", 1},
      {"above U+10FFFF", {"\xF4\x90\x80\x80"}, "", "Unknown command: " + repeated(replacement, 4) + "\n", 1},
      {"control characters kept", {"a\tb\x1B[0m"}, "", "Unknown command: a\tb\x1B[0m\n", 1},
      {"command word with a trailing line feed", {"clipboard\n"}, "", "Unknown command: clipboard\n\n", 1},
      {"longest command word", {std::string(longestArgument, 'a')}, "",
       "Unknown command: " + std::string(longestArgument, 'a') + "\n", 1},
      {"longest ill-formed command word", {std::string(longestArgument, '\x80')}, "",
       "Unknown command: " + repeated(replacement, longestArgument) + "\n", 1},
  });
}

TEST(BadInput, EveryProcessIdEdge) {
  expectRows({
      {"no pid", {"activate"}, "", activateUsage, 1},
      {"empty pid", {"activate", ""}, "", activateUsage, 1},
      {"empty pid before a good one", {"activate", "", "42"}, "", activateUsage, 1},
      {"sign alone", {"activate", "+"}, "", activateUsage, 1},
      {"minus alone", {"activate", "-"}, "", activateUsage, 1},
      {"two signs", {"activate", "+-1"}, "", activateUsage, 1},
      {"leading space", {"activate", " 1"}, "", activateUsage, 1},
      {"trailing line feed", {"activate", "1\n"}, "", activateUsage, 1},
      {"hexadecimal", {"activate", "0x10"}, "", activateUsage, 1},
      {"exponent", {"activate", "1e3"}, "", activateUsage, 1},
      {"fullwidth digit", {"activate", "\xEF\xBC\x91"}, "", activateUsage, 1},
      {"ill-formed bytes", {"activate", "7\xFF"}, "", activateUsage, 1},
      {"one above the largest", {"activate", "2147483648"}, "", activateUsage, 1},
      {"one below the smallest", {"activate", "-2147483649"}, "", activateUsage, 1},
      {"2^32", {"activate", "4294967296"}, "", activateUsage, 1},
      {"twenty nines", {"activate", std::string(20, '9')}, "", activateUsage, 1},
      {"longest pid of nines", {"activate", std::string(longestArgument, '9')}, "", activateUsage, 1},
      {"largest", {"activate", "2147483647"}, "", accepted, 1},
      {"smallest", {"activate", "-2147483648"}, "", accepted, 1},
      {"plus zero", {"activate", "+0"}, "", accepted, 1},
      {"minus zero", {"activate", "-0"}, "", accepted, 1},
      {"padded largest", {"activate", "+00000000002147483647"}, "", accepted, 1},
      {"longest pid, all but one digit zeros", {"activate", std::string(longestArgument - 1, '0') + "7"}, "",
       accepted, 1},
  });
}

TEST(BadInput, AMegabyteOfArgumentsIsIgnoredPastThePid) {
  std::vector<std::string> arguments{"activate", "-1"};
  for (int i = 0; i < 8; ++i) arguments.push_back(std::string(longestArgument, static_cast<char>('\x80' + i)));
  expectRows({{"eight longest arguments after the pid", arguments, "", accepted, 1}});
}

}  // namespace
