// The value carries its sign while it is built, so the most negative id is
// reachable without ever holding its positive twin.
#include "cli/process_id.h"

#include <limits>

namespace kestrova {

std::optional<std::int32_t> parseProcessId(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
  std::int32_t value = 0;
  for (const char ch : text) {
    if (ch < '0' || ch > '9') return std::nullopt;
    const int digit = ch - '0';
    if (negative) {
      if (value < (lowest + digit) / 10) return std::nullopt;
      value = value * 10 - digit;
    } else {
      if (value > (highest - digit) / 10) return std::nullopt;
      value = value * 10 + digit;
    }
  }
  return value;
}

}  // namespace kestrova
