// `clipboard` against real selection owners (xclip, xsel): byte-exact texts
// of any size and encoding, no owner, and an owner that stops answering.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/expectations.h"
#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

namespace fs = std::filesystem;

class Clipboard : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& file : files_) fs::remove(file);
  }

  std::string fileWith(const std::string& contents) {
    char pattern[] = "/tmp/kestrova-clip-XXXXXX";
    const int fd = mkstemp(pattern);
    EXPECT_GE(fd, 0);
    close(fd);
    std::ofstream(pattern, std::ios::binary) << contents;
    files_.emplace_back(pattern);
    return pattern;
  }

  // Starts the owner and returns once it holds the CLIPBOARD selection.
  ChildProcess& own(XSession& session, std::vector<std::string> owner, const std::string& contents) {
    auto& peer = session.start(owner, fileWith(contents));
    const bool owning = eventually([&] {
      return session.run({"xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"}).exitCode == 0;
    });
    EXPECT_TRUE(owning) << owner.front() << " never took the clipboard";
    return peer;
  }

  std::vector<fs::path> files_;
};

const std::vector<std::string> xclipOwner{"xclip", "-quiet", "-selection", "clipboard", "-i"};
const std::vector<std::string> xselOwner{"xsel", "--clipboard", "--input", "--nodetach"};

std::string largeText() {
  // 50 MB of lines with two- to four-byte characters, so chunks end
  // mid-character; far inside the tool's limits on a transfer.
  constexpr std::size_t size = 50'000'000;
  std::string text;
  text.reserve(size);
  for (int line = 0; text.size() < size; ++line) text += std::to_string(line) + " é水😀 kestrova\n";
  text.resize(size);
  while ((static_cast<unsigned char>(text.back()) & 0xC0) == 0x80 || static_cast<unsigned char>(text.back()) >= 0xC0) {
    text.pop_back();  // keep it valid UTF-8: the tool repairs invalid text
  }
  return text;
}

TEST_F(Clipboard, GivesEveryOwnersTextByteForByte) {
  XSession session;
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {
      {"ASCII", "kestrova clipboard"},
      {"multi-line", "first line\nsecond line\n\nfourth\tline"},
      {"non-ASCII", "café é 水 😀 Ω"},
      {"ending in a line feed", "ends with a line feed\n"},
      {"50 MB", largeText()},
  };
  for (const auto& owner : {xclipOwner, xselOwner}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(owner.front() + ": " + c.what);
      auto& peer = own(session, owner, c.text);
      EXPECT_TRUE(ranWith(session.tool({"clipboard"}), c.text + "\n", "", 0));
      peer.stop();
    }
  }
}

TEST_F(Clipboard, ConvertsALatin1StringOwnersText) {
  XSession session;
  // xclip offers only the STRING target here: the tool must fall back to it.
  own(session, {"xclip", "-quiet", "-selection", "clipboard", "-t", "STRING", "-i"}, "caf\xe9 na\xefve \xa9 \xff");
  EXPECT_TRUE(ranWith(session.tool({"clipboard"}), "café naïve © ÿ\n", "", 0));
}

TEST_F(Clipboard, IsEmptyWithNoOwnerOrNoText) {
  XSession session;
  EXPECT_TRUE(ranWith(session.tool({"clipboard"}), "", "", 0));
  // An owner holding only an image: no text to give.
  own(session, {"xclip", "-quiet", "-selection", "clipboard", "-t", "image/png", "-i"}, "\x89PNG not really");
  EXPECT_TRUE(ranWith(session.tool({"clipboard"}), "", "", 0));
}

TEST_F(Clipboard, FailsWithinThreeSecondsWhenTheOwnerStopsAnswering) {
  XSession session;
  auto& owner = own(session, xclipOwner, "never delivered");
  owner.signal(SIGSTOP);
  const auto result = session.tool({"clipboard"});
  owner.signal(SIGCONT);
  EXPECT_TRUE(ranWith(result, "", "Failed to read clipboard\n", 1));
  EXPECT_LT(result.elapsed, 3s);
}

TEST_F(Clipboard, WaitsOnAnIncrTransferOnlyWhileItMoves) {
  XSession session;
  // Six chunks half a second apart: longer than the patience in all, never without progress.
  auto& slow = own(session, {incrOwnerPath(), "6", "500", "finish"}, "");
  const auto complete = session.tool({"clipboard"});
  EXPECT_TRUE(ranWith(complete, "chunk 0\nchunk 1\nchunk 2\nchunk 3\nchunk 4\nchunk 5\n\n", "", 0));
  EXPECT_GT(complete.elapsed, 2500ms);
  slow.stop();

  // Two chunks, then silence before the end.
  own(session, {incrOwnerPath(), "2", "0", "stall"}, "");
  const auto stalled = session.tool({"clipboard"});
  EXPECT_TRUE(ranWith(stalled, "", "Failed to read clipboard\n", 1));
  EXPECT_LT(stalled.elapsed, 3s);
}

}  // namespace
}  // namespace kestrova::e2e
