#include "CoreText/CTFrame.h"

#include <algorithm>

#include "CoreText/CTTextLayout.h"

CTFrame::CTFrame(std::shared_ptr<const CTTextLayout> layout, const CGRect& rect) : rect_(rect) {
    const size_t count = layout->linesFittingHeight(rect.size.height);
    for (size_t i = 0; i < count; ++i) {
        const CTTextLayout::Line& info = layout->lines()[i];
        lines_.push_back(std::make_shared<CTLine>(layout, i));
        origins_.push_back({info.x, rect.size.height - info.baseline});
    }
    stringRange_ = CFRangeMake(layout->offset(), long(layout->string().length()));
    const long visibleEnd = lines_.empty() ? layout->offset()
                                           : lines_.back()->stringRange().location +
                                                 lines_.back()->stringRange().length;
    visibleRange_ = CFRangeMake(layout->offset(), visibleEnd - layout->offset());
}

std::vector<CGPoint> CTFrame::lineOrigins(CFRange range) const {
    const size_t from = std::min(size_t(std::max(0L, range.location)), origins_.size());
    const size_t to =
        range.length > 0 ? std::min(origins_.size(), from + size_t(range.length)) : origins_.size();
    return std::vector<CGPoint>(origins_.begin() + long(from), origins_.begin() + long(to));
}

void CTFrame::draw(CGContext& context) const {
    const CGAffineTransform saved = context.getTextMatrix();
    for (size_t i = 0; i < lines_.size(); ++i) {
        context.setTextPosition(rect_.origin.x + origins_[i].x, rect_.origin.y + origins_[i].y);
        lines_[i]->draw(context);
    }
    context.setTextMatrix(saved);
}
