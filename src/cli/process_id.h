// Process ids as the command line gives them: decimal, optionally signed.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrova {

// An optional "+" or "-", then one or more ASCII digits, within the signed
// 32-bit range; anything else (space, a second sign, separators, hex) is none.
std::optional<std::int32_t> parseProcessId(std::string_view text);

}  // namespace kestrova
