// The capture of the main display (its size and pixels, through a probe that
// links the X11 desktop), `screenshot` end to end, and every command with no
// display to reach.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>

#include "support/expectations.h"
#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

struct Capture {
  std::string size;
  int luma = -1;
  unsigned long long hash = 0;  // of every pixel
};

Capture capture(const XSession& session) {
  const auto result = session.run({captureProbePath()});
  Capture found;
  char size[32] = {};
  if (std::sscanf(result.out.c_str(), "%31s %d %llx", size, &found.luma, &found.hash) == 3) {
    found.size = size;
  }
  return found;
}

TEST(Screenshot, CapturesThePrimaryMonitorsRectangle) {
  struct Case {
    const char* what;
    std::vector<std::vector<std::string>> setUp;
    std::string size;
  };
  const Case cases[] = {
      {"no primary set: the first active output", {}, "1920x1080"},
      {"the primary output", {{"xrandr", "--output", "screen", "--primary"}}, "1920x1080"},
      {"a primary monitor inside the screen",
       {{"xrandr", "--setmonitor", "*kestrova", "800/200x600/150+100+50", "none"}},
       "800x600"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    XSession session;
    for (const auto& command : c.setUp) ASSERT_EQ(session.run(command).exitCode, 0);
    EXPECT_EQ(capture(session).size, c.size);
  }
}

TEST(Screenshot, ReadsPixelsAtEveryCommonDepthWithOrWithoutExtensions) {
  struct Case {
    const char* what;
    int depth;
    std::vector<std::string> serverOptions;
  };
  const Case cases[] = {
      {"depth 24, shared memory", 24, {}},
      {"depth 16, shared memory", 16, {}},
      {"no MIT-SHM: plain GetImage", 24, {"-extension", "MIT-SHM"}},
      {"no MIT-SHM at depth 16", 16, {"-extension", "MIT-SHM"}},
      {"no RandR: the root window", 24, {"-extension", "RANDR"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    XSession session(WindowManager::none, c.depth, c.serverOptions);
    ASSERT_EQ(session.run({"xsetroot", "-solid", "#ff8000"}).exitCode, 0);
    const auto found = capture(session);
    EXPECT_EQ(found.size, "1920x1080");
    // Orange's luma; its red and blue swapped would give 104. 16 bits keep 6
    // bits of green: 0x80 comes back as 0x82.
    EXPECT_NEAR(found.luma, 152, c.depth == 16 ? 1 : 0);
  }
}

TEST(Screenshot, SharedMemoryReadsTheSamePixelsAsAPlainRead) {
  // A tile 11 rows high: no strip of the screen lines up with it, so a strip
  // put at the wrong rows, or left out, changes the hash.
  const std::string tile = testing::TempDir() + "kestrova-tile.xbm";
  {
    std::ofstream out(tile);
    out << "#define t_width 8\n#define t_height 11\nstatic unsigned char t_bits[] = {\n"
           "0x01, 0x83, 0x47, 0x2e, 0x9c, 0x38, 0x71, 0xe2, 0xc5, 0x8a, 0x15};\n";
  }
  for (const int depth : {24, 16}) {
    SCOPED_TRACE(depth);
    std::vector<unsigned long long> hashes;
    for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"-extension", "MIT-SHM"}}) {
      XSession session(WindowManager::none, depth, options);
      ASSERT_EQ(session.run({"xsetroot", "-bitmap", tile, "-fg", "#ff8000", "-bg", "#1040c0"}).exitCode, 0);
      const auto found = capture(session);
      EXPECT_EQ(found.size, "1920x1080");
      hashes.push_back(found.hash);
    }
    EXPECT_NE(hashes[0], 0ULL);
    EXPECT_EQ(hashes[0], hashes[1]);
  }
}

// Whether a child of this process has mapped a library whose path holds `library`.
bool aChildHasMapped(const std::string& library) {
  const std::string parent = std::to_string(getpid());
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string state, ppid;
    if (!(fields >> state >> ppid) || ppid != parent) continue;
    std::ifstream maps(entry.path() / "maps");
    const std::string mapped((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
    if (mapped.find(library) != std::string::npos) return true;
  }
  return false;
}

TEST(Screenshot, PrintsTheRecordWithTheApplicationFocusedAtTheCapture) {
  XSession session(WindowManager::openbox);
  const auto latecomer = session.startXterm({"-class", "Latecomer"});
  // A screen full of text: reading it takes longer than switching.
  const auto xterm = session.startXterm({"-geometry", "230x75+0+0"},
                                        {"sh", "-c", "cat /usr/share/common-licenses/GPL-3; exec sleep 600"});
  session.focus(xterm.window);
  auto run = std::async(std::launch::async, [&session] { return session.tool({"screenshot"}); });
  // The recognizer is loaded once the screen is captured: the user switches
  // then, while the text is still being read.
  ASSERT_TRUE(eventually([] { return aChildHasMapped("libtesseract"); }, 20s));
  ASSERT_EQ(session.run({"xdotool", "windowactivate", "--sync", std::to_string(latecomer.window)}).exitCode, 0);
  const bool switchedDuringTheRun = run.wait_for(0s) != std::future_status::ready;
  const auto result = run.get();
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out.rfind("{\n  \"text\": \"", 0), 0U) << result.out;
  EXPECT_NE(result.out.find("\n  \"appName\": \"XTerm\",\n"), std::string::npos) << result.out;
  EXPECT_TRUE(switchedDuringTheRun) << "the run ended before the switch: nothing to tell";
  EXPECT_EQ(session.activeWindow(), latecomer.window);
}

}  // namespace
}  // namespace kestrova::e2e
