// JSON text of the capture record, through nlohmann's ordered JSON so the
// members stay in field order.
#include "result/capture_result.h"

#include <array>
#include <cmath>
#include <nlohmann/json.hpp>
#include <utility>

namespace kestrova {
namespace {

using Key = CaptureResult::CodingKeys;
using Json = nlohmann::ordered_json;

constexpr std::array<std::pair<Key, std::string_view>, 4> keyNames{{
    {Key::text, "text"},
    {Key::appName, "appName"},
    {Key::timestamp, "timestamp"},
    {Key::confidence, "confidence"},
}};

constexpr int prettyIndent = 2;

std::optional<std::string> readString(const Json& object, Key key) {
  const auto member = object.find(stringValue(key));
  if (member == object.end() || !member->is_string()) return std::nullopt;
  return member->get<std::string>();
}

}  // namespace

std::string_view stringValue(Key key) {
  for (const auto& [candidate, name] : keyNames) {
    if (candidate == key) return name;
  }
  return {};
}

std::optional<Key> codingKey(std::string_view name) {
  for (const auto& [key, candidate] : keyNames) {
    if (candidate == name) return key;
  }
  return std::nullopt;
}

std::optional<int> intValue(Key) { return std::nullopt; }

std::optional<Key> codingKey(int) { return std::nullopt; }

std::optional<std::string> encodeJson(const CaptureResult& result) {
  // Without a rule for them, JSON has no form for NaN or the infinities;
  // the library would quietly write null, which is no number.
  if (!std::isfinite(result.confidence)) return std::nullopt;
  Json object = Json::object();
  object[stringValue(Key::text)] = result.text;
  object[stringValue(Key::appName)] = result.appName;
  object[stringValue(Key::timestamp)] = result.timestamp;
  object[stringValue(Key::confidence)] = result.confidence;
  try {
    return object.dump(prettyIndent);
  } catch (const Json::type_error&) {  // a string that is not UTF-8
    return std::nullopt;
  }
}

std::optional<CaptureResult> decodeJson(std::string_view json) {
  const Json object = Json::parse(json, nullptr, /*allow_exceptions=*/false);
  if (!object.is_object()) return std::nullopt;
  // Read in field order; the first missing or mistyped member ends the reading.
  auto text = readString(object, Key::text);
  if (!text) return std::nullopt;
  auto appName = readString(object, Key::appName);
  if (!appName) return std::nullopt;
  auto timestamp = readString(object, Key::timestamp);
  if (!timestamp) return std::nullopt;
  const auto confidence = object.find(stringValue(Key::confidence));
  if (confidence == object.end() || !confidence->is_number()) return std::nullopt;
  return CaptureResult{std::move(*text), std::move(*appName), std::move(*timestamp), confidence->get<double>()};
}

}  // namespace kestrova
