// Keyed archiving of the attributed label and its links.
#include <cstdio>
#include <string>

#include "UIKit/UILabel+Coding.h"
#include "sdk/feedback/BITAttributedLabel.h"
#include "sdk/feedback/BITAttributedTextCoding.h"

using namespace BITAttributedTextCoding;

namespace {

constexpr const char* kResultClass = "NSTextCheckingResult";

// The platform's text form of edge insets: "{top, left, bottom, right}".
std::string insetsText(const UIEdgeInsets& insets) {
    char text[128];
    std::snprintf(text, sizeof text, "{%g, %g, %g, %g}", insets.top, insets.left, insets.bottom,
                  insets.right);
    return text;
}

std::optional<UIEdgeInsets> insetsFromText(const std::string& text) {
    UIEdgeInsets insets;
    int used = -1;
    if (std::sscanf(text.c_str(), " {%lf ,%lf ,%lf ,%lf }%n", &insets.top, &insets.left,
                    &insets.bottom, &insets.right, &used) != 4 ||
        used != int(text.size()))
        return std::nullopt;
    return insets;
}

Value insetsValue(const UIEdgeInsets& insets) {
    return Value(Value::Array{Value(insets.top), Value(insets.left), Value(insets.bottom),
                              Value(insets.right)});
}

}  // namespace

