#include "CoreText/CTFramesetter.h"

#include <algorithm>

#include "CoreText/CTTextLayout.h"

namespace {

CGFloat wrapWidth(CGFloat width) {
    return std::isfinite(width) && width <= 1e7 ? std::max(CGFloat(0), width) : -1;
}

}  // namespace

std::shared_ptr<CTFramesetter> CTFramesetter::createWithAttributedString(
    const NSAttributedString& string) {
    return std::make_shared<CTFramesetter>(string);
}

CTFrameRef CTFramesetter::createFrame(CFRange range, const CGPath& path) const {
    const CGRect rect = path.isEmpty() ? CGRectZero : CGRectStandardize(path.boundingBox());
    return std::make_shared<CTFrame>(CTTextLayout::create(string_, range, rect.size.width), rect);
}

CGSize CTFramesetter::suggestFrameSizeWithConstraints(CFRange range, CGSize constraints,
                                                      CFRange* fitRange) const {
    const auto layout = CTTextLayout::create(string_, range, wrapWidth(constraints.width));
    if (layout->string().length() == 0) {
        if (fitRange) {
            *fitRange = CFRangeMake(layout->offset(), 0);
        }
        return CGSizeZero;
    }
    const CGFloat height = std::isfinite(constraints.height) ? constraints.height : 1e30;
    const size_t count = layout->linesFittingHeight(height);
    CGSize size{};
    long fitted = 0;
    for (size_t i = 0; i < count; ++i) {
        const CTLine line(layout, i);
        size.width = std::max(size.width, line.typographicBounds(nullptr, nullptr, nullptr));
        size.height = layout->lines()[i].baseline + layout->lines()[i].descent;
        fitted = line.stringRange().location + line.stringRange().length - layout->offset();
    }
    if (fitRange) {
        *fitRange = CFRangeMake(layout->offset(), fitted);
    }
    return size;
}
