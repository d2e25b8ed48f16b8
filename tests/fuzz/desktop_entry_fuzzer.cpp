// Desktop files with arbitrary bytes: no crash, and only the [Desktop Entry]
// group decides, so a comment before it or a group after it changes nothing.
#include "desktop/x11/desktop_entries.h"
#include "reference.h"

namespace {

using kestrova::desktop::x11::parseDesktopEntry;

bool same(const std::optional<kestrova::desktop::x11::ParsedEntry>& a,
          const std::optional<kestrova::desktop::x11::ParsedEntry>& b) {
  return a.has_value() == b.has_value() && (!a || (a->name == b->name && a->startupWmClass == b->startupWmClass));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string contents(reinterpret_cast<const char*>(data), size);
  const auto entry = parseDesktopEntry(contents);
  kestrova::fuzzing::require(same(entry, parseDesktopEntry("# Name=c\n" + contents)), "a comment decides nothing");
  const auto withOtherGroup = parseDesktopEntry(
      contents + "\n[Desktop Action other]\nName=other\nStartupWMClass=other\nType=Application\nHidden=true\n");
  kestrova::fuzzing::require(same(entry, withOtherGroup), "a later group decides nothing");
  return 0;
}
