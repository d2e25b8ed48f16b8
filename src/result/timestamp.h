// The record's timestamp: ISO 8601 internet date-time in UTC, whole seconds.
#pragma once

#include <chrono>
#include <string>

namespace kestrova {

// YYYY-MM-DDThh:mm:ssZ; the fraction of a second is cut off, and the
// machine's time zone plays no part.
std::string formatTimestamp(std::chrono::system_clock::time_point time);

}  // namespace kestrova
