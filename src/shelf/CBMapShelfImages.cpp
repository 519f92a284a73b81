#include "shelf/CBMapShelfImages.h"

#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <utility>

#include "CoreGraphics/CGContext.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"

namespace {
using Drawing = std::function<void(CGContext&)>;

std::shared_ptr<UIImage> draw(CGSize size, const Drawing& drawing) {
    UIGraphicsBeginImageContextWithOptions(size, false, 0);
    drawing(*UIGraphicsGetCurrentContext());
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

void strokeLine(CGContext& context, CGPoint from, CGPoint to) {
    context.beginPath();
    context.moveToPoint(from.x, from.y);
    context.addLineToPoint(to.x, to.y);
    context.strokePath();
}
}  // namespace

namespace CBMapShelfImages {

// A pale card with a large plus: the cover of the add-map entry.
std::shared_ptr<UIImage> addMapImage() {
    static const auto image = draw(CGSizeMake(90, 135), [](CGContext& context) {
        context.setRGBFillColor(0.86, 0.9, 0.95, 1);
        context.fillRect(CGRectMake(0, 0, 90, 135));
        context.setRGBFillColor(0.78, 0.84, 0.91, 1);
        for (int row = 0; row < 135; row += 18)
            context.fillRect(CGRectMake(0, row, 90, 9));
        context.setRGBStrokeColor(0.2, 0.45, 0.8, 1);
        context.setLineWidth(7);
        context.setLineCap(kCGLineCapRound);
        strokeLine(context, {45, 32}, {45, 74});
        strokeLine(context, {24, 53}, {66, 53});
    });
    return image;
}

// A disc with the cross cut out: drawn in the button's tint, the cover shows
// through the cross.
std::shared_ptr<UIImage> deleteImage() {
    static const auto image = [] {
        auto drawn = draw(CGSizeMake(26, 26), [](CGContext& context) {
            context.setRGBFillColor(0, 0, 0, 1);
            context.fillEllipseInRect(CGRectMake(1, 1, 24, 24));
            context.setBlendMode(kCGBlendModeClear);
            context.setLineWidth(3);
            context.setLineCap(kCGLineCapRound);
            strokeLine(context, {8.5, 8.5}, {17.5, 17.5});
            strokeLine(context, {17.5, 8.5}, {8.5, 17.5});
        });
        return drawn->imageWithRenderingMode(UIImageRenderingMode::AlwaysTemplate);
    }();
    return image;
}

std::shared_ptr<UIImage> infoImage() {
    static const auto image = draw(CGSizeMake(26, 26), [](CGContext& context) {
        context.setRGBFillColor(1, 1, 1, 1);
        context.fillEllipseInRect(CGRectMake(1, 1, 24, 24));
        context.setRGBStrokeColor(0.1, 0.4, 0.85, 1);
        context.setLineWidth(2);
        context.strokeEllipseInRect(CGRectMake(2, 2, 22, 22));
        context.setRGBFillColor(0.1, 0.4, 0.85, 1);
        context.fillEllipseInRect(CGRectMake(11.2, 6, 3.6, 3.6));
        context.fillRect(CGRectMake(11.4, 11, 3.2, 9));
    });
    return image;
}

// A gear of eight teeth around a hole.
std::shared_ptr<UIImage> settingsImage() {
    static const auto image = draw(CGSizeMake(22, 22), [](CGContext& context) {
        context.setRGBFillColor(0.35, 0.35, 0.38, 1);
        context.beginPath();
        constexpr int kTeeth = 8;
        for (int i = 0; i < kTeeth * 2; ++i) {
            const double angle = std::numbers::pi * i / kTeeth;
            const double radius = i % 2 == 0 ? 10.5 : 7.5;
            const CGFloat x = 11 + CGFloat(radius * std::cos(angle));
            const CGFloat y = 11 + CGFloat(radius * std::sin(angle));
            if (i == 0)
                context.moveToPoint(x, y);
            else
                context.addLineToPoint(x, y);
        }
        context.closePath();
        context.addEllipseInRect(CGRectMake(7.5, 7.5, 7, 7));
        context.eoFillPath();
    });
    return image;
}

std::shared_ptr<UIImage> toolTipArrowImage() {
    static const auto image = draw(CGSizeMake(24, 24), [](CGContext& context) {
        context.setRGBStrokeColor(1, 1, 1, 1);
        context.setLineWidth(3);
        context.setLineCap(kCGLineCapRound);
        strokeLine(context, {4, 20}, {20, 4});
        strokeLine(context, {20, 4}, {10, 4});
        strokeLine(context, {20, 4}, {20, 14});
    });
    return image;
}

std::shared_ptr<UIImage> coverShadowImage(CGSize cover) {
    static std::map<std::pair<CGFloat, CGFloat>, std::shared_ptr<UIImage>> drawn;
    auto& image = drawn[{cover.width, cover.height}];
    if (!image)
        image = draw(
            CGSizeMake(cover.width + 2 * kShadowMargin, cover.height + 2 * kShadowMargin),
            [cover](CGContext& context) {
                context.setShadowWithColor(CGSizeMake(0, 2), 3, CGColor{0, 0, 0, 0.45, nullptr});
                context.setRGBFillColor(0, 0, 0, 1);
                context.fillRect(
                    CGRectMake(kShadowMargin, kShadowMargin, cover.width, cover.height));
            });
    return image;
}

}  // namespace CBMapShelfImages
