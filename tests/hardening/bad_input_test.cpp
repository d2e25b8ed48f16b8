// The built binary under argument vectors no shell would type and output that
// refuses bytes: exact stdout, stderr and status, in bounded time, never a signal.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "expected_run.h"

namespace {

using namespace std::chrono_literals;

constexpr auto runBound = 10s;
const std::string generalUsage = "Usage: kestrova-capture [screenshot|active-app|clipboard|activate <pid>]\n";
const std::string activateUsage = "Usage: kestrova-capture activate <pid>\n";
const std::string replacement = "\xEF\xBF\xBD";

// The kernel refuses any single argument of 128 KiB or more (MAX_ARG_STRLEN),
// so this is the longest one a host can pass; a megabyte arrives in pieces.
constexpr std::size_t longestArgument = 128 * 1024 - 1;

// Where the child's standard output goes.
enum class Sink { pipe, fullDevice, closedPipe, closed };

struct Outcome {
  bool exited = false;  // false: killed by a signal or by the bound
  int status = -1;
  std::string out;
  std::string err;
};

class Pipe {
 public:
  Pipe() {
    if (::pipe2(ends_.data(), O_CLOEXEC) != 0) throw std::runtime_error("pipe2");
  }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
  int read() const { return ends_[0]; }
  int write() const { return ends_[1]; }
  void closeRead() { closeEnd(0); }
  void closeWrite() { closeEnd(1); }

 private:
  void closeEnd(int which) {
    if (ends_[which] >= 0) ::close(ends_[which]);
    ends_[which] = -1;
  }
  std::array<int, 2> ends_{-1, -1};
};

// Reads both streams at once: a long message on one must not block the other.
void drain(Pipe& out, Pipe& err, Outcome& outcome, std::chrono::steady_clock::time_point deadline) {
  std::array<pollfd, 2> fds{{{out.read(), POLLIN, 0}, {err.read(), POLLIN, 0}}};
  std::array<std::string*, 2> texts{&outcome.out, &outcome.err};
  int open = 2;
  if (out.read() < 0) {
    fds[0].fd = -1;
    --open;
  }
  char buffer[65536];
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || ::poll(fds.data(), fds.size(), static_cast<int>(left.count())) <= 0) return;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t count = ::read(fds[i].fd, buffer, sizeof buffer);
      if (count > 0) {
        texts[i]->append(buffer, static_cast<std::size_t>(count));
      } else {
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

// Runs the tool with exactly these arguments (program name first) and an
// environment without a display, so no command reaches a desktop.
Outcome runTool(const std::vector<std::string>& arguments, Sink sink = Sink::pipe) {
  std::vector<std::string> args{KESTROVA_CAPTURE_BINARY};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::string path = "PATH=/usr/bin:/bin";
  std::string lang = "LANG=C.UTF-8";
  std::array<char*, 3> envp{path.data(), lang.data(), nullptr};

  Pipe out;
  Pipe err;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  switch (sink) {
    case Sink::pipe: posix_spawn_file_actions_adddup2(&actions, out.write(), STDOUT_FILENO); break;
    case Sink::fullDevice: posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/full", O_WRONLY, 0); break;
    case Sink::closedPipe:
      posix_spawn_file_actions_adddup2(&actions, out.write(), STDOUT_FILENO);
      out.closeRead();
      break;
    case Sink::closed: posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO); break;
  }
  posix_spawn_file_actions_adddup2(&actions, err.write(), STDERR_FILENO);
  pid_t child = -1;
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("posix_spawn: " + std::to_string(spawned));
  out.closeWrite();
  err.closeWrite();

  Outcome outcome;
  const auto deadline = std::chrono::steady_clock::now() + runBound;
  drain(out, err, outcome, deadline);
  // The streams close a moment before the exit status can be collected.
  int wait = 0;
  while (::waitpid(child, &wait, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &wait, 0);
      return outcome;
    }
    std::this_thread::sleep_for(1ms);
  }
  outcome.exited = WIFEXITED(wait);
  outcome.status = outcome.exited ? WEXITSTATUS(wait) : -1;
  return outcome;
}

void expectRows(const std::vector<kestrova::hardening::ExpectedRun>& rows) {
  for (const auto& row : rows) {
    const Outcome outcome = runTool(row.arguments);
    ASSERT_TRUE(outcome.exited) << row.situation << ": ended by a signal or the time bound";
    EXPECT_EQ(outcome.status, row.status) << row.situation;
    EXPECT_EQ(outcome.out, row.out) << row.situation;
    // Long messages are compared by size first, so a failure report stays readable.
    EXPECT_EQ(outcome.err.size(), row.err.size()) << row.situation;
    if (outcome.err.size() < 4096) EXPECT_EQ(outcome.err, row.err) << row.situation;
    else EXPECT_TRUE(outcome.err == row.err) << row.situation;
  }
}

std::string noApp(const std::string& pid) { return "No app with PID " + pid + "\n"; }

