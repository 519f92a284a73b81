#include "sdk/feedback/BITAttributedTextCoding.h"

#include "CoreText/CTFont.h"
#include "UIKit/UIGeometry.h"

namespace BITAttributedTextCoding {

namespace {

constexpr const char* kAttributesClass = "NSDictionary";
constexpr const char* kParagraphStyleClass = "NSParagraphStyle";
constexpr const char* kAttributedStringClass = "NSAttributedString";
constexpr const char* kRunClass = "NSAttributeRun";
constexpr const char* kExtraClass = "NSAttributeValue";
constexpr const char* kResultClass = "NSTextCheckingResult";

Value colorValue(const CGColor& color) {
    return Value(
        Value::Array{Value(color.red), Value(color.green), Value(color.blue), Value(color.alpha)});
}

void encodeColor(NSKeyedArchiver& coder, const std::optional<CGColor>& color,
                 const std::string& key) {
    if (color && !color->pattern)
        coder.encodeValueForKey(colorValue(*color), key);
}

std::optional<CGColor> decodeColor(const NSKeyedUnarchiver& coder, const std::string& key) {
    const auto rgba = coder.decodeNumbersForKey(key, 4);
    if (!rgba)
        return std::nullopt;
    return CGColorCreateGenericRGB((*rgba)[0], (*rgba)[1], (*rgba)[2], (*rgba)[3]);
}

template <class T>
void encodeNumber(NSKeyedArchiver& coder, const std::optional<T>& number, const std::string& key) {
    if (number)
        coder.encodeValueForKey(Value(*number), key);
}

std::optional<int> decodeInt(const NSKeyedUnarchiver& coder, const std::string& key) {
    const auto number = coder.decodeInt64ForKey(key);
    return number ? std::optional<int>(int(*number)) : std::nullopt;
}

// An enumeration's value from first to last, else the coder fails.
template <class E>
std::optional<E> decodeEnum(const NSKeyedUnarchiver& coder, const std::string& key, E first,
                            E last) {
    const auto number = coder.decodeInt64ForKey(key);
    if (!number)
        return std::nullopt;
    if (*number < first || *number > last) {
        coder.failWithReason("unknown " + key + " " + std::to_string(*number));
        return std::nullopt;
    }
    return E(*number);
}

NSKeyedArchiver archiveOfParagraphStyle(const CTParagraphStyle& style) {
    NSKeyedArchiver coder(kParagraphStyleClass);
    coder.encodeValueForKey(Value(int(style.alignment)), "alignment");
    coder.encodeValueForKey(Value(int(style.lineBreakMode)), "lineBreakMode");
    coder.encodeValueForKey(Value(style.lineSpacing), "lineSpacing");
    coder.encodeValueForKey(Value(style.minimumLineHeight), "minimumLineHeight");
    coder.encodeValueForKey(Value(style.maximumLineHeight), "maximumLineHeight");
    coder.encodeValueForKey(Value(style.lineHeightMultiple), "lineHeightMultiple");
    coder.encodeValueForKey(Value(style.firstLineHeadIndent), "firstLineHeadIndent");
    return coder;
}

CTParagraphStyle paragraphStyleFromArchive(const NSKeyedUnarchiver& coder) {
    CTParagraphStyle style;
    if (auto alignment =
            decodeEnum(coder, "alignment", kCTTextAlignmentLeft, kCTTextAlignmentNatural))
        style.alignment = *alignment;
    if (auto mode = decodeEnum(coder, "lineBreakMode", kCTLineBreakByWordWrapping,
                               kCTLineBreakByTruncatingMiddle))
        style.lineBreakMode = *mode;
    style.lineSpacing = coder.decodeDoubleForKey("lineSpacing").value_or(0);
    style.minimumLineHeight = coder.decodeDoubleForKey("minimumLineHeight").value_or(0);
    style.maximumLineHeight = coder.decodeDoubleForKey("maximumLineHeight").value_or(0);
    style.lineHeightMultiple = coder.decodeDoubleForKey("lineHeightMultiple").value_or(0);
    style.firstLineHeadIndent = coder.decodeDoubleForKey("firstLineHeadIndent").value_or(0);
    return style;
}

// Attributes of the label's own run drawing and texts: colours, insets,
// numbers, flags and strings.
std::optional<NSKeyedArchiver> archiveOfExtra(const NSAttributeValue& value) {
    NSKeyedArchiver coder(kExtraClass);
    if (const auto* color = value.get<CGColor>(); color && !color->pattern) {
        coder.encodeValueForKey(Value("color"), "kind");
        coder.encodeValueForKey(colorValue(*color), "value");
    } else if (const auto* insets = value.get<UIEdgeInsets>()) {
        coder.encodeValueForKey(Value("insets"), "kind");
        coder.encodeValueForKey(Value(Value::Array{Value(insets->top), Value(insets->left),
                                                   Value(insets->bottom), Value(insets->right)}),
                                "value");
    } else if (const auto* number = value.get<CGFloat>()) {
        coder.encodeValueForKey(Value("number"), "kind");
        coder.encodeValueForKey(Value(*number), "value");
    } else if (const auto* flag = value.get<bool>()) {
        coder.encodeValueForKey(Value("flag"), "kind");
        coder.encodeValueForKey(Value(*flag), "value");
    } else if (const auto* text = value.get<std::string>()) {
        coder.encodeValueForKey(Value("text"), "kind");
        coder.encodeValueForKey(Value(*text), "value");
    } else {
        return std::nullopt;
    }
    return coder;
}

std::optional<NSAttributeValue> extraFromArchive(const NSKeyedUnarchiver& coder) {
    const std::string kind = coder.decodeStringForKey("kind").value_or("");
    if (kind == "color") {
        if (auto color = decodeColor(coder, "value"))
            return NSAttributeValue(*color);
    } else if (kind == "insets") {
        if (auto insets = coder.decodeNumbersForKey("value", 4))
            return NSAttributeValue(
                UIEdgeInsets{(*insets)[0], (*insets)[1], (*insets)[2], (*insets)[3]});
    } else if (kind == "number") {
        if (auto number = coder.decodeDoubleForKey("value"))
            return NSAttributeValue(CGFloat(*number));
    } else if (kind == "flag") {
        if (auto flag = coder.decodeBoolForKey("value"))
            return NSAttributeValue(*flag);
    } else if (kind == "text") {
        if (auto text = coder.decodeStringForKey("value"))
            return NSAttributeValue(*text);
    }
    coder.failWithReason("an attribute value of unknown kind \"" + kind + "\"");
    return std::nullopt;
}

Value componentsValue(const NSTextCheckingResult::Components& components) {
    Value::Dictionary dictionary;
    for (const auto& [key, text] : components)
        dictionary[key] = Value(text);
    return Value(std::move(dictionary));
}

NSTextCheckingResult::Components componentsFromArchive(const NSKeyedUnarchiver& coder,
                                                       const std::string& key) {
    NSTextCheckingResult::Components components;
    const auto value = coder.decodeValueForKey(key);
    if (!value)
        return components;
    const Value::Dictionary* dictionary = value->dictionaryValue();
    if (!dictionary) {
        coder.failWithReason("\"" + key + "\" is not a dictionary");
        return components;
    }
    for (const auto& [name, text] : *dictionary) {
        if (!text.stringValue()) {
            coder.failWithReason("\"" + key + "\" holds a value that is no text");
            return components;
        }
        components[name] = *text.stringValue();
    }
    return components;
}

bool isKnownResultType(int64_t type) {
    switch (type) {
        case NSTextCheckingTypeDate:
        case NSTextCheckingTypeAddress:
        case NSTextCheckingTypeLink:
        case NSTextCheckingTypePhoneNumber:
        case NSTextCheckingTypeTransitInformation:
            return true;
        default:
            return false;
    }
}

}  // namespace

NSKeyedArchiver archiveOfAttributes(const CTStringAttributes& attributes) {
    NSKeyedArchiver coder(kAttributesClass);
    if (attributes.font) {
        coder.encodeValueForKey(Value(attributes.font->name()), "NSFontName");
        coder.encodeValueForKey(Value(attributes.font->size()), "NSFontSize");
    }
    encodeColor(coder, attributes.foregroundColor, "NSColor");
    if (attributes.foregroundColorFromContext)
        coder.encodeValueForKey(Value(true), "ColorFromContext");
    encodeNumber(coder, attributes.strokeWidth, "NSStrokeWidth");
    encodeColor(coder, attributes.strokeColor, "NSStrokeColor");
    encodeNumber(coder, attributes.kern, "NSKern");
    if (attributes.paragraphStyle)
        coder.encodeObjectForKey(archiveOfParagraphStyle(*attributes.paragraphStyle),
                                 "NSParagraphStyle");
    encodeNumber(coder, attributes.underlineStyle, "NSUnderline");
    encodeNumber(coder, attributes.strikethroughStyle, "NSStrikethrough");
    encodeColor(coder, attributes.backgroundColor, "NSBackgroundColor");
    encodeNumber(coder, attributes.superscript, "NSSuperScript");
    if (attributes.link)
        coder.encodeValueForKey(Value(*attributes.link), "NSLink");
    std::vector<NSKeyedArchiver> extras;
    for (const auto& [name, value] : attributes.extra)
        if (auto extra = archiveOfExtra(value)) {
            extra->encodeValueForKey(Value(name), "name");
            extras.push_back(std::move(*extra));
        }
    if (!extras.empty())
        coder.encodeObjectsForKey(extras, "extra");
    return coder;
}

std::optional<CTStringAttributes> attributesFromArchive(const NSKeyedUnarchiver& coder) {
    CTStringAttributes attributes;
    const auto fontName = coder.decodeStringForKey("NSFontName");
    const auto fontSize = coder.decodeDoubleForKey("NSFontSize");
    if (fontName && fontSize)
        attributes.font = CTFont::createWithName(*fontName, *fontSize);
    attributes.foregroundColor = decodeColor(coder, "NSColor");
    attributes.foregroundColorFromContext =
        coder.decodeBoolForKey("ColorFromContext").value_or(false);
    attributes.strokeWidth = coder.decodeDoubleForKey("NSStrokeWidth");
    attributes.strokeColor = decodeColor(coder, "NSStrokeColor");
    attributes.kern = coder.decodeDoubleForKey("NSKern");
    if (auto style = coder.decodeObjectOfClassForKey(kParagraphStyleClass, "NSParagraphStyle"))
        attributes.paragraphStyle = paragraphStyleFromArchive(*style);
    attributes.underlineStyle = decodeInt(coder, "NSUnderline");
    attributes.strikethroughStyle = decodeInt(coder, "NSStrikethrough");
    attributes.backgroundColor = decodeColor(coder, "NSBackgroundColor");
    attributes.superscript = decodeInt(coder, "NSSuperScript");
    attributes.link = coder.decodeStringForKey("NSLink");
    for (const auto& extra : coder.decodeObjectsOfClassForKey(kExtraClass, "extra")
                                 .value_or(std::vector<NSKeyedUnarchiver>{})) {
        const auto name = extra.decodeStringForKey("name");
        auto value = extraFromArchive(extra);
        if (name && value)
            attributes.extra.emplace(*name, std::move(*value));
    }
    if (coder.failed())
        return std::nullopt;
    return attributes;
}

NSKeyedArchiver archiveOfAttributedString(const NSAttributedString& string) {
    NSKeyedArchiver coder(kAttributedStringClass);
    coder.encodeValueForKey(Value(string.string()), "NSString");
    std::vector<NSKeyedArchiver> runs;
    for (const auto& run : string.runs()) {
        NSKeyedArchiver archived(kRunClass);
        archived.encodeValueForKey(Value(run.range.location), "location");
        archived.encodeValueForKey(Value(run.range.length), "length");
        archived.encodeObjectForKey(archiveOfAttributes(run.attributes), "attributes");
        runs.push_back(std::move(archived));
    }
    coder.encodeObjectsForKey(runs, "runs");
    return coder;
}

std::optional<NSAttributedString> attributedStringFromArchive(const NSKeyedUnarchiver& coder) {
    const auto text = coder.decodeStringForKey("NSString");
    if (!text) {
        coder.failWithReason("an attributed string without its text");
        return std::nullopt;
    }
    NSAttributedString string(*text);
    const auto length = long(string.length());
    for (const auto& run : coder.decodeObjectsOfClassForKey(kRunClass, "runs")
                               .value_or(std::vector<NSKeyedUnarchiver>{})) {
        const auto location = run.decodeInt64ForKey("location");
        const auto runLength = run.decodeInt64ForKey("length");
        const auto attributes = run.decodeObjectOfClassForKey(kAttributesClass, "attributes");
        if (!location || !runLength || !attributes || *location < 0 || *runLength < 0 ||
            *location > length || *runLength > length - *location) {
            coder.failWithReason("a run outside its attributed string");
            return std::nullopt;
        }
        if (auto decoded = attributesFromArchive(*attributes))
            string.addAttributes(*decoded, CFRange{long(*location), long(*runLength)});
    }
    if (coder.failed())
        return std::nullopt;
    return string;
}

NSKeyedArchiver archiveOfTextCheckingResult(const NSTextCheckingResult& result) {
    NSKeyedArchiver coder(kResultClass);
    coder.encodeValueForKey(Value(uint64_t(result.resultType)), "resultType");
    coder.encodeValueForKey(Value(result.range.location), "location");
    coder.encodeValueForKey(Value(result.range.length), "length");
    if (!result.URL.empty())
        coder.encodeValueForKey(Value(result.URL), "URL");
    if (!result.phoneNumber.empty())
        coder.encodeValueForKey(Value(result.phoneNumber), "phoneNumber");
    if (result.date)
        coder.encodeValueForKey(Value(*result.date), "date");
    if (result.timeZone)
        coder.encodeValueForKey(Value(result.timeZone->name()), "timeZone");
    if (result.duration != 0)
        coder.encodeValueForKey(Value(result.duration), "duration");
    if (!result.addressComponents.empty())
        coder.encodeValueForKey(componentsValue(result.addressComponents), "addressComponents");
    if (!result.components.empty())
        coder.encodeValueForKey(componentsValue(result.components), "components");
    return coder;
}

std::optional<NSTextCheckingResult> textCheckingResultFromArchive(const NSKeyedUnarchiver& coder) {
    const auto type = coder.decodeInt64ForKey("resultType");
    const auto location = coder.decodeInt64ForKey("location");
    const auto length = coder.decodeInt64ForKey("length");
    if (!type || !isKnownResultType(*type)) {
        coder.failWithReason("a link of unknown kind " + (type ? std::to_string(*type) : "(none)"));
        return std::nullopt;
    }
    if (!location || !length || *location < 0 || *length < 0) {
        coder.failWithReason("a link without its range");
        return std::nullopt;
    }
    NSTextCheckingResult result;
    result.resultType = NSTextCheckingType(*type);
    result.range = NSRange{size_t(*location), size_t(*length)};
    result.URL = coder.decodeStringForKey("URL").value_or("");
    result.phoneNumber = coder.decodeStringForKey("phoneNumber").value_or("");
    if (auto date = coder.decodeValueForKey("date")) {
        result.date = date->dateValue();
        if (!result.date)
            coder.failWithReason("\"date\" is no date");
    }
    if (auto zone = coder.decodeStringForKey("timeZone")) {
        result.timeZone = NSTimeZone::timeZoneWithName(*zone);
        if (!result.timeZone)
            coder.failWithReason("unknown time zone " + *zone);
    }
    result.duration = coder.decodeDoubleForKey("duration").value_or(0);
    result.addressComponents = componentsFromArchive(coder, "addressComponents");
    result.components = componentsFromArchive(coder, "components");
    if (coder.failed())
        return std::nullopt;
    return result;
}

void encodeAttributesForKey(NSKeyedArchiver& coder,
                            const std::optional<CTStringAttributes>& attributes,
                            const std::string& key) {
    if (attributes)
        coder.encodeObjectForKey(archiveOfAttributes(*attributes), key);
}

std::optional<CTStringAttributes> decodeAttributesForKey(const NSKeyedUnarchiver& coder,
                                                         const std::string& key) {
    const auto object = coder.decodeObjectOfClassForKey(kAttributesClass, key);
    return object ? attributesFromArchive(*object) : std::nullopt;
}

}  // namespace BITAttributedTextCoding
