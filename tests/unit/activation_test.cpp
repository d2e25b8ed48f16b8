// Activation: the platform calls, their order and what stops them.
#include <gtest/gtest.h>

#include "apps/activate_app.h"
#include "fake_desktop.h"

namespace kestrova::testing {
namespace {

constexpr std::int32_t pid = 4242;
const CallLog activation{"runningApplication(4242)", "activate(3)", "pause(50000us)", "applicationElement(4242)",
                         "app.copy(AXWindows)"};

CallLog activationThen(const CallLog& windowCalls) {
  CallLog calls = activation;
  calls.insert(calls.end(), windowCalls.begin(), windowCalls.end());
  return calls;
}

TEST(Activation, FocusesAndRaisesEveryWindowFromBackToFrontAfterThePause) {
  struct Row {
    const char* situation;
    WindowsScript windows;
    CallLog calls;
  };
  const std::vector<Row> rows{
      {"three windows", {WindowsScript::Kind::list, 3},
       activationThen({"window3.set(AXFocused, true)", "window3.perform(AXRaise)", "window2.set(AXFocused, true)",
                       "window2.perform(AXRaise)", "window1.set(AXFocused, true)", "window1.perform(AXRaise)"})},
      {"no windows", {WindowsScript::Kind::list, 0}, activation},
      {"windows attribute without value", {WindowsScript::Kind::noValue, 0}, activation},
      {"windows attribute of another kind", {WindowsScript::Kind::otherKind, 0}, activation},
  };
  for (const auto& row : rows) {
    FakeDesktop desktop;
    desktop.applications[pid] = AppScript{"App", {}};
    desktop.windows = row.windows;
    std::ostringstream err;
    activateApp(desktop, pid, err);
    EXPECT_EQ(desktop.calls, row.calls) << row.situation;
    EXPECT_EQ(err.str(), "") << row.situation;
  }
}

TEST(Activation, UnknownPidIsReportedWithoutAnyOtherCall) {
  for (const std::int32_t missing : {812, -7, 0, -2147483647 - 1}) {
    FakeDesktop desktop;
    std::ostringstream err;
    activateApp(desktop, missing, err);
    EXPECT_EQ(err.str(), "No app with PID " + std::to_string(missing) + "\n");
    EXPECT_EQ(desktop.calls, CallLog{"runningApplication(" + std::to_string(missing) + ")"});
  }
}

TEST(Activation, CommandPrintsOkWhenTheAppIsFound) {
  FakeDesktop desktop;
  desktop.applications[pid] = AppScript{};
  desktop.windows = {WindowsScript::Kind::list, 1};
  const auto result = runTool({"activate", "4242"}, desktop);
  EXPECT_EQ(result.out, "ok\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
}

}  // namespace
}  // namespace kestrova::testing
