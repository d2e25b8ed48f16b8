// The X11 clipboard reassembly fed arbitrary chunk sequences, against a model
// of the transfer protocol (Latin-1 itself is the unit tests' table).
#include <fuzzer/FuzzedDataProvider.h>

#include "desktop/x11/selection_transfer.h"
#include "reference.h"

namespace {

using namespace kestrova::desktop::x11;
using kestrova::fuzzing::require;
using State = SelectionTransfer::State;

constexpr TransferTypes types{.incr = 301, .utf8String = 302, .textPlainUtf8 = 303, .string = 31};

bool isText(const PropertyChunk& c) {
  return c.format == 8 && (c.type == types.utf8String || c.type == types.textPlainUtf8 || c.type == types.string);
}

struct Model {
  State state = State::awaitingFirst;
  bool latin1 = false, typeKnown = false;
  std::string bytes;

  void first(const PropertyChunk& chunk) {
    if (state != State::awaitingFirst) return;
    state = chunk.type == types.incr ? State::incremental : isText(chunk) ? State::complete : State::notText;
    latin1 = chunk.type == types.string;
    if (state == State::complete) bytes.assign(chunk.bytes);
  }
  void next(const PropertyChunk& chunk) {
    if (state != State::incremental) return;
    if (chunk.type == 0 || (!chunk.bytes.empty() && !isText(chunk))) return void(state = State::interrupted);
    if (chunk.bytes.empty()) return void(state = State::complete);
    // The first chunk's type decides how the whole text is read.
    if (!typeKnown) latin1 = chunk.type == types.string;
    typeKnown = true;
    bytes.append(chunk.bytes);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  SelectionTransfer transfer(types);
  Model model;
  while (input.remaining_bytes() > 0) {
    // Mostly chunks, now and then a first property out of turn.
    const bool asFirst = model.state == State::awaitingFirst || input.ConsumeIntegralInRange<int>(0, 15) == 0;
    constexpr std::uint32_t typeChoices[] = {0, types.incr, types.utf8String, types.textPlainUtf8, types.string, 4};
    constexpr std::uint8_t formatChoices[] = {8, 8, 8, 16, 32, 0};
    const auto type = typeChoices[input.ConsumeIntegralInRange<std::size_t>(0, 5)];
    const auto format = formatChoices[input.ConsumeIntegralInRange<std::size_t>(0, 5)];
    const std::string bytes = input.ConsumeRandomLengthString(4096);
    const PropertyChunk chunk{type, format, bytes};
    const State state = asFirst ? transfer.acceptFirst(chunk) : transfer.acceptChunk(chunk);
    asFirst ? model.first(chunk) : model.next(chunk);
    require(state == model.state && transfer.state() == state, "the transfer's state follows the protocol");
  }
  const auto complete = model.latin1 ? latin1ToUtf8(model.bytes) : model.bytes;
  require(transfer.takeText() == (model.state == State::complete ? complete : ""), "only a finished transfer has text");
  return 0;
}
