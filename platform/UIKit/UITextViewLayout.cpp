#include "UIKit/UITextViewLayout.h"

#include <algorithm>
#include <cmath>

#include "CoreGraphics/CGPath.h"
#include "CoreText/CTFramesetter.h"

namespace {

constexpr CGFloat kTallFrame = 1e7;
// How far past a piece's length a space is looked for to cut it after.
constexpr size_t kSpaceSearch = 256;

// The baselines of a text's lines wrapped at a width.
std::vector<CGFloat> baselines(const std::string& text, const CTStringAttributes& attributes,
                               CGFloat width) {
    auto framesetter =
        CTFramesetter::createWithAttributedString(NSAttributedString(text, attributes));
    CGPath path;
    path.addRect(CGRectMake(0, 0, width, kTallFrame));
    std::vector<CGFloat> result;
    for (const CGPoint& origin : framesetter->createFrame({0, 0}, path)->lineOrigins())
        result.push_back(kTallFrame - origin.y);
    return result;
}

}  // namespace

UITextViewLayout::UITextViewLayout(std::string text, CTStringAttributes attributes,
                                   CGFloat lineHeight, CGFloat ascent, CGFloat width,
                                   double bytesPerLine)
    : text_(std::move(text)),
      attributes_(std::move(attributes)),
      width_(width),
      bytesPerLine_(std::max(1.0, bytesPerLine)),
      lineHeight_(lineHeight),
      ascent_(ascent),
      paragraphAdvance_(lineHeight),
      wrapAdvance_(lineHeight) {
    // Pieces are stacked as the whole text would set their lines: measured
    // from the first baseline, a line break's advance and a wrap's.
    const std::vector<CGFloat> paragraphs = baselines("x\nx", attributes_, kTallFrame);
    const std::vector<CGFloat> wrapped = baselines("x x", attributes_, 1);
    if (paragraphs.size() >= 2 && wrapped.size() >= 2) {
        ascent_ = paragraphs[0];
        paragraphAdvance_ = paragraphs[1] - paragraphs[0];
        wrapAdvance_ = wrapped[1] - wrapped[0];
    }
    cutPieces();
    tops_.reserve(pieces_.size() + 1);
    tops_.push_back(0);
    for (const Piece& piece : pieces_)
        tops_.push_back(tops_.back() + estimatedHeight(piece));
}

