// The X11 clipboard reassembly with arbitrary chunk sequences against a model
// of the transfer, and the Latin-1 conversion checked to lose no byte.
#include <fuzzer/FuzzedDataProvider.h>

#include "desktop/x11/selection_transfer.h"
#include "reference.h"

namespace {

using kestrova::desktop::x11::PropertyChunk;
using kestrova::desktop::x11::SelectionTransfer;
using kestrova::fuzzing::require;
using State = SelectionTransfer::State;

constexpr kestrova::desktop::x11::TransferTypes types{/*incr=*/301, /*utf8String=*/302, /*textPlainUtf8=*/303,
                                                       /*string=*/31};

// Every code point below U+0100 written out by hand, not by bit shifts.
std::string modelLatin1(std::string_view bytes) {
  std::string out;
  for (const char ch : bytes) {
    const unsigned point = static_cast<unsigned char>(ch);
    if (point < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(point < 0xC0 ? 0xC2 : 0xC3));
      out.push_back(static_cast<char>(0x80 + point % 0x40));
    }
  }
  return out;
}

// What the owner's side of the protocol promises: a text type in format 8.
bool isText(const PropertyChunk& chunk) {
  return chunk.format == 8 &&
         (chunk.type == types.utf8String || chunk.type == types.textPlainUtf8 || chunk.type == types.string);
}

struct Model {
  State state = State::awaitingFirst;
  bool latin1 = false;
  bool typeKnown = false;
  std::string bytes;

  void first(const PropertyChunk& chunk) {
    if (state != State::awaitingFirst) return;
    if (chunk.type == types.incr) {
      state = State::incremental;
    } else if (isText(chunk)) {
      latin1 = chunk.type == types.string;
      bytes.assign(chunk.bytes);
      state = State::complete;
    } else {
      state = State::notText;
    }
  }
  void next(const PropertyChunk& chunk) {
    if (state != State::incremental) return;
    if (chunk.type == 0) {
      state = State::interrupted;
    } else if (chunk.bytes.empty()) {
      state = State::complete;
    } else if (!isText(chunk)) {
      state = State::interrupted;  // text that turns into something else is broken
    } else {
      // The first chunk's type decides how the whole text is read.
      if (!typeKnown) latin1 = chunk.type == types.string;
      typeKnown = true;
      bytes.append(chunk.bytes);
    }
  }
};

PropertyChunk chunkFrom(FuzzedDataProvider& input, std::string& storage) {
  constexpr std::uint32_t typeChoices[] = {0, types.incr, types.utf8String, types.textPlainUtf8, types.string, 4};
  constexpr std::uint8_t formatChoices[] = {8, 8, 8, 16, 32, 0};
  PropertyChunk chunk;
  chunk.type = typeChoices[input.ConsumeIntegralInRange<std::size_t>(0, 5)];
  chunk.format = formatChoices[input.ConsumeIntegralInRange<std::size_t>(0, 5)];
  storage = input.ConsumeRandomLengthString(4096);
  chunk.bytes = storage;
  return chunk;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);

  // The conversion alone: valid UTF-8, and every byte recoverable.
  const std::string latin1 = input.ConsumeRandomLengthString(1024);
  const std::string converted = kestrova::desktop::x11::latin1ToUtf8(latin1);
  require(kestrova::fuzzing::isValidUtf8(converted), "Latin-1 converts to valid UTF-8");
  require(converted == modelLatin1(latin1), "each Latin-1 byte becomes its own code point");

  SelectionTransfer transfer(types);
  Model model;
  std::string storage;
  while (input.remaining_bytes() > 0) {
    // Mostly chunks, now and then a first property out of turn.
    const bool asFirst = model.state == State::awaitingFirst || input.ConsumeIntegralInRange<int>(0, 15) == 0;
    const PropertyChunk chunk = chunkFrom(input, storage);
    const State state = asFirst ? transfer.acceptFirst(chunk) : transfer.acceptChunk(chunk);
    asFirst ? model.first(chunk) : model.next(chunk);
    require(state == model.state, "the transfer's state follows the protocol");
    require(transfer.state() == state, "state() says what the last call returned");
  }
  if (model.state == State::complete) {
    const std::string expected = model.latin1 ? modelLatin1(model.bytes) : model.bytes;
    require(transfer.takeText() == expected, "a complete transfer yields every byte, decoded by its type");
  } else {
    require(transfer.takeText().empty(), "an unfinished transfer yields no text");
  }
  return 0;
}
