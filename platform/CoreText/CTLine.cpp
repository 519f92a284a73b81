#include "CoreText/CTLine.h"

#include <pango/pangocairo.h>

#include <algorithm>

#include "CoreText/CTTextLayout.h"

namespace {
CGFloat fromPango(int units) {
    return CGFloat(units) / PANGO_SCALE;
}
}  // namespace

std::shared_ptr<CTLine> CTLine::createWithAttributedString(const NSAttributedString& string) {
    return std::make_shared<CTLine>(CTTextLayout::create(string, CFRangeMake(0, 0), -1), 0);
}

CTLine::CTLine(std::shared_ptr<const CTTextLayout> layout, size_t lineIndex)
    : layout_(std::move(layout)), lineIndex_(lineIndex) {
    PangoLayoutLine* line = layout_->lines()[lineIndex_].line;
    CGFloat x = 0;
    for (GSList* node = line->runs; node != nullptr; node = node->next) {
        auto* item = static_cast<PangoGlyphItem*>(node->data);
        auto run = std::make_shared<const CTRun>(*layout_, item, x);
        CGFloat width = run->typographicBounds({}, nullptr, nullptr, nullptr);
        x += width;
        runs_.push_back(std::move(run));
    }
    const CTUTF16Index& index = layout_->index();
    const long start = long(index.unitOfByte(size_t(line->start_index)));
    const long end = long(index.unitOfByte(size_t(line->start_index + line->length)));
    stringRange_ = CFRangeMake(layout_->offset() + start, end - start);
}

const NSAttributedString& CTLine::attributedString() const {
    return layout_->string();
}

size_t CTLine::glyphCount() const {
    size_t count = 0;
    for (const CTRunRef& run : runs_) {
        count += run->glyphCount();
    }
    return count;
}

CGFloat CTLine::typographicBounds(CGFloat* ascent, CGFloat* descent, CGFloat* leading) const {
    CGFloat width = 0, maxAscent = 0, maxDescent = 0, maxLeading = 0;
    for (const CTRunRef& run : runs_) {
        CGFloat a = 0, d = 0, l = 0;
        width += run->typographicBounds({}, &a, &d, &l);
        maxAscent = std::max(maxAscent, a);
        maxDescent = std::max(maxDescent, d);
        maxLeading = std::max(maxLeading, l);
    }
    if (runs_.empty()) {
        // An empty line still has the height of its font.
        const CTFontRef font = CTDefaultFont();
        maxAscent = font->ascent();
        maxDescent = font->descent();
        maxLeading = font->leading();
    }
    if (ascent) {
        *ascent = maxAscent;
    }
    if (descent) {
        *descent = maxDescent;
    }
    if (leading) {
        *leading = maxLeading;
    }
    return width;
}

CGFloat CTLine::penOffsetForFlush(CGFloat flushFactor, CGFloat flushWidth) const {
    const CGFloat width = typographicBounds(nullptr, nullptr, nullptr);
    const CGFloat factor = std::clamp(flushFactor, CGFloat(0), CGFloat(1));
    return std::max(CGFloat(0), (flushWidth - width) * factor);
}

CGFloat CTLine::offsetForStringIndex(long index) const {
    const CTUTF16Index& utf16 = layout_->index();
    const long local = std::clamp(index - layout_->offset(), 0L, long(utf16.length()));
    int x = 0;
    pango_layout_line_index_to_x(layout_->lines()[lineIndex_].line,
                                 int(utf16.byteOfUnit(size_t(local))), FALSE, &x);
    return fromPango(x);
}

long CTLine::stringIndexForPosition(CGPoint position) const {
    int byte = 0, trailing = 0;
    PangoLayoutLine* line = layout_->lines()[lineIndex_].line;
    pango_layout_line_x_to_index(line, int(position.x * PANGO_SCALE), &byte, &trailing);
    const std::string& text = layout_->index().text();
    const char* p = text.c_str() + byte;
    for (; trailing > 0 && *p != '\0'; --trailing) {
        p = g_utf8_next_char(p);
    }
    return layout_->offset() + long(layout_->index().unitOfByte(size_t(p - text.c_str())));
}

std::shared_ptr<CTLine> CTLine::createTruncatedLine(CGFloat width, CTLineTruncationType type,
                                                    const std::shared_ptr<CTLine>& token) const {
    const CGFloat lineWidth = typographicBounds(nullptr, nullptr, nullptr);
    if (lineWidth <= width) {
        return std::make_shared<CTLine>(layout_, lineIndex_);
    }
    const CGFloat tokenWidth = token ? token->typographicBounds(nullptr, nullptr, nullptr) : 0;
    if (tokenWidth > width) {
        return nullptr;
    }
    const NSAttributedString& text = layout_->string();
    const long first = stringRange_.location - layout_->offset();
    const long last = first + stringRange_.length;
    const CGFloat room = width - tokenWidth;
    auto x = [&](long local) { return offsetForStringIndex(local + layout_->offset()); };
    // The longest head [first, headEnd) and tail [tailStart, last) within their shares.
    auto headEndWithin = [&](CGFloat share) {
        long end = first;
        while (end < last && x(end + 1) - x(first) <= share) {
            ++end;
        }
        return end;
    };
    auto tailStartWithin = [&](CGFloat share) {
        long start = last;
        while (start > first && x(last) - x(start - 1) <= share) {
            --start;
        }
        return start;
    };
    NSAttributedString result;
    const NSAttributedString tokenText = token ? token->attributedString() : NSAttributedString();
    switch (type) {
        case kCTLineTruncationEnd:
            result =
                text.attributedSubstringFromRange(CFRangeMake(first, headEndWithin(room) - first));
            result.appendAttributedString(tokenText);
            break;
        case kCTLineTruncationStart: {
            const long start = tailStartWithin(room);
            result = tokenText;
            result.appendAttributedString(
                text.attributedSubstringFromRange(CFRangeMake(start, last - start)));
            break;
        }
        case kCTLineTruncationMiddle: {
            const long headEnd = headEndWithin(room / 2);
            const long tailStart =
                std::max(headEnd, tailStartWithin(room - (x(headEnd) - x(first))));
            result = text.attributedSubstringFromRange(CFRangeMake(first, headEnd - first));
            result.appendAttributedString(tokenText);
            result.appendAttributedString(
                text.attributedSubstringFromRange(CFRangeMake(tailStart, last - tailStart)));
            break;
        }
    }
    return createWithAttributedString(result);
}

void CTLine::draw(CGContext& context) const {
    const CGAffineTransform t = context.getTextMatrix();
    std::vector<CTGlyphPaint> paints;
    for (const CTRunRef& run : runs_) {
        paints.push_back(run->paintIn(context));
    }
    // One painting operation for the whole line, so a shadow falls once.
    context.paint(
        [&](cairo_t* cr) {
            cairo_matrix_t m;
            cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
            cairo_transform(cr, &m);
            for (size_t i = 0; i < runs_.size(); ++i) {
                runs_[i]->drawInto(cr, paints[i], 0, runs_[i]->glyphCount());
            }
        },
        false);
}
