// The record `screenshot` prints: what the main display shows as text, who
// is in front, when, and how sure the recognizer was.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

struct CaptureResult {
  enum class CodingKeys { text, appName, timestamp, confidence };

  std::string text;
  std::string appName;
  std::string timestamp;  // finished text, so writing the record needs no dates
  double confidence;
};

// The JSON member name of a key.
std::string_view stringValue(CaptureResult::CodingKeys key);
// The key named by a member name, compared whole and case-sensitively.
std::optional<CaptureResult::CodingKeys> codingKey(std::string_view name);
// The keys have no integer form, either way.
std::optional<int> intValue(CaptureResult::CodingKeys key);
std::optional<CaptureResult::CodingKeys> codingKey(int value);

// The record as one pretty-printed JSON object, members in field order, or
// none when a member cannot be written (a confidence that is not finite,
// text that is not UTF-8).
std::optional<std::string> encodeJson(const CaptureResult& result);

// The reading direction: all four members required, each of its type; none
// when one is missing or mistyped, or the text is no JSON object.
std::optional<CaptureResult> decodeJson(std::string_view json);

}  // namespace kestrova
