#include "CoreText/NSAttributedString.h"

#include <algorithm>

#include "CoreText/CTUTF16Index.h"

void CTStringAttributes::addAttributes(const CTStringAttributes& other) {
    if (other.font) {
        font = other.font;
    }
    if (other.foregroundColor) {
        foregroundColor = other.foregroundColor;
    }
    if (other.foregroundColorFromContext) {
        foregroundColorFromContext = true;
    }
    if (other.strokeWidth) {
        strokeWidth = other.strokeWidth;
    }
    if (other.strokeColor) {
        strokeColor = other.strokeColor;
    }
    if (other.kern) {
        kern = other.kern;
    }
    if (other.paragraphStyle) {
        paragraphStyle = other.paragraphStyle;
    }
    if (other.strikethroughStyle) {
        strikethroughStyle = other.strikethroughStyle;
    }
    if (other.backgroundColor) {
        backgroundColor = other.backgroundColor;
    }
    for (const auto& [name, value] : other.extra) {
        extra.insert_or_assign(name, value);
    }
    if (other.underlineStyle) {
        underlineStyle = other.underlineStyle;
    }
    if (other.superscript) {
        superscript = other.superscript;
    }
    if (other.link) {
        link = other.link;
    }
}

void CTStringAttributes::removeAttributes(const CTStringAttributes& keys) {
    if (keys.font) {
        font = nullptr;
    }
    if (keys.foregroundColor) {
        foregroundColor.reset();
    }
    if (keys.foregroundColorFromContext) {
        foregroundColorFromContext = false;
    }
    if (keys.strokeWidth) {
        strokeWidth.reset();
    }
    if (keys.strokeColor) {
        strokeColor.reset();
    }
    if (keys.kern) {
        kern.reset();
    }
    if (keys.paragraphStyle) {
        paragraphStyle.reset();
    }
    if (keys.strikethroughStyle) {
        strikethroughStyle.reset();
    }
    if (keys.backgroundColor) {
        backgroundColor.reset();
    }
    for (const auto& entry : keys.extra) {
        extra.erase(entry.first);
    }
    if (keys.underlineStyle) {
        underlineStyle.reset();
    }
    if (keys.superscript) {
        superscript.reset();
    }
    if (keys.link) {
        link.reset();
    }
}

bool CTStringAttributes::operator==(const CTStringAttributes& other) const {
    const bool sameFont = font == other.font || (font && other.font && *font == *other.font);
    return sameFont && foregroundColor == other.foregroundColor &&
           foregroundColorFromContext == other.foregroundColorFromContext &&
           strokeWidth == other.strokeWidth && strokeColor == other.strokeColor &&
           kern == other.kern && paragraphStyle == other.paragraphStyle &&
           underlineStyle == other.underlineStyle && superscript == other.superscript &&
           link == other.link && strikethroughStyle == other.strikethroughStyle &&
           backgroundColor == other.backgroundColor && extra == other.extra;
}

NSAttributedString::NSAttributedString(const std::string& string,
                                       const CTStringAttributes& attributes)
    : string_(string), length_(CTUTF16Index(string).length()) {
    if (length_ > 0) {
        runs_.push_back({CFRangeMake(0, long(length_)), attributes});
    }
}

const CTStringAttributes& NSAttributedString::attributesAtIndex(size_t index,
                                                                CFRange* effectiveRange) const {
    static const CTStringAttributes none;
    for (const Run& run : runs_) {
        if (long(index) >= run.range.location &&
            long(index) < run.range.location + run.range.length) {
            if (effectiveRange) {
                *effectiveRange = run.range;
            }
            return run.attributes;
        }
    }
    if (effectiveRange) {
        *effectiveRange = CFRangeMake(long(index), 0);
    }
    return none;
}

void NSAttributedString::enumerateAttributesInRange(
    CFRange range, const std::function<void(const CTStringAttributes&, CFRange)>& block) const {
    const long from = std::max(0L, range.location);
    const long to = std::min(long(length_), range.location + range.length);
    for (const Run& run : runs_) {
        const long start = std::max(from, run.range.location);
        const long end = std::min(to, run.range.location + run.range.length);
        if (start < end) {
            block(run.attributes, CFRangeMake(start, end - start));
        }
    }
}

