#include <cmath>

#include "CoreGraphics/CGPath.h"
#include "CoreText/CTLine.h"
#include "UIKit/UITouch.h"
#include "sdk/feedback/BITAttributedLabel.h"

namespace {

// Radii of the widening search around a touch that hit no link.
constexpr CGFloat kSearchRadii[] = {2.5, 5, 7.5, 12.5, 15};
constexpr CGFloat kTouchSlop = 15;

bool rangeContains(const NSRange& range, long index) {
    return index >= static_cast<long>(range.location) &&
           index < static_cast<long>(range.location + range.length);
}

}  // namespace

void BITAttributedLabel::setEnabledTextCheckingTypes(uint64_t types) {
    if (enabledTextCheckingTypes_ == types)
        return;
    enabledTextCheckingTypes_ = types;
    if (attributedText_) {
        const NSAttributedString text = *attributedText_;
        attributedText_.reset();
        setAttributedText(text);
    }
}

void BITAttributedLabel::detectLinks() {
    if (!attributedText_ || enabledTextCheckingTypes_ == 0)
        return;
    const auto detector = NSDataDetector::dataDetectorWithTypes(enabledTextCheckingTypes_);
    if (!detector)
        return;
    for (const NSTextCheckingResult& result : detector->matchesInString(attributedText_->string()))
        addLinkWithTextCheckingResult(result, linkAttributes_);
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::addLinkWithTextCheckingResult(
    const NSTextCheckingResult& result, const std::optional<CTStringAttributes>& attributes) {
    auto link = std::make_shared<BITAttributedLabelLink>();
    link->result = result;
    link->attributes = attributes;
    link->activeAttributes = activeLinkAttributes_;
    addLinkModel(link);
    return link;
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::addLinkToURL(const std::string& url,
                                                                         CFRange range) {
    NSTextCheckingResult result;
    result.resultType = NSTextCheckingTypeLink;
    result.range =
        NSMakeRange(static_cast<size_t>(range.location), static_cast<size_t>(range.length));
    result.URL = url;
    return addLinkWithTextCheckingResult(result, linkAttributes_);
}

void BITAttributedLabel::addLinkModel(std::shared_ptr<BITAttributedLabelLink> link) {
    if (link->attributes && attributedText_ && link->result) {
        NSAttributedString marked = *attributedText_;
        marked.addAttributes(*link->attributes,
                             CFRangeMake(static_cast<long>(link->result->range.location),
                                         static_cast<long>(link->result->range.length)));
        attributedText_ = std::move(marked);
        setNeedsFramesetter();
        setNeedsDisplay();
    }
    linkModels_.push_back(std::move(link));
}

std::vector<NSTextCheckingResult> BITAttributedLabel::links() const {
    std::vector<NSTextCheckingResult> results;
    for (const auto& link : linkModels_) {
        if (link->result)
            results.push_back(*link->result);
    }
    return results;
}

long BITAttributedLabel::characterIndexAtPoint(CGPoint point) const {
    const CGRect bounds = this->bounds();
    if (!attributedText_ || !CGRectContainsPoint(bounds, point))
        return -1;
    const CGRect textRect = textRectForBoundsLimitedToNumberOfLines(bounds, numberOfLines());
    if (!CGRectContainsPoint(textRect, point))
        return -1;
    const CGFloat x = point.x - textRect.origin.x;
    const CGFloat y = textRect.size.height - (point.y - textRect.origin.y);
    const auto frame = layoutFrame(CGRectMake(0, 0, textRect.size.width, textRect.size.height));
    if (!frame)
        return -1;
    const auto& lines = frame->lines();
    const size_t count =
        numberOfLines() > 0 ? std::min(numberOfLines(), lines.size()) : lines.size();
    const auto origins = frame->lineOrigins();
    for (size_t i = 0; i < count; ++i) {
        CGFloat ascent = 0, descent = 0;
        const CGFloat width = lines[i]->typographicBounds(&ascent, &descent, nullptr);
        const CGFloat yMax = std::ceil(origins[i].y + ascent);
        const CGFloat yMin = std::floor(origins[i].y - descent);
        const CGFloat pen = lines[i]->penOffsetForFlush(flushFactor(), textRect.size.width);
        if (y > yMax)
            return -1;
        if (y >= yMin && x >= pen && x <= pen + width)
            return lines[i]->stringIndexForPosition(CGPointMake(x - pen, y - origins[i].y));
    }
    return -1;
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::linkAtCharacterIndex(long index) const {
    if (index < 0 || !attributedText_ || index >= static_cast<long>(attributedText_->length()))
        return nullptr;
    for (auto link = linkModels_.rbegin(); link != linkModels_.rend(); ++link) {
        if ((*link)->result && rangeContains((*link)->result->range, index))
            return *link;
    }
    return nullptr;
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::linkAtRadiusAroundPoint(
    CGFloat r, CGPoint point) const {
    const CGFloat d = std::sqrt(2 * r * r);
    const CGPoint offsets[] = {{0, -r},  {0, r},  {-r, 0}, {r, 0},
                               {-d, -d}, {-d, d}, {d, d},  {d, -d}};
    for (const CGPoint& offset : offsets) {
        if (auto link = linkAtCharacterIndex(
                characterIndexAtPoint(CGPointMake(point.x + offset.x, point.y + offset.y))))
            return link;
    }
    return nullptr;
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::linkAtPoint(CGPoint point) const {
    if (linkModels_.empty() ||
        !CGRectContainsPoint(CGRectInset(bounds(), -kTouchSlop, -kTouchSlop), point))
        return nullptr;
    if (auto link = linkAtCharacterIndex(characterIndexAtPoint(point)))
        return link;
    if (!extendsLinkTouchArea_)
        return nullptr;
    for (const CGFloat radius : kSearchRadii) {
        if (auto link = linkAtRadiusAroundPoint(radius, point))
            return link;
    }
    return nullptr;
}

void BITAttributedLabel::setActiveLink(std::shared_ptr<BITAttributedLabelLink> link) {
    activeLink_ = std::move(link);
    if (activeLink_ && activeLink_->activeAttributes && activeLink_->result && attributedText_) {
        if (!inactiveAttributedText_)
            inactiveAttributedText_ = attributedText_;
        NSAttributedString pressed = *attributedText_;
        pressed.addAttributes(*activeLink_->activeAttributes,
                              CFRangeMake(static_cast<long>(activeLink_->result->range.location),
                                          static_cast<long>(activeLink_->result->range.length)));
        attributedText_ = std::move(pressed);
    } else if (inactiveAttributedText_) {
        attributedText_ = std::move(inactiveAttributedText_);
        inactiveAttributedText_.reset();
    } else {
        return;
    }
    setNeedsFramesetter();
    setNeedsDisplay();
}

std::shared_ptr<UIView> BITAttributedLabel::hitTest(CGPoint point, UIEvent* event) {
    if (isUserInteractionEnabled() && !isHidden() && alpha() >= 0.01 && containslinkAtPoint(point))
        return std::static_pointer_cast<UIView>(shared_from_this());
    return UILabel::hitTest(point, event);
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::linkForTouches(
    const UITouchSet& touches) {
    const auto self = std::static_pointer_cast<UIView>(shared_from_this());
    for (const auto& touch : touches) {
        if (auto link = linkAtPoint(touch->locationInView(self)))
            return link;
    }
    return nullptr;
}

void BITAttributedLabel::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    setActiveLink(linkForTouches(touches));
    if (!activeLink_)
        UILabel::touchesBegan(touches, event);
}

void BITAttributedLabel::touchesMoved(const UITouchSet& touches, UIEvent* event) {
    if (!activeLink_) {
        UILabel::touchesMoved(touches, event);
        return;
    }
    if (linkForTouches(touches) != activeLink_)
        setActiveLink(nullptr);
}

void BITAttributedLabel::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    if (!activeLink_) {
        UILabel::touchesEnded(touches, event);
        return;
    }
    const auto link = activeLink_;
    setActiveLink(nullptr);
    if (link->linkTapBlock) {
        link->linkTapBlock(*this, *link);
        return;
    }
    const auto delegate = delegate_.lock();
    if (!delegate || !link->result)
        return;
    const NSTextCheckingResult& result = *link->result;
    bool handled = false;
    if (result.resultType == NSTextCheckingTypeLink)
        handled = delegate->didSelectLinkWithURL(*this, result.URL);
    else if (result.resultType == NSTextCheckingTypePhoneNumber)
        handled = delegate->didSelectLinkWithPhoneNumber(*this, result.phoneNumber);
    if (!handled)
        delegate->didSelectLinkWithTextCheckingResult(*this, result);
}

void BITAttributedLabel::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    if (activeLink_)
        setActiveLink(nullptr);
    else
        UILabel::touchesCancelled(touches, event);
}
