#include "sdk/feedback/BITAttributedLabel.h"

#include <algorithm>
#include <cmath>

#include "CoreGraphics/CGContext.h"
#include "CoreGraphics/CGPath.h"
#include "CoreText/CTLine.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"

namespace {

constexpr CGFloat kUnbounded = 100000;

CTTextAlignment coreTextAlignment(NSTextAlignment alignment) {
    switch (alignment) {
        case NSTextAlignmentLeft:
            return kCTTextAlignmentLeft;
        case NSTextAlignmentCenter:
            return kCTTextAlignmentCenter;
        case NSTextAlignmentRight:
            return kCTTextAlignmentRight;
        default:
            return kCTTextAlignmentNatural;
    }
}

// The size of `range` of the text, the lines limited to `numberOfLines` (0: all).
CGSize suggestedFrameSize(const CTFramesetter& framesetter, CGSize size, size_t numberOfLines) {
    const long length = static_cast<long>(framesetter.attributedString().length());
    CFRange range = CFRangeMake(0, length);
    CGSize constraints = CGSizeMake(size.width, kUnbounded);
    if (numberOfLines == 1)
        constraints = CGSizeMake(kUnbounded, kUnbounded);
    if (numberOfLines > 1) {
        CGPath path;
        path.addRect(CGRectMake(0, 0, constraints.width, kUnbounded));
        const auto frame = framesetter.createFrame(CFRangeMake(0, 0), path);
        if (frame && !frame->lines().empty()) {
            const auto& last = frame->lines()[std::min(numberOfLines, frame->lines().size()) - 1];
            range.length = last->stringRange().location + last->stringRange().length;
        }
    }
    const CGSize suggested = framesetter.suggestFrameSizeWithConstraints(range, constraints);
    return CGSizeMake(std::ceil(suggested.width), std::ceil(suggested.height));
}

}  // namespace

BITAttributedLabel::BITAttributedLabel(const CGRect& frame) : UILabel(frame) {
    setUserInteractionEnabled(true);
    CTStringAttributes normal;
    normal.underlineStyle = 1;
    normal.foregroundColor = CGColorCreateGenericRGB(0, 0, 1, 1);
    linkAttributes_ = normal;
    CTStringAttributes active;
    active.underlineStyle = 0;
    active.foregroundColor = CGColorCreateGenericRGB(1, 0, 0, 1);
    activeLinkAttributes_ = active;
}

CGSize BITAttributedLabel::sizeThatFitsAttributedStringWithConstraints(
    const NSAttributedString& string, CGSize size, size_t numberOfLines) {
    if (string.length() == 0)
        return CGSizeZero;
    return suggestedFrameSize(*CTFramesetter::createWithAttributedString(string), size,
                              numberOfLines);
}

CTStringAttributes BITAttributedLabel::labelTextAttributes() const {
    CTStringAttributes attributes;
    attributes.font = font()->CTFont();
    attributes.foregroundColor = textColor().CGColor();
    CTParagraphStyle paragraph;
    paragraph.alignment = coreTextAlignment(textAlignment());
    paragraph.lineBreakMode = numberOfLines() == 1 ? static_cast<CTLineBreakMode>(lineBreakMode())
                                                   : kCTLineBreakByWordWrapping;
    paragraph.lineHeightMultiple = 1.0;
    attributes.paragraphStyle = paragraph;
    return attributes;
}

void BITAttributedLabel::setText(const std::string& text) {
    setAttributedText(NSAttributedString(text, labelTextAttributes()));
}

void BITAttributedLabel::setAttributedText(const NSAttributedString& text) {
    if (attributedText_ && *attributedText_ == text)
        return;
    attributedText_ = text;
    activeLink_.reset();
    inactiveAttributedText_.reset();
    linkModels_.clear();
    setNeedsFramesetter();
    UILabel::setText(text.string());
    detectLinks();
    text.enumerateAttributesInRange(CFRangeMake(0, static_cast<long>(text.length())),
                                    [this](const CTStringAttributes& attributes, CFRange range) {
                                        if (attributes.link)
                                            addLinkToURL(*attributes.link, range);
                                    });
    setNeedsDisplay();
}

void BITAttributedLabel::setNeedsFramesetter() {
    needsFramesetter_ = true;
    frame_.reset();
    suggestedSize_.reset();
}

CGSize BITAttributedLabel::suggestedTextSize(CGSize constraints) const {
    const CTFramesetterRef& setter = framesetter();
    if (!suggestedSize_ || suggestedSize_->first.width != constraints.width ||
        suggestedSize_->first.height != constraints.height)
        suggestedSize_ = std::pair(
            constraints,
            setter->suggestFrameSizeWithConstraints(
                CFRangeMake(0, static_cast<long>(attributedText_->length())), constraints));
    return suggestedSize_->second;
}

const CTFramesetterRef& BITAttributedLabel::framesetter() const {
    if (needsFramesetter_) {
        framesetter_ = CTFramesetter::createWithAttributedString(
            attributedText_.value_or(NSAttributedString()));
        needsFramesetter_ = false;
    }
    return framesetter_;
}

