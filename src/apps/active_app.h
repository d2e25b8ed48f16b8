// The name of the application the user is working in.
#pragma once

#include <string>

#include "desktop/desktop.h"

namespace kestrova {

// Its display name, else its bundle identifier, else "Unknown". Presence
// decides: an empty name is a name.
std::string getActiveAppName(desktop::Desktop& desktop);

}  // namespace kestrova
