// What the macOS backend uses of ApplicationServices, as the macOS 14 SDK's headers declare it.
#pragma once

#include <sys/types.h>

#import <CoreFoundation/CoreFoundation.h>
#import <CoreGraphics/CoreGraphics.h>

typedef const struct CF_BRIDGED_TYPE(id) __AXUIElement *AXUIElementRef;

typedef CF_ENUM(SInt32, AXError) {
  kAXErrorSuccess = 0,
};

CF_ASSUME_NONNULL_BEGIN

extern "C" CFTypeID AXUIElementGetTypeID(void);
extern "C" AXUIElementRef AXUIElementCreateApplication(pid_t pid) CF_RETURNS_RETAINED;
extern "C" AXError AXUIElementCopyAttributeValue(AXUIElementRef element, CFStringRef attribute,
                                                 CFTypeRef _Nullable *_Nonnull CF_RETURNS_RETAINED value);
extern "C" AXError AXUIElementSetAttributeValue(AXUIElementRef element, CFStringRef attribute, CFTypeRef value);
extern "C" AXError AXUIElementPerformAction(AXUIElementRef element, CFStringRef action);
extern "C" AXError AXUIElementSetMessagingTimeout(AXUIElementRef element, float timeoutInSeconds);

CF_ASSUME_NONNULL_END