std::string repeated(const std::string& piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(BadInput, CommandWordsNoHostShouldSend) {
  expectRows({
      {"no arguments", {}, "", generalUsage, 1},
      {"empty command word", {""}, "", "Unknown command: \n", 1},
      {"empty word before a real one", {"", "clipboard"}, "", "Unknown command: \n", 1},
      {"lone bytes that start nothing", {"\xFF\xFE"}, "", "Unknown command: " + replacement + replacement + "\n", 1},
      {"overlong slash", {"screenshot\xC0\xAF"}, "", "Unknown command: screenshot" + replacement + replacement + "\n", 1},
      {"encoded surrogate", {"\xED\xA0\x80"}, "", "Unknown command: " + repeated(replacement, 3) + "\n", 1},
      {"truncated four-byte sequence", {"clip\xF0\x9F\x98"}, "", "Unknown command: clip" + replacement + "\n", 1},
      {"above U+10FFFF", {"\xF4\x90\x80\x80"}, "", "Unknown command: " + repeated(replacement, 4) + "\n", 1},
      {"control characters kept", {"a\tb\x1B[0m"}, "", "Unknown command: a\tb\x1B[0m\n", 1},
      {"command word with a trailing line feed", {"clipboard\n"}, "", "Unknown command: clipboard\n\n", 1},
      {"longest command word", {std::string(longestArgument, 'a')}, "",
       "Unknown command: " + std::string(longestArgument, 'a') + "\n", 1},
      {"longest ill-formed command word", {std::string(longestArgument, '\x80')}, "",
       "Unknown command: " + repeated(replacement, longestArgument) + "\n", 1},
  });
}

TEST(BadInput, EveryProcessIdEdge) {
  expectRows({
      {"no pid", {"activate"}, "", activateUsage, 1},
      {"empty pid", {"activate", ""}, "", activateUsage, 1},
      {"empty pid before a good one", {"activate", "", "42"}, "", activateUsage, 1},
      {"sign alone", {"activate", "+"}, "", activateUsage, 1},
      {"minus alone", {"activate", "-"}, "", activateUsage, 1},
      {"two signs", {"activate", "+-1"}, "", activateUsage, 1},
      {"leading space", {"activate", " 1"}, "", activateUsage, 1},
      {"trailing line feed", {"activate", "1\n"}, "", activateUsage, 1},
      {"hexadecimal", {"activate", "0x10"}, "", activateUsage, 1},
      {"exponent", {"activate", "1e3"}, "", activateUsage, 1},
      {"fullwidth digit", {"activate", "\xEF\xBC\x91"}, "", activateUsage, 1},
      {"ill-formed bytes", {"activate", "7\xFF"}, "", activateUsage, 1},
      {"one above the largest", {"activate", "2147483648"}, "", activateUsage, 1},
      {"one below the smallest", {"activate", "-2147483649"}, "", activateUsage, 1},
      {"2^32", {"activate", "4294967296"}, "", activateUsage, 1},
      {"twenty nines", {"activate", std::string(20, '9')}, "", activateUsage, 1},
      {"longest pid of nines", {"activate", std::string(longestArgument, '9')}, "", activateUsage, 1},
      {"largest", {"activate", "2147483647"}, "ok\n", noApp("2147483647"), 0},
      {"smallest", {"activate", "-2147483648"}, "ok\n", noApp("-2147483648"), 0},
      {"plus zero", {"activate", "+0"}, "ok\n", noApp("0"), 0},
      {"minus zero", {"activate", "-0"}, "ok\n", noApp("0"), 0},
      {"padded largest", {"activate", "+00000000002147483647"}, "ok\n", noApp("2147483647"), 0},
      {"longest pid, all but one digit zeros", {"activate", std::string(longestArgument - 1, '0') + "7"}, "ok\n",
       noApp("7"), 0},
  });
}

TEST(BadInput, AMegabyteOfArgumentsIsIgnoredPastThePid) {
  std::vector<std::string> arguments{"activate", "-1"};
  for (int i = 0; i < 8; ++i) arguments.push_back(std::string(longestArgument, static_cast<char>('\x80' + i)));
  expectRows({{"eight longest arguments after the pid", arguments, "ok\n", noApp("-1"), 0}});
}

TEST(BadInput, OutputThatRefusesBytesIsAFailureWithItsMessage) {
  struct SinkRow {
    const char* situation;
    Sink sink;
  };
  for (const auto& row : {SinkRow{"stdout on a full device", Sink::fullDevice},
                          SinkRow{"stdout a pipe nobody reads", Sink::closedPipe},
                          SinkRow{"stdout closed", Sink::closed}}) {
    const Outcome outcome = runTool({"activate", "7"}, row.sink);
    ASSERT_TRUE(outcome.exited) << row.situation << ": ended by a signal or the time bound";
    EXPECT_EQ(outcome.status, 1) << row.situation;
    EXPECT_EQ(outcome.err, noApp("7") + "Failed to write output\n") << row.situation;
  }
}

}  // namespace
