// The desktop as the X11 backend meets it: the capture of the main display
// (through a probe that links the backend: the tool itself never shows
// pixels), `active-app` and `activate`, with openbox and without a window manager.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

namespace fs = std::filesystem;

TEST(Screenshot, ReadsThePrimaryMonitorAtEveryDepthWithOrWithoutExtensions) {
  // A tile 11 rows high: no strip of the screen lines up with it, so a strip
  // put at the wrong rows, or left out, changes the hash.
  const std::string tile = scratchPath("tile.xbm");
  std::ofstream(tile) << "#define t_width 8\n#define t_height 11\nstatic unsigned char t_bits[] = {\n"
                         "0x01, 0x83, 0x47, 0x2e, 0x9c, 0x38, 0x71, 0xe2, 0xc5, 0x8a, 0x15};\n";
  struct Case {
    int depth;
    std::vector<std::string> options, setUp = {"true"};  // no primary: the first active output
    std::string size = "1920x1080";
    int luma = 152;  // orange: its red and blue swapped would give 104
  };
  const Case cases[] = {
      {24, {}}, {24, {"-extension", "MIT-SHM"}}, {24, {"-extension", "RANDR"}},
      {16, {}}, {16, {"-extension", "MIT-SHM"}}, {24, {}, {"xrandr", "--output", "screen", "--primary"}},
      {24, {}, {"xrandr", "--setmonitor", "*kestrova", "800/200x600/150+100+50", "none"}, "800x600", 64},
  };
  std::map<std::pair<int, std::string>, unsigned long long> hashes;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.depth) + (c.options.empty() ? " " : " without " + c.options.back()) + c.setUp.back());
    XSession session(WindowManager::none, c.depth, c.options);
    ASSERT_EQ(session.run(c.setUp).exitCode, 0);
    ASSERT_EQ(session.run({"xsetroot", "-bitmap", tile, "-fg", "#ff8000", "-bg", "#1040c0"}).exitCode, 0);
    const auto found = session.run({KESTROVA_PEER, "capture"}).out;
    char size[32] = {};
    int luma = -1;
    unsigned long long hash = 0;
    ASSERT_EQ(std::sscanf(found.c_str(), "%31s %d %llx", size, &luma, &hash), 3) << found;
    EXPECT_EQ(size, c.size);
    // 16 bits keep 6 of green: 0x80 comes back as 0x82.
    EXPECT_NEAR(luma, c.luma, c.depth == 16 ? 1 : 0);
    EXPECT_EQ(hashes.try_emplace({c.depth, c.size}, hash).first->second, hash);
  }
  std::remove(tile.c_str());
}

class Desktop : public ::testing::TestWithParam<WindowManager> {};

