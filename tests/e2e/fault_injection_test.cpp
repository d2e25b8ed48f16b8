// Faults injected while the tool runs: the X server killed, stopped, grabbed
// or absent, closed standard streams, clipboard owners and applications that
// break mid-request, extreme displays, missing OCR data, little memory.
// Each run must end within its bound by exit(), never by a signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <thread>
#include <tuple>

#include "support/expectations.h"
#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

namespace fs = std::filesystem;

// One line per injected fault, for the figures quoted on the hardening issue.
void report(const std::string& fault, const ProcessResult& result) {
  std::string err = result.err.substr(0, result.err.find('\n'));
  std::printf("[ fault    ] %s: %s, stdout %zu B, stderr \"%s\", %lld ms, peak %ld MB\n", fault.c_str(),
              result.timedOut ? "time-out"
              : result.exited ? ("status " + std::to_string(result.exitCode)).c_str()
                              : ("signal " + std::to_string(result.termSignal)).c_str(),
              result.out.size(), err.c_str(), static_cast<long long>(result.elapsed.count()), result.maxRssKb / 1024);
}

// Runs the tool while another thread kills the X server `after` its start.
ProcessResult toolWhileServerDies(XSession& session, const std::vector<std::string>& args,
                                  std::chrono::milliseconds after) {
  std::jthread killer([&session, after] {
    std::this_thread::sleep_for(after);
    session.server().signal(SIGKILL);
  });
  return session.tool(args);
}

void awaitClipboardOwner(const XSession& session) {
  ASSERT_TRUE(eventually([&] {
    return session.run({"xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"}).exitCode == 0;
  })) << "the owner never took the clipboard";
}

TEST(ServerKilled, MidClipboardTransferFailsAsSoonAsItIsGone) {
  XSession session;
  // Forty chunks 200 ms apart: still transferring when the server dies.
  session.start({incrOwnerPath(), "40", "200", "finish"});
  awaitClipboardOwner(session);
  const auto killAt = 700ms;
  const auto result = toolWhileServerDies(session, {"clipboard"}, killAt);
  report("server killed mid-INCR (clipboard)", result);
  EXPECT_TRUE(ranWith(result, "", "Failed to read clipboard\n", 1));
  // Well before the 2 s patience would have run out: the lost connection is noticed at once.
  EXPECT_LT(result.elapsed, killAt + 1s);
}

TEST(ServerKilled, RightAfterActivateStartsItEndsWithOkOrTheDisplayLine) {
  for (const auto delay : {0ms, 3ms, 10ms, 30ms}) {
    SCOPED_TRACE("server killed " + std::to_string(delay.count()) + " ms after the start");
    XSession session;
    const auto& target = session.start({activationTargetPath(), "2", "destroy"});
    ASSERT_TRUE(session.visibleWindowOf(target.pid()));
    const std::string pid = std::to_string(target.pid());
    const auto result = toolWhileServerDies(session, {"activate", pid}, delay);
    report("server killed " + std::to_string(delay.count()) + " ms into activate", result);
    // Found before the server went: "ok" alone; not found: the display line,
    // never "No app with PID", which would be a wrong answer.
    if (!ranWith(result, "ok\n", "", 0)) {
      const bool beforeConnecting = ranWith(result, "", "Failed to open display " + session.display() + "\n", 1);
      EXPECT_TRUE(beforeConnecting || ranWith(result, "", "Failed to open display " + session.display() +
                                                              ": the X server closed the connection\n", 1));
    }
    EXPECT_LT(result.elapsed, 2s);
  }
}

TEST(ClipboardOwner, BreakingMidIncrOrNeverEndingFailsWithinTheBound) {
  XSession session;
  struct Case {
    const char* what;
    std::vector<std::string> owner;  // incr_owner's arguments
    std::chrono::milliseconds bound;
  };
  const Case cases[] = {
      {"chunk of another type", {"2", "0", "wrongtype"}, 3s},
      {"owner vanishes", {"2", "0", "vanish"}, 3s},
      // Past the size limit (128 MiB), however fast the chunks come.
      {"chunks without end", {"-1", "0", "finish", "65536"}, 15s},
      // Past the time limit (20 s), though each chunk comes within the patience.
      {"chunks trickling without end", {"-1", "1500", "finish"}, 23s},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> argv{incrOwnerPath()};
    argv.insert(argv.end(), c.owner.begin(), c.owner.end());
    auto& owner = session.start(argv);
    awaitClipboardOwner(session);
    const auto result = session.tool({"clipboard"});
    report(std::string("INCR owner: ") + c.what, result);
    // Half a text is no text: reporting it, or nothing, as success would hide the failure.
    EXPECT_TRUE(ranWith(result, "", "Failed to read clipboard\n", 1));
    EXPECT_LT(result.elapsed, c.bound);
    if (KESTROVA_MEMORY_MEASURABLE) {
      EXPECT_LT(result.maxRssKb / 1024, 400);
    }
    owner.stop();
  }
}

