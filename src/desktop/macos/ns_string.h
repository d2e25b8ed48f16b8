// Texts that AppKit and Vision give, taken over as the tool's UTF-8 text.
#pragma once

#import <Foundation/Foundation.h>

#include <optional>
#include <string>

namespace kestrova::desktop::macos {

// Absent for nil; an empty string is a text like any other.
std::optional<std::string> utf8String(NSString* _Nullable string);

}  // namespace kestrova::desktop::macos
