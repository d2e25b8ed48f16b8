// A private X server (Xvfb) for one test, with or without a window manager,
// and the peers started on it; everything is stopped when it goes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/process.h"

namespace kestrova::e2e {

using namespace std::chrono_literals;

enum class WindowManager { none, openbox };
std::string nameOf(WindowManager manager);

// Paths of what the build made, for the tests to run.
std::string toolPath();
std::string captureProbePath();
std::string windowChurnPath();
std::string incrOwnerPath();
std::string activationTargetPath();

class XSession {
 public:
  // Throws (failing the test) when the server or a peer cannot be started.
  // `serverOptions` go to Xvfb (e.g. "-extension", "MIT-SHM" to turn one off).
  explicit XSession(WindowManager manager = WindowManager::none, int depth = 24,
                    const std::vector<std::string>& serverOptions = {});
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  const std::string& display() const { return display_; }
  WindowManager manager() const { return manager_; }
  // The Xvfb process, for tests that take the display away.
  ChildProcess& server() { return *server_; }
  // This process's environment with DISPLAY naming the session, plus `extra`.
  Environment environment(const Environment& extra = {}) const;

  ProcessResult run(const std::vector<std::string>& argv, std::chrono::milliseconds limit = 10s,
                    const std::string& stdinPath = "/dev/null") const;
  // The built tool, started as a host starts it.
  ProcessResult tool(const std::vector<std::string>& args, const Environment& extra = {}) const;

  ChildProcess& start(const std::vector<std::string>& argv, const std::string& stdinPath = "/dev/null");

  struct Xterm {
    pid_t pid;
    std::uint32_t window;
  };
  // Returns once its window is visible.
  Xterm startXterm(const std::vector<std::string>& options = {},
                   const std::vector<std::string>& command = {"sleep", "600"});

  // The process's first visible top-level window, waiting for it to show.
  std::optional<std::uint32_t> visibleWindowOf(pid_t pid) const;

  // The active window (with a manager) or the focused one (without).
  std::optional<std::uint32_t> activeWindow() const;
  void focus(std::uint32_t window) const;

 private:
  WindowManager manager_;
  std::string display_;
  std::unique_ptr<ChildProcess> server_;
  std::unique_ptr<ChildProcess> windowManager_;
  std::vector<std::unique_ptr<ChildProcess>> peers_;
};

// The first decimal number in `text`.
std::optional<std::uint32_t> parseWindow(const std::string& text);

}  // namespace kestrova::e2e
