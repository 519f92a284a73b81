#pragma once

#include <memory>
#include <vector>

#include "CoreGraphics/CGContext.h"
#include "CoreText/CFRange.h"
#include "CoreText/CTRun.h"
#include "CoreText/NSAttributedString.h"

class CTTextLayout;

enum CTLineTruncationType {
    kCTLineTruncationStart = 0,
    kCTLineTruncationEnd = 1,
    kCTLineTruncationMiddle = 2,
};

// One line of laid-out text: glyph runs in visual order from the line's
// origin (x right, y up, baseline at 0).
class CTLine {
  public:
    // CTLineCreateWithAttributedString: the whole string on one line, newlines included.
    static std::shared_ptr<CTLine> createWithAttributedString(const NSAttributedString& string);

    size_t glyphCount() const;
    const std::vector<CTRunRef>& glyphRuns() const { return runs_; }
    CFRange stringRange() const { return stringRange_; }
    // Width; ascent, descent and leading of the tallest font on the line.
    CGFloat typographicBounds(CGFloat* ascent, CGFloat* descent, CGFloat* leading) const;
    // Where the line starts so that it sits flushFactor of the way (0 left,
    // 0.5 centre, 1 right) across flushWidth.
    CGFloat penOffsetForFlush(CGFloat flushFactor, CGFloat flushWidth) const;
    // x of the caret before the character at a string index.
    CGFloat offsetForStringIndex(long index) const;
    // The string index of the caret nearest to x.
    long stringIndexForPosition(CGPoint position) const;
    // CTLineCreateTruncatedLine: this line cut to width with token (may be
    // null) standing for the missing text; this line itself when it fits,
    // nullptr when not even the token fits.
    std::shared_ptr<CTLine> createTruncatedLine(CGFloat width, CTLineTruncationType type,
                                                const std::shared_ptr<CTLine>& token) const;
    // CTLineDraw: at the context's text position, through its text matrix.
    void draw(CGContext& context) const;

    // The attributed text this line was cut from (stringRange() is its part).
    const NSAttributedString& attributedString() const;

    CTLine(std::shared_ptr<const CTTextLayout> layout, size_t lineIndex);

  private:
    std::shared_ptr<const CTTextLayout> layout_;
    size_t lineIndex_;
    std::vector<CTRunRef> runs_;
    CFRange stringRange_;
};

using CTLineRef = std::shared_ptr<CTLine>;
