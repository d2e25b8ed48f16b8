// The process id parser against a reference that checks the form by character
// and computes in 64 bits, where no 32-bit overflow can happen.
#include <cstdint>
#include <limits>
#include <string_view>

#include "cli/process_id.h"
#include "reference.h"

namespace {

std::optional<std::int32_t> referenceProcessId(std::string_view text) {
  std::int64_t sign = 1;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    sign = text[0] == '-' ? -1 : 1;
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  for (const char ch : text) {
    if (ch < '0' || ch > '9') return std::nullopt;
  }
  while (text.size() > 1 && text[0] == '0') text.remove_prefix(1);
  // Eleven significant digits already exceed every 32-bit value.
  if (text.size() > 10) return std::nullopt;
  std::int64_t magnitude = 0;
  for (const char ch : text) magnitude = magnitude * 10 + (ch - '0');
  const std::int64_t value = sign * magnitude;
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parsed = kestrova::parseProcessId(text);
  const auto expected = referenceProcessId(text);
  kestrova::fuzzing::require(parsed.has_value() == expected.has_value(), "accepted exactly when the reference accepts");
  if (parsed) kestrova::fuzzing::require(*parsed == *expected, "the value the reference computes");
  return 0;
}
