// Hostile conditions a host may hand the tool: closed or refusing standard
// streams, no display, an X server that never answers. Every run ends by
// exit() within its bound.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <future>

#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

const std::vector<std::vector<std::string>> everyCommand{{"screenshot"}, {"active-app"}, {"clipboard"}, {"activate", "1"}};

TEST(StandardStreams, ClosedOrRefusingNeverPassForSuccess) {
  XSession session(WindowManager::openbox);
  session.focus(session.startXterm().window);
  // A line, and the record (checked by its start), through the same output.
  const std::pair<std::string, std::string> commands[] = {{"active-app", "XTerm\n"}, {"screenshot", ""}};
  // The answer must never go into an X connection that took a closed descriptor.
  const std::pair<StdoutSink, int> streams[] = {{StdoutSink::captured, 0},   {StdoutSink::captured, 2},
                                                {StdoutSink::closed, -1},    {StdoutSink::fullDevice, -1},
                                                {StdoutSink::unreadPipe, -1}};
  for (const auto& [command, answer] : commands) {
    for (const auto& [sink, closed] : streams) {
      SCOPED_TRACE(command + ", sink " + std::to_string(static_cast<int>(sink)) + ", fd " +
                   std::to_string(closed) + " closed");
      const auto result = session.tool({command}, {}, sink, closed);
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

TEST(Unreachable, TheDisplayIsNamedOrEveryCommandGivesUpWithinTheBound) {
  const std::string cookie = scratchPath("cookie");
  ASSERT_EQ(runProcess({"xauth", "-f", cookie, "add", ":0", ".", std::string(32, 'a')}, {}, 10s).exitCode, 0);
  XSession stopped, grabbed, guarded(WindowManager::none, 24, {"-auth", cookie});
  const std::string screen = grabbed.display() + ".3";
  Environment unset = grabbed.environment();
  unset.erase("DISPLAY");
  // The library's own words become the reason; nothing else reaches standard error.
  const std::pair<Environment, std::string> cases[] = {
      {unset, "Failed to open display: DISPLAY is not set\n"},
      {grabbed.environment({{"DISPLAY", screen}}), "Failed to open display " + screen + ": no such screen\n"},
      {guarded.environment({{"XAUTHORITY", "/dev/null"}}),
       "Failed to open display " + guarded.display() +
           ": Authorization required, but no authorization protocol specified\n"},
  };
  for (const auto& [environment, err] : cases) {
    EXPECT_TRUE(ranWith(runProcess({toolPath(), "active-app"}, environment, 10s), "", err, 1));
  }
  std::remove(cookie.c_str());
  kill(stopped.server().pid(), SIGSTOP);
  // While the tool waits, its closed input and output are held by /dev/null, never by what it opens
  // (descriptor 2, meanwhile, is the tool's own pipe for the X library's words).
  const auto held = stopped.run(
      {"sh", "-c", "\"$0\" active-app <&- >&- 2>&- & sleep 1; cd /proc/$!/fd && readlink 0 1", toolPath()});
  EXPECT_EQ(held.out, "/dev/null\n/dev/null\n");
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
      runs.emplace_back(expected, std::async(std::launch::async, [session, args] { return session->tool(args); }));
    }
  }
  for (auto& [expected, run] : runs) {
    const auto result = run.get();
    EXPECT_TRUE(ranWith(result, "", expected, 1));
    EXPECT_LT(result.elapsed, 6s);
  }
}

}  // namespace
}  // namespace kestrova::e2e
