#include "UIKit/UITextLayout.h"

#include <algorithm>
#include <cmath>

#include "CoreText/CTFramesetter.h"

namespace {

constexpr CGFloat kTallFrame = 1e6;

CTStringAttributes coreTextAttributes(const NSStringDrawingAttributes& a) {
    CTStringAttributes attributes;
    attributes.font = a.font ? a.font->CTFont() : CTFont::systemFontOfSize(12);
    if (a.colorFromContext) {
        attributes.foregroundColorFromContext = true;
    } else if (a.foregroundColor) {
        attributes.foregroundColor = a.foregroundColor->CGColor();
    }
    if (a.lineBreakMode == NSLineBreakByCharWrapping) {
        CTParagraphStyle style;
        style.lineBreakMode = kCTLineBreakByCharWrapping;
        attributes.paragraphStyle = style;
    }
    return attributes;
}

bool truncates(NSLineBreakMode mode) {
    return mode == NSLineBreakByTruncatingHead || mode == NSLineBreakByTruncatingTail ||
           mode == NSLineBreakByTruncatingMiddle;
}

CTLineTruncationType truncationType(NSLineBreakMode mode) {
    switch (mode) {
        case NSLineBreakByTruncatingHead:
            return kCTLineTruncationStart;
        case NSLineBreakByTruncatingMiddle:
            return kCTLineTruncationMiddle;
        default:
            return kCTLineTruncationEnd;
    }
}

// Lines past maxLines or maxHeight are never shown. No line is lower than
// 0.9 of its font's height, and no line holds more than 10 bytes of UTF-8
// per em of its width (a visible character is at least 0.1 em wide and one
// byte; those of four bytes are wider still), kLongestLine without a width:
// text beyond what would fill the lines is not laid out, so that a long
// text costs no more than the lines it shows.
constexpr size_t kLongestLine = 16384;

size_t shownLength(const std::string& text, const CTFont& font, bool limitedWidth, CGFloat width,
                   size_t maxLines, CGFloat maxHeight) {
    double lines = maxLines > 0 ? double(maxLines) : UITextLayout::kUnlimited;
    const double lineHeight = std::max(1.0, 0.9 * double(font.lineHeight()));
    if (std::isfinite(maxHeight))
        lines = std::min(lines, std::max(0.0, double(maxHeight)) / lineHeight);
    const double perLine = limitedWidth
                               ? 10 * double(width) / std::max(1.0, double(font.size())) + 16
                               : double(kLongestLine);
    const double bytes = (std::floor(lines) + 2) * perLine;
    if (!(bytes < double(text.size())))
        return text.size();
    size_t cut = size_t(bytes);
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

}  // namespace

UITextLayout::UITextLayout(const std::string& fullText, const NSStringDrawingAttributes& a,
                           CGFloat width, size_t maxLines, CGFloat maxHeight)
    : alignment_(a.alignment) {
    if (fullText.empty()) {
        return;
    }
    const bool limitedWidth = std::isfinite(width) && width > 0;
    const CTStringAttributes attributes = coreTextAttributes(a);
    const std::string text = fullText.substr(
        0, shownLength(fullText, *attributes.font, limitedWidth, width, maxLines, maxHeight));
    const bool cut = text.size() < fullText.size();
    const NSAttributedString string(text, attributes);
    auto tokenLine = [&] {
        return CTLine::createWithAttributedString(NSAttributedString("\u2026", attributes));
    };
    auto finishLine = [&](CTLineRef line, bool leftOver) {
        // The last line: truncated when it is too wide.
        CGFloat ascent, descent, leading;
        const CGFloat w = CGFloat(line->typographicBounds(&ascent, &descent, &leading));
        truncated_ = truncated_ || leftOver;
        if (truncates(a.lineBreakMode) && limitedWidth && w > width + 0.01) {
            if (auto cut = line->createTruncatedLine(width, truncationType(a.lineBreakMode),
                                                     tokenLine())) {
                truncated_ = true;
                return cut;
            }
        }
        return line;
    };
    // Single lines go straight to a line; wrapped text through a frame.
    const bool single = maxLines == 1 || (!limitedWidth && text.find('\n') == std::string::npos);
    std::vector<CTLineRef> lines;
    std::vector<CGFloat> baselines;
    if (single) {
        std::string firstLine = text;
        bool leftOver = cut;
        if (maxLines == 1 && a.lineBreakMode != NSLineBreakByClipping &&
            !truncates(a.lineBreakMode) && limitedWidth) {
            // Wrapping modes in one line: what fits on the first wrapped line.
            auto framesetter = CTFramesetter::createWithAttributedString(string);
            CGPath path;
            path.addRect(CGRectMake(0, 0, width, kTallFrame));
            CTFrameRef frame = framesetter->createFrame({0, 0}, path);
            if (!frame->lines().empty()) {
                lines.push_back(frame->lines().front());
                baselines.push_back(kTallFrame - frame->lineOrigins()[0].y);
                truncated_ = frame->lines().size() > 1;
            }
        }
        if (lines.empty()) {
            const size_t newline = text.find('\n');
            if (maxLines == 1 && newline != std::string::npos) {
                firstLine = text.substr(0, newline);
                leftOver = true;
            }
            CTLineRef line =
                CTLine::createWithAttributedString(NSAttributedString(firstLine, attributes));
            CGFloat ascent, descent, leading;
            line->typographicBounds(&ascent, &descent, &leading);
            lines.push_back(finishLine(line, leftOver));
            baselines.push_back(std::ceil(ascent));
        }
    } else {
        auto framesetter = CTFramesetter::createWithAttributedString(string);
        CGPath path;
        path.addRect(CGRectMake(0, 0, limitedWidth ? width : 1e7, kTallFrame));
        CTFrameRef frame = framesetter->createFrame({0, 0}, path);
        const std::vector<CGPoint> origins = frame->lineOrigins();
        const auto& frameLines = frame->lines();
        for (size_t i = 0; i < frameLines.size(); ++i) {
            CGFloat ascent, descent, leading;
            frameLines[i]->typographicBounds(&ascent, &descent, &leading);
            const CGFloat baseline = kTallFrame - origins[i].y;
            const bool overHeight = baseline + descent > maxHeight + 0.01;
            const bool overCount = maxLines > 0 && i >= maxLines;
            if (overHeight || overCount) {
                if (!lines.empty()) {
                    // Redo the last kept line with the rest of the text, then truncate it.
                    const CFRange start = lines.back()->stringRange();
                    NSAttributedString rest = string.attributedSubstringFromRange(
                        {start.location, long(string.length()) - start.location});
                    std::string restText = rest.string();
                    std::replace(restText.begin(), restText.end(), '\n', ' ');
                    CTLineRef restLine = CTLine::createWithAttributedString(
                        NSAttributedString(restText, attributes));
                    lines.back() =
                        truncates(a.lineBreakMode) ? finishLine(restLine, true) : lines.back();
                }
                truncated_ = true;
                break;
            }
            lines.push_back(frameLines[i]);
            baselines.push_back(baseline);
        }
    }
    CGFloat maxWidth = 0, bottom = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        CGFloat ascent, descent, leading;
        CGFloat w = CGFloat(lines[i]->typographicBounds(&ascent, &descent, &leading));
        maxWidth = std::max(maxWidth, w);
        bottom = std::max(bottom, baselines[i] + descent);
        lines_.push_back({lines[i], baselines[i], w});
    }
    size_ = {maxWidth, bottom};
    truncated_ = truncated_ || cut;
}

void UITextLayout::drawInRect(CGContext& context, const CGRect& rect) const {
    for (const Line& line : lines_) {
        CGFloat x = rect.origin.x;
        if (alignment_ == NSTextAlignmentCenter) {
            x += (rect.size.width - line.width) / 2;
        } else if (alignment_ == NSTextAlignmentRight) {
            x += rect.size.width - line.width;
        }
        context.saveGState();
        context.translateCTM(x, rect.origin.y + line.baseline);
        context.scaleCTM(1, -1);
        context.setTextMatrix(CGAffineTransformIdentity);
        context.setTextPosition(0, 0);
        line.line->draw(context);
        context.restoreGState();
    }
}
