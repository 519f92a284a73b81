#include <algorithm>
#include <climits>
#include <cmath>

#include "CoreGraphics/CGContext.h"
#include "CoreGraphics/CGPath.h"
#include "CoreText/CTLine.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "sdk/feedback/BITAttributedLabel.h"

namespace {

constexpr CGFloat kUnbounded = 100000;
// Text measured on one line is narrower than the same text wrapped at word
// boundaries: the ends of the lines are lost to the gaps.
constexpr CGFloat kWordWrappingAllowance = 1.1557273497909217;
constexpr const char* kEllipsis = "\u2026";

// Bytes of a UTF-8 text that end a paragraph: LF, CR, NEL, LS, PS.
size_t paragraphBreakLength(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    if (byte(at) == '\n' || byte(at) == '\r')
        return 1;
    if (byte(at) == 0xC2 && at + 1 < text.size() && byte(at + 1) == 0x85)
        return 2;
    if (byte(at) == 0xE2 && at + 2 < text.size() && byte(at + 1) == 0x80 &&
        (byte(at + 2) == 0xA8 || byte(at + 2) == 0xA9))
        return 3;
    return 0;
}

// The text without a paragraph break at its end.
NSAttributedString withoutFinalBreak(const NSAttributedString& text) {
    const std::string& string = text.string();
    for (size_t length : {1, 2, 3}) {
        if (string.size() >= length &&
            paragraphBreakLength(string, string.size() - length) == length)
            return text.attributedSubstringFromRange(
                CFRangeMake(0, static_cast<long>(text.length()) - 1));
    }
    return text;
}

// The length in UTF-16 units of text up to its first paragraph break.
long firstParagraphLength(const NSAttributedString& text) {
    const std::string& string = text.string();
    for (size_t at = 0; at < string.size(); ++at) {
        if (paragraphBreakLength(string, at) > 0)
            return static_cast<long>(NSAttributedString(string.substr(0, at)).length());
    }
    return static_cast<long>(text.length());
}

}  // namespace

void BITAttributedLabel::useShrunkText(const NSAttributedString& text, CGFloat availableWidth) {
    const std::optional<NSAttributedString> asSet = attributedText_;
    // The rendered text and framesetter are made from attributedText_; the
    // text as set goes back at once, and nothing is redrawn for it.
    attributedText_ = text;
    setNeedsFramesetter();
    framesetter();
    attributedText_ = asSet;
    shrunkForWidth_ = availableWidth;
}

void BITAttributedLabel::shrinkToFitIfNeeded() {
    if (!adjustsFontSizeToFitWidth() || numberOfLines() == 0 || !attributedText_)
        return;
    const CGFloat available = frame().size.width * static_cast<CGFloat>(numberOfLines());
    if (shrunkForWidth_ && *shrunkForWidth_ == available)
        return;
    // Measured as set, not as shrunk for another width.
    if (shrunkForWidth_)
        setNeedsFramesetter();
    CGFloat measured =
        sizeThatFits(numberOfLines() > 1 ? CGSizeMake(kUnbounded, kUnbounded) : CGSizeZero).width;
    if (numberOfLines() > 1 && lineBreakMode() == NSLineBreakByWordWrapping)
        measured *= kWordWrappingAllowance;
    if (!(measured > available) || measured <= 0)
        return;
    const CGFloat factor = std::max(available / measured, minimumScaleFactor());
    NSMutableAttributedString shrunk = *attributedText_;
    // Line heights fixed for the font as set shrink with it, or the shrunk
    // lines would stand as far apart as the large ones.
    std::vector<std::pair<CFRange, CTStringAttributes>> smaller;
    shrunk.enumerateAttributesInRange(
        CFRangeMake(0, static_cast<long>(shrunk.length())),
        [&](const CTStringAttributes& attributes, CFRange range) {
            CTStringAttributes change;
            if (attributes.font)
                change.font = CTFont::createWithName(
                    attributes.font->name(),
                    std::max<CGFloat>(1, std::floor(attributes.font->size() * factor)));
            if (attributes.paragraphStyle) {
                change.paragraphStyle = attributes.paragraphStyle;
                change.paragraphStyle->minimumLineHeight *= factor;
                change.paragraphStyle->maximumLineHeight *= factor;
            }
            smaller.emplace_back(range, std::move(change));
        });
    for (const auto& [range, change] : smaller)
        shrunk.addAttributes(change, range);
    useShrunkText(shrunk, available);
}