void UITextViewLayout::cutPieces() {
    const size_t size = text_.size();
    size_t start = 0;
    while (start < size) {
        const size_t newline = text_.find('\n', start);
        size_t end = newline == std::string::npos ? size : newline + 1;
        if (end - start > kPieceBytes + kPieceBytes / 2) {
            // A long paragraph: cut after a space near the piece's length, else
            // at a character's start there.
            const size_t from = start + kPieceBytes;
            const size_t space = text_.find(' ', from);
            if (space != std::string::npos && space < from + kSpaceSearch) {
                end = space + 1;
            } else {
                end = from;
                while (end > start + 1 && (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80)
                    --end;
            }
        }
        Piece piece;
        piece.start = start;
        piece.end = end;
        pieces_.push_back(std::move(piece));
        start = end;
    }
    // An empty last line (nothing yet, or after a line break) holds the caret.
    if (size == 0 || text_.back() == '\n') {
        Piece piece;
        piece.start = piece.end = size;
        pieces_.push_back(std::move(piece));
    }
}

CGFloat UITextViewLayout::estimatedHeight(const Piece& piece) const {
    size_t bytes = piece.end - piece.start;
    if (bytes > 0 && text_[piece.end - 1] == '\n')
        --bytes;
    const double lines = std::max(1.0, std::ceil(double(bytes) / bytesPerLine_));
    return ascent_ + CGFloat(lines - 1) * wrapAdvance_ + (advanceAfter(piece) - ascent_);
}

double UITextViewLayout::bytesPerLine() const {
    return laidOutLines_ > 0 ? double(laidOutBytes_) / double(laidOutLines_) : bytesPerLine_;
}

size_t UITextViewLayout::pieceOf(size_t offset) const {
    const auto it = std::upper_bound(pieces_.begin(), pieces_.end(), offset,
                                     [](size_t o, const Piece& p) { return o < p.start; });
    return it == pieces_.begin() ? 0 : size_t(it - pieces_.begin()) - 1;
}

size_t UITextViewLayout::pieceAtY(CGFloat y) const {
    const auto it = std::upper_bound(tops_.begin() + 1, tops_.end(), y);
    return std::min(size_t(it - tops_.begin()) - 1, pieces_.size() - 1);
}

void UITextViewLayout::layOut(size_t p) {
    Piece& piece = pieces_[p];
    if (piece.laidOut)
        return;
    piece.laidOut = true;
    const std::string s = text_.substr(piece.start, piece.end - piece.start);
    piece.index = std::make_unique<CTUTF16Index>(s);
    if (!s.empty()) {
        auto framesetter =
            CTFramesetter::createWithAttributedString(NSAttributedString(s, attributes_));
        CGPath path;
        path.addRect(CGRectMake(0, 0, width_, kTallFrame));
        CTFrameRef frame = framesetter->createFrame({0, 0}, path);
        const std::vector<CGPoint> origins = frame->lineOrigins();
        for (size_t i = 0; i < frame->lines().size(); ++i) {
            const CTLineRef& line = frame->lines()[i];
            const size_t start =
                piece.start + piece.index->byteOfUnit(size_t(line->stringRange().location));
            // The empty line after a line break belongs to the next piece.
            if (start >= piece.end)
                break;
            piece.lines.push_back({line, start, kTallFrame - origins[i].y});
        }
    }
    if (piece.lines.empty())
        piece.lines.push_back({nullptr, piece.start, ascent_});
    if (piece.lines.size() > 1) {
        // A paragraph's last line is short: count only the full ones.
        laidOutBytes_ += piece.lines.back().start - piece.start;
        laidOutLines_ += piece.lines.size() - 1;
    }
    const CGFloat height = piece.lines.back().baseline + (advanceAfter(piece) - ascent_);
    const CGFloat delta = height - (tops_[p + 1] - tops_[p]);
    for (size_t i = p + 1; i < tops_.size(); ++i)
        tops_[i] += delta;
}

CGFloat UITextViewLayout::advanceAfter(const Piece& piece) const {
    return piece.end > piece.start && text_[piece.end - 1] == '\n' ? paragraphAdvance_
                                                                   : wrapAdvance_;
}

UITextViewLayout::Line UITextViewLayout::shifted(size_t p, const Line& line) const {
    return {line.line, line.start, tops_[p] + line.baseline};
}

UITextViewLayout::Line UITextViewLayout::lineAt(size_t offset) {
    const size_t p = pieceOf(offset);
    layOut(p);
    const std::vector<Line>& lines = pieces_[p].lines;
    const auto it = std::upper_bound(lines.begin(), lines.end(), offset,
                                     [](size_t o, const Line& l) { return o < l.start; });
    return shifted(p, it == lines.begin() ? lines.front() : *(it - 1));
}

UITextViewLayout::Line UITextViewLayout::lineAtY(CGFloat y) {
    // Laying a piece out moves those below it: look again until y falls in
    // one laid out.
    size_t p = pieceAtY(y);
    while (!pieces_[p].laidOut) {
        layOut(p);
        p = pieceAtY(y);
    }
    const std::vector<Line>& lines = pieces_[p].lines;
    const CGFloat local = y - tops_[p];
    size_t i = 0;
    while (i + 1 < lines.size() && local > lines[i].baseline + (lineHeight_ - ascent_))
        ++i;
    return shifted(p, lines[i]);
}

std::optional<size_t> UITextViewLayout::nextLineStart(size_t lineStart) {
    const size_t p = pieceOf(lineStart);
    layOut(p);
    for (const Line& line : pieces_[p].lines)
        if (line.start > lineStart)
            return line.start;
    if (p + 1 < pieces_.size())
        return pieces_[p + 1].start;
    return std::nullopt;
}

CGFloat UITextViewLayout::xOfOffset(const Line& line, size_t offset) {
    if (!line.line)
        return 0;
    const Piece& piece = pieces_[pieceOf(line.start)];
    const size_t local = offset > piece.start ? offset - piece.start : 0;
    return line.line->offsetForStringIndex(long(piece.index->unitOfByte(local)));
}

size_t UITextViewLayout::offsetAtX(const Line& line, CGFloat x) {
    if (!line.line)
        return line.start;
    const Piece& piece = pieces_[pieceOf(line.start)];
    const long unit = line.line->stringIndexForPosition({x, 0});
    return piece.start + piece.index->byteOfUnit(size_t(std::max(0L, unit)));
}
