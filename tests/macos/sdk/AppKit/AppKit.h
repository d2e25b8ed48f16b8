// What the macOS backend uses of AppKit, as the macOS 14 SDK's headers declare it.
#pragma once

#include <sys/types.h>

#import <Foundation/Foundation.h>

NS_ASSUME_NONNULL_BEGIN

typedef NSString *NSPasteboardType NS_TYPED_EXTENSIBLE_ENUM;
extern "C" NSPasteboardType const NSPasteboardTypeString;
extern "C" NSPasteboardType NSStringPboardType
    __attribute__((availability(macos, introduced=10.0, deprecated=10.14, replacement="NSPasteboardTypeString")));

@interface NSPasteboard : NSObject
@property (class, readonly, strong) NSPasteboard *generalPasteboard;
- (nullable NSString *)stringForType:(NSPasteboardType)dataType;
@end

typedef NS_OPTIONS(NSUInteger, NSApplicationActivationOptions) {
  NSApplicationActivateAllWindows = 1 << 0,
  NSApplicationActivateIgnoringOtherApps __attribute__((availability(
      macos, introduced=10.6, deprecated=14.0,
      message="ignoringOtherApps is deprecated in macOS 14 and will have no effect."))) = 1 << 1,
};

@interface NSRunningApplication : NSObject
@property (nullable, readonly, copy) NSString *localizedName;
@property (nullable, readonly, copy) NSString *bundleIdentifier;
+ (nullable instancetype)runningApplicationWithProcessIdentifier:(pid_t)pid;
- (BOOL)activateFromApplication:(NSRunningApplication *)application
                        options:(NSApplicationActivationOptions)options
    __attribute__((availability(macos, introduced=14.0)));
- (BOOL)activateWithOptions:(NSApplicationActivationOptions)options;
@end

@interface NSWorkspace : NSObject
@property (class, readonly, strong) NSWorkspace *sharedWorkspace;
@property (nullable, readonly, strong) NSRunningApplication *frontmostApplication;
@end

NS_ASSUME_NONNULL_END
