// Ownership of CoreFoundation objects: one holder releases on every path, so
// no CFRelease is ever placed by hand.
#pragma once

#import <CoreFoundation/CoreFoundation.h>

#include <memory>
#include <type_traits>

namespace kestrova::desktop::macos {

struct CfRelease {
  // CFRelease(NULL) crashes, and Copy calls leave their out place empty.
  void operator()(CFTypeRef object) const noexcept {
    if (object != nullptr) CFRelease(object);
  }
};

// Holds a reference the caller owns: the result of a Create or Copy call.
template <class T>
using CfRef = std::unique_ptr<std::remove_pointer_t<T>, CfRelease>;

// Holds a reference got by a Get call, which the owner of the container may
// drop at any time: retaining it is what makes keeping it safe.
template <class T>
CfRef<T> retainedRef(T object) {
  if (object != nullptr) CFRetain(object);
  return CfRef<T>(object);
}

}  // namespace kestrova::desktop::macos
