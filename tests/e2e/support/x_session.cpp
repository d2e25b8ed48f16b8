// Xvfb sessions for the end-to-end tests.
#include "support/x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <stdexcept>

namespace kestrova::e2e {
namespace {

// Reads the display number Xvfb writes once it accepts connections.
std::string readDisplayNumber(int fd) {
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (number.empty() || number.back() != '\n') {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    pollfd readable{fd, POLLIN, 0};
    if (left <= 0 || poll(&readable, 1, static_cast<int>(left)) <= 0) break;
    char ch = 0;
    if (read(fd, &ch, 1) != 1) break;
    number += ch;
  }
  if (number.empty() || number.back() != '\n') throw std::runtime_error("Xvfb did not start");
  number.pop_back();
  return number;
}

}  // namespace

std::string nameOf(WindowManager manager) { return manager == WindowManager::openbox ? "openbox" : "noWindowManager"; }

std::string toolPath() { return KESTROVA_TOOL; }
std::string captureProbePath() { return KESTROVA_CAPTURE_PROBE; }
std::string windowChurnPath() { return KESTROVA_WINDOW_CHURN; }
std::string incrOwnerPath() { return KESTROVA_INCR_OWNER; }
std::string activationTargetPath() { return KESTROVA_ACTIVATION_TARGET; }

XSession::XSession(WindowManager manager, int depth, const std::vector<std::string>& serverOptions)
    : manager_(manager) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  try {
    // -displayfd picks a free display number; -noreset keeps the server's
    // state when its last client leaves.
    std::vector<std::string> argv{requirePeer("Xvfb"), "-displayfd", "3", "-screen", "0",
                                  "1920x1080x" + std::to_string(depth), "-nolisten", "tcp", "-noreset"};
    argv.insert(argv.end(), serverOptions.begin(), serverOptions.end());
    server_ = std::make_unique<ChildProcess>(argv, currentEnvironment(), "/dev/null", ends[1]);
    close(ends[1]);
    display_ = ":" + readDisplayNumber(ends[0]);
    close(ends[0]);
  } catch (...) {
    close(ends[0]);
    close(ends[1]);
    throw;
  }
  if (manager == WindowManager::openbox) {
    windowManager_ = std::make_unique<ChildProcess>(std::vector<std::string>{requirePeer("openbox")}, environment());
    // The check window comes early in openbox's start; windows mapped before
    // it has listed the existing clients stay unmapped, unmanaged.
    const bool ready = eventually([this] {
      return run({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}).out.find("window id") != std::string::npos;
    }, 10s);
    if (!ready) throw std::runtime_error("openbox did not start");
  }
}

XSession::~XSession() {
  peers_.clear();
  windowManager_.reset();
  server_.reset();
}

Environment XSession::environment(const Environment& extra) const {
  Environment environment = currentEnvironment();
  environment["DISPLAY"] = display_;
  for (const auto& [name, value] : extra) environment[name] = value;
  return environment;
}

ProcessResult XSession::run(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                            const std::string& stdinPath) const {
  return runProcess(argv, environment(), limit, stdinPath);
}

ProcessResult XSession::tool(const std::vector<std::string>& args, const Environment& extra) const {
  std::vector<std::string> argv{toolPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProcess(argv, environment(extra), 30s);
}

ChildProcess& XSession::start(const std::vector<std::string>& argv, const std::string& stdinPath) {
  peers_.push_back(std::make_unique<ChildProcess>(argv, environment(), stdinPath));
  return *peers_.back();
}

XSession::Xterm XSession::startXterm(const std::vector<std::string>& options, const std::vector<std::string>& command) {
  std::vector<std::string> argv{"xterm", "-geometry", "80x24+" + std::to_string(40 * peers_.size()) + "+40"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back("-e");
  argv.insert(argv.end(), command.begin(), command.end());
  const pid_t pid = start(argv).pid();
  const auto window = visibleWindowOf(pid);
  if (!window) throw std::runtime_error("xterm " + std::to_string(pid) + " showed no window");
  return {pid, *window};
}

std::optional<std::uint32_t> XSession::visibleWindowOf(pid_t pid) const {
  // Polled here: xdotool's own --sync sleeps half a second between looks.
  std::optional<std::uint32_t> window;
  eventually([&] {
    window = parseWindow(run({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)}).out);
    return window.has_value();
  }, 15s);
  return window;
}

std::optional<std::uint32_t> XSession::activeWindow() const {
  const auto result = run({"xdotool", manager_ == WindowManager::openbox ? "getactivewindow" : "getwindowfocus"});
  if (!result.exited || result.exitCode != 0) return std::nullopt;
  return parseWindow(result.out);
}

void XSession::focus(std::uint32_t window) const {
  const auto result =
      run({"xdotool", manager_ == WindowManager::openbox ? "windowactivate" : "windowfocus", std::to_string(window)});
  if (!result.exited || result.exitCode != 0 || !eventually([&] { return activeWindow() == window; })) {
    throw std::runtime_error("xdotool could not focus " + std::to_string(window) + ": " + result.err);
  }
}

std::optional<std::uint32_t> parseWindow(const std::string& text) {
  const auto start = text.find_first_of("0123456789");
  if (start == std::string::npos) return std::nullopt;
  return static_cast<std::uint32_t>(std::stoul(text.substr(start)));
}

}  // namespace kestrova::e2e
