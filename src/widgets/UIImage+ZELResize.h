#pragma once

#include <memory>

#include "CoreGraphics/CGContext.h"
#include "UIKit/UIView.h"

struct NSError;
class UIImage;

// A copy of the image scaled to fit (aspect fit) or to fill (aspect fill)
// the size in points, drawn with the interpolation quality. Other content
// modes cannot be honoured: nullptr, with `error` describing the refusal.
std::shared_ptr<UIImage> resizedImageWithContentModeBoundsInterpolationQuality(
    const UIImage& image, UIViewContentMode mode, CGSize bounds, CGInterpolationQuality quality,
    NSError* error = nullptr);

// Whether an image is drawn as a masked icon: not flags ("flags/...") and
// not images whose name ends with "_nomask".
bool supportsMaskedIconsForImageWithName(const std::string& name);
