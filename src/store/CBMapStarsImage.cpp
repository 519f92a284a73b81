#include "store/CBMapStarsImage.h"

#include <cmath>
#include <map>
#include <numbers>

#include "CoreGraphics/CGContext.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"

namespace {

constexpr CGFloat kStarSize = 14;

void drawStar(CGContext& context, CGFloat centerX, CGFloat centerY) {
    const CGFloat outer = kStarSize / 2, inner = outer * 0.45;
    for (int i = 0; i < 10; ++i) {
        const CGFloat radius = i % 2 ? inner : outer;
        const double angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
        const CGFloat x = centerX + radius * CGFloat(std::cos(angle));
        const CGFloat y = centerY + radius * CGFloat(std::sin(angle));
        if (i == 0)
            context.moveToPoint(x, y);
        else
            context.addLineToPoint(x, y);
    }
    context.closePath();
    context.fillPath();
}

}  // namespace

std::shared_ptr<UIImage> CBMapStarsImage(int stars) {
    if (stars < 1)
        return nullptr;
    // Rows are many and the images few: draw each count once.
    static std::map<int, std::shared_ptr<UIImage>> drawn;
    auto& image = drawn[stars];
    if (image)
        return image;
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(kStarSize * stars, kStarSize), false, 0);
    auto context = UIGraphicsGetCurrentContext();
    context->setRGBFillColor(0.96, 0.72, 0.1, 1);
    for (int i = 0; i < stars; ++i)
        drawStar(*context, kStarSize * (CGFloat(i) + 0.5), kStarSize / 2 + 0.5);
    image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}
