// Every message the command driver writes; each carries its own line feed.
#pragma once

#include <string_view>

namespace kestrova::messages {

inline constexpr std::string_view generalUsage =
    "Usage: kestrova-capture [screenshot|active-app|clipboard|activate <pid>]\n";
inline constexpr std::string_view activateUsage = "Usage: kestrova-capture activate <pid>\n";
inline constexpr std::string_view unknownCommandPrefix = "Unknown command: ";
inline constexpr std::string_view captureFailed = "Failed to capture screen\n";
inline constexpr std::string_view clipboardFailed = "Failed to read clipboard\n";
inline constexpr std::string_view encodingFailed = "Failed to encode capture result\n";
inline constexpr std::string_view writeFailed = "Failed to write output\n";
inline constexpr std::string_view outOfMemory = "Out of memory\n";
// Then the display's name and, after ": ", the platform's reason, when there are any.
inline constexpr std::string_view displayUnreachablePrefix = "Failed to open display";

}  // namespace kestrova::messages
