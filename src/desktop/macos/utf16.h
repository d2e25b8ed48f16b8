// NSString holds UTF-16; the tool speaks UTF-8. The conversion lives apart
// from Objective-C so it can be tested on any platform.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kestrova::desktop::macos {

// Every code unit is kept, NUL included; each unpaired surrogate becomes one
// U+FFFD, as Swift's String does when it takes over an NSString.
std::string utf8FromUtf16(std::span<const std::uint16_t> units);

}  // namespace kestrova::desktop::macos
