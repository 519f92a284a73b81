#include <cmath>

#include "CoreGraphics/CGPath.h"
#include "CoreText/CTLine.h"
#include "Dispatch/DispatchQueue.h"
#include "QuartzCore/CATransaction.h"
#include "sdk/feedback/BITAttributedLabel.h"

namespace {

// Radii of the widening search around a touch that hit no link.
constexpr CGFloat kSearchRadii[] = {2.5, 5, 7.5, 12.5, 15};
constexpr CGFloat kTouchSlop = 15;

bool isEmpty(const std::optional<CTStringAttributes>& attributes) {
    return !attributes || *attributes == CTStringAttributes{};
}

// A caller's range as a result's; a negative start or length counts as 0.
NSRange resultRange(CFRange range) {
    return NSMakeRange(static_cast<size_t>(std::max(0L, range.location)),
                       static_cast<size_t>(std::max(0L, range.length)));
}

}  // namespace

void BITAttributedLabel::setEnabledTextCheckingTypes(uint64_t types) {
    if (enabledTextCheckingTypes_ == types)
        return;
    enabledTextCheckingTypes_ = types;
    dataDetector_.reset();
    if (types != 0) {
        if (auto detector = NSDataDetector::dataDetectorWithTypes(types))
            dataDetector_ = std::make_shared<const NSDataDetector>(*detector);
    }
}

void BITAttributedLabel::detectLinks(const NSAttributedString& text) {
    // Views live in shared pointers; one that does not cannot be found again
    // when the links come back.
    if (!dataDetector_ || weak_from_this().expired())
        return;
    const std::weak_ptr<BITAttributedLabel> weak =
        std::static_pointer_cast<BITAttributedLabel>(shared_from_this());
    const auto detector = dataDetector_;
    const uint64_t generation = textGeneration_;
    // The worker holds neither the label nor the text's attributes, so the
    // label is never released off the main thread.
    DispatchQueue::global()->async([weak, detector, generation, plain = text.string()] {
        auto matches = detector->matchesInString(plain);
        if (matches.empty())
            return;
        DispatchQueue::main()->async([weak, generation, matches = std::move(matches)] {
            const auto label = weak.lock();
            // A text set since then keeps its own links.
            if (!label || label->textGeneration_ != generation)
                return;
            label->addLinksWithTextCheckingResultsAttributes(matches, label->linkAttributes_);
        });
    });
}

void BITAttributedLabel::setLinkModels(Links links) {
    linkModels_ = std::move(links);
    accessibilityElements_.reset();
}

std::vector<NSTextCheckingResult> BITAttributedLabel::links() const {
    std::vector<NSTextCheckingResult> results;
    for (const auto& link : linkModels_) {
        if (link->result())
            results.push_back(*link->result());
    }
    return results;
}

void BITAttributedLabel::addLink(std::shared_ptr<BITAttributedLabelLink> link) {
    addLinks({std::move(link)});
}

void BITAttributedLabel::addLinks(const Links& links) {
    if (attributedText_) {
        NSMutableAttributedString marked = *attributedText_;
        for (const auto& link : links) {
            if (link->attributes())
                marked.addAttributes(*link->attributes(), link->range());
        }
        setAttributedText(marked);
        setNeedsDisplay();
    }
    Links all = linkModels_;
    all.insert(all.end(), links.begin(), links.end());
    setLinkModels(std::move(all));
}

