// Asks the platform afresh on every call; nothing is cached.
#include "apps/active_app.h"

#include "text/utf8.h"

namespace kestrova {
namespace {

// A name is one line: each control character in it (a line feed escaped into
// a desktop entry's Name, say) becomes a space. Expects valid UTF-8.
std::string oneLine(std::string name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    const bool c1 = byte == 0xC2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) < 0xA0;
    if (byte < 0x20 || byte == 0x7F || c1) {
      out += ' ';
      i += c1 ? 1 : 0;
    } else {
      out += name[i];
    }
  }
  return out;
}

}  // namespace

std::string getActiveAppName(desktop::Desktop& desktop) {
  const auto application = desktop.frontmostApplication();
  if (!application) return "Unknown";
  if (auto name = application->localizedName()) return oneLine(repairUtf8(*name));
  if (auto identifier = application->bundleIdentifier()) return oneLine(repairUtf8(*identifier));
  return "Unknown";
}

}  // namespace kestrova
