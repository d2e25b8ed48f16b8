// Bringing an application to the front and raising each of its windows.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>

#include "desktop/desktop.h"

namespace kestrova {

// Time given to the platform's own activation before the windows are worked on.
inline constexpr std::chrono::microseconds activationSettleTime{50000};

// Never fails towards the caller; writes "No app with PID <pid>\n" to `err`
// when no running application has that process id.
void activateApp(desktop::Desktop& desktop, std::int32_t pid, std::ostream& err);

}  // namespace kestrova
