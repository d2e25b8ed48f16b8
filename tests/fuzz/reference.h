// Yardsticks for the fuzz targets, written apart from the code under test so a
// shared mistake cannot hide: a UTF-8 validator and a strict flat-JSON reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrova::fuzzing {

// Abort with a message; libFuzzer records the input that got here.
[[noreturn]] inline void violated(const char* what) {
  std::fprintf(stderr, "invariant violated: %s\n", what);
  std::abort();
}

inline void require(bool holds, const char* what) {
  if (!holds) violated(what);
}

// Decodes code point by code point (RFC 3629): no overlong forms, no
// surrogates, nothing above U+10FFFF.
inline bool isValidUtf8(std::string_view bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const auto lead = static_cast<std::uint8_t>(bytes[at]);
    std::size_t length = 0;
    std::uint32_t point = 0;
    if (lead < 0x80) {
      ++at;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      point = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      point = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      point = lead & 0x07;
    } else {
      return false;
    }
    if (at + length > bytes.size()) return false;
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = static_cast<std::uint8_t>(bytes[at + i]);
      if ((next & 0xC0) != 0x80) return false;
      point = (point << 6) | (next & 0x3F);
    }
    constexpr std::uint32_t smallestOfLength[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < smallestOfLength[length]) return false;
    if (point >= 0xD800 && point <= 0xDFFF) return false;
    if (point > 0x10FFFF) return false;
    at += length;
  }
  return true;
}

// One member of a flat JSON object: a string (decoded) or a number (its text).
struct JsonMember {
  std::string name;
  bool isString = false;
  std::string value;
};

// Reads exactly one JSON object (RFC 8259) whose members are strings or
// numbers, with nothing but whitespace around it; none for anything else.
class FlatJsonReader {
 public:
  explicit FlatJsonReader(std::string_view text) : text_(text) {}

  std::optional<std::vector<JsonMember>> read() {
    std::vector<JsonMember> members;
    skipSpace();
    if (!take('{')) return std::nullopt;
    skipSpace();
    if (!take('}')) {
      do {
        skipSpace();
        JsonMember member;
        if (!readString(member.name)) return std::nullopt;
        skipSpace();
        if (!take(':')) return std::nullopt;
        skipSpace();
        if (peek() == '"') {
          member.isString = true;
          if (!readString(member.value)) return std::nullopt;
        } else if (!readNumber(member.value)) {
          return std::nullopt;
        }
        members.push_back(std::move(member));
        skipSpace();
      } while (take(','));
      if (!take('}')) return std::nullopt;
    }
    skipSpace();
    if (at_ != text_.size()) return std::nullopt;
    return members;
  }

 private:
  char peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
  bool take(char expected) {
    if (at_ >= text_.size() || text_[at_] != expected) return false;
    ++at_;
    return true;
  }
  void skipSpace() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }
  bool readHex4(std::uint32_t& unit) {
    if (at_ + 4 > text_.size()) return false;
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char ch = text_[at_++];
      unit <<= 4;
      if (ch >= '0' && ch <= '9') unit |= static_cast<std::uint32_t>(ch - '0');
      else if (ch >= 'a' && ch <= 'f') unit |= static_cast<std::uint32_t>(ch - 'a' + 10);
      else if (ch >= 'A' && ch <= 'F') unit |= static_cast<std::uint32_t>(ch - 'A' + 10);
      else return false;
    }
    return true;
  }
  static void appendUtf8(std::string& out, std::uint32_t point) {
    if (point < 0x80) {
      out.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (point >> 6)));
      out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (point >> 12)));
      out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (point >> 18)));
      out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
  }
  bool readEscape(std::string& out) {
    const char ch = peek();
    ++at_;
    switch (ch) {
      case '"': out.push_back('"'); return true;
      case '\\': out.push_back('\\'); return true;
      case '/': out.push_back('/'); return true;
      case 'b': out.push_back('\b'); return true;
      case 'f': out.push_back('\f'); return true;
      case 'n': out.push_back('\n'); return true;
      case 'r': out.push_back('\r'); return true;
      case 't': out.push_back('\t'); return true;
      case 'u': break;
      default: return false;
    }
    std::uint32_t unit = 0;
    if (!readHex4(unit)) return false;
    // A lone surrogate escape has no UTF-8 form, so it is no text the tool may print.
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      std::uint32_t low = 0;
      if (!take('\\') || !take('u') || !readHex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    appendUtf8(out, unit);
    return true;
  }
  bool readString(std::string& out) {
    if (!take('"')) return false;
    while (at_ < text_.size()) {
      const char ch = text_[at_];
      if (ch == '"') {
        ++at_;
        return true;
      }
      if (static_cast<unsigned char>(ch) < 0x20) return false;
      ++at_;
      if (ch == '\\') {
        if (!readEscape(out)) return false;
      } else {
        out.push_back(ch);
      }
    }
    return false;
  }
  bool digits(std::string& out) {
    const std::size_t start = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') out.push_back(text_[at_++]);
    return at_ > start;
  }
  bool readNumber(std::string& out) {
    if (take('-')) out.push_back('-');
    if (take('0')) {
      out.push_back('0');
    } else if (peek() < '1' || peek() > '9' || !digits(out)) {
      return false;
    }
    if (take('.')) {
      out.push_back('.');
      if (!digits(out)) return false;
    }
    if (peek() == 'e' || peek() == 'E') {
      out.push_back(text_[at_++]);
      if (peek() == '+' || peek() == '-') out.push_back(text_[at_++]);
      if (!digits(out)) return false;
    }
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace kestrova::fuzzing
