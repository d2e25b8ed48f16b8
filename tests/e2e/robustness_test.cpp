// The tool among windows that vanish mid-request, process ids as X stores
// them, and the start-up rule that only `screenshot` loads text recognition.
#include <gtest/gtest.h>

#include "support/expectations.h"
#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

class Robustness : public ::testing::TestWithParam<WindowManager> {};

TEST_P(Robustness, WindowsDestroyedMidRunNeverCrashTheTool) {
  XSession session(GetParam());
  session.startXterm();
  auto& churn = session.start({windowChurnPath()});
  const std::string pid = std::to_string(churn.pid());
  for (int round = 0; round < 40; ++round) {
    const auto named = session.tool({"active-app"});
    ASSERT_TRUE(named.exited) << "active-app ended by signal " << named.termSignal;
    EXPECT_EQ(named.exitCode, 0);
    EXPECT_EQ(named.err, "");
    EXPECT_TRUE(named.out == "Unknown\n" || named.out == "Churn\n" || named.out == "XTerm\n") << named.out;

    const auto activated = session.tool({"activate", pid});
    ASSERT_TRUE(activated.exited) << "activate ended by signal " << activated.termSignal;
    EXPECT_EQ(activated.exitCode, 0);
    EXPECT_EQ(activated.out, "ok\n");
    EXPECT_TRUE(activated.err.empty() || activated.err == "No app with PID " + pid + "\n") << activated.err;
  }
  EXPECT_TRUE(churn.running()) << "the churn peer died, so nothing was churning";
}

INSTANTIATE_TEST_SUITE_P(Desktop, Robustness, ::testing::Values(WindowManager::openbox, WindowManager::none),
                         [](const auto& info) { return nameOf(info.param); });

TEST(ProcessId, IsComparedAsTheUnsignedValueXStores) {
  XSession session;
  const auto xterm = session.startXterm();
  // All ones: -1, were it read as signed.
  ASSERT_EQ(session.run({"xprop", "-id", std::to_string(xterm.window), "-f", "_NET_WM_PID", "32c", "-set",
                         "_NET_WM_PID", "4294967295"}).exitCode, 0);
  EXPECT_TRUE(ranWith(session.tool({"activate", "-1"}), "ok\n", "No app with PID -1\n", 0));
}

TEST(StartUp, OnlyScreenshotLoadsTextRecognition) {
  XSession session;
  session.startXterm();
  // The dynamic loader lists every library it maps, those opened later included.
  const Environment traced{{"LD_DEBUG", "files"}};
  auto loadsRecognition = [&](const std::vector<std::string>& args) {
    const auto result = session.tool(args, traced);
    return result.err.find("tesseract") != std::string::npos;
  };
  EXPECT_FALSE(loadsRecognition({"active-app"}));
  EXPECT_FALSE(loadsRecognition({"clipboard"}));
  EXPECT_FALSE(loadsRecognition({"activate", "1"}));
  EXPECT_TRUE(loadsRecognition({"screenshot"})) << "the check above would not see a recognizer load";
}

}  // namespace
}  // namespace kestrova::e2e
