// What the macOS backend uses of CoreGraphics, as the macOS 14 SDK's headers declare it.
#pragma once

#import <CoreFoundation/CoreFoundation.h>

#define CG_EXTERN extern "C"

typedef uint32_t CGDirectDisplayID;
typedef struct CF_BRIDGED_TYPE(id) CGImage *CGImageRef;

CF_ASSUME_NONNULL_BEGIN

CG_EXTERN CGDirectDisplayID CGMainDisplayID(void);

// Up to SDK 14.2 merely available; from SDK 14.4 on deprecated as of macOS
// 14.4, so not for a deployment target of 14.0. The macOS 15 SDK makes it
// unavailable for deployment targets of 15.0 and later.
CG_EXTERN CGImageRef _Nullable CGDisplayCreateImage(CGDirectDisplayID displayID) __attribute__((availability(
    macos, introduced=10.6, deprecated=14.4,
    message="This API is deprecated. Please use ScreenCaptureKit's captureScreenshot APIs instead.")));

CG_EXTERN bool CGPreflightScreenCaptureAccess(void);

CG_EXTERN size_t CGImageGetWidth(CGImageRef _Nullable image);
CG_EXTERN size_t CGImageGetHeight(CGImageRef _Nullable image);

CF_ASSUME_NONNULL_END
