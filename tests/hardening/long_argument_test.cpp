// Megabyte arguments, which the kernel refuses to pass to a process whole
// (128 KiB at most each), handed to the dispatcher directly.
#include <gtest/gtest.h>

#include "../unit/fake_desktop.h"
#include "expected_run.h"

namespace kestrova::testing {
namespace {

constexpr std::size_t megabyte = 1024 * 1024;

TEST(LongArgument, AMegabyteArgumentGetsItsExactMessage) {
  const std::string replacement = "\xEF\xBF\xBD";
  std::string repairedWord;
  for (std::size_t i = 0; i < megabyte; ++i) repairedWord += replacement;
  const std::vector<hardening::ExpectedRun> rows{
      {"command word", {std::string(megabyte, 'x')}, "", "Unknown command: " + std::string(megabyte, 'x') + "\n", 1},
      {"ill-formed command word", {std::string(megabyte, '\xC3')}, "", "Unknown command: " + repairedWord + "\n", 1},
      {"pid of nines", {"activate", std::string(megabyte, '9')}, "", "Usage: kestrova-capture activate <pid>\n", 1},
      {"pid of zeros then a digit", {"activate", std::string(megabyte - 1, '0') + "7"}, "ok\n", "No app with PID 7\n", 0},
      {"pid of zeros, then one digit too many", {"activate", std::string(megabyte - 11, '0') + "21474836470"}, "",
       "Usage: kestrova-capture activate <pid>\n", 1},
  };
  for (const auto& row : rows) {
    FakeDesktop desktop;
    const auto result = runTool(row.arguments, desktop);
    EXPECT_EQ(result.status, row.status) << row.situation;
    EXPECT_EQ(result.out, row.out) << row.situation;
    EXPECT_TRUE(result.err == row.err) << row.situation << ": " << result.err.size() << " bytes on stderr";
  }
}

}  // namespace
}  // namespace kestrova::testing
