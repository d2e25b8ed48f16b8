// Desktop files with arbitrary bytes: no crash, and only the [Desktop Entry]
// group decides, so a comment before it or a group after it changes nothing.
#include "desktop/x11/desktop_entries.h"
#include "reference.h"

namespace {

using kestrova::desktop::x11::ParsedEntry;

bool sameEntry(const std::optional<ParsedEntry>& a, const std::optional<ParsedEntry>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || (a->name == b->name && a->startupWmClass == b->startupWmClass);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string contents(reinterpret_cast<const char*>(data), size);
  const auto entry = kestrova::desktop::x11::parseDesktopEntry(contents);
  const auto withComment = kestrova::desktop::x11::parseDesktopEntry("# Name=comment\n" + contents);
  kestrova::fuzzing::require(sameEntry(entry, withComment), "a comment line decides nothing");
  const auto withOtherGroup = kestrova::desktop::x11::parseDesktopEntry(
      contents + "\n[Desktop Action other]\nName=other\nStartupWMClass=other\nType=Application\nHidden=true\n");
  kestrova::fuzzing::require(sameEntry(entry, withOtherGroup), "a later group decides nothing");
  return 0;
}
