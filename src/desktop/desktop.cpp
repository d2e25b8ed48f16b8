// The few pieces of the port that hold data rather than reach a platform.
#include "desktop/desktop.h"

namespace kestrova::desktop {

AttributeValue::AttributeValue(bool isElementList, std::vector<std::unique_ptr<Element>> elements)
    : isElementList_(isElementList), elements_(std::move(elements)) {}

AttributeValue AttributeValue::elementList(std::vector<std::unique_ptr<Element>> elements) {
  return AttributeValue(true, std::move(elements));
}

AttributeValue AttributeValue::otherKind() { return AttributeValue(false, {}); }

}  // namespace kestrova::desktop