// `windows` in stacking order, bottom first, as the window manager (or the server) has it.
std::vector<std::uint32_t> stacking(const XSession& session, const std::vector<std::uint32_t>& windows) {
  const bool managed = session.manager() == WindowManager::openbox;
  const auto listing = session.run(managed ? std::vector<std::string>{"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}
                                           : std::vector<std::string>{"xwininfo", "-root", "-children"}).out;
  std::vector<std::uint32_t> order;
  for (auto at = listing.find("0x"); at != std::string::npos; at = listing.find("0x", at + 2)) {
    const auto window = static_cast<std::uint32_t>(std::stoul(listing.substr(at, 12), nullptr, 16));
    if (std::find(windows.begin(), windows.end(), window) != windows.end()) order.push_back(window);
  }
  if (!managed) std::reverse(order.begin(), order.end());  // xwininfo lists the top first
  return order;
}

// The peer's three windows, bottom first, once the window manager (or the server) stacks them all.
std::vector<std::uint32_t> peerWindows(XSession& session, pid_t peer) {
  std::vector<std::uint32_t> windows;
  eventually([&] { return (windows = stacking(session, session.visibleWindowsOf(peer, 3))).size() == 3; }, 15s);
  return windows;
}

TEST_P(Desktop, ActivateRaisesEveryWindowInOrderAndActiveAppNamesItsApplication) {
  XSession session(GetParam());
  EXPECT_TRUE(ranWith(session.tool({"active-app"}), "Unknown\n", "", 0));
  const pid_t peer = session.start({KESTROVA_PEER, "windows", "3"}).pid();
  const auto windows = peerWindows(session, peer);
  ASSERT_EQ(windows.size(), 3U) << session.run({"xwininfo", "-root", "-tree"}).out;
  // An order that is neither that of creation nor that of the ids, under another application.
  ASSERT_EQ(session.run({"xdotool", "windowraise", std::to_string(windows[0])}).exitCode, 0);
  const std::vector order{windows[1], windows[2], windows[0]};
  ASSERT_TRUE(eventually([&] { return stacking(session, windows) == order; }));
  const auto xterm = session.startXterm();
  session.focus(xterm.window);
  // The peer's WM_CLASS is found as a desktop file's StartupWMClass; the xterm's has none.
  const fs::path data = scratchPath("data-" + nameOf(GetParam()));
  fs::create_directories(data / "applications");
  std::ofstream(data / "applications" / "kestrova-peer.desktop")
      << "[Desktop Entry]\nType=Application\nName=Kestrova Peer\nStartupWMClass=Peer\n";
  // Entries that never end are passed over, neither waited on nor read.
  ASSERT_EQ(mkfifo((data / "applications" / "fifo.desktop").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", data / "applications" / "zero.desktop");
  const Environment dirs{{"XDG_DATA_HOME", (data / "home").string()}, {"XDG_DATA_DIRS", data.string()}};
  // Asked again, an application already in front stays as it is.
  for (const bool ofThePeer : {true, true, false, true}) {
    SCOPED_TRACE(ofThePeer ? "the peer" : "the xterm");
    EXPECT_TRUE(ranWith(session.tool({"activate", std::to_string(ofThePeer ? peer : xterm.pid)}), "ok\n", "", 0));
    std::vector after{xterm.window, order[0], order[1], order[2]};
    if (!ofThePeer) std::rotate(after.begin(), after.begin() + 1, after.end());
    EXPECT_TRUE(eventually([&] { return session.activeWindow() == after.back(); }, 3s));
    EXPECT_TRUE(eventually([&] { return stacking(session, after) == after; }, 3s))
        << ::testing::PrintToString(stacking(session, after));
    // Asked until it answers: openbox may show no active window for a moment while it settles.
    const std::string named = ofThePeer ? "Kestrova Peer\n" : "XTerm\n";
    ProcessResult asked;
    eventually([&] { return (asked = session.tool({"active-app"}, dirs)).out == named; }, 3s);
    EXPECT_TRUE(ranWith(asked, named, "", 0));
  }
  fs::remove_all(data);
  const std::string self = std::to_string(getpid());
  EXPECT_TRUE(ranWith(session.tool({"activate", self}), "ok\n", "No app with PID " + self + "\n", 0));
  // No process has a negative id, though X stores one window's pid as 4294967295.
  ASSERT_EQ(session.run({"xprop", "-id", std::to_string(order[0]), "-f", "_NET_WM_PID", "32c", "-set", "_NET_WM_PID",
                         "4294967295"}).exitCode, 0);
  EXPECT_TRUE(ranWith(session.tool({"activate", "-1"}), "ok\n", "No app with PID -1\n", 0));
  // WM_CLASS is Latin-1, and an empty class gives way to the instance's name.
  session.focus(xterm.window);
  for (const auto& [wmClass, named] : {std::pair{"T\xe9rm", "T\xc3\xa9rm\n"}, std::pair{"", "xterm\n"}}) {
    ASSERT_EQ(session.run({"xdotool", "set_window", "--class", wmClass, std::to_string(xterm.window)}).exitCode, 0);
    EXPECT_TRUE(ranWith(session.tool({"active-app"}, dirs), named, "", 0));
  }
}

INSTANTIATE_TEST_SUITE_P(Desktop, Desktop, ::testing::Values(WindowManager::openbox, WindowManager::none),
                         [](const auto& info) { return nameOf(info.param); });

TEST(ActivateAcrossDesktops, ShowsTheFrontWindowsDesktopUnlessItIsOnAll) {
  // The windows' desktops back to front (-1: all), the desktop shown before and the one expected after.
  const std::tuple<std::vector<std::string>, std::string, std::string> cases[] = {
      {{"1", "1", "1"}, "0", "1"}, {{"0", "1", "2"}, "3", "2"}, {{"1", "1", "-1"}, "2", "2"}};
  XSession session(WindowManager::openbox);  // with five desktops
  const pid_t peer = session.start({KESTROVA_PEER, "windows", "3"}).pid();
  const auto windows = peerWindows(session, peer);
  ASSERT_EQ(windows.size(), 3U) << session.run({"xwininfo", "-root", "-tree"}).out;
  auto shown = [&] { return session.run({"xdotool", "get_desktop"}).out; };
  for (const auto& [desktops, before, expected] : cases) {
    SCOPED_TRACE("shown " + before);
    for (std::size_t i = 0; i < windows.size(); ++i) {
      ASSERT_EQ(session.run({"xdotool", "set_desktop_for_window", std::to_string(windows[i]), desktops[i]}).exitCode,
                0);
    }
    ASSERT_EQ(session.run({"xdotool", "set_desktop", before}).exitCode, 0);
    ASSERT_TRUE(eventually([&] { return shown() == before + "\n"; }));
    EXPECT_TRUE(ranWith(session.tool({"activate", std::to_string(peer)}), "ok\n", "", 0));
    EXPECT_TRUE(eventually([&] { return session.activeWindow() == windows.back(); }, 3s));
    EXPECT_EQ(shown(), expected + "\n");
    // Nor is a window left behind on its desktop flagged as refused.
    for (const auto window : windows) {
      EXPECT_EQ(session.run({"xprop", "-id", std::to_string(window), "_NET_WM_STATE"}).out.find("ATTENTION"),
                std::string::npos);
    }
  }
}

}  // namespace
}  // namespace kestrova::e2e
