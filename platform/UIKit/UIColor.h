#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "CoreGraphics/CGColor.h"
#include "CoreGraphics/CGColorSpace.h"
#include "CoreGraphics/CGGeometry.h"
#include "CoreGraphics/CGPattern.h"

class UIImage;

// A colour as a value: the components of one colour space model, the last of
// them alpha. Device RGB and device white (grey) colours clamp their
// components to 0...1, as the phone's colours do.
class UIColor {
  public:
    static constexpr size_t kMaxComponents = 5;  // CMYK and alpha

    // Opaque black.
    UIColor() : UIColor(kCGColorSpaceModelMonochrome, {0.0, 1.0}) {}

    static UIColor colorWithRedGreenBlueAlpha(CGFloat red, CGFloat green, CGFloat blue,
                                              CGFloat alpha);
    static UIColor colorWithWhiteAlpha(CGFloat white, CGFloat alpha);
    // A colour of any model from its components (alpha last); components
    // beyond the model's count are ignored, missing ones are 0 (alpha 1).
    static UIColor colorWithModelAndComponents(CGColorSpaceModel model,
                                               std::initializer_list<CGFloat> components);

    // A colour that paints the image repeated from the origin; nullopt-like
    // clear colour for a missing image.
    static UIColor colorWithPatternImage(const std::shared_ptr<UIImage>& image);

    static UIColor blackColor() { return colorWithWhiteAlpha(0, 1); }
    static UIColor darkGrayColor() { return colorWithWhiteAlpha(1.0 / 3.0, 1); }
    static UIColor grayColor() { return colorWithWhiteAlpha(0.5, 1); }
    static UIColor lightGrayColor() { return colorWithWhiteAlpha(2.0 / 3.0, 1); }
    static UIColor whiteColor() { return colorWithWhiteAlpha(1, 1); }
    static UIColor clearColor() { return colorWithWhiteAlpha(0, 0); }
    static UIColor redColor() { return colorWithRedGreenBlueAlpha(1, 0, 0, 1); }
    static UIColor greenColor() { return colorWithRedGreenBlueAlpha(0, 1, 0, 1); }
    static UIColor blueColor() { return colorWithRedGreenBlueAlpha(0, 0, 1, 1); }

    CGColorSpaceModel colorSpaceModel() const { return model_; }
    // Components including alpha.
    size_t numberOfComponents() const { return count_; }
    CGFloat componentAtIndex(size_t index) const;
    CGFloat alpha() const { return components_[count_ - 1]; }

    // RGBA of an RGB or monochrome colour; false (outputs untouched) for
    // other models. Null outputs are skipped.
    bool getRedGreenBlueAlpha(CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) const;
    // Grey and alpha of a monochrome colour; false for other models.
    bool getWhiteAlpha(CGFloat* white, CGFloat* alpha) const;

    UIColor colorWithAlphaComponent(CGFloat alpha) const;

    // The colour as Core Graphics paints it (device RGB; CMYK converted
    // naively; a pattern colour carries its pattern).
    ::CGColor CGColor() const;
    const std::shared_ptr<const CGPattern>& pattern() const { return pattern_; }

    // "UIDeviceRGBColorSpace 1 0.5 0 1", "UIDeviceWhiteColorSpace 0.5 1".
    std::string description() const;

    bool operator==(const UIColor& other) const;

  private:
    UIColor(CGColorSpaceModel model, std::initializer_list<CGFloat> components);

    CGColorSpaceModel model_ = kCGColorSpaceModelMonochrome;
    size_t count_ = 0;
    std::array<CGFloat, kMaxComponents> components_{};
    std::shared_ptr<const CGPattern> pattern_;
};
