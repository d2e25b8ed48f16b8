// The one harness of the tests that run the built binary: programs started as
// a host starts them (posix_spawn, captured streams, a bounded wait), private
// Xvfb displays with or without openbox, and the peers on them.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace kestrova::e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Environment = std::map<std::string, std::string>;

inline std::string toolPath() { return KESTROVA_TOOL; }

template <class Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = 5s) {
  for (const auto deadline = Clock::now() + limit;; std::this_thread::sleep_for(20ms)) {
    if (condition()) return true;
    if (Clock::now() >= deadline) return false;
  }
}

// A path of this test process alone: the same tests may run in other builds at once.
inline std::string scratchPath(const std::string& name) {
  return ::testing::TempDir() + "kestrova-" + std::to_string(getpid()) + "-" + name;
}

struct FileActions {
  posix_spawn_file_actions_t actions;
  FileActions() { posix_spawn_file_actions_init(&actions); }
  ~FileActions() { posix_spawn_file_actions_destroy(&actions); }
  void open(int fd, const char* path, int flags) { posix_spawn_file_actions_addopen(&actions, fd, path, flags, 0); }
};

// Found on PATH: a missing peer fails the test that needs it.
inline pid_t spawn(const std::vector<std::string>& argv, const Environment& environment, FileActions& files) {
  std::vector<std::string> entries;
  for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
  std::vector<char*> args, env;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  for (const auto& entry : entries) env.push_back(const_cast<char*>(entry.c_str()));
  args.push_back(nullptr);
  env.push_back(nullptr);
  pid_t pid = -1;
  if (const int error = posix_spawnp(&pid, argv.at(0).c_str(), &files.actions, nullptr, args.data(), env.data())) {
    throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
  }
  return pid;
}