void BITAttributedLabel::drawTextInRect(const CGRect& rect) {
    const CGRect inset = UIEdgeInsetsInsetRect(rect, textInsets_);
    if (!attributedText_) {
        UILabel::drawTextInRect(inset);
        return;
    }
    shrinkToFitIfNeeded();
    const CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    context->saveGState();
    context->setTextMatrix(CGAffineTransformIdentity);
    // Core Text's y axis points up.
    context->translateCTM(0, inset.size.height);
    context->scaleCTM(1, -1);
    const CFRange textRange = CFRangeMake(0, static_cast<long>(attributedText_->length()));
    const CGRect textRect = textRectForBoundsLimitedToNumberOfLines(rect, numberOfLines());
    context->translateCTM(inset.origin.x,
                          inset.size.height - textRect.origin.y - textRect.size.height);
    if (shadowColor() && !isHighlighted())
        context->setShadowWithColor(shadowOffset(), shadowRadius_, shadowColor()->CGColor());
    else if (isHighlighted() && highlightedShadowColor_)
        context->setShadowWithColor(highlightedShadowOffset_, highlightedShadowRadius_,
                                    highlightedShadowColor_->CGColor());
    const CGRect frameRect = CGRectMake(0, 0, textRect.size.width, textRect.size.height);
    if (highlightedTextColor() && isHighlighted()) {
        framesetter();
        if (!highlightFramesetter()) {
            NSMutableAttributedString highlighted = renderedAttributedText();
            CTStringAttributes colour;
            colour.foregroundColor = highlightedTextColor()->CGColor();
            highlighted.addAttributes(colour, textRange);
            setHighlightFramesetter(CTFramesetter::createWithAttributedString(highlighted));
        }
        const CTFramesetterRef setter = highlightFramesetter();
        drawFramesetterAttributedStringTextRangeInRectContext(
            *setter, setter->attributedString(), textRange, frameRect, *context, nullptr);
    } else {
        const CTFrameRef frame = layoutFrame(frameRect);
        drawFramesetterAttributedStringTextRangeInRectContext(
            *framesetter(), renderedAttributedText(), textRange, frameRect, *context, frame);
    }
    context->restoreGState();
}

void BITAttributedLabel::drawFramesetterAttributedStringTextRangeInRectContext(
    const CTFramesetter& framesetter, const NSAttributedString& string, CFRange textRange,
    const CGRect& rect, CGContext& context, const CTFrameRef& cachedFrame) {
    CTFrameRef frame = cachedFrame;
    if (!frame) {
        CGPath path;
        path.addRect(rect);
        frame = framesetter.createFrame(textRange, path);
    }
    if (!frame)
        return;
    drawBackgroundInRectContext(*frame, context);
    const auto& lines = frame->lines();
    const size_t visible =
        numberOfLines() > 0 ? std::min(numberOfLines(), lines.size()) : lines.size();
    const auto origins = frame->lineOrigins();
    const bool truncates = lineBreakMode() == NSLineBreakByTruncatingHead ||
                           lineBreakMode() == NSLineBreakByTruncatingTail ||
                           lineBreakMode() == NSLineBreakByTruncatingMiddle;
    const long textEnd = textRange.location + textRange.length;
    for (size_t i = 0; i < visible; ++i) {
        const CTLine& line = *lines[i];
        const CFRange range = line.stringRange();
        if (i + 1 == visible && truncates && !(range.location == 0 && range.length == 0) &&
            range.location + range.length < textEnd) {
            drawTruncatedLine(line, string, origins[i], rect, context, visible == 1);
            continue;
        }
        CGFloat descent = 0;
        line.typographicBounds(nullptr, &descent, nullptr);
        context.setTextPosition(penOffset(line, origins[i], rect.size.width),
                                origins[i].y - descent - font()->descender());
        line.draw(context);
    }
    drawStrikeInRectContext(*frame, context);
}

