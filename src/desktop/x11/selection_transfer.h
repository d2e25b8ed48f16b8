// The pure half of a selection transfer: reassembling the property chunks an
// owner writes (whole or INCR) and decoding them to UTF-8 by their type.
// No X calls here, so it can be driven (and fuzzed) with made-up chunks.
#pragma once

#include <cstdint>
#include <cstddef>
#include <string>
#include <string_view>

namespace kestrova::desktop::x11 {

// Latin-1 (ISO 8859-1), the encoding of the STRING type, to UTF-8.
std::string latin1ToUtf8(std::string_view latin1);

// The atoms that decide how a chunk is read; none of them may be 0 (None).
struct TransferTypes {
  std::uint32_t incr = 0;
  std::uint32_t utf8String = 0;
  std::uint32_t textPlainUtf8 = 0;
  std::uint32_t string = 0;
};

// The property as one GetProperty read it.
struct PropertyChunk {
  std::uint32_t type = 0;
  std::uint8_t format = 8;
  std::string_view bytes;
};

class SelectionTransfer {
 public:
  // interrupted: the property vanished mid-transfer (deleted by someone else),
  // a chunk was no text, or the text outgrew the limit, so what arrived is
  // not the whole text (and has been let go).
  enum class State { awaitingFirst, incremental, complete, notText, interrupted };

  // `limit`: the most bytes a text may have, as the owner sends it.
  explicit SelectionTransfer(TransferTypes types, std::size_t limit = SIZE_MAX) : types_(types), limit_(limit) {}

  // The property the owner's SelectionNotify named: the whole text, or an INCR announcement.
  State acceptFirst(const PropertyChunk& chunk);
  // One INCR chunk; the empty one ends the transfer. The first chunk's type decides the decoding.
  State acceptChunk(const PropertyChunk& chunk);

  State state() const { return state_; }
  // The text in UTF-8, once complete.
  std::string takeText();

 private:
  enum class Encoding { utf8, latin1 };
  bool decodable(const PropertyChunk& chunk, Encoding& encoding) const;
  State interrupt();

  TransferTypes types_;
  std::size_t limit_;
  State state_ = State::awaitingFirst;
  Encoding encoding_ = Encoding::utf8;
  bool typeKnown_ = false;
  std::string bytes_;
};

}  // namespace kestrova::desktop::x11
