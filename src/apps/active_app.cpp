// Asks the platform afresh on every call; nothing is cached.
#include "apps/active_app.h"

#include "text/utf8.h"

namespace kestrova {

std::string getActiveAppName(desktop::Desktop& desktop) {
  const auto application = desktop.frontmostApplication();
  if (!application) return "Unknown";
  if (auto name = application->localizedName()) return repairUtf8(*name);
  if (auto identifier = application->bundleIdentifier()) return repairUtf8(*identifier);
  return "Unknown";
}

}  // namespace kestrova
