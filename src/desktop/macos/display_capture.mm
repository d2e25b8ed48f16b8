// The whole main display as one CoreGraphics image, or none without the
// permission to record the screen.
#include "desktop/macos/display_capture.h"

#include <memory>

#include "desktop/macos/backend.h"

namespace kestrova::desktop::macos {

ImagePtr captureMainDisplay() {
  @autoreleasepool {
    // Without the permission the call still succeeds, with the wallpaper
    // alone: an image of the wrong screen, worse than none.
    if (!CGPreflightScreenCaptureAccess()) return nullptr;
    // Not ScreenCaptureKit, whose capture is asynchronous only. The SDKs
    // deprecate this call as of macOS 14.4 and withhold it from deployment
    // targets of 15 and later; ours is 14.0.
    CfRef<CGImageRef> image(CGDisplayCreateImage(CGMainDisplayID()));
    if (!image) return nullptr;
    return std::make_unique<DisplayImage>(std::move(image));
  }
}

}  // namespace kestrova::desktop::macos
