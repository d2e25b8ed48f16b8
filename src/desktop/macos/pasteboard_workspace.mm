// The general pasteboard's plain text and the shared workspace's frontmost
// application.
#import <AppKit/AppKit.h>

#include <string>
#include <utility>

#include "desktop/macos/backend.h"
#include "desktop/macos/ns_string.h"

namespace kestrova::desktop::macos {

PasteboardRead pasteboardString() {
  @autoreleasepool {
    auto text = utf8String([NSPasteboard.generalPasteboard stringForType:NSPasteboardTypeString]);
    if (!text) return PasteboardRead::noText();
    return PasteboardRead::withText(std::move(*text));
  }
}

std::unique_ptr<RunningApplication> frontmostApplication() {
  @autoreleasepool {
    return wrapRunningApplication(NSWorkspace.sharedWorkspace.frontmostApplication);
  }
}

}  // namespace kestrova::desktop::macos
