// The image the macOS desktop captures, and the only kind its recognizer takes.
#pragma once

#import <CoreGraphics/CoreGraphics.h>

#include "desktop/desktop.h"
#include "desktop/macos/cf_ref.h"

namespace kestrova::desktop::macos {

class DisplayImage final : public Image {
 public:
  explicit DisplayImage(CfRef<CGImageRef> image) : image_(std::move(image)) {}

  int width() const override { return static_cast<int>(CGImageGetWidth(image_.get())); }
  int height() const override { return static_cast<int>(CGImageGetHeight(image_.get())); }
  // Borrowed: valid while this image lives.
  CGImageRef cgImage() const { return image_.get(); }

 private:
  CfRef<CGImageRef> image_;
};

}  // namespace kestrova::desktop::macos