void BITAttributedLabelLink::encodeWithCoder(NSKeyedArchiver& coder) const {
    if (result_)
        coder.encodeObjectForKey(archiveOfTextCheckingResult(*result_), "result");
    encodeAttributesForKey(coder, attributes_, "attributes");
    encodeAttributesForKey(coder, activeAttributes_, "activeAttributes");
    encodeAttributesForKey(coder, inactiveAttributes_, "inactiveAttributes");
    coder.encodeValueForKey(Value(accessibilityValue_), "accessibilityValue");
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabelLink::initWithCoder(
    const NSKeyedUnarchiver& coder) {
    std::optional<NSTextCheckingResult> result;
    if (auto archived = coder.decodeObjectOfClassForKey(kResultClass, "result"))
        result = textCheckingResultFromArchive(*archived);
    auto link = std::make_shared<BITAttributedLabelLink>(
        decodeAttributesForKey(coder, "attributes"),
        decodeAttributesForKey(coder, "activeAttributes"),
        decodeAttributesForKey(coder, "inactiveAttributes"), std::move(result));
    if (auto value = coder.decodeStringForKey("accessibilityValue"))
        link->setAccessibilityValue(*value);
    return coder.failed() ? nullptr : link;
}

void BITAttributedLabel::encodeWithCoder(NSKeyedArchiver& coder) const {
    UILabelEncodeWithCoder(*this, coder);
    coder.encodeValueForKey(Value(enabledTextCheckingTypes_), "enabledTextCheckingTypes");
    std::vector<NSKeyedArchiver> links;
    for (const auto& link : linkModels_) {
        NSKeyedArchiver archived(BITAttributedLabelLink::kClassName);
        link->encodeWithCoder(archived);
        links.push_back(std::move(archived));
    }
    coder.encodeObjectsForKey(links, "linkModels");
    encodeAttributesForKey(coder, linkAttributes_, "linkAttributes");
    encodeAttributesForKey(coder, activeLinkAttributes_, "activeLinkAttributes");
    encodeAttributesForKey(coder, inactiveLinkAttributes_, "inactiveLinkAttributes");
    coder.encodeValueForKey(Value(shadowRadius_), "shadowRadius");
    coder.encodeValueForKey(Value(highlightedShadowRadius_), "highlightedShadowRadius");
    coder.encodeValueForKey(Value(Value::Array{Value(highlightedShadowOffset_.width),
                                               Value(highlightedShadowOffset_.height)}),
                            "highlightedShadowOffset");
    if (highlightedShadowColor_)
        if (auto color = UIColorArchiveValue(*highlightedShadowColor_))
            coder.encodeValueForKey(*color, "highlightedShadowColor");
    coder.encodeValueForKey(Value(kern_), "kern");
    coder.encodeValueForKey(Value(firstLineIndent_), "firstLineIndent");
    coder.encodeValueForKey(Value(lineSpacing_), "lineSpacing");
    coder.encodeValueForKey(Value(lineHeightMultiple_), "lineHeightMultiple");
    coder.encodeValueForKey(insetsValue(textInsets_), "textInsets");
    coder.encodeValueForKey(Value(long(verticalAlignment_)), "verticalAlignment");
    if (truncationTokenString_)
        coder.encodeValueForKey(Value(*truncationTokenString_), "truncationTokenString");
    coder.encodeValueForKey(Value(insetsText(linkBackgroundEdgeInset_)), "linkBackgroundEdgeInset");
    if (attributedText_)
        coder.encodeObjectForKey(archiveOfAttributedString(*attributedText_), "attributedText");
}

std::shared_ptr<BITAttributedLabel> BITAttributedLabel::initWithCoder(
    const NSKeyedUnarchiver& coder, NSError* error) {
    if (coder.className() != kClassName)
        coder.failWithReason("the archive holds a " + coder.className() + ", not a " + kClassName);
    auto label = std::make_shared<BITAttributedLabel>(Decoding{});
    if (!coder.failed())
        UILabelDecodeWithCoder(*label, coder);
    label->commonInit();
    if (auto types = coder.decodeInt64ForKey("enabledTextCheckingTypes"))
        label->setEnabledTextCheckingTypes(uint64_t(*types));
    for (const char* key : {"linkAttributes", "activeLinkAttributes", "inactiveLinkAttributes"}) {
        if (!coder.containsValueForKey(key))
            continue;
        auto attributes = decodeAttributesForKey(coder, key);
        const std::string name = key;
        if (name == "linkAttributes")
            label->setLinkAttributes(attributes);
        else if (name == "activeLinkAttributes")
            label->setActiveLinkAttributes(attributes);
        else
            label->setInactiveLinkAttributes(attributes);
    }
    if (auto results = coder.decodeObjectsOfClassForKey(kResultClass, "links"))
        for (const auto& archived : *results)
            if (auto result = textCheckingResultFromArchive(archived))
                label->addLinkWithTextCheckingResultAttributes(*result, std::nullopt);
    if (auto archived =
            coder.decodeObjectsOfClassForKey(BITAttributedLabelLink::kClassName, "linkModels")) {
        Links links;
        for (const auto& item : *archived)
            if (auto link = BITAttributedLabelLink::initWithCoder(item))
                links.push_back(std::move(link));
        if (!coder.failed())
            label->setLinkModels(std::move(links));
    }
    if (auto radius = coder.decodeDoubleForKey("shadowRadius"))
        label->setShadowRadius(*radius);
    if (auto radius = coder.decodeDoubleForKey("highlightedShadowRadius"))
        label->setHighlightedShadowRadius(*radius);
    if (auto offset = coder.decodeNumbersForKey("highlightedShadowOffset", 2))
        label->setHighlightedShadowOffset(CGSizeMake((*offset)[0], (*offset)[1]));
    if (auto color = UIColorFromArchiveValue(coder, "highlightedShadowColor"))
        label->setHighlightedShadowColor(*color);
    if (auto kern = coder.decodeDoubleForKey("kern"))
        label->setKern(*kern);
    if (auto indent = coder.decodeDoubleForKey("firstLineIndent"))
        label->setFirstLineIndent(*indent);
    if (auto spacing = coder.decodeDoubleForKey("lineSpacing"))
        label->setLineSpacing(*spacing);
    if (auto height = coder.decodeDoubleForKey("minimumLineHeight"))
        label->setMinimumLineHeight(*height);
    if (auto height = coder.decodeDoubleForKey("maximumLineHeight"))
        label->setMaximumLineHeight(*height);
    if (auto multiple = coder.decodeDoubleForKey("lineHeightMultiple"))
        label->setLineHeightMultiple(*multiple);
    if (auto insets = coder.decodeNumbersForKey("textInsets", 4))
        label->setTextInsets({(*insets)[0], (*insets)[1], (*insets)[2], (*insets)[3]});
    if (auto alignment = coder.decodeInt64ForKey("verticalAlignment")) {
        if (*alignment >= BITAttributedLabelVerticalAlignmentCenter &&
            *alignment <= BITAttributedLabelVerticalAlignmentBottom)
            label->setVerticalAlignment(BITAttributedLabelVerticalAlignment(*alignment));
        else
            coder.failWithReason("unknown vertical alignment " + std::to_string(*alignment));
    }
    if (auto token = coder.decodeStringForKey("truncationTokenString"))
        label->setTruncationTokenString(*token);
    if (auto text = coder.decodeStringForKey("linkBackgroundEdgeInset")) {
        if (auto insets = insetsFromText(*text))
            label->setLinkBackgroundEdgeInset(*insets);
        else
            coder.failWithReason("\"linkBackgroundEdgeInset\" is no edge insets: " + *text);
    }
    if (auto archived = coder.decodeObjectOfClassForKey("NSAttributedString", "attributedText")) {
        if (auto text = attributedStringFromArchive(*archived))
            label->setAttributedText(*text);
    } else if (!coder.failed()) {
        label->setText(label->UILabel::text());
    }
    if (coder.failed()) {
        if (error)
            *error = coder.error();
        return nullptr;
    }
    return label;
}

std::optional<Value::Data> BITAttributedLabel::archivedData(NSError* error) const {
    NSKeyedArchiver coder(kClassName);
    encodeWithCoder(coder);
    return coder.archivedData(error);
}

std::shared_ptr<BITAttributedLabel> BITAttributedLabel::labelWithArchivedData(
    const Value::Data& data, NSError* error) {
    auto coder = NSKeyedUnarchiver::unarchiverForReadingFromData(data, error);
    return coder ? initWithCoder(*coder, error) : nullptr;
}