CTFrameRef BITAttributedLabel::layoutFrame(const CGRect& textRect) const {
    const CTFramesetterRef& setter = framesetter();
    if (frame_ && CGRectEqualToRect(frameRect_, textRect))
        return frame_;
    CGPath path;
    path.addRect(textRect);
    frame_ = setter->createFrame(CFRangeMake(0, 0), path);
    frameRect_ = textRect;
    return frame_;
}

CGFloat BITAttributedLabel::flushFactor() const {
    switch (textAlignment()) {
        case NSTextAlignmentCenter:
            return 0.5;
        case NSTextAlignmentRight:
            return 1.0;
        default:
            return 0.0;
    }
}

CGRect BITAttributedLabel::textRectForBoundsLimitedToNumberOfLines(const CGRect& bounds,
                                                                   size_t lines) const {
    CGRect inset = CGRectMake(bounds.origin.x + textInsets_.left, bounds.origin.y + textInsets_.top,
                              bounds.size.width - textInsets_.left - textInsets_.right,
                              bounds.size.height - textInsets_.top - textInsets_.bottom);
    if (!attributedText_)
        return UILabel::textRectForBoundsLimitedToNumberOfLines(inset, lines);
    const CGFloat height =
        std::max(font()->lineHeight() * std::max<CGFloat>(2, lines), inset.size.height);
    const CGSize suggested = suggestedTextSize(CGSizeMake(inset.size.width, height));
    const CGFloat textHeight = std::ceil(suggested.height);
    if (textHeight < inset.size.height) {
        const CGFloat spare = inset.size.height - textHeight;
        if (verticalAlignment_ == BITAttributedLabelVerticalAlignmentCenter)
            inset.origin.y += std::floor(spare / 2);
        else if (verticalAlignment_ == BITAttributedLabelVerticalAlignmentBottom)
            inset.origin.y += spare;
    }
    inset.size.height = height;
    return inset;
}

void BITAttributedLabel::drawTextInRect(const CGRect& rect) {
    const CGRect inset =
        CGRectMake(rect.origin.x + textInsets_.left, rect.origin.y + textInsets_.top,
                   rect.size.width - textInsets_.left - textInsets_.right,
                   rect.size.height - textInsets_.top - textInsets_.bottom);
    if (!attributedText_) {
        UILabel::drawTextInRect(inset);
        return;
    }
    const CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    context->saveGState();
    context->setTextMatrix(CGAffineTransformIdentity);
    context->translateCTM(0, inset.size.height);
    context->scaleCTM(1, -1);
    const CGRect textRect = textRectForBoundsLimitedToNumberOfLines(rect, numberOfLines());
    context->translateCTM(inset.origin.x,
                          inset.size.height - textRect.origin.y - textRect.size.height);
    const CGRect frameRect = CGRectMake(0, 0, textRect.size.width, textRect.size.height);
    const auto frame = layoutFrame(frameRect);
    if (frame) {
        drawBackground(*frame, *context);
        const auto& lines = frame->lines();
        const size_t visible =
            numberOfLines() > 0 ? std::min(numberOfLines(), lines.size()) : lines.size();
        const auto origins = frame->lineOrigins();
        const long textEnd = static_cast<long>(attributedText_->length());
        const bool truncates = lineBreakMode() >= NSLineBreakByTruncatingHead;
        for (size_t i = 0; i < visible; ++i) {
            CTLineRef line = lines[i];
            const CFRange range = line->stringRange();
            if (i + 1 == visible && truncates && range.length > 0 &&
                range.location + range.length < textEnd) {
                const CTStringAttributes tokenAttributes = attributedText_->attributesAtIndex(
                    static_cast<size_t>(range.location + range.length - 1));
                NSAttributedString shown = attributedText_->attributedSubstringFromRange(range);
                const NSAttributedString token("\u2026", tokenAttributes);
                shown.appendAttributedString(token);
                if (auto truncated = CTLine::createWithAttributedString(shown)->createTruncatedLine(
                        frameRect.size.width, kCTLineTruncationEnd,
                        CTLine::createWithAttributedString(token)))
                    line = truncated;
            }
            CGFloat descent = 0;
            line->typographicBounds(nullptr, &descent, nullptr);
            const CGFloat pen = line->penOffsetForFlush(flushFactor(), frameRect.size.width);
            context->setTextPosition(pen, origins[i].y);
            line->draw(*context);
        }
        drawStrike(*frame, *context);
    }
    context->restoreGState();
}

CGSize BITAttributedLabel::sizeThatFits(CGSize size) const {
    if (!attributedText_)
        return UILabel::sizeThatFits(size);
    const CGSize fitted = suggestedFrameSize(*framesetter(), size, numberOfLines());
    return CGSizeMake(fitted.width + textInsets_.left + textInsets_.right,
                      fitted.height + textInsets_.top + textInsets_.bottom);
}