TEST(StandardStreams, ClosedOrRefusingNeverPassForSuccess) {
  XSession session(WindowManager::openbox);
  const auto xterm = session.startXterm();
  session.focus(xterm.window);
  session.start({incrOwnerPath(), "1", "0", "finish"});
  awaitClipboardOwner(session);
  const std::pair<std::vector<std::string>, std::string> commands[] = {
      {{"active-app"}, "XTerm\n"},
      {{"clipboard"}, "chunk 0\n\n"},
      {{"activate", std::to_string(xterm.pid)}, "ok\n"},
      {{"screenshot"}, ""},  // a record: checked by its start
  };
  struct Streams {
    const char* what;
    StdoutSink sink;
    int closed;  // besides standard output
  };
  const Streams variants[] = {
      {"stdin closed", StdoutSink::captured, 0},
      {"stderr closed", StdoutSink::captured, 2},
      // The answer must never go into the X connection that took descriptor 1.
      {"stdout closed", StdoutSink::closed, -1},
      {"stdout on a full device", StdoutSink::fullDevice, -1},
      {"stdout a pipe nobody reads", StdoutSink::unreadPipe, -1},
  };
  for (const auto& [args, answer] : commands) {
    for (const auto& streams : variants) {
      SCOPED_TRACE(args.front() + ", " + streams.what);
      std::vector<std::string> argv{toolPath()};
      argv.insert(argv.end(), args.begin(), args.end());
      const auto result = runProcess(argv, session.environment(), 30s, "/dev/null", streams.sink, streams.closed);
      if (streams.sink != StdoutSink::captured) {
        EXPECT_TRUE(ranWith(result, "", "Failed to write output\n", 1));
      } else if (answer.empty()) {
        EXPECT_TRUE(ranWith(result, result.out, "", 0));
        EXPECT_EQ(result.out.rfind("{\n  \"text\": ", 0), 0U) << result.out;
        EXPECT_NE(result.out.find("\n  \"appName\": \"XTerm\",\n"), std::string::npos) << result.out;
      } else {
        EXPECT_TRUE(ranWith(result, answer, "", 0));
      }
    }
  }
}

// An Xauthority file whose one cookie is for every display (family "wild").
void writeCookie(const fs::path& path, char fill) {
  std::string entry = "\xff\xff";
  for (const std::string& field : {std::string(), std::string(), std::string("MIT-MAGIC-COOKIE-1"), std::string(16, fill)}) {
    entry += static_cast<char>(field.size() >> 8);
    entry += static_cast<char>(field.size() & 0xFF);
    entry += field;
  }
  std::ofstream(path, std::ios::binary) << entry;
}

const std::vector<std::vector<std::string>> everyCommand{{"screenshot"}, {"active-app"}, {"clipboard"}, {"activate", "1"}};

TEST(NoDisplay, EveryCommandNamesTheDisplayItCouldNotOpen) {
  char pattern[] = "/tmp/kestrova-auth-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path dir = pattern;
  writeCookie(dir / "server", '\1');
  writeCookie(dir / "client", '\2');
  XSession session(WindowManager::none, 24, {"-auth", (dir / "server").string()});
  Environment unset = session.environment();
  unset.erase("DISPLAY");
  struct Case {
    const char* what;
    Environment environment;
    std::string err;
  };
  const std::string display = session.display();
  int unused = 4000;  // a display number nobody serves
  struct stat info {};
  while (stat(("/tmp/.X11-unix/X" + std::to_string(unused)).c_str(), &info) == 0) ++unused;
  const std::string nobody = ":" + std::to_string(unused);
  // The library's own words become the reason; nothing else reaches standard error.
  const Case cases[] = {
      {"DISPLAY not set", unset, "Failed to open display: DISPLAY is not set\n"},
      {"no server there", session.environment({{"DISPLAY", nobody}}), "Failed to open display " + nobody + "\n"},
      {"no such screen", session.environment({{"DISPLAY", display + ".3"}, {"XAUTHORITY", (dir / "server").string()}}),
       "Failed to open display " + display + ".3: no such screen\n"},
      {"wrong cookie", session.environment({{"XAUTHORITY", (dir / "client").string()}}),
       "Failed to open display " + display + ": Invalid MIT-MAGIC-COOKIE-1 key\n"},
      {"no authority file", session.environment({{"XAUTHORITY", (dir / "missing").string()}}),
       "Failed to open display " + display + ": Authorization required, but no authorization protocol specified\n"},
  };
  for (const auto& c : cases) {
    for (const auto& args : everyCommand) {
      SCOPED_TRACE(std::string(c.what) + ": " + args.front());
      std::vector<std::string> argv{toolPath()};
      argv.insert(argv.end(), args.begin(), args.end());
      EXPECT_TRUE(ranWith(runProcess(argv, c.environment, 10s), "", c.err, 1));
    }
  }
  fs::remove_all(dir);
}

