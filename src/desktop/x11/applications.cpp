// RunningApplication over X11. Names are looked up only when asked for, and
// the desktop entry at most once per application.
#include "desktop/x11/applications.h"

#include "desktop/x11/activation.h"
#include "desktop/x11/desktop_entries.h"
#include "desktop/x11/windows.h"

namespace kestrova::desktop::x11 {
namespace {

std::optional<std::string> nonEmpty(const std::optional<std::string>& text) {
  return text && !text->empty() ? text : std::nullopt;
}

class X11Application final : public RunningApplication {
 public:
  // `window`: the one that identifies it (the active one, or its topmost).
  // `pid` none: looked up on activation, since naming never needs it.
  X11Application(Connection& connection, xcb_window_t window, std::optional<std::int32_t> pid)
      : connection_(connection), window_(window), pid_(pid), pidLooked_(pid.has_value()) {}

  // An empty name names nothing: the next source is asked instead.
  std::optional<std::string> localizedName() override {
    if (const auto& entry = desktopEntry(); entry && entry->name && !entry->name->empty()) return entry->name;
    return nonEmpty(identity().wmClass);
  }

  std::optional<std::string> bundleIdentifier() override {
    if (const auto& entry = desktopEntry()) return entry->id;
    return nonEmpty(identity().instance);
  }

  void activate(unsigned options) override {
    if (!pidLooked_) {
      const auto pid = processIds(connection_, {window_}).front();
      // A value past the signed range is no process id anyone could ask for.
      if (pid && *pid <= static_cast<std::uint32_t>(INT32_MAX)) pid_ = static_cast<std::int32_t>(*pid);
      pidLooked_ = true;
    }
    // Without a known process the one window we know is the whole application.
    auto windows = pid_ ? windowsOfProcess(connection_, *pid_) : std::vector<xcb_window_t>{window_};
    activateWindows(connection_, windows, (options & activateAllWindows) != 0);
  }

 private:
  const WindowIdentity& identity() {
    if (!identity_) identity_ = identityOf(connection_, window_);
    return *identity_;
  }

  const std::optional<DesktopEntry>& desktopEntry() {
    if (!entryLooked_) {
      entry_ = findDesktopEntry(identity(), applicationDirs(), messagesLocale());
      entryLooked_ = true;
    }
    return entry_;
  }

  Connection& connection_;
  xcb_window_t window_;
  std::optional<std::int32_t> pid_;
  bool pidLooked_;
  std::optional<WindowIdentity> identity_;
  bool entryLooked_ = false;
  std::optional<DesktopEntry> entry_;
};

}  // namespace

std::unique_ptr<RunningApplication> frontmostApplication(Connection& connection) {
  const auto window = activeClient(connection);
  if (!window) return nullptr;
  return std::make_unique<X11Application>(connection, *window, std::nullopt);
}

std::unique_ptr<RunningApplication> runningApplication(Connection& connection, std::int32_t pid) {
  const auto windows = windowsOfProcess(connection, pid);
  if (windows.empty()) return nullptr;
  return std::make_unique<X11Application>(connection, windows.back(), pid);
}

}  // namespace kestrova::desktop::x11
