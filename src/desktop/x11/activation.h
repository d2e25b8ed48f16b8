// Bringing windows to the front: through the window manager's EWMH requests
// where one runs, by restacking and focusing directly where none does.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "desktop/desktop.h"
#include "desktop/x11/connection.h"

namespace kestrova::desktop::x11 {

// Raises `bottomToTop` (all of them when `raiseAll`) and requests activation of
// the topmost, switching first to its desktop when the manager does not show it.
void activateWindows(Connection& connection, const std::vector<xcb_window_t>& bottomToTop, bool raiseAll);

// The accessibility view of process `pid`: "AXWindows" lists its top-level
// windows front to back; each takes "AXFocused" := true and "AXRaise".
// Without a connection the element has no windows.
std::unique_ptr<Element> makeApplicationElement(Connection* connection, std::int32_t pid);

}  // namespace kestrova::desktop::x11
