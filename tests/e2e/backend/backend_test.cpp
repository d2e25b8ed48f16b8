// The X11 backend's pure pieces, without a server: selection transfers as
// owners write them, Latin-1, the server's pixel formats, desktop entries.
#include <gtest/gtest.h>

#include "desktop/x11/desktop_entries.h"
#include "desktop/x11/pixel_layout.h"
#include "desktop/x11/selection_transfer.h"

namespace kestrova::desktop::x11 {
namespace {

TEST(SelectionTransfer, ReassemblesAndDecodesByTheChunksType) {
  using State = SelectionTransfer::State;
  constexpr TransferTypes types{.incr = 10, .utf8String = 11, .textPlainUtf8 = 12, .string = 31};
  constexpr std::uint32_t other = 40;
  struct Case {
    const char* what;
    std::vector<PropertyChunk> chunks;  // the first, then INCR's
    State state;
    std::string text;
    std::size_t limit = SIZE_MAX;
  };
  const Case cases[] = {
      {"UTF8_STRING", {{11, 8, "h\xc3\xa9llo\n"}}, State::complete, "h\xc3\xa9llo\n"},
      {"STRING is Latin-1", {{31, 8, "caf\xe9 \x7f\x80\xbf\xc0\xff"}}, State::complete,
       "caf\xc3\xa9 \x7f\xc2\x80\xc2\xbf\xc3\x80\xc3\xbf"},
      {"empty text is text", {{11, 8, ""}}, State::complete, ""},
      {"another type", {{other, 8, "x"}}, State::notText, ""},
      {"32-bit data", {{11, 32, "abcd"}}, State::notText, ""},
      {"no property", {{0, 0, ""}}, State::notText, ""},
      {"INCR across a split character",
       {{10, 32, "1234"}, {11, 8, "\xe6\xb0"}, {11, 8, "\xb4 \xf0\x9f"}, {11, 8, "\x98\x80"}, {11, 8, ""}},
       State::complete, "\xe6\xb0\xb4 \xf0\x9f\x98\x80"},
      {"INCR keeps its first chunk's type", {{10, 32, "1234"}, {31, 8, "\xe9"}, {11, 8, "\xe9"}, {11, 8, ""}},
       State::complete, "\xc3\xa9\xc3\xa9"},
      {"INCR, then a chunk of another type", {{10, 32, "1234"}, {11, 8, "ok"}, {other, 8, "no"}}, State::interrupted,
       ""},
      {"INCR whose property vanishes", {{10, 32, "1234"}, {11, 8, "part"}, {0, 0, ""}}, State::interrupted, ""},
      {"INCR still running", {{10, 32, "1234"}, {11, 8, "part"}}, State::incremental, ""},
      {"nothing after the end", {{11, 8, "done"}, {11, 8, "more"}}, State::complete, "done"},
      {"nothing after INCR's end", {{10, 32, "1234"}, {11, 8, "a"}, {11, 8, ""}, {11, 8, "late"}}, State::complete,
       "a"},
      {"past the limit", {{11, 8, "123456"}}, State::interrupted, "", 5},
      {"INCR up to the limit", {{10, 32, "1234"}, {11, 8, "abc"}, {11, 8, "de"}, {11, 8, ""}}, State::complete, "abcde",
       5},
      {"INCR past the limit", {{10, 32, "1234"}, {11, 8, "abc"}, {11, 8, "def"}}, State::interrupted, "", 5},
  };
  for (const auto& c : cases) {
    SelectionTransfer transfer(types, c.limit);
    transfer.acceptFirst(c.chunks.front());
    for (std::size_t i = 1; i < c.chunks.size(); ++i) transfer.acceptChunk(c.chunks[i]);
    EXPECT_EQ(transfer.state(), c.state) << c.what;
    EXPECT_EQ(transfer.takeText(), c.text) << c.what;
  }
}

TEST(PixelLayout, DecodesEveryTrueColourFormatAndRefusesTheRest) {
  // Pure colours: each channel must land in its own place. None: refused.
  const PixelLayout bgrx{}, rgb565{16, 32, false, 0xF800, 0x07E0, 0x001F}, rgb565Msb{16, 32, true, 0xF800, 0x07E0, 0x001F};
  const PixelLayout packed24{24, 32, false, 0xFF0000, 0xFF00, 0xFF}, rgbxMsb{32, 32, true, 0xFF000000, 0xFF0000, 0xFF00};
  const PixelLayout indexed{8, 32, false, 0xFF0000, 0xFF00, 0xFF}, noMask{32, 32, false, 0, 0xFF00, 0xFF};
  struct Case {
    PixelLayout layout;
    int width, height;
    std::vector<std::uint8_t> source;  // rows padded as the layout says
    std::vector<std::uint8_t> rgb;     // none: refused
  };
  const std::vector<std::uint8_t> zeros(64, 0);
  const Case cases[] = {
      {bgrx, 4, 1, {255, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255, 255, 255, 0},
       {0, 0, 255, 255, 0, 0, 0, 255, 0, 255, 255, 255}},
      {rgb565, 3, 1, {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF}, {255, 0, 0, 0, 255, 0, 0, 0, 255}},
      {rgb565, 1, 2, {0x00, 0xF8, 0xAA, 0xAA, 0x1F, 0x00, 0xAA, 0xAA}, {255, 0, 0, 0, 0, 255}},
      // 0x8410: 5 and 6 bits of a middle gray, scaled to 132, 130, 132.
      {rgb565Msb, 2, 1, {0xF8, 0x00, 0x84, 0x10}, {255, 0, 0, 132, 130, 132}},
      {packed24, 1, 1, {0x00, 0x00, 0xFF, 0xEE}, {255, 0, 0}},
      {rgbxMsb, 1, 1, {0xFF, 0x00, 0x00, 0x99}, {255, 0, 0}},
      {indexed, 4, 1, zeros, {}},
      {noMask, 4, 1, zeros, {}},
      {bgrx, 4, 5, zeros, {}},  // a reply shorter than the rectangle it claims
      {bgrx, 0, 3, zeros, {}},
  };
  for (const auto& c : cases) {
    const std::size_t pixels = static_cast<std::size_t>(std::max(0, c.width * c.height));
    std::vector<std::uint8_t> rgb(pixels * 3, 7);
    const bool decoded = decodeRows(c.source.data(), c.source.size(), c.width, c.height, c.layout, rgb.data());
    EXPECT_EQ(decoded ? rgb : std::vector<std::uint8_t>{}, c.rgb) << c.layout.bitsPerPixel << " bits, " << c.width << "x" << c.height;
    // Grays come of the same decoding, or of none.
    EXPECT_EQ(toGray(c.source.data(), c.source.size(), c.width, c.height, c.layout).size(), c.rgb.size() / 3);
  }
  EXPECT_FALSE(sourceBytesPerRow(indexed, 4));
}

TEST(DesktopEntry, ReadsNameAndStartupClassOfApplicationsOnly) {
  const std::string localized =
      "[Desktop Entry]\nType=Application\nName[de_AT]=Dateien (AT)\nName=Files\nName[de]=Dateien\n"
      "Name[sr@latin]=Datoteke\nName[sr]=Датотеке\n";
  struct Case {
    std::string contents, locale;
    std::optional<std::string> name = {}, startupWmClass = {};  // no name: not an application entry
  };
  const Case cases[] = {
      {"[Desktop Entry]\nType=Application\nName=Files\nStartupWMClass=Nautilus\n", "", "Files", "Nautilus"},
      {"[Desktop Entry]\r\nName = A\\sB\\\\C\\tD \r\nType=Application\r\n", "", "A B\\C\tD"},
      {localized, "", "Files"},
      {localized, "de_AT.UTF-8", "Dateien (AT)"},
      {localized, "sr_RS@latin", "Datoteke"},
      {localized, "sr_RS.UTF-8", "Датотеке"},
      {"# head\n[Desktop Entry]\nType=Application\nName=Main\n[Desktop Action New]\nName=New Window\n", "", "Main"},
      {"[Desktop Entry]\nType=Link\nName=Site\n", ""},
      {"[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n", ""},
      {"[Other]\nType=Application\nName=X\n", ""},
  };
  for (const auto& c : cases) {
    const auto entry = parseDesktopEntry(c.contents, c.locale);
    EXPECT_EQ(entry ? entry->name : std::nullopt, c.name) << c.contents << c.locale;
    EXPECT_EQ(entry ? entry->startupWmClass : std::nullopt, c.startupWmClass) << c.contents << c.locale;
  }
}

}  // namespace
}  // namespace kestrova::desktop::x11
