#include "UIKit/UIColor.h"

#include <algorithm>
#include <cstdio>

namespace {
CGFloat clampUnit(CGFloat value) {
    // NaN becomes 0 so that no later arithmetic inherits it.
    if (!(value >= 0))
        return 0;
    return std::min<CGFloat>(value, 1);
}

size_t componentCountOfModel(CGColorSpaceModel model) {
    switch (model) {
        case kCGColorSpaceModelMonochrome:
            return 2;
        case kCGColorSpaceModelRGB:
        case kCGColorSpaceModelLab:
            return 4;
        case kCGColorSpaceModelCMYK:
            return 5;
        default:
            return 1;  // alpha only: pattern, indexed and unknown colours
    }
}

std::string formatComponent(CGFloat value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}
}  // namespace

UIColor::UIColor(CGColorSpaceModel model, std::initializer_list<CGFloat> components)
    : model_(model), count_(componentCountOfModel(model)) {
    components_.fill(0);
    components_[count_ - 1] = 1;
    size_t i = 0;
    for (CGFloat c : components) {
        if (i == count_)
            break;
        components_[i++] = c;
    }
    if (model_ == kCGColorSpaceModelRGB || model_ == kCGColorSpaceModelMonochrome) {
        for (size_t k = 0; k < count_; ++k)
            components_[k] = clampUnit(components_[k]);
    } else {
        components_[count_ - 1] = clampUnit(components_[count_ - 1]);
    }
}

UIColor UIColor::colorWithRedGreenBlueAlpha(CGFloat red, CGFloat green, CGFloat blue,
                                            CGFloat alpha) {
    return UIColor(kCGColorSpaceModelRGB, {red, green, blue, alpha});
}

UIColor UIColor::colorWithWhiteAlpha(CGFloat white, CGFloat alpha) {
    return UIColor(kCGColorSpaceModelMonochrome, {white, alpha});
}

UIColor UIColor::colorWithModelAndComponents(CGColorSpaceModel model,
                                             std::initializer_list<CGFloat> components) {
    return UIColor(model, components);
}

CGFloat UIColor::componentAtIndex(size_t index) const {
    return index < count_ ? components_[index] : 0;
}

bool UIColor::getRedGreenBlueAlpha(CGFloat* red, CGFloat* green, CGFloat* blue,
                                   CGFloat* alpha) const {
    CGFloat r, g, b;
    if (model_ == kCGColorSpaceModelRGB) {
        r = components_[0];
        g = components_[1];
        b = components_[2];
    } else if (model_ == kCGColorSpaceModelMonochrome) {
        r = g = b = components_[0];
    } else {
        return false;
    }
    if (red)
        *red = r;
    if (green)
        *green = g;
    if (blue)
        *blue = b;
    if (alpha)
        *alpha = this->alpha();
    return true;
}

bool UIColor::getWhiteAlpha(CGFloat* white, CGFloat* alpha) const {
    if (model_ != kCGColorSpaceModelMonochrome)
        return false;
    if (white)
        *white = components_[0];
    if (alpha)
        *alpha = this->alpha();
    return true;
}

UIColor UIColor::colorWithAlphaComponent(CGFloat alpha) const {
    UIColor copy = *this;
    copy.components_[count_ - 1] = clampUnit(alpha);
    return copy;
}

std::string UIColor::description() const {
    std::string text;
    switch (model_) {
        case kCGColorSpaceModelRGB:
            text = "UIDeviceRGBColorSpace";
            break;
        case kCGColorSpaceModelMonochrome:
            text = "UIDeviceWhiteColorSpace";
            break;
        case kCGColorSpaceModelCMYK:
            text = "UIDeviceCMYKColorSpace";
            break;
        case kCGColorSpaceModelPattern:
            text = "UIPatternColorSpace";
            break;
        default:
            text = "UIColorSpace";
            break;
    }
    for (size_t i = 0; i < count_; ++i) {
        text += ' ';
        text += formatComponent(components_[i]);
    }
    return text;
}

bool UIColor::operator==(const UIColor& other) const {
    return model_ == other.model_ && count_ == other.count_ &&
           std::equal(components_.begin(), components_.begin() + count_,
                      other.components_.begin()) &&
           pattern_ == other.pattern_;
}

::CGColor UIColor::CGColor() const {
    const CGFloat* c = components_.data();
    switch (model_) {
        case kCGColorSpaceModelMonochrome:
            return CGColorCreateGenericGray(c[0], c[1]);
        case kCGColorSpaceModelRGB:
            return CGColorCreateGenericRGB(c[0], c[1], c[2], c[3]);
        case kCGColorSpaceModelCMYK:
            return CGColorCreateGenericRGB((1 - c[0]) * (1 - c[3]), (1 - c[1]) * (1 - c[3]),
                                           (1 - c[2]) * (1 - c[3]), c[4]);
        case kCGColorSpaceModelPattern:
            return CGColorCreateWithPattern(pattern_, 0, 0, 0, alpha());
        default:
            return CGColorCreateGenericRGB(0, 0, 0, alpha());
    }
}
