#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGColor.h"
#include "CoreText/CFRange.h"
#include "CoreText/CTFont.h"
#include "CoreText/CTParagraphStyle.h"
#include "CoreText/NSAttributeValue.h"

// The text attributes the system sets, one field per attribute key
// (kCTFontAttributeName is font, and so on). Unset fields are absent keys.
struct CTStringAttributes {
    CTFontRef font;                           // absent: Helvetica 12
    std::optional<CGColor> foregroundColor;   // absent: black
    bool foregroundColorFromContext = false;  // use the context's fill colour
    // Percent of the font size. Positive: outline only; negative: fill and outline.
    std::optional<CGFloat> strokeWidth;
    std::optional<CGColor> strokeColor;  // absent: the foreground colour
    std::optional<CGFloat> kern;         // extra advance after each character
    std::optional<CTParagraphStyle> paragraphStyle;
    std::optional<int> underlineStyle;       // 0 none, else a single line
    std::optional<int> strikethroughStyle;   // 0 none, else a single line
    std::optional<CGColor> backgroundColor;  // behind the glyphs' line box
    std::optional<int> superscript;          // 1 up, -1 down (kept, not laid out)
    std::optional<std::string> link;
    // Any other attribute, by name: values of any type, drawn by nobody.
    std::map<std::string, NSAttributeValue> extra;

    // The fields set in other replace these.
    void addAttributes(const CTStringAttributes& other);
    // The fields set in keys (their values do not matter) become unset here.
    void removeAttributes(const CTStringAttributes& keys);
    bool operator==(const CTStringAttributes& other) const;
};

// A string with attributes over ranges. Ranges count UTF-16 code units, as
// the platform's string lengths do; the text itself is UTF-8. A value: copy
// to keep; the mutable variety is the same class.
class NSAttributedString {
  public:
    struct Run {
        CFRange range;
        CTStringAttributes attributes;
    };

    NSAttributedString() = default;
    explicit NSAttributedString(const std::string& string,
                                const CTStringAttributes& attributes = {});

    const std::string& string() const { return string_; }
    size_t length() const { return length_; }
    // Runs of equal attributes covering the whole string, in order.
    const std::vector<Run>& runs() const { return runs_; }

    // The attributes at a unit index and, optionally, the run's range; the
    // empty set past the end.
    const CTStringAttributes& attributesAtIndex(size_t index,
                                                CFRange* effectiveRange = nullptr) const;
    // Calls block for each run overlapping range, with the overlap.
    void enumerateAttributesInRange(
        CFRange range, const std::function<void(const CTStringAttributes&, CFRange)>& block) const;
    NSAttributedString attributedSubstringFromRange(CFRange range) const;

    // Mutation. Ranges are clipped to the string.
    void addAttributes(const CTStringAttributes& attributes, CFRange range);
    // One attribute of the extra map.
    void addAttribute(const std::string& name, const NSAttributeValue& value, CFRange range);
    void removeAttribute(const std::string& name, CFRange range);
    // Unsets over range every attribute that keys sets (whatever its value there).
    void removeAttributes(const CTStringAttributes& keys, CFRange range);
    // The extra attribute at a unit index, nullptr where absent; the range
    // is that of the run (runs may split where other attributes change).
    const NSAttributeValue* attributeAtIndex(const std::string& name, size_t index,
                                             CFRange* effectiveRange = nullptr) const;
    void setAttributes(const CTStringAttributes& attributes, CFRange range);
    void appendAttributedString(const NSAttributedString& other);

    bool operator==(const NSAttributedString& other) const;

  private:
    // Splits runs so that range starts and ends on run boundaries, and
    // returns the clipped range.
    CFRange split(CFRange range);
    void merge();

    std::string string_;
    size_t length_ = 0;
    std::vector<Run> runs_;
};

using NSMutableAttributedString = NSAttributedString;
