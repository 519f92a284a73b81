#include <algorithm>
#include <cmath>

#include "CoreGraphics/CGContext.h"
#include "CoreGraphics/CGPath.h"
#include "CoreText/CTLine.h"
#include "CoreText/CTRun.h"
#include "UIKit/UIFont.h"
#include "sdk/feedback/BITAttributedLabel.h"

namespace {

template <class T>
const T* extraValue(const CTStringAttributes& attributes, const char* name) {
    const auto found = attributes.extra.find(name);
    return found == attributes.extra.end() ? nullptr : found->second.get<T>();
}

// Calls block(run, box, ascent, lineWidth) for every run of the frame: the
// run's box from its descent to its ascent in frame coordinates, from the
// line's offset of its first character (of its end, for a right-to-left run,
// whose first character is drawn rightmost), and the width of its line.
template <class Block>
void forEachRun(const CTFrame& frame, Block block) {
    const auto origins = frame.lineOrigins();
    for (size_t i = 0; i < frame.lines().size(); ++i) {
        const auto& line = frame.lines()[i];
        const CGFloat lineWidth = line->typographicBounds(nullptr, nullptr, nullptr);
        for (const auto& run : line->glyphRuns()) {
            CGFloat ascent = 0, descent = 0;
            const CGFloat width =
                run->typographicBounds(CFRangeMake(0, 0), &ascent, &descent, nullptr);
            const CFRange range = run->stringRange();
            const bool rightToLeft = run->status() & kCTRunStatusRightToLeft;
            const CGFloat x = line->offsetForStringIndex(rightToLeft ? range.location + range.length
                                                                     : range.location);
            block(*run,
                  CGRectMake(origins[i].x + x, origins[i].y - descent, width, ascent + descent),
                  ascent, lineWidth);
        }
    }
}

}  // namespace

std::vector<CGRect> BITAttributedLabel::backgroundBoxes(const CTFrame& frame) const {
    std::vector<CGRect> boxes;
    forEachRun(frame, [&](const CTRun& run, CGRect box, CGFloat, CGFloat lineWidth) {
        const auto& attributes = run.attributes();
        if (!extraValue<CGColor>(attributes, kBITBackgroundFillColorAttributeName) &&
            !extraValue<CGColor>(attributes, kBITBackgroundStrokeColorAttributeName))
            return;
        const UIEdgeInsets padding = [&] {
            const auto* value =
                extraValue<UIEdgeInsets>(attributes, kBITBackgroundFillPaddingAttributeName);
            return value ? *value : UIEdgeInsets{};
        }();
        const auto* attributeLineWidthValue =
            extraValue<CGFloat>(attributes, kBITBackgroundLineWidthAttributeName);
        const CGFloat attributeLineWidth = attributeLineWidthValue ? *attributeLineWidthValue : 0;
        box.origin.x -= padding.left;
        box.origin.y -= padding.bottom;
        box.size.width += padding.left + padding.right;
        box.size.height += padding.top + padding.bottom;
        // The padded box, not the bare run, is what must stay within the line.
        box.size.width = std::min(box.size.width, lineWidth);
        box.origin.x += linkBackgroundEdgeInset_.left + attributeLineWidth;
        box.origin.y += linkBackgroundEdgeInset_.bottom + attributeLineWidth;
        box.size.width -=
            linkBackgroundEdgeInset_.left + linkBackgroundEdgeInset_.right + 2 * attributeLineWidth;
        box.size.height -=
            linkBackgroundEdgeInset_.top + linkBackgroundEdgeInset_.bottom + 2 * attributeLineWidth;
        boxes.push_back(box);
    });
    return boxes;
}

void BITAttributedLabel::drawBackgroundInRectContext(const CTFrame& frame,
                                                     CGContext& context) const {
    const auto boxes = backgroundBoxes(frame);
    size_t next = 0;
    forEachRun(frame, [&](const CTRun& run, CGRect, CGFloat, CGFloat) {
        const auto& attributes = run.attributes();
        const auto* fill = extraValue<CGColor>(attributes, kBITBackgroundFillColorAttributeName);
        const auto* stroke =
            extraValue<CGColor>(attributes, kBITBackgroundStrokeColorAttributeName);
        if (!fill && !stroke)
            return;
        const auto* radiusValue =
            extraValue<CGFloat>(attributes, kBITBackgroundCornerRadiusAttributeName);
        const CGFloat radius = radiusValue ? *radiusValue : 0;
        CGPath path;
        path.addRoundedRect(boxes[next++], radius, radius);
        context.setLineJoin(kCGLineJoinRound);
        if (fill) {
            context.setFillColorWithColor(*fill);
            context.addPath(path);
            context.fillPath();
        }
        if (stroke) {
            context.setStrokeColorWithColor(*stroke);
            context.addPath(path);
            context.strokePath();
        }
    });
}

void BITAttributedLabel::drawStrikeInRectContext(const CTFrame& frame, CGContext& context) const {
    const CGFloat thickness = font()->CTFont()->underlineThickness();
    forEachRun(frame, [&](const CTRun& run, CGRect box, CGFloat ascent, CGFloat lineWidth) {
        const auto& attributes = run.attributes();
        const auto* strike = extraValue<bool>(attributes, kBITStrikeOutAttributeName);
        if (!strike || !*strike)
            return;
        box.size.width = std::min(box.size.width, lineWidth);
        const int superscript = attributes.superscript.value_or(0);
        if (superscript == 1)
            box.origin.y -= ascent * 0.47;
        else if (superscript == -1)
            box.origin.y += ascent * 0.25;
        context.setStrokeColorWithColor(
            attributes.foregroundColor.value_or(CGColorCreateGenericGray(0, 1)));
        context.setLineWidth(thickness);
        const CGFloat y = std::round(box.origin.y + box.size.height / 2);
        context.moveToPoint(box.origin.x, y);
        context.addLineToPoint(box.origin.x + box.size.width, y);
        context.strokePath();
    });
}
