// The CLIPBOARD selection's text, read as a requestor under ICCCM rules.
#pragma once

#include "desktop/desktop.h"
#include "desktop/x11/connection.h"

namespace kestrova::desktop::x11 {

// Text, none (no owner, or none that gives text), or failed (the owner stopped
// answering for about two seconds; a transfer that keeps moving is never cut).
PasteboardRead readClipboard(Connection& connection);

}  // namespace kestrova::desktop::x11
