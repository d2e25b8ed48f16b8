// Activation and the window elements. Requests only: nothing here waits for a
// window manager to comply, and a window that is gone just yields an ignored error.
#include "desktop/x11/activation.h"

#include <algorithm>

#include "desktop/x11/windows.h"

namespace kestrova::desktop::x11 {
namespace {

// Returns once the server has read every request sent (bounded, like every
// wait here). A flush is not enough: a server that finds the connection closed
// drops what it has not read yet, and activation ends the run right after its
// last request.
void deliverAll(Connection& connection) { connection.sync(); }

void raiseWindow(Connection& connection, xcb_window_t window) {
  if (connection.hasWindowManager()) {
    // The manager stacks frames; configuring the client directly would be redirected or ignored.
    xcb_ewmh_request_restack_window(&connection.ewmh(), connection.screenNumber(), window, XCB_NONE,
                                    XCB_STACK_MODE_ABOVE);
  } else {
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(connection.get(), window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  }
}

// The desktop of `window` when the manager does not show it; none when it is
// shown, on every desktop, or where no manager keeps desktops.
std::optional<std::uint32_t> hiddenDesktopOf(Connection& connection, xcb_window_t window) {
  if (!connection.hasWindowManager()) return std::nullopt;
  constexpr std::uint32_t allDesktops = 0xFFFFFFFF;
  auto& ewmh = connection.ewmh();
  xcb_connection_t* c = connection.get();
  const xcb_get_property_cookie_t cookies[] = {
      xcb_get_property(c, 0, window, ewmh._NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 0, 1),
      xcb_get_property(c, 0, connection.root(), ewmh._NET_CURRENT_DESKTOP, XCB_ATOM_CARDINAL, 0, 1)};
  std::vector<std::uint32_t> values[2];
  for (int i = 0; i < 2; ++i) {
    const auto reply = connection.reply<xcb_get_property_reply_t>(cookies[i]);
    values[i] = propertyValues<std::uint32_t>(reply.get());
  }
  const auto& [desktop, shown] = values;
  if (desktop.empty() || shown.empty() || desktop[0] == allDesktops || desktop[0] == shown[0]) return std::nullopt;
  return desktop[0];
}

void requestActivation(Connection& connection, xcb_window_t window) {
  if (connection.hasWindowManager()) {
    // Source 2 (a pager or tool acting for the user): managers skip focus-stealing prevention.
    xcb_ewmh_request_change_active_window(&connection.ewmh(), connection.screenNumber(), window,
                                          XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, connection.serverTime(), XCB_NONE);
  } else {
    // What a manager would do on activation: bring it up, then give it the keyboard.
    raiseWindow(connection, window);
    xcb_set_input_focus(connection.get(), XCB_INPUT_FOCUS_PARENT, window, connection.serverTime());
  }
}

class WindowElement final : public Element {
 public:
  WindowElement(Connection& connection, xcb_window_t window) : connection_(connection), window_(window) {}

  std::optional<AttributeValue> copyAttributeValue(std::string_view) override { return std::nullopt; }

  void setAttributeValue(std::string_view attribute, bool value) override {
    if (attribute != "AXFocused" || !value) return;
    // Managers refuse the focus to a window they do not show and flag it as
    // demanding attention instead. Activation showed the front window's
    // desktop; the windows on others stay there, unflagged.
    if (hiddenDesktopOf(connection_, window_)) return;
    requestActivation(connection_, window_);
    deliverAll(connection_);
  }

  void performAction(std::string_view action) override {
    if (action != "AXRaise") return;
    raiseWindow(connection_, window_);
    deliverAll(connection_);
  }

 private:
  Connection& connection_;
  xcb_window_t window_;
};

class ApplicationElement final : public Element {
 public:
  ApplicationElement(Connection* connection, std::int32_t pid) : connection_(connection), pid_(pid) {}

  std::optional<AttributeValue> copyAttributeValue(std::string_view attribute) override {
    if (attribute != "AXWindows" || connection_ == nullptr) return std::nullopt;
    auto windows = windowsOfProcess(*connection_, pid_);
    // No window at all: as for a process that is no application, the attribute has no value.
    if (windows.empty()) return std::nullopt;
    std::vector<std::unique_ptr<Element>> elements;
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
      elements.push_back(std::make_unique<WindowElement>(*connection_, *it));
    }
    return AttributeValue::elementList(std::move(elements));
  }

  void setAttributeValue(std::string_view, bool) override {}
  void performAction(std::string_view) override {}

 private:
  Connection* connection_;
  std::int32_t pid_;
};

}  // namespace

void activateWindows(Connection& connection, const std::vector<xcb_window_t>& bottomToTop, bool raiseAll) {
  if (bottomToTop.empty()) return;
  if (raiseAll) {
    for (auto window : bottomToTop) raiseWindow(connection, window);
  }
  const xcb_window_t front = bottomToTop.back();
  // Managers activate only on the shown desktop: go to the window's first, as a pager does.
  if (const auto desktop = hiddenDesktopOf(connection, front)) {
    xcb_ewmh_request_change_current_desktop(&connection.ewmh(), connection.screenNumber(), *desktop,
                                            connection.serverTime());
  }
  requestActivation(connection, front);
  deliverAll(connection);
}

std::unique_ptr<Element> makeApplicationElement(Connection* connection, std::int32_t pid) {
  return std::make_unique<ApplicationElement>(connection, pid);
}

}  // namespace kestrova::desktop::x11
