// The Accessibility (HIServices) declarations the macOS backend uses,
// transcribed from Apple's public documentation, so its sources can be
// compiled off macOS.
#pragma once

#include <sys/types.h>

#import <CoreFoundation/CoreFoundation.h>
#import <CoreGraphics/CoreGraphics.h>

typedef const struct CF_BRIDGED_TYPE(id) __AXUIElement *AXUIElementRef;

typedef CF_ENUM(int32_t, AXError) {
  kAXErrorSuccess = 0,
  kAXErrorFailure = -25200,
  kAXErrorIllegalArgument = -25201,
  kAXErrorInvalidUIElement = -25202,
  kAXErrorCannotComplete = -25204,
  kAXErrorAttributeUnsupported = -25205,
  kAXErrorActionUnsupported = -25206,
  kAXErrorNoValue = -25212,
  kAXErrorAPIDisabled = -25211,
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
