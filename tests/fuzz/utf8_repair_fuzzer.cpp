// Arbitrary bytes through the repair every text from the platform passes
// before it is printed: the result is valid UTF-8 as nlohmann, written apart
// from the repair, judges it (so the record always encodes), valid text passes
// unchanged, and a second repair changes nothing.
#include <nlohmann/json.hpp>

#include "reference.h"
#include "text/utf8.h"

namespace {

bool validUtf8(const std::string& text) {
  try {
    (void)nlohmann::json(text).dump();
    return true;
  } catch (const nlohmann::json::type_error&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using kestrova::fuzzing::require;
  const std::string raw(reinterpret_cast<const char*>(data), size);
  const std::string repaired = kestrova::repairUtf8(raw);
  require(validUtf8(repaired), "repaired text is valid UTF-8");
  if (validUtf8(raw)) require(repaired == raw, "valid text passes the repair unchanged");
  require(kestrova::repairUtf8(repaired) == repaired, "the repair is idempotent");
  return 0;
}
