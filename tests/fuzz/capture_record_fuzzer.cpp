// The printed record with arbitrary bytes in every text field, after the core's
// repair: always one JSON object of four members that reads back unchanged.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>

#include "reference.h"
#include "result/capture_result.h"
#include "text/utf8.h"

namespace {

using kestrova::fuzzing::require;

std::string repairedField(FuzzedDataProvider& input) {
  const std::string raw = input.ConsumeRandomLengthString();
  std::string repaired = kestrova::repairUtf8(raw);
  require(kestrova::fuzzing::isValidUtf8(repaired), "repaired text is valid UTF-8");
  if (kestrova::fuzzing::isValidUtf8(raw)) require(repaired == raw, "valid text passes the repair unchanged");
  require(kestrova::repairUtf8(repaired) == repaired, "the repair is idempotent");
  return repaired;
}

bool sameNumber(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const kestrova::CaptureResult record{repairedField(input), repairedField(input), repairedField(input),
                                       input.ConsumeFloatingPoint<double>()};

  const auto json = kestrova::encodeJson(record);
  if (!std::isfinite(record.confidence)) {
    require(!json, "a confidence that is no finite number is refused");
    return 0;
  }
  require(json.has_value(), "a repaired record always encodes");
  require(kestrova::fuzzing::isValidUtf8(*json), "the JSON text is valid UTF-8");

  const auto members = kestrova::fuzzing::FlatJsonReader(*json).read();
  require(members.has_value(), "the JSON text is one well-formed object");
  require(members->size() == 4, "exactly four members");
  const char* const names[] = {"text", "appName", "timestamp", "confidence"};
  const std::string* const strings[] = {&record.text, &record.appName, &record.timestamp};
  for (std::size_t i = 0; i < 4; ++i) require((*members)[i].name == names[i], "members in field order");
  for (std::size_t i = 0; i < 3; ++i) {
    require((*members)[i].isString && (*members)[i].value == *strings[i], "text members read back unchanged");
  }
  require(!(*members)[3].isString, "confidence is a JSON number");
  // The shortest text that reads back as the same double: nothing may be lost.
  require(sameNumber(std::strtod((*members)[3].value.c_str(), nullptr), record.confidence),
          "confidence reads back bit for bit");

  const auto decoded = kestrova::decodeJson(*json);
  require(decoded.has_value(), "decodeJson reads what encodeJson wrote");
  require(decoded->text == record.text && decoded->appName == record.appName &&
              decoded->timestamp == record.timestamp && sameNumber(decoded->confidence, record.confidence),
          "decodeJson round-trips the record");
  return 0;
}
