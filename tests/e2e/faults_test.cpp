// Hostile conditions a host may hand the tool: closed or refusing standard
// streams, no display, an X server that never answers, little memory. Every
// run ends by exit() within its bound.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <future>

#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

const std::vector<std::vector<std::string>> everyCommand{{"screenshot"}, {"active-app"}, {"clipboard"}, {"activate", "1"}};

ProcessResult runTool(const std::vector<std::string>& args, const Environment& environment,
                      StdoutSink sink = StdoutSink::captured, int closed = -1) {
  std::vector<std::string> argv{toolPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProcess(argv, environment, 30s, sink, closed);
}

TEST(StandardStreams, ClosedOrRefusingNeverPassForSuccess) {
  XSession session(WindowManager::openbox);
  session.start({KESTROVA_PEER, "incr", "1", "0", "finish"});
  const auto xterm = session.startXterm();
  session.focus(xterm.window);
  const std::pair<std::vector<std::string>, std::string> commands[] = {
      {{"active-app"}, "XTerm\n"},
      {{"clipboard"}, "chunk 0\n\n"},
      {{"activate", std::to_string(xterm.pid)}, "ok\n"},
      {{"screenshot"}, ""},  // a record, checked by its start
  };
  // The answer must never go into an X connection that took a closed descriptor.
  const std::pair<StdoutSink, int> streams[] = {{StdoutSink::captured, 0},   {StdoutSink::captured, 2},
                                                {StdoutSink::closed, -1},    {StdoutSink::fullDevice, -1},
                                                {StdoutSink::unreadPipe, -1}};
  for (const auto& [args, answer] : commands) {
    for (const auto& [sink, closed] : streams) {
      SCOPED_TRACE(args.front() + ", sink " + std::to_string(static_cast<int>(sink)) + ", fd " +
                   std::to_string(closed) + " closed");
      const auto result = runTool(args, session.environment(), sink, closed);
      if (sink != StdoutSink::captured) {
        EXPECT_TRUE(ranWith(result, "", "Failed to write output\n", 1));
      } else {
        EXPECT_TRUE(ranWith(result, answer.empty() ? result.out : answer, "", 0));
        const bool record = result.out.rfind("{\n  \"text\": ", 0) == 0 &&
                            result.out.find("\n  \"appName\": \"XTerm\",\n") != std::string::npos;
        EXPECT_TRUE(!answer.empty() || record) << result.out;
      }
    }
  }
}

TEST(NoDisplay, EveryCommandNamesTheDisplayItCouldNotOpen) {
  XSession session;
  Environment unset = session.environment();
  unset.erase("DISPLAY");
  int unused = 4000;  // a display number nobody serves
  while (access(("/tmp/.X11-unix/X" + std::to_string(unused)).c_str(), F_OK) == 0) ++unused;
  const std::string nobody = ":" + std::to_string(unused);
  // The library's own words become the reason; nothing else reaches standard error.
  const std::pair<Environment, std::string> cases[] = {
      {unset, "Failed to open display: DISPLAY is not set\n"},
      {session.environment({{"DISPLAY", nobody}}), "Failed to open display " + nobody + "\n"},
      {session.environment({{"DISPLAY", session.display() + ".3"}}),
       "Failed to open display " + session.display() + ".3: no such screen\n"},
  };
  for (const auto& [environment, err] : cases) {
    for (const auto& args : everyCommand) EXPECT_TRUE(ranWith(runTool(args, environment), "", err, 1)) << args[0];
  }
}

TEST(SilentServer, EveryCommandGivesUpWithinTheBound) {
  XSession stopped, grabbed;
  kill(stopped.server().pid(), SIGSTOP);
  // While the tool waits, its closed standard input is held by /dev/null, never by what it opens.
  const auto held = stopped.run({"sh", "-c", "\"$0\" active-app <&- & sleep 1; readlink /proc/$!/fd/0", toolPath()});
  EXPECT_EQ(held.out, "/dev/null\n");
  grabbed.start({KESTROVA_PEER, "grab"});
  ASSERT_TRUE(eventually([&] { return !grabbed.run({"xprop", "-root"}, 1s).exited; })) << "never grabbed";
  // All at once: each waits out the same bound.
  std::vector<std::pair<std::string, std::future<ProcessResult>>> runs;
  for (const XSession* session : {&stopped, &grabbed}) {
    for (const auto& args : everyCommand) {
      const std::string expected = args[0] == "screenshot"  ? "Failed to capture screen\n"
                                   : args[0] == "clipboard" ? "Failed to read clipboard\n"
                                                            : "Failed to open display " + session->display() +
                                                                  ": the X server did not answer within 3 s\n";
      runs.emplace_back(expected, std::async(std::launch::async, runTool, args, session->environment(),
                                             StdoutSink::captured, -1));
    }
  }
  for (auto& [expected, run] : runs) {
    const auto result = run.get();
    EXPECT_TRUE(ranWith(result, "", expected, 1));
    EXPECT_LT(result.elapsed, 6s);
  }
}

TEST(LowMemory, ScreenshotEndsByExitUnderEveryLimit) {
  if (!KESTROVA_MEMORY_MEASURABLE) GTEST_SKIP() << "the sanitizers' shadow memory needs all the address space";
  XSession session;
  // A screen full of text, so that recognition runs on two engines.
  const auto xterm = session.startXterm(
      {"-geometry", "190x62+0+0"},
      {"sh", "-c", "for i in $(seq 60); do echo \"line $i: little memory left to read this screen of text\"; done; "
                   "exec sleep 600"});
  session.focus(xterm.window);
  ASSERT_TRUE(eventually([&] { return session.tool({"screenshot"}).out.find("line 60") != std::string::npos; }, 30s));
  for (const long limitKb : {150'000L, 100'000L, 40'000L}) {
    SCOPED_TRACE("ulimit -v " + std::to_string(limitKb));
    const auto result = session.run(
        {"sh", "-c", "ulimit -v " + std::to_string(limitKb) + " && exec \"$0\" screenshot", toolPath()}, 60s);
    ASSERT_TRUE(ranWith(result, result.out, result.err, 0));
    // Recognition that cannot get memory is an OCR error, the record still printed.
    EXPECT_TRUE(result.err.empty() || (result.err.rfind("OCR error: ", 0) == 0 &&
                                       std::count(result.err.begin(), result.err.end(), '\n') == 1))
        << result.err;
    EXPECT_EQ(result.out.rfind("{\n  \"text\": \"", 0), 0U) << result.out;
    // Address space, not memory in use, is what runs short: 150 MB suffice.
    EXPECT_TRUE(limitKb < 150'000L || result.out.find("little memory left") != std::string::npos) << result.out;
  }
}

}  // namespace
}  // namespace kestrova::e2e
