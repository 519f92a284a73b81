#pragma once

#include <memory>
#include <vector>

#include <pango/pango.h>

#include "CoreGraphics/CGGeometry.h"
#include "CoreText/CFRange.h"
#include "CoreText/CTUTF16Index.h"
#include "CoreText/NSAttributedString.h"

// A pango layout of part of an attributed string, shared by the lines cut
// from it. Built on the calling thread's pango context.
class CTTextLayout {
  public:
    struct Line {
        PangoLayoutLine* line;
        CGFloat x;         // left edge of the line within the layout
        CGFloat baseline;  // from the layout's top, y down
        CGFloat ascent;
        CGFloat descent;
    };

    // width < 0 lays out one unwrapped paragraph (a line); otherwise text is
    // wrapped at width. range is clipped to the string; length 0 means to the end.
    static std::shared_ptr<const CTTextLayout> create(const NSAttributedString& string,
                                                      CFRange range, CGFloat width);
    ~CTTextLayout();
    CTTextLayout(const CTTextLayout&) = delete;
    CTTextLayout& operator=(const CTTextLayout&) = delete;

    PangoLayout* layout() const { return layout_; }
    // The laid-out part of the string, its ranges starting at 0.
    const NSAttributedString& string() const { return string_; }
    // Where string() starts in the original string.
    long offset() const { return offset_; }
    const CTUTF16Index& index() const { return index_; }
    const std::vector<Line>& lines() const { return lines_; }
    // How many lines from the top end within height.
    size_t linesFittingHeight(CGFloat height) const;

    CTTextLayout(NSAttributedString string, long offset);

  private:
    NSAttributedString string_;
    long offset_;
    CTUTF16Index index_;
    PangoLayout* layout_ = nullptr;
    std::vector<Line> lines_;
};

// The font of text without a font attribute: Helvetica 12, as on the platform.
CTFontRef CTDefaultFont();
