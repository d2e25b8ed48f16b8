// The main display's image: the RandR primary monitor's rectangle of the root window.
#pragma once

#include "desktop/desktop.h"
#include "desktop/x11/connection.h"

namespace kestrova::desktop::x11 {

// Null when there is nothing to read: no screen, an unsupported pixel format, a failed read.
ImagePtr captureMainDisplay(Connection& connection);

}  // namespace kestrova::desktop::x11
