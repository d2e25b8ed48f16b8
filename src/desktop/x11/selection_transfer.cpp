// Selection transfer reassembly and decoding.
#include "desktop/x11/selection_transfer.h"

namespace kestrova::desktop::x11 {

std::string latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (const char ch : latin1) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

bool SelectionTransfer::decodable(const PropertyChunk& chunk, Encoding& encoding) const {
  if (chunk.format != 8 || chunk.type == 0) return false;
  if (chunk.type == types_.utf8String || chunk.type == types_.textPlainUtf8) {
    encoding = Encoding::utf8;
    return true;
  }
  if (chunk.type == types_.string) {
    encoding = Encoding::latin1;
    return true;
  }
  return false;
}

SelectionTransfer::State SelectionTransfer::acceptFirst(const PropertyChunk& chunk) {
  if (state_ != State::awaitingFirst) return state_;
  // The INCR value is only a lower bound of the size: nothing to rely on.
  if (chunk.type == types_.incr && chunk.type != 0) return state_ = State::incremental;
  if (!decodable(chunk, encoding_)) return state_ = State::notText;
  if (chunk.bytes.size() > limit_) return interrupt();
  bytes_.assign(chunk.bytes);
  return state_ = State::complete;
}

SelectionTransfer::State SelectionTransfer::acceptChunk(const PropertyChunk& chunk) {
  if (state_ != State::incremental) return state_;
  if (chunk.type == 0) return interrupt();
  if (chunk.bytes.empty()) return state_ = State::complete;
  Encoding encoding = Encoding::utf8;
  // Text that turns into something else is a broken transfer, not an owner
  // without text: asking it for another target would meet its chunks still coming.
  if (!decodable(chunk, encoding)) return interrupt();
  if (chunk.bytes.size() > limit_ - bytes_.size()) return interrupt();
  if (!typeKnown_) {
    encoding_ = encoding;
    typeKnown_ = true;
  }
  bytes_.append(chunk.bytes);
  return state_;
}

SelectionTransfer::State SelectionTransfer::interrupt() {
  std::string().swap(bytes_);
  return state_ = State::interrupted;
}

std::string SelectionTransfer::takeText() {
  if (state_ != State::complete) return {};
  return encoding_ == Encoding::latin1 ? latin1ToUtf8(bytes_) : std::move(bytes_);
}

}  // namespace kestrova::desktop::x11
