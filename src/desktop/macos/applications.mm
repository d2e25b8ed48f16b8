// Running applications: the lookup by process id, their names and their
// activation request.
#import <AppKit/AppKit.h>

#include <memory>
#include <optional>
#include <string>

#include "desktop/macos/backend.h"
#include "desktop/macos/ns_string.h"

namespace kestrova::desktop::macos {
namespace {

// The port's option bits are AppKit's own, so they pass through unchanged.
// The second bit is deprecated in macOS 14 and has no effect there: activation
// is cooperative, a request from outside the active application may be
// declined. What brings the windows forward then is the hand-over from the
// frontmost application below and the core's accessibility pass after it.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"
static_assert(NSApplicationActivateAllWindows == NSUInteger{activateAllWindows});
static_assert(NSApplicationActivateIgnoringOtherApps == NSUInteger{activateIgnoringOtherApps});
#pragma clang diagnostic pop

class WorkspaceApplication final : public RunningApplication {
 public:
  explicit WorkspaceApplication(NSRunningApplication* application) : application_(application) {}

  std::optional<std::string> localizedName() override {
    @autoreleasepool {
      return utf8String(application_.localizedName);
    }
  }

  std::optional<std::string> bundleIdentifier() override {
    @autoreleasepool {
      return utf8String(application_.bundleIdentifier);
    }
  }

  void activate(unsigned options) override {
    @autoreleasepool {
      const auto appKitOptions = static_cast<NSApplicationActivationOptions>(options);
      NSRunningApplication* frontmost = NSWorkspace.sharedWorkspace.frontmostApplication;
      // macOS 14 honours a transfer from the application that holds the activation
      // (usually our host) where it may decline a request from the background.
      if (frontmost != nil && ![frontmost isEqual:application_] &&
          [application_ activateFromApplication:frontmost options:appKitOptions]) {
        return;
      }
      [application_ activateWithOptions:appKitOptions];
    }
  }

 private:
  NSRunningApplication* application_;  // strong under ARC: released with this object
};

}  // namespace

std::unique_ptr<RunningApplication> wrapRunningApplication(NSRunningApplication* _Nullable application) {
  if (application == nil) return nullptr;
  return std::make_unique<WorkspaceApplication>(application);
}

std::unique_ptr<RunningApplication> runningApplication(std::int32_t pid) {
  @autoreleasepool {
    return wrapRunningApplication([NSRunningApplication runningApplicationWithProcessIdentifier:pid]);
  }
}

}  // namespace kestrova::desktop::macos
