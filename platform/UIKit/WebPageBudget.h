#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The bounds of a page (see WebPageBudget).
struct WebPageBounds {
    size_t elements = size_t{1} << 15;
    // Words, spaces and ideographs of texts, and their bytes.
    size_t textBoxes = size_t{1} << 17;
    size_t textBytes = size_t{1} << 20;
    // Names and values of the elements' attributes.
    size_t attributeBytes = size_t{1} << 20;
    // The depths of the elements and text boxes added up: litehtml walks
    // from a line up through the boxes around it to place it.
    size_t depthWork = size_t{1} << 21;
    // Rows of one table's grid.
    size_t tableRows = 4096;
    // Boxes laid out, over all tables, inline blocks and floats: litehtml
    // lays out what such a box holds about three times to fit the box to
    // it, so the content of k of them within one another counts 3^k times.
    size_t layoutWork = size_t{1} << 19;
};

// What one page may build. Markup can ask for any number of boxes (litehtml
// makes one of each element, and one of each word, space and CJK ideograph
// of a text), for attributes of any length, for tables whose grid grows
// with their rows, and for boxes sized to their content (tables, inline
// blocks, floats) within one another, each level of which triples the
// layout time of what they hold. The passes that build a page charge one
// budget as they go, so that a page costs bounded memory and time however
// it asks for boxes, real <table>s and CSS display tables alike:
// - the markup passes count elements, their attributes and text boxes, and
//   how deep they lie, and leave out what is past the bounds (the page then ends with a note
//   saying so);
// - the document's styles lay out tables past their bounds, and boxes
//   sized to too much content, as plain blocks (WebLayoutBudget.h).
// The cuts are told in the log, in one line, once the page is built
// (logCut).
//
// The budget also carries the build's cancellation: the passes ask
// stopped() as they go and leave out the rest once it answers true.
class WebPageBudget {
  public:
    using Bounds = WebPageBounds;
    using Cancellation = std::function<bool()>;

    // What one pass has counted; each pass counts the page from the start.
    struct Tally {
        size_t elements = 0;
        size_t textBoxes = 0;
        size_t textBytes = 0;
        size_t attributeBytes = 0;
        size_t depthWork = 0;
    };

    // What a page cut by the markup passes ends with, in a paragraph.
    static constexpr std::string_view kCutNote =
        "This page is too large to be shown in full: the rest of it is left out.";
    // Where the markup passes start to count: the note is kept room for.
    static Tally noteTally();

    explicit WebPageBudget(Cancellation cancelled = {}, Bounds bounds = {});

    const Bounds& bounds() const { return bounds_; }

    // Whether the build is to stop: its cancellation answers true, or the
    // program is ending. Once true it stays true.
    bool stopped();

    // Counts `count` elements at a depth (0 when not known) and the bytes
    // of their attributes into the tally; false, and the page is cut, when
    // they pass a bound.
    bool takeElements(Tally& tally, size_t count, size_t attributeBytes, size_t depth);
    // The bytes of attributes as counted: names and values.
    template <class Attributes>
    static size_t attributeBytes(const Attributes& attributes) {
        size_t bytes = 0;
        for (const auto& [name, value] : attributes)
            bytes += name.size() + value.size();
        return bytes;
    }
    // Counts the boxes of a text at a depth (0 when not known) into the
    // tally, as many as fit: answers the length of the text's start they
    // cover (text.size() when all fit; the page is cut otherwise).
    size_t takeText(Tally& tally, std::string_view text, size_t depth);

    // Records a cut: what was cut and why, each the same way. What leaves
    // content out is said in the page as well.
    void cut(std::string_view what, bool leavesContentOut);
    bool wasCut() const { return !cuts_.empty(); }
    bool leftContentOut() const { return leftContentOut_; }
    // One line for the log: each kind of cut, first one first.
    std::string cutDescription() const;
    // Logs cutDescription once, when the page was cut.
    void logCut();

  private:
    std::string depthCut() const;

    Cancellation cancelled_;
    Bounds bounds_;
    bool stopped_ = false;
    std::vector<std::string> cuts_;
    bool leftContentOut_ = false;
    bool logged_ = false;
};
