// Starting programs the way a host starts the tool: posix_spawn, a chosen
// environment, captured standard output and error, a bounded wait. Shared by
// every test that runs the built binary.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace kestrova::e2e {

using Environment = std::map<std::string, std::string>;

// This process's environment, as the starting point for a child's.
Environment currentEnvironment();

struct ProcessResult {
  bool exited = false;   // ended by exit(); false when a signal ended it or the limit did
  int exitCode = -1;
  int termSignal = 0;    // the signal that ended it, if one did
  bool timedOut = false;
  std::string out;
  std::string err;
  std::chrono::milliseconds elapsed{0};
  long maxRssKb = 0;     // the child's peak resident memory
};

// Where the child's standard output goes: captured, or somewhere that refuses bytes.
enum class StdoutSink { captured, fullDevice, unreadPipe, closed };

// Runs `argv` to its end (killed at `limit`), with `stdinPath` as its standard
// input; `closed` (0 or 2), if any, is closed in the child.
ProcessResult runProcess(const std::vector<std::string>& argv, const Environment& environment,
                         std::chrono::milliseconds limit, const std::string& stdinPath = "/dev/null",
                         StdoutSink stdoutSink = StdoutSink::captured, int closed = -1);

// A long-running peer; stopped (TERM, then KILL) when it goes out of scope.
class ChildProcess {
 public:
  // Output goes to /dev/null; `passedFd`, if any, becomes the child's fd 3.
  // Throws when the program cannot be started.
  ChildProcess(const std::vector<std::string>& argv, const Environment& environment,
               const std::string& stdinPath = "/dev/null", int passedFd = -1);
  ~ChildProcess() { stop(); }
  ChildProcess(ChildProcess&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }
  ChildProcess& operator=(ChildProcess&&) = delete;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool running();
  void signal(int number) const;
  void stop();

 private:
  pid_t pid_ = -1;
};

// The program's full path from PATH; throws naming the missing peer.
std::string requirePeer(const std::string& name);

// Polls `condition` until it holds or `limit` passes; returns its last answer.
template <class Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    struct timespec pause{0, 20'000'000};
    nanosleep(&pause, nullptr);
  }
}

}  // namespace kestrova::e2e
