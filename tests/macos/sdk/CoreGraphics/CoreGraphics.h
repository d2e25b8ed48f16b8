// The CoreGraphics declarations the macOS backend uses, transcribed from
// Apple's public documentation, so its sources can be compiled off macOS.
#pragma once

#import <CoreFoundation/CoreFoundation.h>

#define CG_EXTERN extern "C"

typedef uint32_t CGDirectDisplayID;
typedef struct CF_BRIDGED_TYPE(id) CGImage *CGImageRef;

CF_ASSUME_NONNULL_BEGIN

CG_EXTERN CGDirectDisplayID CGMainDisplayID(void);

// The macOS 14 SDK deprecates the call and the macOS 15 SDK makes it
// unavailable for deployment targets of 15.0 and later.
CG_EXTERN CGImageRef _Nullable CGDisplayCreateImage(CGDirectDisplayID displayID)
    __attribute__((deprecated("first deprecated in macOS 14.0 - Please use ScreenCaptureKit instead.")));

CG_EXTERN bool CGPreflightScreenCaptureAccess(void);

CG_EXTERN size_t CGImageGetWidth(CGImageRef _Nullable image);
CG_EXTERN size_t CGImageGetHeight(CGImageRef _Nullable image);

CF_ASSUME_NONNULL_END
