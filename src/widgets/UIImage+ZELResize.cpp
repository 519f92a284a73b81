#include "widgets/UIImage+ZELResize.h"

#include <algorithm>
#include <cmath>

#include "Foundation/NSError.h"
#include "Foundation/NSLog.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"

namespace {
constexpr const char* kResizeErrorDomain = "ZELImageResizeErrorDomain";
}

std::shared_ptr<UIImage> resizedImageWithContentModeBoundsInterpolationQuality(
    const UIImage& image, UIViewContentMode mode, CGSize bounds, CGInterpolationQuality quality,
    NSError* error) {
    const CGSize size = image.size();
    if (mode != UIViewContentModeScaleAspectFit && mode != UIViewContentModeScaleAspectFill) {
        const std::string message = "Unsupported content mode " + std::to_string(long(mode)) +
                                    ": images resize only to aspect fit or aspect fill";
        NSLogWithLevel(NSLogLevel::Error, "%s", message.c_str());
        if (error)
            *error =
                NSError::errorWithDomain(kResizeErrorDomain, long(mode),
                                         {{NSError::NSLocalizedDescriptionKey, Value(message)}});
        return nullptr;
    }
    if (!(size.width > 0 && size.height > 0 && bounds.width > 0 && bounds.height > 0)) {
        if (error)
            *error = NSError::errorWithDomain(
                kResizeErrorDomain, -1,
                {{NSError::NSLocalizedDescriptionKey, Value(std::string("Empty image or size"))}});
        return nullptr;
    }
    const CGFloat horizontal = bounds.width / size.width;
    const CGFloat vertical = bounds.height / size.height;
    const CGFloat ratio = mode == UIViewContentModeScaleAspectFill ? std::max(horizontal, vertical)
                                                                   : std::min(horizontal, vertical);
    const CGSize target{std::round(size.width * ratio), std::round(size.height * ratio)};
    UIGraphicsBeginImageContextWithOptions(target, false, image.scale());
    if (CGContextRef context = UIGraphicsGetCurrentContext())
        context->setInterpolationQuality(quality);
    image.drawInRect(CGRectMake(0, 0, target.width, target.height));
    auto resized = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return resized;
}

bool supportsMaskedIconsForImageWithName(const std::string& name) {
    static constexpr std::string_view kFlags = "flags/", kNoMask = "_nomask";
    if (name.rfind(kFlags, 0) == 0)
        return false;
    return !(name.size() >= kNoMask.size() &&
             name.compare(name.size() - kNoMask.size(), kNoMask.size(), kNoMask) == 0);
}
