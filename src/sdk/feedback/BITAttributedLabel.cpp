#include "sdk/feedback/BITAttributedLabel.h"

#include <algorithm>
#include <cmath>

#include "CoreGraphics/CGPath.h"
#include "CoreText/CTLine.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILongPressGestureRecognizer.h"

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
        case NSTextAlignmentJustified:
            return kCTTextAlignmentJustified;
        default:
            return kCTTextAlignmentNatural;
    }
}

// The size of the text, its lines limited to numberOfLines (0: all).
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

CTStringAttributes linkLook(bool underline, const CGColor& color) {
    CTStringAttributes attributes;
    attributes.underlineStyle = underline ? 1 : 0;
    attributes.foregroundColor = color;
    return attributes;
}

}  // namespace

BITAttributedLabel::BITAttributedLabel(const CGRect& frame) : UILabel(frame) {
    commonInit();
}

BITAttributedLabel::BITAttributedLabel(Decoding) : UILabel(CGRectZero) {}

void BITAttributedLabel::commonInit() {
    setUserInteractionEnabled(true);
    setMultipleTouchEnabled(false);
    textInsets_ = {};
    lineHeightMultiple_ = 1;
    linkModels_.clear();
    linkBackgroundEdgeInset_ = {0, -1, 0, -1};
    linkAttributes_ = linkLook(true, CGColorCreateGenericRGB(0, 0, 1, 1));
    activeLinkAttributes_ = linkLook(false, CGColorCreateGenericRGB(1, 0, 0, 1));
    inactiveLinkAttributes_ = linkLook(false, CGColorCreateGenericGray(0.5, 1));
    extendsLinkTouchArea_ = true;
    longPressGestureRecognizer_ = std::make_shared<UILongPressGestureRecognizer>();
    // Attached once the label is in a view tree (it needs the label's
    // shared pointer); the destructor takes this action away.
    longPressAction_ = longPressGestureRecognizer_->addTarget(
        [this](UIGestureRecognizer& recognizer) { longPressGestureDidFire(recognizer); });
}

BITAttributedLabel::~BITAttributedLabel() {
    // The recogniser goes with the label's own list of recognisers; a window
    // still tracking its touches must not reach the label through it.
    longPressGestureRecognizer_->removeTarget(longPressAction_);
}

void BITAttributedLabel::ensureLongPressRecognizer() {
    if (longPressGestureRecognizer_->view() || weak_from_this().expired())
        return;
    const auto self = std::static_pointer_cast<BITAttributedLabel>(shared_from_this());
    longPressGestureRecognizer_->setDelegate(std::weak_ptr<UIGestureRecognizerDelegate>(self));
    addGestureRecognizer(longPressGestureRecognizer_);
}

void BITAttributedLabel::didMoveToSuperview() {
    UILabel::didMoveToSuperview();
    ensureLongPressRecognizer();
}

CGSize BITAttributedLabel::sizeThatFitsAttributedStringWithConstraintsLimitedToNumberOfLines(
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
    attributes.kern = kern_;
    const CGFloat fontLineHeight = font()->lineHeight() * lineHeightMultiple_;
    CTParagraphStyle paragraph;
    paragraph.alignment = coreTextAlignment(textAlignment());
    paragraph.lineSpacing = lineSpacing_;
    // A limit not set is the font's line height, but never one that would
    // undo the limit that is set.
    paragraph.minimumLineHeight = minimumLineHeight_ > 0 ? minimumLineHeight_
                                  : maximumLineHeight_ > 0
                                      ? std::min(fontLineHeight, maximumLineHeight_)
                                      : fontLineHeight;
    paragraph.maximumLineHeight = maximumLineHeight_ > 0 ? maximumLineHeight_
                                  : minimumLineHeight_ > 0
                                      ? std::max(fontLineHeight, minimumLineHeight_)
                                      : fontLineHeight;
    paragraph.lineHeightMultiple = lineHeightMultiple_;
    paragraph.firstLineHeadIndent = firstLineIndent_;
    paragraph.lineBreakMode = numberOfLines() == 1 ? static_cast<CTLineBreakMode>(lineBreakMode())
                                                   : kCTLineBreakByWordWrapping;
    attributes.paragraphStyle = paragraph;
    return attributes;
}

void BITAttributedLabel::setText(const std::string& text) {
    setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(text, nullptr);
}

void BITAttributedLabel::setText(const std::optional<NSAttributedString>& text) {
    // A pressed link's look goes with the text it was shown on: restoring
    // the text from before the press would bring the old text back.
    activeLink_.reset();
    inactiveAttributedText_.reset();
    setAttributedText(text);
    ++textGeneration_;
    setLinkModels({});
    if (!attributedText_)
        return;
    if (enabledTextCheckingTypes_ != 0)
        detectLinks(*attributedText_);
    std::vector<std::pair<std::string, CFRange>> linked;
    attributedText_->enumerateAttributesInRange(
        CFRangeMake(0, static_cast<long>(attributedText_->length())),
        [&](const CTStringAttributes& attributes, CFRange range) {
            if (attributes.link)
                linked.emplace_back(*attributes.link, range);
        });
    for (const auto& [url, range] : linked)
        addLinkToURLWithRange(url, range);
}