BITAttributedLabel::Links BITAttributedLabel::addLinksWithTextCheckingResultsAttributes(
    const std::vector<NSTextCheckingResult>& results,
    const std::optional<CTStringAttributes>& attributes) {
    Links links;
    for (const auto& result : results)
        links.push_back(std::make_shared<BITAttributedLabelLink>(
            attributes, attributes ? activeLinkAttributes_ : std::nullopt,
            attributes ? inactiveLinkAttributes_ : std::nullopt, result));
    addLinks(links);
    return links;
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::addLinkWithTextCheckingResultAttributes(
    const NSTextCheckingResult& result, const std::optional<CTStringAttributes>& attributes) {
    return addLinksWithTextCheckingResultsAttributes({result}, attributes).front();
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::addLinkWithTextCheckingResult(
    const NSTextCheckingResult& result) {
    return addLinkWithTextCheckingResultAttributes(result, linkAttributes_);
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::addLinkToURLWithRange(
    const std::string& url, CFRange range) {
    return addLinkWithTextCheckingResult(
        NSTextCheckingResult::linkCheckingResultWithRangeURL(resultRange(range), url));
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::addLinkToAddressWithRange(
    const NSTextCheckingResult::Components& address, CFRange range) {
    return addLinkWithTextCheckingResult(
        NSTextCheckingResult::addressCheckingResultWithRangeComponents(resultRange(range),
                                                                       address));
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::addLinkToPhoneNumberWithRange(
    const std::string& phoneNumber, CFRange range) {
    return addLinkWithTextCheckingResult(
        NSTextCheckingResult::phoneNumberCheckingResultWithRangePhoneNumber(resultRange(range),
                                                                            phoneNumber));
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::addLinkToDateWithRange(NSDate date,
                                                                                   CFRange range) {
    return addLinkWithTextCheckingResult(
        NSTextCheckingResult::dateCheckingResultWithRangeDate(resultRange(range), date));
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::addLinkToDateTimeZoneDurationWithRange(
    NSDate date, std::shared_ptr<NSTimeZone> timeZone, double duration, CFRange range) {
    return addLinkWithTextCheckingResult(
        NSTextCheckingResult::dateCheckingResultWithRangeDateTimeZoneDuration(
            resultRange(range), date, std::move(timeZone), duration));
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::addLinkToTransitInformationWithRange(
    const NSTextCheckingResult::Components& components, CFRange range) {
    return addLinkWithTextCheckingResult(
        NSTextCheckingResult::transitInformationCheckingResultWithRangeComponents(
            resultRange(range), components));
}

long BITAttributedLabel::characterIndexAtPoint(CGPoint point) const {
    const CGRect bounds = this->bounds();
    if (!attributedText_ || !CGRectContainsPoint(bounds, point))
        return -1;
    const CGRect textRect = textRectForBoundsLimitedToNumberOfLines(bounds, numberOfLines());
    if (!CGRectContainsPoint(textRect, point))
        return -1;
    // Core Text's y axis points up.
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
        const CGFloat pen = penOffset(*lines[i], origins[i], textRect.size.width);
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
    // A link added later wins over an earlier one on the same characters.
    for (auto link = linkModels_.rbegin(); link != linkModels_.rend(); ++link) {
        const CFRange range = (*link)->range();
        if ((*link)->result() && index >= range.location && index < range.location + range.length)
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
    const auto& pressedLook = activeLink_ && activeLink_->activeAttributes()
                                  ? activeLink_->activeAttributes()
                                  : activeLinkAttributes_;
    if (activeLink_ && !isEmpty(pressedLook) && (attributedText_ || inactiveAttributedText_)) {
        if (!inactiveAttributedText_)
            inactiveAttributedText_ = attributedText_;
        NSMutableAttributedString pressed = *inactiveAttributedText_;
        const CFRange range = activeLink_->range();
        if (range.length > 0 &&
            range.location + range.length - 1 < static_cast<long>(pressed.length()))
            pressed.addAttributes(*pressedLook, range);
        setAttributedText(pressed);
        setNeedsDisplay();
        // The pressed look shows at once, not with the next frame.
        CATransaction::flush();
    } else if (inactiveAttributedText_) {
        setAttributedText(inactiveAttributedText_);
        inactiveAttributedText_.reset();
        setNeedsDisplay();
    }
}

void BITAttributedLabel::setTintDimmed(bool dimmed) {
    if (tintDimmed_ == dimmed)
        return;
    tintDimmed_ = dimmed;
    tintColorDidChange();
}

void BITAttributedLabel::tintColorDidChange() {
    if (isEmpty(inactiveLinkAttributes_) || !attributedText_)
        return;
    NSMutableAttributedString text = *attributedText_;
    const long length = static_cast<long>(text.length());
    for (const auto& link : linkModels_) {
        const auto& off = tintDimmed_ ? link->attributes() : link->inactiveAttributes();
        const auto& on = tintDimmed_ ? link->inactiveAttributes() : link->attributes();
        const CFRange range = link->range();
        if (range.location + range.length > length)
            continue;
        if (off)
            text.removeAttributes(*off, range);
        if (on)
            text.addAttributes(*on, range);
    }
    setAttributedText(text);
    setNeedsDisplay();
}
