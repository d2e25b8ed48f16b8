// The pieces of the macOS desktop, one source file per platform concern;
// desktop.mm puts them behind the port.
#pragma once

#include <cstdint>
#include <memory>

#include "desktop/desktop.h"

@class NSRunningApplication;

namespace kestrova::desktop::macos {

// display_capture.mm
ImagePtr captureMainDisplay();

// vision_recognizer.mm
std::unique_ptr<TextRecognizer> makeVisionRecognizer();

// pasteboard_workspace.mm
PasteboardRead pasteboardString();
std::unique_ptr<RunningApplication> frontmostApplication();

// applications.mm
std::unique_ptr<RunningApplication> runningApplication(std::int32_t pid);
// Null for nil, so every lookup answers "none" the same way.
std::unique_ptr<RunningApplication> wrapRunningApplication(NSRunningApplication* _Nullable application);

// accessibility.mm
std::unique_ptr<Element> applicationElement(std::int32_t pid);

}  // namespace kestrova::desktop::macos
