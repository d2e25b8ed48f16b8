// The X11 clipboard reassembly fed arbitrary chunk sequences (the rules
// themselves are the unit tests' table): an ended transfer stays ended, only
// a finished one has text, and that text never outgrows the limit.
#include <fuzzer/FuzzedDataProvider.h>

#include "desktop/x11/selection_transfer.h"
#include "reference.h"

using namespace kestrova::desktop::x11;
using kestrova::fuzzing::require;
using State = SelectionTransfer::State;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr TransferTypes types{.incr = 301, .utf8String = 302, .textPlainUtf8 = 303, .string = 31};
  constexpr std::uint32_t typeChoices[] = {0, types.incr, types.utf8String, types.textPlainUtf8, types.string, 4};
  constexpr std::uint8_t formatChoices[] = {8, 8, 8, 16, 32, 0};
  FuzzedDataProvider input(data, size);
  const std::size_t limit = input.ConsumeIntegralInRange<std::size_t>(0, 16384);
  SelectionTransfer transfer(types, limit);
  State before = State::awaitingFirst;
  while (input.remaining_bytes() > 0) {
    // Mostly chunks, now and then a first property out of turn.
    const bool asFirst = before == State::awaitingFirst || input.ConsumeIntegralInRange<int>(0, 15) == 0;
    const auto type = typeChoices[input.ConsumeIntegralInRange<std::size_t>(0, 5)];
    const auto format = formatChoices[input.ConsumeIntegralInRange<std::size_t>(0, 5)];
    const std::string bytes = input.ConsumeRandomLengthString(4096);
    const PropertyChunk chunk{type, format, bytes};
    const State state = asFirst ? transfer.acceptFirst(chunk) : transfer.acceptChunk(chunk);
    require(state == transfer.state(), "the state returned is the transfer's");
    const bool ended = before == State::complete || before == State::notText || before == State::interrupted;
    require(!ended || state == before, "an ended transfer stays ended");
    before = state;
  }
  const std::string text = transfer.takeText();
  require(text.empty() || before == State::complete, "only a finished transfer has text");
  // Latin-1 at most doubles what the owner sent.
  require(text.size() <= 2 * limit, "the text never outgrows the limit");
  return 0;
}
