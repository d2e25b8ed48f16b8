// `clipboard` against real owners: xclip, xsel and INCR owners that move,
// stall, break or never end.
#include <signal.h>

#include <cstdio>
#include <fstream>

#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

const std::string failed = "Failed to read clipboard\n";

struct Case {
  std::string what;
  std::vector<std::string> owner;  // none: no owner at all; "peer": the INCR peer
  std::string text;                // the owner's standard input
  std::string out, err;
  std::chrono::milliseconds atLeast{0}, within{30s};
  bool stopped = false;  // the owner stops answering once it holds the selection
};

void runCases(const std::vector<Case>& cases) {
  XSession session;
  const std::string input = scratchPath("clipboard");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<ChildProcess> owner;
    if (!c.owner.empty()) {
      std::ofstream(input, std::ios::binary) << c.text;
      auto argv = c.owner;
      if (argv[0] == "peer") argv[0] = KESTROVA_PEER;
      owner = std::make_unique<ChildProcess>(argv, session.environment(), input);
      ASSERT_TRUE(eventually([&] {
        return session.run({"xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"}).exitCode == 0;
      })) << "the owner never took the clipboard";
      if (c.stopped) kill(owner->pid(), SIGSTOP);
    }
    const auto result = session.tool({"clipboard"});
    EXPECT_TRUE(ranWith(result, c.out, c.err, c.err.empty() ? 0 : 1));
    EXPECT_GE(result.elapsed, c.atLeast);
    EXPECT_LT(result.elapsed, c.within);
    // Half a text is no text, and is never held whole either.
    if (KESTROVA_MEMORY_MEASURABLE && !c.err.empty()) {
      EXPECT_LT(result.maxRssKb / 1024, 400);
    }
  }
  std::remove(input.c_str());
}

TEST(Clipboard, GivesEveryOwnersTextByteForByte) {
  // 50 MB of two- to four-byte characters, so chunks end mid-character.
  std::string large;
  for (int line = 0; large.size() < 50'000'000; ++line) large += std::to_string(line) + " é水😀 kestrova\n";
  const std::vector<std::string> xclip{"xclip", "-quiet", "-selection", "clipboard", "-i"};
  const std::vector<std::string> xsel{"xsel", "--clipboard", "--input", "--nodetach"};
  std::vector<Case> cases{
      {"no owner", {}, "", "", ""},
      {"only an image", {"xclip", "-quiet", "-selection", "clipboard", "-t", "image/png", "-i"}, "\x89PNG", "", ""},
      {"only Latin-1 STRING", {"xclip", "-quiet", "-selection", "clipboard", "-t", "STRING", "-i"},
       "caf\xe9 na\xefve \xa9 \xff", "café naïve © ÿ\n", ""},
      // Longer in all than the patience, never without progress.
      {"six INCR chunks half a second apart", {"peer", "incr", "6", "500", "finish"}, "",
       "chunk 0\nchunk 1\nchunk 2\nchunk 3\nchunk 4\nchunk 5\n\n", "", 2500ms},
  };
  for (const auto& owner : {xclip, xsel}) {
    for (const std::string text : {"first line\n\n\tcafé é 水 😀 Ω", large.c_str()}) {
      cases.push_back({owner[0], owner, text, text + "\n", ""});
    }
  }
  runCases(cases);
}

TEST(Clipboard, FailsWithinTheBoundWhenTheOwnerStopsOrBreaks) {
  runCases({
      {"owner stopped", {"xclip", "-quiet", "-selection", "clipboard", "-i"}, "never", "", failed, 0ms, 3s, true},
      {"INCR stalls", {"peer", "incr", "2", "0", "stall"}, "", "", failed, 0ms, 3s},
      // Past the size limit (128 MiB), however fast the chunks come.
      {"INCR without end", {"peer", "incr", "-1", "0", "finish", "65536"}, "", "", failed, 0ms, 15s},
      // Past the time limit (20 s), though each chunk comes within the patience.
      {"INCR trickling without end", {"peer", "incr", "-1", "1500", "finish"}, "", "", failed, 0ms, 23s},
  });
}

}  // namespace
}  // namespace kestrova::e2e
