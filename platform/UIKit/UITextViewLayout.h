#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreText/CTLine.h"
#include "CoreText/CTUTF16Index.h"
#include "CoreText/NSAttributedString.h"

// A text view's text wrapped at a width, laid out a piece at a time so that
// a long text costs no more than what is shown. A piece is a paragraph; a
// long paragraph is cut into runs of about kPieceBytes after a space, each
// wrapped on its own. Only pieces asked for (on screen, at the caret) are
// laid out; the others count an estimated height until then, so positions
// below a piece not yet laid out may move when it is. Offsets are bytes of
// the text; y is from the text's top.
class UITextViewLayout {
  public:
    static constexpr size_t kPieceBytes = 2048;

    // A wrapped line: where it starts in the text and its baseline. The empty
    // line after a final line break (or of an empty text) has no line.
    struct Line {
        CTLineRef line;
        size_t start;
        CGFloat baseline;
    };

    // bytesPerLine: the estimate for pieces not yet laid out.
    UITextViewLayout(std::string text, CTStringAttributes attributes, CGFloat lineHeight,
                     CGFloat ascent, CGFloat width, double bytesPerLine);

    const std::string& text() const { return text_; }
    CGFloat lineHeight() const { return lineHeight_; }
    CGFloat ascent() const { return ascent_; }
    // The height of all lines, estimated for pieces not yet laid out.
    CGFloat height() const { return tops_.back(); }
    // Bytes per line of the pieces laid out so far (the estimate without any).
    double bytesPerLine() const;

    // The line holding an offset (lays out its piece).
    Line lineAt(size_t offset);
    // The line at y, the first or last beyond the text (lays out its piece).
    Line lineAtY(CGFloat y);
    // Where the line after the one starting at an offset starts; none after
    // the last.
    std::optional<size_t> nextLineStart(size_t lineStart);
    // The x of an offset within its line.
    CGFloat xOfOffset(const Line& line, size_t offset);
    // The offset nearest x within a line.
    size_t offsetAtX(const Line& line, CGFloat x);
    // Lays out the lines between two heights and calls back for each.
    template <typename F>
    void forEachLineBetween(CGFloat top, CGFloat bottom, F&& f) {
        for (size_t p = pieceAtY(top); p < pieces_.size() && tops_[p] <= bottom; ++p) {
            layOut(p);
            for (const Line& line : pieces_[p].lines)
                if (tops_[p] + line.baseline + lineHeight_ >= top &&
                    tops_[p] + line.baseline - lineHeight_ <= bottom)
                    f(Line{line.line, line.start, tops_[p] + line.baseline});
        }
    }

  private:
    struct Piece {
        size_t start = 0, end = 0;
        bool laidOut = false;
        std::vector<Line> lines;  // baselines from the piece's top
        std::unique_ptr<CTUTF16Index> index;
    };

    void cutPieces();
    CGFloat estimatedHeight(const Piece& piece) const;
    // From a piece's last baseline to the next piece's first.
    CGFloat advanceAfter(const Piece& piece) const;
    size_t pieceOf(size_t offset) const;
    size_t pieceAtY(CGFloat y) const;
    void layOut(size_t piece);
    Line shifted(size_t piece, const Line& line) const;

    std::string text_;
    CTStringAttributes attributes_;
    CGFloat width_;
    double bytesPerLine_;
    CGFloat lineHeight_, ascent_;
    CGFloat paragraphAdvance_, wrapAdvance_;
    std::vector<Piece> pieces_;
    std::vector<CGFloat> tops_;  // pieces_.size() + 1 entries
    size_t laidOutBytes_ = 0, laidOutLines_ = 0;
};
