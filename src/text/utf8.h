// Texts from the platform and from the command line are made valid UTF-8
// before the tool uses them, so no ill-formed byte can spoil an output.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// Each maximal ill-formed subsequence becomes one U+FFFD, the way the
// platforms' own string conversions repair text.
std::string repairUtf8(std::string_view bytes);

}  // namespace kestrova
