// What the macOS backend uses of Foundation, as the macOS 14 SDK's headers declare it.
#pragma once

#import <CoreFoundation/CoreFoundation.h>

#define NS_ASSUME_NONNULL_BEGIN _Pragma("clang assume_nonnull begin")
#define NS_ASSUME_NONNULL_END _Pragma("clang assume_nonnull end")
#define NS_ENUM(_type, _name) CF_ENUM(_type, _name)
#define NS_OPTIONS(_type, _name) CF_OPTIONS(_type, _name)
#define NS_STRING_ENUM __attribute__((swift_wrapper(enum)))
#define NS_TYPED_EXTENSIBLE_ENUM __attribute__((swift_wrapper(struct)))
#define NS_DESIGNATED_INITIALIZER __attribute__((objc_designated_initializer))

typedef long NSInteger;
typedef unsigned long NSUInteger;
typedef unsigned short unichar;
// objc.h: bool on arm64, signed char on x86_64; the check compiles for arm64.
#if __OBJC_BOOL_IS_BOOL
typedef bool BOOL;
#else
typedef signed char BOOL;
#endif
#define nil nullptr
#define YES __objc_yes
#define NO __objc_no

typedef struct _NSRange {
  NSUInteger location;
  NSUInteger length;
} NSRange;

@class NSString;

// objc's NSObject.h carries no nullability annotations.
@protocol NSObject
- (BOOL)isEqual:(id)object;
- (BOOL)isKindOfClass:(Class)aClass;
@end

NS_ASSUME_NONNULL_BEGIN

inline NSRange NSMakeRange(NSUInteger loc, NSUInteger len) {
  NSRange r;
  r.location = loc;
  r.length = len;
  return r;
}

@protocol NSCopying
@end

__attribute__((objc_root_class))
@interface NSObject <NSObject>
+ (instancetype)alloc;
+ (Class)class;
@end

typedef struct {
  unsigned long state;
  id __unsafe_unretained _Nullable * _Nullable itemsPtr;
  unsigned long * _Nullable mutationsPtr;
  unsigned long extra[5];
} NSFastEnumerationState;

@protocol NSFastEnumeration
- (NSUInteger)countByEnumeratingWithState:(NSFastEnumerationState *)state
                                  objects:(id __unsafe_unretained _Nullable [_Nonnull])buffer
                                    count:(NSUInteger)len;
@end

@interface NSString : NSObject <NSCopying>
@property (readonly) NSUInteger length;
- (void)getCharacters:(unichar *)buffer range:(NSRange)range;
@end

@interface NSArray<__covariant ObjectType> : NSObject <NSCopying, NSFastEnumeration>
@property (readonly) NSUInteger count;
+ (instancetype)arrayWithObjects:(const ObjectType _Nonnull [_Nonnull])objects count:(NSUInteger)cnt;
@end

@interface NSDictionary<__covariant KeyType, __covariant ObjectType> : NSObject <NSCopying, NSFastEnumeration>
+ (instancetype)dictionaryWithObjects:(const ObjectType _Nonnull [_Nullable])objects
                              forKeys:(const KeyType<NSCopying> _Nonnull [_Nullable])keys
                                count:(NSUInteger)cnt;
@end

@interface NSError : NSObject <NSCopying>
@property (readonly, copy) NSString *localizedDescription;
@end

NS_ASSUME_NONNULL_END
