// The capture of the main display, through a probe that links the X11
// desktop: the tool itself never shows pixels.
#include <cstdio>
#include <fstream>
#include <map>

#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

struct Capture {
  std::string size;
  int luma = -1;
  unsigned long long hash = 0;
};

Capture capture(const XSession& session) {
  const auto result = session.run({KESTROVA_PEER, "capture"});
  Capture found;
  char size[32] = {};
  if (std::sscanf(result.out.c_str(), "%31s %d %llx", size, &found.luma, &found.hash) == 3) found.size = size;
  return found;
}

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
    const auto found = capture(session);
    EXPECT_EQ(found.size, c.size);
    // 16 bits keep 6 of green: 0x80 comes back as 0x82.
    EXPECT_NEAR(found.luma, c.luma, c.depth == 16 ? 1 : 0);
    EXPECT_EQ(hashes.try_emplace({c.depth, c.size}, found.hash).first->second, found.hash);
  }
  std::remove(tile.c_str());
}

}  // namespace
}  // namespace kestrova::e2e
