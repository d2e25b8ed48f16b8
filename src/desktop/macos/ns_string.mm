// NSString to UTF-8 through its UTF-16 units: UTF8String would stop at the
// first NUL and gives NULL for a string holding an unpaired surrogate.
#include "desktop/macos/ns_string.h"

#include <cstdint>
#include <type_traits>
#include <vector>

#include "desktop/macos/utf16.h"

namespace kestrova::desktop::macos {

static_assert(std::is_same_v<unichar, std::uint16_t>);

std::optional<std::string> utf8String(NSString* _Nullable string) {
  if (string == nil) return std::nullopt;
  const NSUInteger length = string.length;
  if (length == 0) return std::string();
  std::vector<unichar> units(length);
  [string getCharacters:units.data() range:NSMakeRange(0, length)];
  return utf8FromUtf16(units);
}

}  // namespace kestrova::desktop::macos