NSAttributedString NSAttributedString::attributedSubstringFromRange(CFRange range) const {
    const CTUTF16Index index(string_);
    const long from = std::clamp(range.location, 0L, long(length_));
    const long to = std::clamp(range.location + range.length, from, long(length_));
    NSAttributedString result;
    result.string_ =
        index.text().substr(index.byteOfUnit(size_t(from)),
                            index.byteOfUnit(size_t(to)) - index.byteOfUnit(size_t(from)));
    result.length_ = size_t(to - from);
    enumerateAttributesInRange(
        CFRangeMake(from, to - from), [&](const CTStringAttributes& attributes, CFRange r) {
            result.runs_.push_back({CFRangeMake(r.location - from, r.length), attributes});
        });
    return result;
}

CFRange NSAttributedString::split(CFRange range) {
    const long from = std::clamp(range.location, 0L, long(length_));
    const long to = std::clamp(range.location + range.length, from, long(length_));
    for (long cut : {from, to}) {
        for (size_t i = 0; i < runs_.size(); ++i) {
            Run& run = runs_[i];
            if (cut > run.range.location && cut < run.range.location + run.range.length) {
                Run tail{CFRangeMake(cut, run.range.location + run.range.length - cut),
                         run.attributes};
                run.range.length = cut - run.range.location;
                runs_.insert(runs_.begin() + long(i) + 1, tail);
                break;
            }
        }
    }
    return CFRangeMake(from, to - from);
}

void NSAttributedString::merge() {
    std::vector<Run> merged;
    for (Run& run : runs_) {
        if (!merged.empty() && merged.back().attributes == run.attributes) {
            merged.back().range.length += run.range.length;
        } else {
            merged.push_back(std::move(run));
        }
    }
    runs_ = std::move(merged);
}

void NSAttributedString::addAttributes(const CTStringAttributes& attributes, CFRange range) {
    const CFRange r = split(range);
    for (Run& run : runs_) {
        if (run.range.location >= r.location &&
            run.range.location + run.range.length <= r.location + r.length) {
            run.attributes.addAttributes(attributes);
        }
    }
    merge();
}

void NSAttributedString::addAttribute(const std::string& name, const NSAttributeValue& value,
                                      CFRange range) {
    CTStringAttributes attributes;
    attributes.extra.insert_or_assign(name, value);
    addAttributes(attributes, range);
}

void NSAttributedString::removeAttribute(const std::string& name, CFRange range) {
    CTStringAttributes keys;
    keys.extra.insert_or_assign(name, true);
    removeAttributes(keys, range);
}

void NSAttributedString::removeAttributes(const CTStringAttributes& keys, CFRange range) {
    const CFRange r = split(range);
    for (Run& run : runs_) {
        if (run.range.location >= r.location &&
            run.range.location + run.range.length <= r.location + r.length) {
            run.attributes.removeAttributes(keys);
        }
    }
    merge();
}

const NSAttributeValue* NSAttributedString::attributeAtIndex(const std::string& name, size_t index,
                                                             CFRange* effectiveRange) const {
    const CTStringAttributes& attributes = attributesAtIndex(index, effectiveRange);
    auto it = attributes.extra.find(name);
    return it == attributes.extra.end() ? nullptr : &it->second;
}

void NSAttributedString::setAttributes(const CTStringAttributes& attributes, CFRange range) {
    const CFRange r = split(range);
    for (Run& run : runs_) {
        if (run.range.location >= r.location &&
            run.range.location + run.range.length <= r.location + r.length) {
            run.attributes = attributes;
        }
    }
    merge();
}

void NSAttributedString::appendAttributedString(const NSAttributedString& other) {
    const long offset = long(length_);
    string_ += other.string_;
    length_ += other.length_;
    for (const Run& run : other.runs_) {
        runs_.push_back(
            {CFRangeMake(run.range.location + offset, run.range.length), run.attributes});
    }
    merge();
}

bool NSAttributedString::operator==(const NSAttributedString& other) const {
    if (string_ != other.string_ || runs_.size() != other.runs_.size()) {
        return false;
    }
    for (size_t i = 0; i < runs_.size(); ++i) {
        if (!(runs_[i].range == other.runs_[i].range) ||
            !(runs_[i].attributes == other.runs_[i].attributes)) {
            return false;
        }
    }
    return true;
}