void BITAttributedLabel::setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(
    const std::string& text, const ConfiguringBlock& block) {
    NSMutableAttributedString string(text, labelTextAttributes());
    setText(block ? block(std::move(string)) : std::move(string));
}

void BITAttributedLabel::setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(
    const NSAttributedString& text, const ConfiguringBlock& block) {
    NSMutableAttributedString string = text;
    string.addAttributes(labelTextAttributes(), CFRangeMake(0, static_cast<long>(text.length())));
    setText(block ? block(std::move(string)) : std::move(string));
}

void BITAttributedLabel::setAttributedText(const std::optional<NSAttributedString>& text) {
    if (attributedText_ == text)
        return;
    attributedText_ = text;
    setNeedsFramesetter();
    setNeedsDisplay();
    UILabel::setText(text ? text->string() : std::string());
}

void BITAttributedLabel::setNeedsFramesetter() {
    renderedAttributedText_.reset();
    needsFramesetter_ = true;
    shrunkForWidth_.reset();
    frame_.reset();
    suggestedSize_.reset();
}

const NSAttributedString& BITAttributedLabel::renderedAttributedText() const {
    if (!renderedAttributedText_) {
        NSMutableAttributedString rendered = attributedText_.value_or(NSAttributedString());
        // Such runs keep their other attributes: only their colour comes
        // from the label.
        CTStringAttributes fromContext;
        fromContext.foregroundColorFromContext = true;
        CTStringAttributes colour;
        colour.foregroundColor = textColor().CGColor();
        std::vector<CFRange> ranges;
        rendered.enumerateAttributesInRange(
            CFRangeMake(0, static_cast<long>(rendered.length())),
            [&](const CTStringAttributes& attributes, CFRange range) {
                if (attributes.foregroundColorFromContext)
                    ranges.push_back(range);
            });
        for (const CFRange& range : ranges) {
            rendered.removeAttributes(fromContext, range);
            rendered.addAttributes(colour, range);
        }
        renderedAttributedText_ = std::move(rendered);
    }
    return *renderedAttributedText_;
}

const CTFramesetterRef& BITAttributedLabel::framesetter() const {
    if (needsFramesetter_) {
        setFramesetter(CTFramesetter::createWithAttributedString(renderedAttributedText()));
        setHighlightFramesetter(nullptr);
        needsFramesetter_ = false;
    }
    return framesetter_;
}

void BITAttributedLabel::setTextColor(const UIColor& color) {
    const bool changed = !(color == textColor());
    UILabel::setTextColor(color);
    if (changed) {
        setNeedsFramesetter();
        setNeedsDisplay();
    }
}

void BITAttributedLabel::setHighlighted(bool highlighted) {
    UILabel::setHighlighted(highlighted);
    setNeedsDisplay();
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

CGFloat BITAttributedLabel::penOffset(const CTLine& line, CGPoint origin, CGFloat width) const {
    return std::max(line.penOffsetForFlush(flushFactor(), width), origin.x);
}

CGRect BITAttributedLabel::textRectForBoundsLimitedToNumberOfLines(const CGRect& bounds,
                                                                   size_t lines) const {
    CGRect inset = UIEdgeInsetsInsetRect(bounds, textInsets_);
    if (!attributedText_)
        return UILabel::textRectForBoundsLimitedToNumberOfLines(inset, lines);
    const CGFloat height =
        std::max(font()->lineHeight() * std::max<CGFloat>(2, lines), inset.size.height);
    const CGSize constraints = CGSizeMake(inset.size.width, height);
    const CTFramesetterRef& setter = framesetter();
    if (!suggestedSize_ || suggestedSize_->first.width != constraints.width ||
        suggestedSize_->first.height != constraints.height)
        suggestedSize_ = std::pair(
            constraints,
            setter->suggestFrameSizeWithConstraints(
                CFRangeMake(0, static_cast<long>(attributedText_->length())), constraints));
    const CGFloat textHeight = std::ceil(suggestedSize_->second.height);
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

CGSize BITAttributedLabel::sizeThatFits(CGSize size) const {
    if (!attributedText_)
        return UILabel::sizeThatFits(size);
    CGSize fitted;
    if (attributedTruncationToken_) {
        // Room for the token after the text.
        NSAttributedString withToken = renderedAttributedText();
        withToken.appendAttributedString(*attributedTruncationToken_);
        fitted = suggestedFrameSize(*CTFramesetter::createWithAttributedString(withToken), size,
                                    numberOfLines());
    } else {
        fitted = suggestedFrameSize(*framesetter(), size, numberOfLines());
    }
    return CGSizeMake(fitted.width + textInsets_.left + textInsets_.right,
                      fitted.height + textInsets_.top + textInsets_.bottom);
}

CGSize BITAttributedLabel::intrinsicContentSize() const {
    return sizeThatFits(UILabel::sizeThatFits(CGSizeZero));
}
