// The attributed label through a keyed archive: what comes back, and what a
// damaged archive gives.
#include <gtest/gtest.h>

#include "AttributedLabelTestSupport.h"
#include "Foundation/NSKeyedArchiver.h"
#include "Foundation/NSKeyedUnarchiver.h"
#include "UIKit/UIFont.h"

namespace {

constexpr const char* kText = "See www.example.org, call 0395 5551234 or come by the office today";

CFRange word(const std::string& text, const std::string& what) {
    return CFRange{long(text.find(what)), long(what.size())};
}

std::shared_ptr<BITAttributedLabel> labelWithLinks() {
    auto label = linkLabel(kText, NSTextCheckingTypeLink | NSTextCheckingTypePhoneNumber);
    label->setFont(UIFont::fontWithNameSize("Georgia", 15));
    label->addLinkToAddressWithRange({{NSTextCheckingCityKey, "Neubrandenburg"}},
                                     word(kText, "office"));
    auto today = label->addLinkToDateTimeZoneDurationWithRange(
        NSDate::dateWithTimeIntervalSince1970(1710489600),
        NSTimeZone::timeZoneWithName("Europe/Berlin"), 3600, word(kText, "today"));
    today->setAccessibilityValue("this afternoon");
    label->setShadowRadius(2);
    label->setHighlightedShadowColor(UIColor::colorWithRedGreenBlueAlpha(0, 0, 0.5, 1));
    label->setKern(0.5);
    label->setTextInsets({4, 6, 4, 6});
    label->setVerticalAlignment(BITAttributedLabelVerticalAlignmentTop);
    label->setTruncationTokenString(std::string(" [more]"));
    label->setLinkBackgroundEdgeInset({1, -2, 1, -2});
    label->setExtendsLinkTouchArea(false);
    return label;
}

std::vector<uint8_t> pixels(const std::shared_ptr<BITAttributedLabel>& label) {
    const CGImageRef image = drawLabels({label});
    return std::vector<uint8_t>(image->data(),
                                image->data() + image->bytesPerRow() * image->height());
}

TEST(BITAttributedLabelArchive, ALabelWithLinksComesBackWholeAndDrawsTheSame) {
    auto label = labelWithLinks();
    ASSERT_EQ(label->linkModels().size(), 4u);
    NSError error;
    const auto data = label->archivedData(&error);
    ASSERT_TRUE(data) << error.localizedDescription();
    auto copy = BITAttributedLabel::labelWithArchivedData(*data, &error);
    ASSERT_NE(copy, nullptr) << error.localizedDescription();

    EXPECT_EQ(copy->attributedText(), label->attributedText());
    EXPECT_EQ(copy->frame(), label->frame());
    EXPECT_EQ(copy->font()->fontName(), label->font()->fontName());
    EXPECT_EQ(copy->enabledTextCheckingTypes(), label->enabledTextCheckingTypes());
    EXPECT_EQ(copy->linkAttributes(), label->linkAttributes());
    EXPECT_EQ(copy->activeLinkAttributes(), label->activeLinkAttributes());
    EXPECT_EQ(copy->highlightedShadowColor(), label->highlightedShadowColor());
    EXPECT_EQ(copy->textInsets(), label->textInsets());
    EXPECT_EQ(copy->linkBackgroundEdgeInset(), label->linkBackgroundEdgeInset());
    EXPECT_EQ(copy->verticalAlignment(), BITAttributedLabelVerticalAlignmentTop);
    EXPECT_EQ(copy->truncationTokenString(), " [more]");
    // Not archived.
    EXPECT_TRUE(copy->extendsLinkTouchArea());

    ASSERT_EQ(copy->linkModels().size(), label->linkModels().size());
    for (size_t i = 0; i < label->linkModels().size(); ++i) {
        const auto& was = *label->linkModels()[i];
        const auto& is = *copy->linkModels()[i];
        ASSERT_TRUE(is.result());
        EXPECT_EQ(is.result()->resultType, was.result()->resultType) << i;
        EXPECT_EQ(is.range(), was.range()) << i;
        EXPECT_EQ(is.result()->URL, was.result()->URL) << i;
        EXPECT_EQ(is.result()->phoneNumber, was.result()->phoneNumber) << i;
        EXPECT_EQ(is.result()->addressComponents, was.result()->addressComponents) << i;
        EXPECT_EQ(is.attributes(), was.attributes()) << i;
    }
    const auto& today = *copy->linkModels().back();
    EXPECT_EQ(today.result()->timeZone->name(), "Europe/Berlin");
    EXPECT_EQ(today.result()->duration, 3600);
    EXPECT_EQ(today.result()->date->timeIntervalSince1970(), 1710489600);
    EXPECT_EQ(copy->linkModels().back()->accessibilityValue(), "this afternoon");
    EXPECT_EQ(pixels(copy), pixels(label));
}

// An archive holding only what a plain label keeps: the label it gives has
// every default a label made in code has.
TEST(BITAttributedLabelArchive, ALabelFromAnArchiveStartsWithTheDefaults) {
    NSKeyedArchiver coder(BITAttributedLabel::kClassName);
    coder.encodeValueForKey(Value("Read www.example.org"), "text");
    NSError error;
    const auto decoded = BITAttributedLabel::labelWithArchivedData(*coder.archivedData(), &error);
    ASSERT_NE(decoded, nullptr) << error.localizedDescription();
    const BITAttributedLabel made;
    EXPECT_TRUE(decoded->isUserInteractionEnabled());
    EXPECT_FALSE(decoded->isMultipleTouchEnabled());
    EXPECT_EQ(decoded->textInsets(), made.textInsets());
    EXPECT_EQ(decoded->lineHeightMultiple(), 1);
    EXPECT_EQ(decoded->linkBackgroundEdgeInset(), (UIEdgeInsets{0, -1, 0, -1}));
    EXPECT_EQ(decoded->linkAttributes(), made.linkAttributes());
    EXPECT_EQ(decoded->activeLinkAttributes(), made.activeLinkAttributes());
    EXPECT_EQ(decoded->inactiveLinkAttributes(), made.inactiveLinkAttributes());
    EXPECT_TRUE(decoded->extendsLinkTouchArea());
    EXPECT_TRUE(decoded->linkModels().empty());
    ASSERT_NE(decoded->longPressGestureRecognizer(), nullptr);
    EXPECT_EQ(decoded->attributedText()->string(), "Read www.example.org");
}

TEST(BITAttributedLabelArchive, ADamagedArchiveIsAnErrorAndBuildsNothing) {
    const auto data = *labelWithLinks()->archivedData();
    const auto refused = [](const Value::Data& bytes, const std::string& why) {
        NSError error;
        EXPECT_EQ(BITAttributedLabel::labelWithArchivedData(bytes, &error), nullptr) << why;
        EXPECT_EQ(error.domain, NSError::NSCocoaErrorDomain) << why;
        EXPECT_EQ(error.code, NSKeyedUnarchiver::kReadCorruptError) << why;
        return error.localizedDescription();
    };
    refused(Value::Data(data.begin(), data.begin() + long(data.size() / 2)), "truncated");
    refused(Value::Data{'b', 'p', 'l', 'i', 's', 't'}, "no archive");

    NSKeyedArchiver button("UIButton");
    button.encodeValueForKey(Value("OK"), "text");
    EXPECT_NE(refused(*button.archivedData(), "another class").find("UIButton"), std::string::npos);

    // A link of a kind no label knows.
    NSKeyedArchiver label(BITAttributedLabel::kClassName);
    labelWithLinks()->encodeWithCoder(label);
    NSKeyedArchiver result("NSTextCheckingResult");
    result.encodeValueForKey(Value(999), "resultType");
    result.encodeValueForKey(Value(0), "location");
    result.encodeValueForKey(Value(3), "length");
    NSKeyedArchiver link(BITAttributedLabelLink::kClassName);
    link.encodeObjectForKey(result, "result");
    label.encodeObjectsForKey({link}, "linkModels");
    EXPECT_NE(refused(*label.archivedData(), "unknown link").find("unknown kind"),
              std::string::npos);

    // A value of the wrong kind, a run beyond the text.
    NSKeyedArchiver wide(BITAttributedLabel::kClassName);
    labelWithLinks()->encodeWithCoder(wide);
    wide.encodeValueForKey(Value("wide"), "kern");
    refused(*wide.archivedData(), "kern as text");
    NSKeyedArchiver run("NSAttributeRun");
    run.encodeValueForKey(Value(60), "location");
    run.encodeValueForKey(Value(40), "length");
    run.encodeObjectForKey(NSKeyedArchiver("NSDictionary"), "attributes");
    NSKeyedArchiver text("NSAttributedString");
    text.encodeValueForKey(Value("short"), "NSString");
    text.encodeObjectsForKey({run}, "runs");
    NSKeyedArchiver outside(BITAttributedLabel::kClassName);
    outside.encodeObjectForKey(text, "attributedText");
    refused(*outside.archivedData(), "run outside the text");
}

}  // namespace
