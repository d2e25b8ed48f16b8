// Activation, then every window focused and raised from the back to the front,
// so the front window ends on top and focused and the windows keep their order;
// only finding the application and its window list steer the run.
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
  // The list runs front to back: walked backwards, each raise lands on the one before.
  const auto& list = windows->elements();
  for (auto window = list.rbegin(); window != list.rend(); ++window) {
    (*window)->setAttributeValue(focusedAttribute, true);
    (*window)->performAction(raiseAction);
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
