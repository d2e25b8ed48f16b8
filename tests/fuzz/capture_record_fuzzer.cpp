// The printed record with arbitrary bytes in every text field, after the
// core's repair: it always encodes and reads back bit for bit.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

#include "reference.h"
#include "result/capture_result.h"
#include "text/utf8.h"

namespace {

using kestrova::fuzzing::require;

// nlohmann's own UTF-8 check, written apart from the repair it judges.
bool validUtf8(const std::string& text) {
  try {
    (void)nlohmann::json(text).dump();
    return true;
  } catch (const nlohmann::json::type_error&) {
    return false;
  }
}

std::string repairedField(FuzzedDataProvider& input) {
  const std::string raw = input.ConsumeRandomLengthString();
  std::string repaired = kestrova::repairUtf8(raw);
  require(validUtf8(repaired), "repaired text is valid UTF-8");
  if (validUtf8(raw)) require(repaired == raw, "valid text passes the repair unchanged");
  require(kestrova::repairUtf8(repaired) == repaired, "the repair is idempotent");
  return repaired;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const kestrova::CaptureResult record{repairedField(input), repairedField(input), repairedField(input),
                                       input.ConsumeFloatingPoint<double>()};
  const auto json = kestrova::encodeJson(record);
  require(json.has_value() == std::isfinite(record.confidence), "exactly the finite confidences encode");
  if (!json) return 0;
  const auto back = kestrova::decodeJson(*json);
  require(back && back->text == record.text && back->appName == record.appName && back->timestamp == record.timestamp &&
              std::memcmp(&back->confidence, &record.confidence, sizeof(double)) == 0,
          "the record reads back bit for bit");
  return 0;
}
