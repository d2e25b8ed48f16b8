// Reading the window tree: the active client, the top-level clients in
// stacking order, and what identifies their application.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "desktop/x11/connection.h"

namespace kestrova::desktop::x11 {

struct WindowIdentity {
  std::optional<std::string> instance;  // WM_CLASS, first part
  std::optional<std::string> wmClass;   // WM_CLASS, second part
  std::optional<std::string> gtkApplicationId;
};

// The client of _NET_ACTIVE_WINDOW or, without a window manager, the top-level
// window holding the input focus. None when no window is active.
std::optional<xcb_window_t> activeClient(Connection& connection);

// Every top-level client window, bottom to top.
std::vector<xcb_window_t> topLevelClients(Connection& connection);

// Each window's process: _NET_WM_PID, else the X-Resource client id. Absent
// where neither tells (or the window is gone).
std::vector<std::optional<std::uint32_t>> processIds(Connection& connection, const std::vector<xcb_window_t>& windows);

// The top-level clients of process `pid`, bottom to top; none for a negative one.
std::vector<xcb_window_t> windowsOfProcess(Connection& connection, std::int32_t pid);

WindowIdentity identityOf(Connection& connection, xcb_window_t window);

}  // namespace kestrova::desktop::x11
