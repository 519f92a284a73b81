#include <algorithm>
#include <cmath>

#include "CoreText/CTLine.h"
#include "sdk/feedback/BITAttributedLabel.h"

namespace {

// The text of a link's characters; nullopt when they lie outside the text.
std::optional<std::string> linkText(const NSAttributedString& text, CFRange range) {
    if (range.location < 0 || range.length <= 0 ||
        range.location + range.length > static_cast<long>(text.length()))
        return std::nullopt;
    return text.attributedSubstringFromRange(range).string();
}

}  // namespace

std::vector<CGRect> BITAttributedLabel::rectsForCharacterRange(CFRange range) const {
    std::vector<CGRect> rects;
    if (!attributedText_ || range.length <= 0)
        return rects;
    const CGRect textRect = textRectForBoundsLimitedToNumberOfLines(bounds(), numberOfLines());
    const auto frame = layoutFrame(CGRectMake(0, 0, textRect.size.width, textRect.size.height));
    if (!frame)
        return rects;
    const auto& lines = frame->lines();
    const size_t count =
        numberOfLines() > 0 ? std::min(numberOfLines(), lines.size()) : lines.size();
    const auto origins = frame->lineOrigins();
    for (size_t i = 0; i < count; ++i) {
        const CTLine& line = *lines[i];
        const CFRange own = line.stringRange();
        const long start = std::max(range.location, own.location);
        const long end = std::min(range.location + range.length, own.location + own.length);
        if (start >= end)
            continue;
        CGFloat ascent = 0, descent = 0;
        line.typographicBounds(&ascent, &descent, nullptr);
        const CGFloat pen = penOffset(line, origins[i], textRect.size.width);
        const CGFloat left = pen + line.offsetForStringIndex(start);
        const CGFloat right = pen + line.offsetForStringIndex(end);
        // Core Text's y axis points up from the bottom of the text rectangle.
        rects.push_back(
            CGRectMake(textRect.origin.x + std::min(left, right),
                       textRect.origin.y + textRect.size.height - (origins[i].y + ascent),
                       std::abs(right - left), ascent + descent));
    }
    return rects;
}

CGRect BITAttributedLabel::boundingRectForCharacterRange(CFRange range) const {
    const auto rects = rectsForCharacterRange(range);
    if (rects.empty())
        return CGRectZero;
    CGRect bounding = rects.front();
    for (const CGRect& rect : rects)
        bounding = CGRectUnion(bounding, rect);
    return bounding;
}

const std::vector<BITAttributedLabelAccessibilityElement>&
BITAttributedLabel::accessibilityElements() const {
    if (accessibilityElements_)
        return *accessibilityElements_;
    std::vector<BITAttributedLabelAccessibilityElement> elements;
    const NSAttributedString text = attributedText_.value_or(NSAttributedString(UILabel::text()));
    for (const auto& link : linkModels_) {
        if (!link->result())
            continue;
        const auto label = linkText(text, link->range());
        if (!label)
            continue;
        BITAttributedLabelAccessibilityElement element;
        element.accessibilityLabel = *label;
        element.isLink = true;
        element.accessibilityFrame =
            convertRectToView(boundingRectForCharacterRange(link->range()), nullptr);
        const std::string& value = link->accessibilityValue();
        if (!value.empty() && value != *label)
            element.accessibilityValue = value;
        elements.push_back(std::move(element));
    }
    BITAttributedLabelAccessibilityElement whole;
    whole.accessibilityLabel = accessibilityLabel().value_or(UILabel::text());
    whole.accessibilityFrame = convertRectToView(bounds(), nullptr);
    elements.push_back(std::move(whole));
    accessibilityElements_ = std::move(elements);
    return *accessibilityElements_;
}

const BITAttributedLabelAccessibilityElement* BITAttributedLabel::accessibilityElementAtIndex(
    size_t index) const {
    const auto& elements = accessibilityElements();
    return index < elements.size() ? &elements[index] : nullptr;
}

long BITAttributedLabel::indexOfAccessibilityElement(
    const BITAttributedLabelAccessibilityElement& element) const {
    const auto& elements = accessibilityElements();
    for (size_t i = 0; i < elements.size(); ++i) {
        if (&elements[i] == &element)
            return static_cast<long>(i);
    }
    return -1;
}

std::vector<UIVisibleText> BITAttributedLabel::visibleTexts() const {
    if (!attributedText_ || attributedText_->length() == 0)
        return UILabel::visibleTexts();
    const CFRange all = CFRangeMake(0, static_cast<long>(attributedText_->length()));
    const CGRect drawn = boundingRectForCharacterRange(all);
    std::vector<UIVisibleText> texts = {{UILabel::text(), CGRectIsEmpty(drawn) ? bounds() : drawn}};
    // Each link after the whole, so that a script tapping its text finds it
    // there (later texts are in front).
    // A link over two lines stands where most of it is: the middle of
    // both lines together may lie on another link.
    for (const auto& link : linkModels_) {
        const auto label =
            link->result() ? linkText(*attributedText_, link->range()) : std::nullopt;
        const auto rects = label ? rectsForCharacterRange(link->range()) : std::vector<CGRect>();
        const auto widest = std::max_element(
            rects.begin(), rects.end(),
            [](const CGRect& a, const CGRect& b) { return a.size.width < b.size.width; });
        if (widest != rects.end() && !CGRectIsEmpty(*widest))
            texts.push_back({*label, *widest});
    }
    return texts;
}
