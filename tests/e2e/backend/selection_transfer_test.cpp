// Selection transfer reassembly and Latin-1 decoding, driven with made-up
// property chunks as owners write them.
#include "desktop/x11/selection_transfer.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestrova::desktop::x11 {
namespace {

constexpr TransferTypes types{.incr = 10, .utf8String = 11, .textPlainUtf8 = 12, .string = 31};
constexpr std::uint32_t compoundText = 40;

TEST(Latin1ToUtf8, MapsEveryByteToItsCodePoint) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"plain ASCII \x01\x7f", "plain ASCII \x01\x7f"},
      {std::string("nul\0inside", 10), std::string("nul\0inside", 10)},
      {"\x80\xa0\xa9", "\xc2\x80\xc2\xa0\xc2\xa9"},
      {"caf\xe9 \xbf\xc0\xff", "caf\xc3\xa9 \xc2\xbf\xc3\x80\xc3\xbf"},
  };
  for (const auto& [latin1, utf8] : cases) EXPECT_EQ(latin1ToUtf8(latin1), utf8) << latin1;
}

struct Transfer {
  const char* what;
  PropertyChunk first;
  std::vector<PropertyChunk> chunks;  // INCR chunks, in order
  SelectionTransfer::State state;
  std::string text;
  std::size_t limit = SIZE_MAX;
};

TEST(SelectionTransfer, ReassemblesAndDecodesByTheChunksType) {
  using State = SelectionTransfer::State;
  const Transfer cases[] = {
      {"whole UTF8_STRING", {11, 8, "h\xc3\xa9llo\n"}, {}, State::complete, "h\xc3\xa9llo\n"},
      {"whole text/plain", {12, 8, "plain"}, {}, State::complete, "plain"},
      {"whole STRING is Latin-1", {31, 8, "caf\xe9"}, {}, State::complete, "caf\xc3\xa9"},
      {"empty text is still text", {11, 8, ""}, {}, State::complete, ""},
      {"an unknown type is no text", {compoundText, 8, "x"}, {}, State::notText, ""},
      {"32-bit data is no text", {11, 32, "abcd"}, {}, State::notText, ""},
      {"no property at all", {0, 0, ""}, {}, State::notText, ""},
      {"INCR across a split character",
       {10, 32, "\x10\x00\x00\x00"},
       {{11, 8, "\xe6\xb0"}, {11, 8, "\xb4 \xf0\x9f"}, {11, 8, "\x98\x80"}, {11, 8, ""}},
       State::complete,
       "\xe6\xb0\xb4 \xf0\x9f\x98\x80"},
      {"INCR of Latin-1", {10, 32, "1234"}, {{31, 8, "na\xef"}, {31, 8, "ve"}, {31, 8, ""}}, State::complete,
       "na\xc3\xafve"},
      {"INCR keeps its first chunk's type", {10, 32, "1234"}, {{31, 8, "\xe9"}, {11, 8, "\xe9"}, {11, 8, ""}},
       State::complete, "\xc3\xa9\xc3\xa9"},
      {"INCR with no chunk", {10, 32, "0000"}, {{11, 8, ""}}, State::complete, ""},
      {"INCR with a non-text chunk is broken", {10, 32, "1234"}, {{11, 8, "ok"}, {compoundText, 8, "no"}},
       State::interrupted, ""},
      {"INCR whose property vanishes is cut short", {10, 32, "1234"}, {{11, 8, "part"}, {0, 0, ""}},
       State::interrupted, ""},
      {"INCR still running", {10, 32, "1234"}, {{11, 8, "part"}}, State::incremental, ""},
      {"whole text past the limit", {11, 8, "123456"}, {}, State::interrupted, "", 5},
      {"INCR up to the limit", {10, 32, "1234"}, {{11, 8, "abc"}, {11, 8, "de"}, {11, 8, ""}}, State::complete,
       "abcde", 5},
      {"INCR past the limit", {10, 32, "1234"}, {{11, 8, "abc"}, {11, 8, "def"}}, State::interrupted, "", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SelectionTransfer transfer(types, c.limit);
    transfer.acceptFirst(c.first);
    for (const auto& chunk : c.chunks) transfer.acceptChunk(chunk);
    EXPECT_EQ(transfer.state(), c.state);
    EXPECT_EQ(transfer.takeText(), c.text);
  }
}

TEST(SelectionTransfer, IgnoresWhatComesAfterTheEnd) {
  SelectionTransfer whole(types);
  whole.acceptFirst({11, 8, "done"});
  EXPECT_EQ(whole.acceptChunk({11, 8, "more"}), SelectionTransfer::State::complete);
  EXPECT_EQ(whole.acceptFirst({11, 8, "again"}), SelectionTransfer::State::complete);
  EXPECT_EQ(whole.takeText(), "done");

  SelectionTransfer incremental(types);
  incremental.acceptFirst({10, 32, "1234"});
  incremental.acceptChunk({11, 8, "a"});
  incremental.acceptChunk({11, 8, ""});
  EXPECT_EQ(incremental.acceptChunk({11, 8, "late"}), SelectionTransfer::State::complete);
  EXPECT_EQ(incremental.takeText(), "a");
}

}  // namespace
}  // namespace kestrova::desktop::x11
