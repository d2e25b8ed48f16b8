// Repairs ill-formed UTF-8 by the "maximal subpart" practice of the Unicode
// standard (the table of well-formed byte sequences, chapter 3).
#include "text/utf8.h"

#include <cstddef>
#include <cstdint>

namespace kestrova {
namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

struct LeadRule {
  std::size_t length;        // bytes in the whole sequence
  std::uint8_t secondLow;    // allowed range of the second byte
  std::uint8_t secondHigh;
};

// Returns false for bytes that can never start a sequence.
bool leadRule(std::uint8_t lead, LeadRule& rule) {
  if (lead >= 0xC2 && lead <= 0xDF) rule = {2, 0x80, 0xBF};
  else if (lead == 0xE0) rule = {3, 0xA0, 0xBF};
  else if (lead == 0xED) rule = {3, 0x80, 0x9F};  // no surrogates
  else if (lead >= 0xE1 && lead <= 0xEF) rule = {3, 0x80, 0xBF};
  else if (lead == 0xF0) rule = {4, 0x90, 0xBF};
  else if (lead >= 0xF1 && lead <= 0xF3) rule = {4, 0x80, 0xBF};
  else if (lead == 0xF4) rule = {4, 0x80, 0x8F};  // nothing above U+10FFFF
  else return false;
  return true;
}

// Length of the well-formed prefix of a sequence starting at `at`, or of
// its maximal ill-formed subpart when `complete` comes back false.
std::size_t scanSequence(std::string_view bytes, std::size_t at, bool& complete) {
  const auto lead = static_cast<std::uint8_t>(bytes[at]);
  complete = false;
  LeadRule rule{};
  if (!leadRule(lead, rule)) return 1;
  std::size_t taken = 1;
  for (; taken < rule.length && at + taken < bytes.size(); ++taken) {
    const auto next = static_cast<std::uint8_t>(bytes[at + taken]);
    const std::uint8_t low = taken == 1 ? rule.secondLow : 0x80;
    const std::uint8_t high = taken == 1 ? rule.secondHigh : 0xBF;
    if (next < low || next > high) return taken;
  }
  complete = taken == rule.length;
  return taken;
}

}  // namespace

std::string repairUtf8(std::string_view bytes) {
  std::string repaired;
  repaired.reserve(bytes.size());
  std::size_t at = 0;
  while (at < bytes.size()) {
    if (static_cast<std::uint8_t>(bytes[at]) < 0x80) {
      repaired.push_back(bytes[at++]);
      continue;
    }
    bool complete = false;
    const std::size_t length = scanSequence(bytes, at, complete);
    if (complete) {
      repaired.append(bytes.substr(at, length));
    } else {
      repaired.append(replacementCharacter);
    }
    at += length;
  }
  return repaired;
}

}  // namespace kestrova
