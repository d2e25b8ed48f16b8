// Accessibility elements: an application's element, the windows it lists,
// and the attribute and action calls made on them.
#import <ApplicationServices/ApplicationServices.h>

#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "desktop/macos/backend.h"
#include "desktop/macos/cf_ref.h"

namespace kestrova::desktop::macos {
namespace {

// A hung application would otherwise hold every call, and the tool with it,
// for the system's default of six seconds or more. The timeout is a setting
// of each element, so windows get it as well as their application.
constexpr float messagingTimeoutSeconds = 1.0F;

// Names arrive as UTF-8 from the core; each call gets its own CFString,
// released right after it.
CfRef<CFStringRef> cfString(std::string_view text) {
  const auto* bytes = reinterpret_cast<const UInt8*>(text.data());
  return CfRef<CFStringRef>(CFStringCreateWithBytes(kCFAllocatorDefault, bytes, static_cast<CFIndex>(text.size()),
                                                    kCFStringEncodingUTF8, /*isExternalRepresentation=*/false));
}

bool isElement(const void* value) {
  return value != nullptr && CFGetTypeID(value) == AXUIElementGetTypeID();
}

class AccessibilityElement final : public Element {
 public:
  explicit AccessibilityElement(CfRef<AXUIElementRef> element) : element_(std::move(element)) {
    AXUIElementSetMessagingTimeout(element_.get(), messagingTimeoutSeconds);
  }

  std::optional<AttributeValue> copyAttributeValue(std::string_view attribute) override {
    @autoreleasepool {
      const auto name = cfString(attribute);
      if (!name) return std::nullopt;
      CFTypeRef copied = nullptr;
      AXUIElementCopyAttributeValue(element_.get(), name.get(), &copied);
      const CfRef<CFTypeRef> value(copied);
      if (!value) return std::nullopt;
      return attributeValueOf(value.get());
    }
  }

  void setAttributeValue(std::string_view attribute, bool value) override {
    @autoreleasepool {
      const auto name = cfString(attribute);
      if (!name) return;
      AXUIElementSetAttributeValue(element_.get(), name.get(), value ? kCFBooleanTrue : kCFBooleanFalse);
    }
  }

  void performAction(std::string_view action) override {
    @autoreleasepool {
      const auto name = cfString(action);
      if (!name) return;
      AXUIElementPerformAction(element_.get(), name.get());
    }
  }

 private:
  // A list only when it is an array of elements through and through; the
  // window elements belong to the array, so each one kept is retained.
  static AttributeValue attributeValueOf(CFTypeRef value) {
    if (CFGetTypeID(value) != CFArrayGetTypeID()) return AttributeValue::otherKind();
    const auto array = static_cast<CFArrayRef>(value);
    const CFIndex count = CFArrayGetCount(array);
    for (CFIndex index = 0; index < count; ++index) {
      if (!isElement(CFArrayGetValueAtIndex(array, index))) return AttributeValue::otherKind();
    }
    std::vector<std::unique_ptr<Element>> elements;
    elements.reserve(static_cast<std::size_t>(count));
    for (CFIndex index = 0; index < count; ++index) {
      const auto window = static_cast<AXUIElementRef>(CFArrayGetValueAtIndex(array, index));
      elements.push_back(std::make_unique<AccessibilityElement>(retainedRef(window)));
    }
    return AttributeValue::elementList(std::move(elements));
  }

  CfRef<AXUIElementRef> element_;
};

}  // namespace

std::unique_ptr<Element> applicationElement(std::int32_t pid) {
  @autoreleasepool {
    CfRef<AXUIElementRef> element(AXUIElementCreateApplication(pid));
    if (!element) return nullptr;
    return std::make_unique<AccessibilityElement>(std::move(element));
  }
}

}  // namespace kestrova::desktop::macos
