// `activate <pid>` against a real desktop: the front window of that process
// becomes the active window and the top of the stack, also from under another
// one or on another desktop, and its windows keep their order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <sstream>

#include "support/expectations.h"
#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

// `windows` in stacking order, bottom first, as the window manager (or the server) reports it.
std::vector<std::uint32_t> stacking(const XSession& session, const std::vector<std::uint32_t>& windows) {
  const bool managed = session.manager() == WindowManager::openbox;
  // The manager lists its clients bottom first; xwininfo lists the root's children top first.
  const auto listing = session.run(managed ? std::vector<std::string>{"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}
                                           : std::vector<std::string>{"xwininfo", "-root", "-children"}).out;
  std::vector<std::uint32_t> order;
  for (auto at = listing.find("0x"); at != std::string::npos; at = listing.find("0x", at + 2)) {
    const auto window = static_cast<std::uint32_t>(std::stoul(listing.substr(at, 12), nullptr, 16));
    if (std::find(windows.begin(), windows.end(), window) != windows.end()) order.push_back(window);
  }
  if (!managed) std::reverse(order.begin(), order.end());
  return order;
}

struct Target {
  std::string pid;
  std::vector<std::uint32_t> windows;
};

// The activation target with three windows, once all of them show. Never
// armed, it only holds them.
Target startTarget(XSession& session) {
  Target target{std::to_string(session.start({activationTargetPath(), "3", "exit"}).pid()), {}};
  eventually([&] {
    std::istringstream found(session.run({"xdotool", "search", "--onlyvisible", "--pid", target.pid}).out);
    target.windows.assign(std::istream_iterator<std::uint32_t>(found), {});
    return target.windows.size() == 3;
  }, 15s);
  return target;
}

class Activate : public ::testing::TestWithParam<WindowManager> {};

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
    EXPECT_TRUE(eventually([&] {
      const auto order = stacking(session, {first.window, second.window});
      return !order.empty() && order.back() == target.window;
    }, 3s));
  }
}

TEST_P(Activate, KeepsTheWindowsOrderWithTheFrontOneOnTopAndFocused) {
  XSession session(GetParam());
  const auto [pid, windows] = startTarget(session);
  ASSERT_EQ(windows.size(), 3U);
  // An order that is neither that of creation nor that of the ids, under another application.
  ASSERT_EQ(session.run({"xdotool", "windowraise", std::to_string(windows[0])}).exitCode, 0);
  const std::vector order{windows[1], windows[2], windows[0]};
  ASSERT_TRUE(eventually([&] { return stacking(session, windows) == order; }));
  const auto xterm = session.startXterm();
  session.focus(xterm.window);
  const std::vector after{xterm.window, order[0], order[1], order[2]};
  for (int call = 1; call <= 10; ++call) {
    SCOPED_TRACE("call " + std::to_string(call));
    EXPECT_TRUE(ranWith(session.tool({"activate", pid}), "ok\n", "", 0));
    EXPECT_TRUE(eventually([&] { return session.activeWindow() == order.back(); }, 3s))
        << "active window: " << session.activeWindow().value_or(0);
    EXPECT_TRUE(eventually([&] { return stacking(session, after) == after; }, 3s))
        << ::testing::PrintToString(stacking(session, after));
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

TEST(ActivateAcrossDesktops, ShowsTheFrontWindowsDesktopUnlessItIsOnAll) {
  struct Case {
    const char* what;
    std::vector<std::string> desktops;  // of the windows, back to front; -1: all
    std::string shown, expected;
  };
  const Case cases[] = {
      {"all on desktop 1, desktop 0 shown", {"1", "1", "1"}, "0", "1"},
      {"on desktops 0, 1 and 2, desktop 3 shown", {"0", "1", "2"}, "3", "2"},
      {"the front one on all desktops, desktop 2 shown", {"1", "1", "-1"}, "2", "2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    XSession session(WindowManager::openbox);
    ASSERT_EQ(session.run({"xdotool", "set_num_desktops", "4"}).exitCode, 0);
    const auto target = startTarget(session);
    const auto windows = stacking(session, target.windows);
    ASSERT_EQ(windows.size(), 3U);
    for (std::size_t i = 0; i < windows.size(); ++i) {
      ASSERT_EQ(session.run({"xdotool", "set_desktop_for_window", std::to_string(windows[i]), c.desktops[i]}).exitCode, 0);
    }
    auto shown = [&] { return session.run({"xdotool", "get_desktop"}).out; };
    ASSERT_EQ(session.run({"xdotool", "set_desktop", c.shown}).exitCode, 0);
    ASSERT_TRUE(eventually([&] { return shown() == c.shown + "\n"; }));
    EXPECT_TRUE(ranWith(session.tool({"activate", target.pid}), "ok\n", "", 0));
    EXPECT_TRUE(eventually([&] { return session.activeWindow() == windows.back(); }, 3s))
        << "active window: " << session.activeWindow().value_or(0);
    EXPECT_EQ(shown(), c.expected + "\n");
    // Nor is a window left behind on its desktop flagged as refused.
    for (const auto window : windows) {
      EXPECT_EQ(session.run({"xprop", "-id", std::to_string(window), "_NET_WM_STATE"}).out.find("ATTENTION"),
                std::string::npos);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Desktop, Activate, ::testing::Values(WindowManager::openbox, WindowManager::none),
                         [](const auto& info) { return nameOf(info.param); });

}  // namespace
}  // namespace kestrova::e2e