// A display that takes connections and never answers: a listening socket
// where libxcb looks first (the abstract /tmp/.X11-unix/X<n>) that nobody serves.
class SilentSocket {
 public:
  SilentSocket() : fd_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    for (int number = 4000; number < 5000 && display_.empty(); ++number) {
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      const std::string name = "/tmp/.X11-unix/X" + std::to_string(number);
      std::copy(name.begin(), name.end(), address.sun_path + 1);
      const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
      if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd_, 16) == 0) {
        display_ = ":" + std::to_string(number);
      }
    }
    if (display_.empty()) throw std::runtime_error("no free abstract X socket name");
  }
  ~SilentSocket() { close(fd_); }
  const std::string& display() const { return display_; }

 private:
  int fd_;
  std::string display_;
};

TEST(SilentServer, EveryCommandGivesUpWithinTheBound) {
  XSession stopped;
  stopped.server().signal(SIGSTOP);
  XSession grabbed;
  int ends[2];
  ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
  ChildProcess grabber({incrOwnerPath(), "0", "0", "grab"}, grabbed.environment(), "/dev/null", ends[1]);
  close(ends[1]);
  pollfd said{ends[0], POLLIN, 0};
  char word[8] = {};
  ASSERT_TRUE(poll(&said, 1, 10'000) == 1 && read(ends[0], word, sizeof word) == 8) << "the server was never grabbed";
  close(ends[0]);
  const SilentSocket silent;

  struct Way {
    const char* what;
    Environment environment;
    std::string display;
  };
  const Way ways[] = {
      {"server stopped", stopped.environment(), stopped.display()},
      {"server grabbed by another client", grabbed.environment(), grabbed.display()},
      {"socket that never answers", stopped.environment({{"DISPLAY", silent.display()}}), silent.display()},
  };
  // All at once: each waits out the same bound.
  std::vector<std::tuple<std::string, std::string, std::future<ProcessResult>>> runs;
  for (const auto& way : ways) {
    for (const auto& args : everyCommand) {
      std::vector<std::string> argv{toolPath()};
      argv.insert(argv.end(), args.begin(), args.end());
      const std::string expected = args.front() == "screenshot" ? "Failed to capture screen\n"
                                   : args.front() == "clipboard"
                                       ? "Failed to read clipboard\n"
                                       : "Failed to open display " + way.display + ": the X server did not answer within 3 s\n";
      runs.emplace_back(std::string(way.what) + ": " + args.front(), expected,
                        std::async(std::launch::async, [argv, environment = way.environment] {
                          return runProcess(argv, environment, 20s);
                        }));
    }
  }
  for (auto& [what, expected, run] : runs) {
    SCOPED_TRACE(what);
    const auto result = run.get();
    report(what, result);
    EXPECT_TRUE(ranWith(result, "", expected, 1));
    EXPECT_LT(result.elapsed, 6s);
  }
}

class ActivationFault : public ::testing::TestWithParam<WindowManager> {
 protected:
  // The target is armed once a decoy holds the focus, so that the tool's
  // activation is what hands the focus back and sets the target off.
  ChildProcess& startArmedTarget(XSession& session, const std::vector<std::string>& action) {
    std::vector<std::string> argv{activationTargetPath(), "3"};
    argv.insert(argv.end(), action.begin(), action.end());
    auto& target = session.start(argv);
    const auto window = session.visibleWindowOf(target.pid());
    const auto& decoy = session.start({activationTargetPath(), "1", "destroy"});
    const auto decoyWindow = session.visibleWindowOf(decoy.pid());
    EXPECT_TRUE(window && decoyWindow);
    if (!window || !decoyWindow) return target;
    session.focus(*decoyWindow);
    EXPECT_EQ(session.run({"xprop", "-id", std::to_string(*window), "-f", "_KESTROVA_ARM", "8s", "-set",
                           "_KESTROVA_ARM", "1"}).exitCode, 0);
    return target;
  }
};

TEST_P(ActivationFault, TheDesktopVanishingDuringThePauseStillEndsOk) {
  struct Case {
    const char* what;
    std::vector<std::string> action;
  };
  const Case cases[] = {
      {"its windows destroyed", {"destroy"}},
      {"its process exits", {"exit"}},
      {"the X server killed", {"kill-server"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    XSession session(GetParam());
    auto action = c.action;
    if (action.front() == "kill-server") action.push_back(std::to_string(session.server().pid()));
    auto& target = startArmedTarget(session, action);
    const auto result = session.tool({"activate", std::to_string(target.pid())});
    report(std::string("activate, ") + c.what + " on activation (" + nameOf(GetParam()) + ")", result);
    EXPECT_TRUE(ranWith(result, "ok\n", "", 0));
    EXPECT_LT(result.elapsed, 2s);
    // The fault did happen, or the run above proved nothing.
    const bool happened = eventually([&] {
      if (action.front() == "kill-server") return !session.server().running();
      if (action.front() == "exit") return !target.running();
      return session.run({"xdotool", "search", "--pid", std::to_string(target.pid())}).out.empty();
    });
    EXPECT_TRUE(happened);
  }
}

TEST_P(ActivationFault, AProcessThatExitedTookItsWindowsWithIt) {
  XSession session(GetParam());
  auto& target = session.start({activationTargetPath(), "3", "destroy"});
  ASSERT_TRUE(session.visibleWindowOf(target.pid()));
  const std::string pid = std::to_string(target.pid());
  // Run at once: a window manager may still list the dead client's windows.
  target.stop();
  const auto result = session.tool({"activate", pid});
  report("activate, process exited just before (" + nameOf(GetParam()) + ")", result);
  EXPECT_TRUE(ranWith(result, "ok\n", "No app with PID " + pid + "\n", 0));
}

INSTANTIATE_TEST_SUITE_P(Desktop, ActivationFault, ::testing::Values(WindowManager::openbox, WindowManager::none),
                         [](const auto& info) { return nameOf(info.param); });

TEST(ExtremeDisplay, IsCapturedWholeAndRecognizedWithinBounds) {
  struct Case {
    const char* screen;
    std::string size;
    // The screen at one byte a pixel, the recognizer's copy of it and the
    // rest; the figure counts this test process too, as it was when the tool
    // was spawned.
    long peakMb;
  };
  const Case cases[] = {
      {"1x1x24", "1x1", 200},
      {"8192x8192x24", "8192x8192", 64 + 64 + 60},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.screen);
    // A later -screen replaces the session's default one.
    XSession session(WindowManager::none, 24, {"-screen", "0", c.screen});
    const auto probe = session.run({captureProbePath()}, 30s);
    EXPECT_EQ(probe.out.substr(0, probe.out.find(' ')), c.size);
    const auto result = session.tool({"screenshot"});
    report(std::string("screenshot on ") + c.screen, result);
    ASSERT_TRUE(result.exited) << result.termSignal;
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.rfind("{\n  \"text\": \"\",\n  \"appName\": \"Unknown\",\n", 0), 0U) << result.out;
    if (KESTROVA_MEMORY_MEASURABLE) {
      EXPECT_LT(result.maxRssKb / 1024, c.peakMb);
    }
    EXPECT_LT(result.elapsed, 15s);
  }
}

// Shows `phrase` in an xterm and returns the first screenshot that reads it,
// retried only until the xterm has drawn its text.
ProcessResult screenshotShowing(XSession& session, const std::string& phrase) {
  const auto& xterm = session.start({"xterm", "-geometry", "60x5+100+100", "-hold", "-e", "echo", phrase});
  const auto window = session.visibleWindowOf(xterm.pid());
  EXPECT_TRUE(window);
  if (window) session.focus(*window);
  ProcessResult result;
  const bool read = eventually([&] {
    result = session.tool({"screenshot"});
    return result.out.find(phrase) != std::string::npos;
  }, 8s);
  EXPECT_TRUE(read) << result.out << result.err;
  return result;
}

TEST(ExtremeDisplay, SixteenBitScreenIsReadEndToEnd) {
  XSession session(WindowManager::none, 16);
  const auto result = screenshotShowing(session, "depth sixteen screen");
  report("screenshot at depth 16", result);
  EXPECT_NE(result.out.find("\n  \"appName\": \"XTerm\",\n"), std::string::npos) << result.out;
}

TEST(LowMemory, ScreenshotEndsByExitUnderEveryLimit) {
  if (!KESTROVA_MEMORY_MEASURABLE) GTEST_SKIP() << "the sanitizers' shadow memory needs all the address space";
  XSession session;
  // A screen full of text, so that recognition runs on two engines.
  const auto& xterm = session.start({"xterm", "-geometry", "190x62+0+0", "-e", "sh", "-c",
                                     "for i in $(seq 60); do echo \"line $i: little memory left to read this screen "
                                     "of text, yet every run must end by exit and never by a signal\"; done; "
                                     "exec sleep 600"});
  const auto window = session.visibleWindowOf(xterm.pid());
  ASSERT_TRUE(window);
  session.focus(*window);
  ASSERT_TRUE(eventually([&] { return session.tool({"screenshot"}).out.find("line 60") != std::string::npos; }, 30s));
  for (const long limitKb : {300'000L, 200'000L, 150'000L, 100'000L, 40'000L}) {
    SCOPED_TRACE("ulimit -v " + std::to_string(limitKb));
    const auto result = session.run(
        {"sh", "-c", "ulimit -v " + std::to_string(limitKb) + " && exec \"$0\" screenshot", toolPath()}, 60s);
    report("screenshot of a full screen under ulimit -v " + std::to_string(limitKb), result);
    ASSERT_TRUE(result.exited) << "signal " << result.termSignal << ": " << result.err;
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // Recognition that cannot get memory is an OCR error, the record still printed.
    EXPECT_TRUE(result.err.empty() || (result.err.rfind("OCR error: ", 0) == 0 &&
                                       std::count(result.err.begin(), result.err.end(), '\n') == 1))
        << result.err;
    EXPECT_EQ(result.out.rfind("{\n  \"text\": \"", 0), 0U) << result.out;
    // Address space, not memory in use, is what runs short: 150 MB suffice.
    if (limitKb >= 150'000L) {
      EXPECT_NE(result.out.find("little memory left"), std::string::npos) << result.out;
    }
  }
}

class OcrData : public ::testing::Test {
 protected:
  void TearDown() override { fs::remove_all(dir_); }

  std::string file(const std::string& name, const std::string& contents, fs::perms permissions) {
    if (dir_.empty()) {
      char pattern[] = "/tmp/kestrova-ocr-XXXXXX";
      EXPECT_NE(mkdtemp(pattern), nullptr);
      dir_ = pattern;
    }
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary) << contents;
    fs::permissions(path, permissions);
    return path;
  }

  fs::path dir_;
};

TEST_F(OcrData, MissingOrUnreadableGivesOneErrorLineAndStillTheRecord) {
  XSession session;
  // Text on the screen, so that recognition gets as far as starting Tesseract.
  screenshotShowing(session, "language data test");
  requirePeer("unshare");
  requirePeer("setpriv");
  std::string garbage(200'000, '\0');
  std::mt19937 random(7);
  for (auto& byte : garbage) byte = static_cast<char>(random());
  // The tool reads no variable naming the data folder, so the folders are
  // changed for it alone: in a private mount namespace.
  const std::string hideAll =
      "mount -t tmpfs none /usr/share && mount -t tmpfs none /usr/local/share && exec \"$@\"";
  // Every eng.traineddata covered by the given file; without the capability
  // to override permissions, so that a mode of 000 keeps it unreadable.
  const std::string coverEach =
      "found=$(find /usr/share /usr/local/share -name eng.traineddata 2>/dev/null); [ -n \"$found\" ] || exit 3; "
      "for f in $found; do mount --bind \"$0\" \"$f\" || exit 3; done; "
      "exec setpriv --bounding-set=-dac_override,-dac_read_search \"$@\"";
  struct Case {
    const char* what;
    std::string script;
    std::string file;
  };
  const Case cases[] = {
      {"no language data anywhere", hideAll, "sh"},
      {"unreadable language data", coverEach, file("unreadable", garbage, fs::perms::none)},
      {"corrupt language data", coverEach, file("corrupt", garbage, fs::perms::owner_read | fs::perms::others_read)},
      {"empty language data", coverEach, file("empty", "", fs::perms::owner_read | fs::perms::others_read)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto result =
        session.run({"unshare", "-rm", "sh", "-c", c.script, c.file, toolPath(), "screenshot"}, 30s);
    report(std::string("screenshot with ") + c.what, result);
    ASSERT_TRUE(result.exited) << result.termSignal;
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.rfind("{\n  \"text\": \"\",\n  \"appName\": \"XTerm\",\n", 0), 0U) << result.out;
    EXPECT_EQ(result.err.rfind("OCR error: ", 0), 0U) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }
}

}  // namespace
}  // namespace kestrova::e2e
