// Activation, then every window focused and raised in the order the platform
// lists them; only finding the application and its window list steer the run.
#include "apps/activate_app.h"

#include <string>

#include "io/write.h"

namespace kestrova {
namespace {

constexpr std::string_view windowsAttribute = "AXWindows";
constexpr std::string_view focusedAttribute = "AXFocused";
constexpr std::string_view raiseAction = "AXRaise";

void focusAndRaiseWindows(desktop::Desktop& desktop, std::int32_t pid) {
  const auto element = desktop.applicationElement(pid);
  if (!element) return;
  auto windows = element->copyAttributeValue(windowsAttribute);
  if (!windows || !windows->isElementList()) return;
  for (const auto& window : windows->elements()) {
    window->setAttributeValue(focusedAttribute, true);
    window->performAction(raiseAction);
  }
}

}  // namespace

void activateApp(desktop::Desktop& desktop, std::int32_t pid, std::ostream& err) {
  const auto application = desktop.runningApplication(pid);
  if (!application) {
    writeMessage(err, "No app with PID " + std::to_string(pid) + "\n");
    return;
  }
  application->activate(desktop::activateAllWindows | desktop::activateIgnoringOtherApps);
  desktop.pause(activationSettleTime);
  focusAndRaiseWindows(desktop, pid);
}

}  // namespace kestrova
