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
    // Deprecated for ScreenCaptureKit, whose capture is asynchronous only;
    // the call stays available while the deployment target is below 15.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"
    CfRef<CGImageRef> image(CGDisplayCreateImage(CGMainDisplayID()));
#pragma clang diagnostic pop
    if (!image) return nullptr;
    return std::make_unique<DisplayImage>(std::move(image));
  }
}

}  // namespace kestrova::desktop::macos
