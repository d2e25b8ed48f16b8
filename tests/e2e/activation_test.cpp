// `activate <pid>` against a real desktop: the xterm of that process becomes
// the active window and the top of the stack, also from under another one.
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/expectations.h"
#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

class Activate : public ::testing::TestWithParam<WindowManager> {
 protected:
  // The top-level client stacked highest, as the window manager (or the server) reports it.
  std::optional<std::uint32_t> topmost(const XSession& session, const std::vector<std::uint32_t>& candidates) {
    if (session.manager() == WindowManager::openbox) {
      const auto stacking = session.run({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}).out;
      const auto last = stacking.rfind("0x");
      return last == std::string::npos ? std::nullopt
                                       : std::optional(static_cast<std::uint32_t>(std::stoul(stacking.substr(last), nullptr, 16)));
    }
    // xwininfo lists the root's children top first.
    const auto children = session.run({"xwininfo", "-root", "-children"}).out;
    std::optional<std::uint32_t> found;
    std::size_t best = std::string::npos;
    for (auto window : candidates) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%x ", window);
      const auto at = children.find(hex);
      if (at < best) {
        best = at;
        found = window;
      }
    }
    return found;
  }
};

TEST_P(Activate, BringsTheProcessesXtermToTheFrontEvenFromUnderAnother) {
  XSession session(GetParam());
  const auto first = session.startXterm();
  const auto second = session.startXterm();
  session.focus(second.window);
  ASSERT_EQ(session.activeWindow(), second.window);

  for (const auto& target : {first, second, first}) {
    SCOPED_TRACE("activating xterm " + std::to_string(target.pid));
    EXPECT_TRUE(ranWith(session.tool({"activate", std::to_string(target.pid)}), "ok\n", "", 0));
    EXPECT_TRUE(eventually([&] { return session.activeWindow() == target.window; }, 3s))
        << "active window: " << session.activeWindow().value_or(0);
    EXPECT_TRUE(eventually([&] { return topmost(session, {first.window, second.window}) == target.window; }, 3s));
  }
}

TEST_P(Activate, APidWithoutWindowsIsNoApp) {
  XSession session(GetParam());
  session.startXterm();
  // This test process, the largest pid and a negative one: none owns a window.
  for (const long pid : {static_cast<long>(getpid()), 2147483647L, -7L}) {
    const auto text = std::to_string(pid);
    EXPECT_TRUE(ranWith(session.tool({"activate", text}), "ok\n", "No app with PID " + text + "\n", 0));
  }
}

INSTANTIATE_TEST_SUITE_P(Desktop, Activate, ::testing::Values(WindowManager::openbox, WindowManager::none),
                         [](const auto& info) { return nameOf(info.param); });

}  // namespace
}  // namespace kestrova::e2e