struct Pipe {
  int ends[2] = {-1, -1};
  Pipe() { if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed"); }
  ~Pipe() { closeEnd(0), closeEnd(1); }
  void closeEnd(int which) {
    if (ends[which] >= 0) close(ends[which]);
    ends[which] = -1;
  }
};

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
inline ProcessResult runProcess(const std::vector<std::string>& argv, const Environment& environment,
                                std::chrono::milliseconds limit, StdoutSink sink = StdoutSink::captured,
                                int closed = -1) {
  Pipe out, err;
  FileActions files;
  files.open(0, "/dev/null", O_RDONLY);
  if (sink == StdoutSink::fullDevice) files.open(1, "/dev/full", O_WRONLY);
  if (sink == StdoutSink::closed) posix_spawn_file_actions_addclose(&files.actions, 1);
  if (sink == StdoutSink::captured || sink == StdoutSink::unreadPipe) {
    posix_spawn_file_actions_adddup2(&files.actions, out.ends[1], 1);
  }
  posix_spawn_file_actions_adddup2(&files.actions, err.ends[1], 2);
  if (closed >= 0) posix_spawn_file_actions_addclose(&files.actions, closed);
  if (sink != StdoutSink::captured) out.closeEnd(0);  // nobody reads it
  const auto started = Clock::now();
  const pid_t pid = spawn(argv, environment, files);
  out.closeEnd(1), err.closeEnd(1);

  ProcessResult result;
  bool timedOut = false;
  std::string* sinks[2] = {&result.out, &result.err};
  for (int open = sink == StdoutSink::captured ? 2 : 1; open > 0 && !timedOut;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(started + limit - Clock::now()).count();
    pollfd fds[2] = {{out.ends[0], POLLIN, 0}, {err.ends[0], POLLIN, 0}};
    timedOut = left <= 0 || poll(fds, 2, static_cast<int>(left)) == 0;
    for (int i = 0; i < 2 && !timedOut; ++i) {
      char buffer[65536];
      const ssize_t count = fds[i].fd >= 0 && fds[i].revents != 0 ? read(fds[i].fd, buffer, sizeof buffer) : -2;
      if (count > 0) sinks[i]->append(buffer, static_cast<std::size_t>(count));
      if (count == 0 || count == -1) (i == 0 ? out : err).closeEnd(0), --open;
    }
  }
  if (timedOut) kill(pid, SIGKILL);
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.maxRssKb = usage.ru_maxrss;
  result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
  result.exited = WIFEXITED(status) && !timedOut;
  result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
  result.termSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return result;
}

// Exact bytes on both streams and the exit status.
inline ::testing::AssertionResult ranWith(const ProcessResult& result, const std::string& out, const std::string& err,
                                          int status) {
  if (result.exited && result.exitCode == status && result.out == out && result.err == err) {
    return ::testing::AssertionSuccess();
  }
  auto shown = [](const std::string& text) {
    return ::testing::PrintToString(text.substr(0, 300)) + " (" + std::to_string(text.size()) + " bytes), ";
  };
  return ::testing::AssertionFailure() << "expected " << shown(out) << shown(err) << "status " << status
                                       << "\n     got " << shown(result.out) << shown(result.err) << "status "
                                       << result.exitCode << ", signal " << result.termSignal << " (-1, 0: timed out)";
}

// A long-running peer, stopped when it goes; `passedFd`, if any, becomes its fd 3.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const Environment& environment,
               const std::string& stdinPath = "/dev/null", int passedFd = -1) {
    FileActions files;
    files.open(0, stdinPath.c_str(), O_RDONLY);
    files.open(1, "/dev/null", O_WRONLY);
    files.open(2, "/dev/null", O_WRONLY);
    if (passedFd >= 0) posix_spawn_file_actions_adddup2(&files.actions, passedFd, 3);
    pid_ = spawn(argv, environment, files);
  }
  ~ChildProcess() {
    kill(pid_, SIGCONT);  // a stopped peer would never see the TERM
    kill(pid_, SIGTERM);
    if (!eventually([this] { return waitpid(pid_, nullptr, WNOHANG) != 0; }, 2s)) {
      kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

enum class WindowManager { none, openbox };
inline std::string nameOf(WindowManager manager) {
  return manager == WindowManager::openbox ? "openbox" : "noWindowManager";
}

class XSession {
 public:
  // `serverOptions` go to Xvfb (e.g. "-extension", "MIT-SHM").
  explicit XSession(WindowManager manager = WindowManager::none, int depth = 24,
                    const std::vector<std::string>& serverOptions = {})
      : manager_(manager) {
    Pipe number;
    // -displayfd picks a free display and names it once the server takes connections.
    std::vector<std::string> argv{"Xvfb", "-displayfd", "3", "-screen", "0", "1920x1080x" + std::to_string(depth),
                                  "-nolisten", "tcp", "-noreset"};
    argv.insert(argv.end(), serverOptions.begin(), serverOptions.end());
    server_ = std::make_unique<ChildProcess>(argv, environment(), "/dev/null", number.ends[1]);
    number.closeEnd(1);
    // Read to the line's end: a write into the closed pipe would kill the server.
    for (pollfd readable{number.ends[0], POLLIN, 0}; display_.empty() || display_.back() != '\n';) {
      char ch = 0;
      if (poll(&readable, 1, 15'000) != 1 || read(number.ends[0], &ch, 1) != 1) throw std::runtime_error("no Xvfb");
      display_ += ch;
    }
    display_ = ":" + display_.substr(0, display_.size() - 1);
    if (manager == WindowManager::openbox) {
      windowManager_ = std::make_unique<ChildProcess>(std::vector<std::string>{"openbox"}, environment());
      // Windows mapped before openbox handles requests stay unmapped or unmanaged (once, on a
      // loaded machine, it had listed the clients and still did not): a desktop count not its
      // own four, seen to change, shows it handles them.
      if (!eventually([this] {
            return run({"xdotool", "set_num_desktops", "5"}).exitCode == 0 &&
                   run({"xdotool", "get_num_desktops"}).out == "5\n";
          }, 20s)) {
        throw std::runtime_error("openbox did not start");
      }
    }
  }

  const std::string& display() const { return display_; }
  WindowManager manager() const { return manager_; }
  ChildProcess& server() { return *server_; }

  Environment environment(const Environment& extra = {}) const {
    Environment environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string text(*entry);
      if (const auto equals = text.find('='); equals != std::string::npos) {
        environment[text.substr(0, equals)] = text.substr(equals + 1);
      }
    }
    if (!display_.empty()) environment["DISPLAY"] = display_;
    for (const auto& [name, value] : extra) environment[name] = value;
    return environment;
  }

  ProcessResult run(const std::vector<std::string>& argv, std::chrono::milliseconds limit = 10s) const {
    return runProcess(argv, environment(), limit);
  }
  ProcessResult tool(const std::vector<std::string>& args, const Environment& extra = {},
                     StdoutSink sink = StdoutSink::captured, int closed = -1) const {
    std::vector<std::string> argv{toolPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, environment(extra), 30s, sink, closed);
  }
  ChildProcess& start(const std::vector<std::string>& argv) {
    return *peers_.emplace_back(std::make_unique<ChildProcess>(argv, environment()));
  }

  struct Xterm {
    pid_t pid;
    std::uint32_t window;
  };
  // Returns once its window shows.
  Xterm startXterm(const std::vector<std::string>& options = {},
                   const std::vector<std::string>& command = {"sleep", "600"}) {
    std::vector<std::string> argv{"xterm", "-geometry", "80x24+" + std::to_string(40 * peers_.size()) + "+40"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back("-e");
    argv.insert(argv.end(), command.begin(), command.end());
    const pid_t pid = start(argv).pid();
    const auto windows = visibleWindowsOf(pid);
    if (windows.empty()) throw std::runtime_error("xterm " + std::to_string(pid) + " showed no window");
    return {pid, windows.front()};
  }

  // The process's visible top-level windows, once there are `count`. Polled
  // here: xdotool's own --sync sleeps half a second between looks.
  std::vector<std::uint32_t> visibleWindowsOf(pid_t pid, std::size_t count = 1) const {
    std::vector<std::uint32_t> windows;
    eventually([&] {
      std::istringstream found(run({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)}).out);
      windows.assign(std::istream_iterator<std::uint32_t>(found), {});
      return windows.size() >= count;
    }, 15s);
    return windows;
  }

  // The active window (with a manager) or the focused one (without).
  std::optional<std::uint32_t> activeWindow() const {
    const auto result = run({"xdotool", manager_ == WindowManager::openbox ? "getactivewindow" : "getwindowfocus"});
    if (result.exitCode != 0) return std::nullopt;
    return static_cast<std::uint32_t>(std::stoul(result.out));
  }

  void focus(std::uint32_t window) const {
    const auto result =
        run({"xdotool", manager_ == WindowManager::openbox ? "windowactivate" : "windowfocus", std::to_string(window)});
    if (result.exitCode != 0 || !eventually([&] { return activeWindow() == window; })) {
      throw std::runtime_error("xdotool could not focus " + std::to_string(window) + ": " + result.err);
    }
  }

 private:
  WindowManager manager_;
  std::string display_;
  // In this order, so that the peers go first and the server last.
  std::unique_ptr<ChildProcess> server_, windowManager_;
  std::vector<std::unique_ptr<ChildProcess>> peers_;
};

}  // namespace kestrova::e2e