void BITAttributedLabel::drawTruncatedLine(const CTLine& line, const NSAttributedString& string,
                                           CGPoint origin, const CGRect& rect, CGContext& context,
                                           bool onlyLine) {
    const CFRange range = line.stringRange();
    // With more lines above, the text always runs on past the last one.
    const NSLineBreakMode mode = onlyLine ? lineBreakMode() : NSLineBreakByTruncatingTail;
    long position = range.location + range.length - 1;
    CTLineTruncationType type = kCTLineTruncationEnd;
    if (mode == NSLineBreakByTruncatingHead) {
        position = range.location;
        type = kCTLineTruncationStart;
    } else if (mode == NSLineBreakByTruncatingMiddle) {
        position = range.location + range.length / 2;
        type = kCTLineTruncationMiddle;
    }
    NSAttributedString token;
    if (attributedTruncationToken_)
        token = *attributedTruncationToken_;
    else
        token = NSAttributedString(truncationTokenString_.value_or(kEllipsis),
                                   truncationTokenStringAttributes_.value_or(
                                       string.attributesAtIndex(static_cast<size_t>(position))));
    const auto tokenLine = CTLine::createWithAttributedString(token);

    CTLineRef truncated;
    if (type != kCTLineTruncationEnd) {
        // Cut at the head or in the middle, the line is the rest of its
        // paragraph, which a wrapped line holds only the beginning of.
        const NSAttributedString rest =
            string.attributedSubstringFromRange(CFRangeMake(range.location, LONG_MAX / 2));
        const NSAttributedString paragraph =
            rest.attributedSubstringFromRange(CFRangeMake(0, firstParagraphLength(rest)));
        const auto whole = CTLine::createWithAttributedString(paragraph);
        if (whole->typographicBounds(nullptr, nullptr, nullptr) > rect.size.width)
            truncated = whole->createTruncatedLine(rect.size.width, type, tokenLine);
        else
            type = kCTLineTruncationEnd;  // only later paragraphs are cut off
    }
    if (type == kCTLineTruncationEnd) {
        NSAttributedString shown = withoutFinalBreak(string.attributedSubstringFromRange(range));
        shown.appendAttributedString(token);
        truncated = CTLine::createWithAttributedString(shown)->createTruncatedLine(
            rect.size.width, kCTLineTruncationEnd, tokenLine);
    }
    if (!truncated)
        truncated = tokenLine;
    CGFloat descent = 0;
    truncated->typographicBounds(nullptr, &descent, nullptr);
    context.setTextPosition(penOffset(*truncated, origin, rect.size.width),
                            origin.y - descent - font()->descender());
    truncated->draw(context);

    // A token that is a link is one over the characters it stands on: at
    // the end of the line, or at its start when cut at the head.
    std::optional<std::string> tokenURL;
    if (token.length() > 0)
        tokenURL = token.attributesAtIndex(0).link;
    if (!tokenURL || type == kCTLineTruncationMiddle)
        return;
    const long tokenLength = static_cast<long>(token.length());
    useTruncationTokenLink(
        *tokenURL, type == kCTLineTruncationStart
                       ? CFRangeMake(range.location, tokenLength)
                       : CFRangeMake(range.location + range.length - tokenLength, tokenLength));
}

void BITAttributedLabel::useTruncationTokenLink(const std::string& url, CFRange range) {
    const bool registered =
        truncationTokenLink_ && std::find(linkModels_.begin(), linkModels_.end(),
                                          truncationTokenLink_) != linkModels_.end();
    if (registered && truncationTokenLink_->result()->URL == url &&
        truncationTokenLink_->range() == range)
        return;
    // Drawn in the token's own look: the text is not changed, so this
    // drawing asks for no other.
    Links links = linkModels_;
    if (registered)
        links.erase(std::find(links.begin(), links.end(), truncationTokenLink_));
    truncationTokenLink_ = std::make_shared<BITAttributedLabelLink>(
        std::nullopt, std::nullopt, std::nullopt,
        NSTextCheckingResult::linkCheckingResultWithRangeURL(
            NSMakeRange(static_cast<size_t>(range.location), static_cast<size_t>(range.length)),
            url));
    links.push_back(truncationTokenLink_);
    setLinkModels(std::move(links));
}
