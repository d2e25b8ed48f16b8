// The one harness of the tests that run the built binary: programs started as
// a host starts them (posix_spawn, captured streams, a bounded wait), private
// Xvfb displays with or without openbox, and the peers on them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <thread>

namespace kestrova::e2e {

using namespace std::chrono_literals;
using Environment = std::map<std::string, std::string>;

std::string toolPath();

struct ProcessResult {
  bool exited = false;  // by exit(), within the limit
  int exitCode = -1, termSignal = 0;
  std::string out, err;
  std::chrono::milliseconds elapsed{0};
  long maxRssKb = 0;
};

// Where the child's standard output goes: captured, or somewhere that refuses bytes.
enum class StdoutSink { captured, fullDevice, unreadPipe, closed };

// `closed` (0 or 2), if any, is closed in the child.
ProcessResult runProcess(const std::vector<std::string>& argv, const Environment& environment,
                         std::chrono::milliseconds limit, StdoutSink sink = StdoutSink::captured, int closed = -1);

// A long-running peer, stopped when it goes; `passedFd`, if any, becomes its fd 3.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const Environment& environment,
               const std::string& stdinPath = "/dev/null", int passedFd = -1);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

template <class Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = 5s) {
  for (const auto deadline = std::chrono::steady_clock::now() + limit;; std::this_thread::sleep_for(20ms)) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
  }
}

// A path of this test process alone: the same tests may run in other builds at once.
inline std::string scratchPath(const std::string& name) {
  return ::testing::TempDir() + "kestrova-" + std::to_string(getpid()) + "-" + name;
}

// Exact bytes on both streams and the exit status.
::testing::AssertionResult ranWith(const ProcessResult& result, const std::string& out, const std::string& err,
                                   int status);

enum class WindowManager { none, openbox };
inline std::string nameOf(WindowManager manager) {
  return manager == WindowManager::openbox ? "openbox" : "noWindowManager";
}

class XSession {
 public:
  // `serverOptions` go to Xvfb (e.g. "-extension", "MIT-SHM").
  explicit XSession(WindowManager manager = WindowManager::none, int depth = 24,
                    const std::vector<std::string>& serverOptions = {});

  const std::string& display() const { return display_; }
  WindowManager manager() const { return manager_; }
  ChildProcess& server() { return *server_; }
  Environment environment(const Environment& extra = {}) const;

  ProcessResult run(const std::vector<std::string>& argv, std::chrono::milliseconds limit = 10s) const;
  ProcessResult tool(const std::vector<std::string>& args, const Environment& extra = {},
                     StdoutSink sink = StdoutSink::captured, int closed = -1) const;
  ChildProcess& start(const std::vector<std::string>& argv);

  struct Xterm {
    pid_t pid;
    std::uint32_t window;
  };
  // Returns once its window shows.
  Xterm startXterm(const std::vector<std::string>& options = {},
                   const std::vector<std::string>& command = {"sleep", "600"});
  // The process's visible top-level windows, once there are `count`.
  std::vector<std::uint32_t> visibleWindowsOf(pid_t pid, std::size_t count = 1) const;
  // The active window (with a manager) or the focused one (without).
  std::optional<std::uint32_t> activeWindow() const;
  void focus(std::uint32_t window) const;

 private:
  WindowManager manager_;
  std::string display_;
  // In this order, so that the peers go first and the server last.
  std::unique_ptr<ChildProcess> server_, windowManager_;
  std::vector<std::unique_ptr<ChildProcess>> peers_;
};

}  // namespace kestrova::e2e
