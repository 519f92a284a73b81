#pragma once

#include <memory>
#include <optional>

#include "UIKit/UIColor.h"
#include "UIKit/UIImage.h"

// Frosted-glass copies of an image: a box blur close to a Gaussian, a
// saturation change, an optional mask that limits the blurred layer, and a
// tint over the result. Drawn at the main screen's scale; nullptr (logged)
// for an image smaller than one point or without a bitmap.

std::shared_ptr<UIImage> applyLightEffect(const std::shared_ptr<UIImage>& image);
std::shared_ptr<UIImage> applyMediumLightEffect(const std::shared_ptr<UIImage>& image);
std::shared_ptr<UIImage> applyExtraLightEffect(const std::shared_ptr<UIImage>& image);
std::shared_ptr<UIImage> applyDarkEffect(const std::shared_ptr<UIImage>& image);
// Blur 10, the colour at alpha 0.6 as tint, saturation inverted (-1).
std::shared_ptr<UIImage> applyTintEffectWithColor(const std::shared_ptr<UIImage>& image,
                                                  const UIColor& tintColor);
// blurRadius in points; a saturation factor of 1 leaves colours as they are.
std::shared_ptr<UIImage> applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(
    const std::shared_ptr<UIImage>& image, CGFloat blurRadius,
    const std::optional<UIColor>& tintColor, CGFloat saturationDeltaFactor,
    const std::shared_ptr<UIImage>& maskImage);

// The box size three passes use for a blur radius in pixels: odd, at least 1.
uint32_t ZELBoxSizeForBlurRadius(CGFloat pixelRadius);
