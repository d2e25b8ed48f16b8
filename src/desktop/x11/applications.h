// Applications as a Linux user sees them: the process behind a set of
// top-level windows, named by its desktop entry or its WM_CLASS.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "desktop/desktop.h"
#include "desktop/x11/connection.h"

namespace kestrova::desktop::x11 {

// The application of the active window; null when no window is active.
std::unique_ptr<RunningApplication> frontmostApplication(Connection& connection);

// The process's application when it owns at least one top-level window; else null.
std::unique_ptr<RunningApplication> runningApplication(Connection& connection, std::int32_t pid);

}  // namespace kestrova::desktop::x11
