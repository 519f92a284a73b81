#include <gtest/gtest.h>

#include <algorithm>

#include "AttributedLabelTestSupport.h"
#include "CoreGraphics/CGPath.h"
#include "CoreText/CTLine.h"
#include "CoreText/CTRun.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UITouch.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "sdk/SdkTestSupport.h"
#include "sdk/feedback/BITAttributedLabel.h"

namespace {

struct RecordingDelegate : BITAttributedLabelDelegate {
    bool attributedLabelDidSelectLinkWithURL(BITAttributedLabel&, const std::string& url) override {
        urls.push_back(url);
        return true;
    }
    std::vector<std::string> urls;
};

std::shared_ptr<BITAttributedLabel> helpLabel() {
    return linkLabel("Read https://example.org/help now");
}

CTFrameRef frameOf(const NSAttributedString& text) {
    CGPath path;
    path.addRect(CGRectMake(0, 0, 300, 60));
    return CTFramesetter::createWithAttributedString(text)->createFrame(CFRangeMake(0, 0), path);
}

}  // namespace

TEST(BITAttributedLabel, DetectsLinksAndMarksThem) {
    const auto label = helpLabel();
    const auto links = label->links();
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].URL, "https://example.org/help");
    EXPECT_EQ(links[0].range.location, 5u);
    const auto& marked = label->attributedText()->attributesAtIndex(6);
    EXPECT_EQ(marked.underlineStyle, 1);
    EXPECT_EQ(label->attributedText()->attributesAtIndex(1).underlineStyle, std::nullopt);
}

TEST(BITAttributedLabel, TapOnALinkTellsTheDelegateAndATapBesideItOnlyWithTheWideSearch) {
    const auto label = helpLabel();
    auto delegate = std::make_shared<RecordingDelegate>();
    label->setDelegate(delegate);
    const auto onLink = pointOfCharacter(*label, 10);
    ASSERT_TRUE(onLink);
    EXPECT_EQ(label->hitTest(*onLink, nullptr), label);
    label->touchesBegan(touchAt(*onLink), nullptr);
    ASSERT_TRUE(label->activeLink());
    EXPECT_EQ(label->attributedText()->attributesAtIndex(10).underlineStyle, 0);  // pressed look
    label->touchesEnded(touchAt(*onLink), nullptr);
    ASSERT_EQ(delegate->urls.size(), 1u);
    EXPECT_EQ(delegate->urls[0], "https://example.org/help");
    EXPECT_EQ(label->attributedText()->attributesAtIndex(10).underlineStyle, 1);

    // "Read " starts the text: a point just before the link's first glyph.
    const auto first = pointOfCharacter(*label, 5);
    ASSERT_TRUE(first);
    const CGPoint beside = CGPointMake(first->x - 10, first->y);
    const bool besideIsLink =
        label->linkAtCharacterIndex(label->characterIndexAtPoint(beside)) != nullptr;
    EXPECT_FALSE(besideIsLink);
    EXPECT_TRUE(label->linkAtPoint(beside));
    label->setExtendsLinkTouchArea(false);
    EXPECT_FALSE(label->linkAtPoint(beside));
    label->setExtendsLinkTouchArea(true);
    EXPECT_FALSE(label->linkAtPoint(CGPointMake(-16, first->y)));
}

TEST(BITAttributedLabel, MovingOffTheLinkCancelsTheTap) {
    const auto label = helpLabel();
    auto delegate = std::make_shared<RecordingDelegate>();
    label->setDelegate(delegate);
    const auto onLink = pointOfCharacter(*label, 12);
    ASSERT_TRUE(onLink);
    label->touchesBegan(touchAt(*onLink), nullptr);
    label->touchesMoved(touchAt(CGPointMake(299, 79)), nullptr);
    label->touchesEnded(touchAt(CGPointMake(299, 79)), nullptr);
    EXPECT_TRUE(delegate->urls.empty());
}

TEST(BITAttributedLabel, VerticalAlignmentPlacesShortText) {
    BITAttributedLabel label(CGRectMake(0, 0, 200, 200));
    label.setText("short");
    const CGRect bounds = label.bounds();
    label.setVerticalAlignment(BITAttributedLabelVerticalAlignmentTop);
    EXPECT_EQ(label.textRectForBoundsLimitedToNumberOfLines(bounds, 1).origin.y, 0);
    label.setVerticalAlignment(BITAttributedLabelVerticalAlignmentCenter);
    const CGFloat centre = label.textRectForBoundsLimitedToNumberOfLines(bounds, 1).origin.y;
    label.setVerticalAlignment(BITAttributedLabelVerticalAlignmentBottom);
    const CGFloat bottom = label.textRectForBoundsLimitedToNumberOfLines(bounds, 1).origin.y;
    EXPECT_GT(centre, 0);
    EXPECT_EQ(centre, std::floor(bottom / 2));
    const CGSize size = label.sizeThatFits(CGSizeMake(200, 200));
    EXPECT_EQ(bottom, 200 - size.height);
}

TEST(BITAttributedLabel, BackgroundBoxesFollowTheInsets) {
    BITAttributedLabel label(CGRectMake(0, 0, 300, 60));
    NSAttributedString text("tag", label.labelTextAttributes());
    text.addAttribute(kBITBackgroundFillColorAttributeName, CGColorCreateGenericGray(0.8, 1),
                      CFRangeMake(0, 3));
    text.addAttribute(kBITBackgroundFillPaddingAttributeName, UIEdgeInsets{1, 2, 3, 4},
                      CFRangeMake(0, 3));
    NSAttributedString paddingOnly(" plain", label.labelTextAttributes());
    paddingOnly.addAttribute(kBITBackgroundFillPaddingAttributeName, UIEdgeInsets{1, 1, 1, 1},
                             CFRangeMake(0, 6));
    text.appendAttributedString(paddingOnly);
    label.setAttributedText(text);
    const auto frame = frameOf(text);
    const auto boxes = label.backgroundBoxes(*frame);
    ASSERT_EQ(boxes.size(), 1u);  // padding alone draws nothing
    const CGFloat width = boxes[0].size.width;

    NSAttributedString thick = text;
    thick.addAttribute(kBITBackgroundLineWidthAttributeName, CGFloat{2}, CFRangeMake(0, 3));
    const auto thickFrame = frameOf(thick);
    const auto thickBoxes = label.backgroundBoxes(*thickFrame);
    ASSERT_EQ(thickBoxes.size(), 1u);
    EXPECT_DOUBLE_EQ(thickBoxes[0].size.width, width - 4);
    EXPECT_DOUBLE_EQ(thickBoxes[0].origin.x, boxes[0].origin.x + 2);
    // The default edge inset makes the box one point wider on each side.
    label.setLinkBackgroundEdgeInset({});
    EXPECT_DOUBLE_EQ(label.backgroundBoxes(*frame)[0].size.width, width - 2);
}

// The padding widens a box before it is cut to its line, so a padded run
// that fills its line gets a box as wide as the line. A right-to-left run's
// box starts at the offset of its end, where its last character is drawn:
// on its left.
TEST(BITAttributedLabel, BackgroundBoxesStayInTheirLineAndStartRightToLeftRunsAtTheirEnd) {
    BITAttributedLabel label(CGRectMake(0, 0, 300, 60));
    label.setLinkBackgroundEdgeInset({});
    const auto boxed = [&](const std::string& string, CFRange range) {
        NSAttributedString text(string, label.labelTextAttributes());
        text.addAttribute(kBITBackgroundFillColorAttributeName, CGColorCreateGenericGray(0.8, 1),
                          range);
        text.addAttribute(kBITBackgroundFillPaddingAttributeName, UIEdgeInsets{1, 2, 3, 4}, range);
        return frameOf(text);
    };
    const auto filled = boxed("tag", CFRangeMake(0, 3));
    auto boxes = label.backgroundBoxes(*filled);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_DOUBLE_EQ(boxes[0].size.width,
                     filled->lines()[0]->typographicBounds(nullptr, nullptr, nullptr));
    EXPECT_DOUBLE_EQ(boxes[0].origin.x, filled->lineOrigins()[0].x - 2);

    // "shalom olam", the first word boxed.
    const auto hebrew =
        boxed("\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD", CFRangeMake(0, 4));
    const CTRun* word = nullptr;
    for (const auto& run : hebrew->lines()[0]->glyphRuns())
        if (run->stringRange().location == 0)
            word = run.get();
    ASSERT_NE(word, nullptr);
    ASSERT_TRUE(word->status() & kCTRunStatusRightToLeft);
    CGFloat leftmost = word->positions()[0].x;
    for (const CGPoint& position : word->positions())
        leftmost = std::min(leftmost, position.x);
    boxes = label.backgroundBoxes(*hebrew);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NEAR(boxes[0].origin.x, hebrew->lineOrigins()[0].x + leftmost - 2, 0.01);
    EXPECT_NEAR(boxes[0].size.width,
                word->typographicBounds(CFRangeMake(0, 0), nullptr, nullptr, nullptr) + 6, 0.01);
}

TEST(BITAttributedLabel, DrawsLinksBackgroundsAndStrikeOut) {
    const auto shared = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 320, 90));
    BITAttributedLabel& label = *shared;
    label.setNumberOfLines(0);
    label.setEnabledTextCheckingTypes(NSTextCheckingTypeLink);
    NSAttributedString text("Open https://example.org or call. ", label.labelTextAttributes());
    NSAttributedString tag("tagged", label.labelTextAttributes());
    tag.addAttribute(kBITBackgroundFillColorAttributeName, CGColorCreateGenericRGB(1, 0.9, 0.4, 1),
                     CFRangeMake(0, 6));
    tag.addAttribute(kBITBackgroundCornerRadiusAttributeName, CGFloat{3}, CFRangeMake(0, 6));
    NSAttributedString gone(" struck", label.labelTextAttributes());
    gone.addAttribute(kBITStrikeOutAttributeName, true, CFRangeMake(1, 6));
    text.appendAttributedString(tag);
    text.appendAttributedString(gone);
    label.setText(text);
    ASSERT_TRUE(waitForLinks(label, 1));
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(320, 90), true, 1);
    UIGraphicsGetCurrentContext()->setFillColorWithColor(CGColorCreateGenericGray(1, 1));
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, 320, 90));
    label.drawTextInRect(label.bounds());
    const auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    // Reference pictures live beside the UIKit ones, under the SDK's folder.
    EXPECT_TRUE(matchesReference(image->CGImage(), "../sdk/feedback/attributed-label"));
}

TEST(BITAttributedLabel, PlainTextTakesTheLabelsSettingsAndInheritingOverridesTheStrings) {
    const auto label = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 200, 100));
    label->setFont(UIFont::systemFontOfSize(15));
    label->setTextColor(UIColor::redColor());
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setKern(1.5);
    label->setFirstLineIndent(12);
    label->setLeading(3);
    label->setLineHeightMultiple(1.2);
    label->setText("Market square");
    const CTStringAttributes& plain = label->attributedText()->attributesAtIndex(0);
    EXPECT_EQ(plain.font->size(), 15);
    EXPECT_EQ(plain.foregroundColor, UIColor::redColor().CGColor());
    EXPECT_EQ(plain.kern, 1.5);
    ASSERT_TRUE(plain.paragraphStyle);
    EXPECT_EQ(plain.paragraphStyle->alignment, kCTTextAlignmentCenter);
    EXPECT_EQ(plain.paragraphStyle->lineSpacing, 3);
    EXPECT_EQ(plain.paragraphStyle->firstLineHeadIndent, 12);
    EXPECT_EQ(plain.paragraphStyle->lineHeightMultiple, 1.2);
    // Unset line heights are the font's times the multiple; set ones stay.
    EXPECT_DOUBLE_EQ(plain.paragraphStyle->minimumLineHeight, label->font()->lineHeight() * 1.2);
    label->setMaximumLineHeight(40);
    label->setText("Market square");
    EXPECT_EQ(label->attributedText()->attributesAtIndex(0).paragraphStyle->maximumLineHeight, 40);
    // A limit set alone is not undone by the other one's default.
    label->setMaximumLineHeight(10);
    EXPECT_EQ(label->labelTextAttributes().paragraphStyle->minimumLineHeight, 10);
    // One line: the label's own line break mode; more: word wrapping.
    EXPECT_EQ(plain.paragraphStyle->lineBreakMode, kCTLineBreakByTruncatingTail);
    label->setNumberOfLines(2);
    EXPECT_EQ(label->labelTextAttributes().paragraphStyle->lineBreakMode,
              kCTLineBreakByWordWrapping);

    // An attributed text keeps what the label does not set; the block has the last word.
    CTStringAttributes own;
    own.font = CTFont::createWithName("Georgia", 30);
    own.underlineStyle = 1;
    NSAttributedString styled("Old town", own);
    bool called = false;
    label->setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(
        styled, [&](NSMutableAttributedString text) {
            called = true;
            text.addAttribute("checked", true, CFRangeMake(0, 3));
            return text;
        });
    EXPECT_TRUE(called);
    const CTStringAttributes& inherited = label->attributedText()->attributesAtIndex(0);
    EXPECT_EQ(inherited.font->size(), 15);
    EXPECT_EQ(inherited.underlineStyle, 1);
    EXPECT_TRUE(label->attributedText()->attributeAtIndex("checked", 0));
    EXPECT_FALSE(label->attributedText()->attributeAtIndex("checked", 4));
    // The base label's text keeps step for those that read it.
    EXPECT_EQ(label->UILabel::text(), "Old town");
    label->setText(std::nullopt);
    EXPECT_FALSE(label->attributedText());
    EXPECT_EQ(label->UILabel::text(), "");
}

TEST(BITAttributedLabel, ContextColouredRunsTakeTheTextColourAndKeepTheirFont) {
    const auto label = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 200, 40));
    CTStringAttributes context;
    context.font = CTFont::createWithName("Helvetica-Bold", 20);
    context.foregroundColorFromContext = true;
    NSAttributedString text("Tram ", context);
    CTStringAttributes fixed;
    fixed.foregroundColor = CGColorCreateGenericRGB(0, 0.5, 0, 1);
    text.appendAttributedString(NSAttributedString("14", fixed));
    label->setText(text);
    const CTStringAttributes& run = label->renderedAttributedText().attributesAtIndex(0);
    EXPECT_EQ(run.foregroundColor, UIColor::blackColor().CGColor());
    EXPECT_EQ(run.font->name(), "Helvetica-Bold");
    EXPECT_FALSE(run.foregroundColorFromContext);
    label->setTextColor(UIColor::blueColor());
    EXPECT_EQ(label->renderedAttributedText().attributesAtIndex(0).foregroundColor,
              UIColor::blueColor().CGColor());
    EXPECT_EQ(label->renderedAttributedText().attributesAtIndex(6).foregroundColor,
              fixed.foregroundColor);
    // The text as set is not changed.
    EXPECT_TRUE(label->attributedText()->attributesAtIndex(0).foregroundColorFromContext);
}

TEST(BITAttributedLabel, SizesWithInsetsLinesAndToken) {
    EXPECT_EQ(BITAttributedLabel::sizeThatFitsAttributedStringWithConstraintsLimitedToNumberOfLines(
                  NSAttributedString(), CGSizeMake(100, 100), 0),
              CGSizeZero);
    const auto label = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 120, 200));
    // Without a text: the base label's size, no insets added.
    label->setTextInsets({5, 6, 7, 8});
    EXPECT_EQ(label->sizeThatFits(CGSizeMake(120, 200)),
              label->UILabel::sizeThatFits(CGSizeMake(120, 200)));
    label->setNumberOfLines(0);
    label->setText("The castle hill lies within a short walk of the market");
    const CGSize all = label->sizeThatFits(CGSizeMake(120, 200));
    const CGSize bare =
        BITAttributedLabel::sizeThatFitsAttributedStringWithConstraintsLimitedToNumberOfLines(
            *label->attributedText(), CGSizeMake(120, 200), 0);
    EXPECT_EQ(all.width, bare.width + 14);
    EXPECT_EQ(all.height, bare.height + 12);
    label->setNumberOfLines(2);
    const CGSize two = label->sizeThatFits(CGSizeMake(120, 200));
    EXPECT_LT(two.height, all.height);
    EXPECT_NEAR(two.height - 12, 2 * label->font()->lineHeight(), 1);
    // One line is measured unwrapped: the intrinsic size of a one-line label.
    label->setNumberOfLines(1);
    EXPECT_GT(label->intrinsicContentSize().width, 300);
    EXPECT_NEAR(label->intrinsicContentSize().height - 12, label->font()->lineHeight(), 1);
    // Room is made for a token after the text.
    label->setAttributedTruncationToken(NSAttributedString(" more", label->labelTextAttributes()));
    EXPECT_GT(label->sizeThatFits(CGSizeZero).width, label->intrinsicContentSize().width - 1);
}

TEST(BITAttributedLabel, ParagraphSettingsChangeTheLayout) {
    const std::string text = "The old town lies on a bend of the river, by the castle hill";
    auto measure = [&](const std::function<void(BITAttributedLabel&)>& set) {
        const auto label = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 150, 400));
        label->setNumberOfLines(0);
        set(*label);
        label->setText(text);
        return label->sizeThatFits(CGSizeMake(150, 400));
    };
    const CGSize plain = measure([](BITAttributedLabel&) {});
    EXPECT_GT(measure([](BITAttributedLabel& l) { l.setLineSpacing(6); }).height,
              plain.height + 10);
    EXPECT_GT(measure([](BITAttributedLabel& l) { l.setLineHeightMultiple(1.5); }).height,
              plain.height * 1.3);
    EXPECT_GT(measure([](BITAttributedLabel& l) { l.setMinimumLineHeight(40); }).height,
              plain.height * 1.5);
    EXPECT_LT(measure([](BITAttributedLabel& l) { l.setMaximumLineHeight(12); }).height,
              plain.height * 0.8);
    EXPECT_GT(measure([](BITAttributedLabel& l) { l.setKern(3); }).height, plain.height);
    // The indent pushes the first line's start to the right.
    const auto indented = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 150, 100));
    indented->setNumberOfLines(0);
    indented->setVerticalAlignment(BITAttributedLabelVerticalAlignmentTop);
    indented->setFirstLineIndent(30);
    indented->setText(text);
    EXPECT_GE(indented->boundingRectForCharacterRange(CFRangeMake(0, 1)).origin.x, 29);
}

namespace {

std::shared_ptr<BITAttributedLabel> truncatingLabel(size_t lines, NSLineBreakMode mode,
                                                    const std::string& text) {
    auto label = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 240, lines * 24 + 6));
    label->setNumberOfLines(lines);
    label->setLineBreakMode(mode);
    label->setFont(UIFont::systemFontOfSize(15));
    label->setText(text);
    return label;
}

constexpr const char* kLongLine =
    "Friedländer Tor, Fangelturm, Stargarder Tor and Treptower Tor ring the old town";

}  // namespace

TEST(BITAttributedLabel, TruncatesTheLastLineAtTheHeadMiddleOrTail) {
    const auto tail = truncatingLabel(1, NSLineBreakByTruncatingTail, kLongLine);
    const auto head = truncatingLabel(1, NSLineBreakByTruncatingHead, kLongLine);
    const auto middle = truncatingLabel(1, NSLineBreakByTruncatingMiddle, kLongLine);
    // With two lines the last is cut at the tail whatever the mode.
    const auto twoLines = truncatingLabel(2, NSLineBreakByTruncatingMiddle,
                                          std::string(kLongLine) + ", from the lake to the park");
    // A line that ends a paragraph loses its break before the token.
    const auto paragraphs =
        truncatingLabel(1, NSLineBreakByTruncatingTail, "Opening hours\nDaily 10 to 17");
    // A token of its own, in its own colour.
    const auto token = truncatingLabel(2, NSLineBreakByTruncatingTail,
                                       std::string(kLongLine) + ", from the lake to the park");
    CTStringAttributes blue = token->labelTextAttributes();
    blue.foregroundColor = CGColorCreateGenericRGB(0, 0.3, 0.9, 1);
    token->setAttributedTruncationToken(NSAttributedString(" … more", blue));
    token->setText(std::string(kLongLine) + ", from the lake to the park");
    // A token string, drawn in the attributes set for it.
    const auto tokenString = truncatingLabel(1, NSLineBreakByTruncatingTail, kLongLine);
    tokenString->setTruncationTokenString(" [+]");
    CTStringAttributes red = tokenString->labelTextAttributes();
    red.foregroundColor = CGColorCreateGenericRGB(0.8, 0, 0, 1);
    tokenString->setTruncationTokenStringAttributes(red);
    // The first line indented, the second cut.
    const auto indented = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 240, 54));
    indented->setFont(UIFont::systemFontOfSize(15));
    indented->setNumberOfLines(2);
    indented->setFirstLineIndent(24);
    indented->setText(std::string(kLongLine) + ", from the lake to the park");
    const auto image =
        drawLabels({tail, head, middle, twoLines, paragraphs, token, tokenString, indented});
    EXPECT_TRUE(matchesReference(image, "../sdk/feedback/attributed-label-truncation"));
}

TEST(BITAttributedLabel, DrawsShadowsHighlightedAndShrunk) {
    const auto shadowed = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 240, 34));
    shadowed->setFont(UIFont::boldSystemFontOfSize(20));
    shadowed->setShadowColor(UIColor::colorWithRedGreenBlueAlpha(0, 0, 0, 0.6));
    shadowed->setShadowOffset(CGSizeMake(2, 3));
    shadowed->setShadowRadius(3);
    shadowed->setText("Shadow with a blur");
    // Highlighted: the highlighted colour and the highlighted shadow, not the normal one.
    const auto highlighted = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 240, 34));
    highlighted->setFont(UIFont::boldSystemFontOfSize(20));
    highlighted->setShadowColor(UIColor::blackColor());
    highlighted->setHighlightedTextColor(UIColor::whiteColor());
    highlighted->setHighlightedShadowColor(UIColor::colorWithRedGreenBlueAlpha(0.9, 0.1, 0.1, 1));
    highlighted->setHighlightedShadowOffset(CGSizeMake(0, 0));
    highlighted->setHighlightedShadowRadius(4);
    highlighted->setText("Highlighted");
    highlighted->setHighlighted(true);
    // Shrunk to fit one line, then two.
    const auto shrunk = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 240, 34));
    shrunk->setFont(UIFont::systemFontOfSize(20));
    shrunk->setAdjustsFontSizeToFitWidth(true);
    shrunk->setText(kLongLine);
    const auto shrunkTwo = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 240, 50));
    shrunkTwo->setFont(UIFont::systemFontOfSize(20));
    shrunkTwo->setNumberOfLines(2);
    shrunkTwo->setAdjustsFontSizeToFitWidth(true);
    shrunkTwo->setText(std::string(kLongLine) + ", from the lake to the park");
    const auto image = drawLabels({shadowed, highlighted, shrunk, shrunkTwo});
    EXPECT_TRUE(matchesReference(image, "../sdk/feedback/attributed-label-shadow"));
    // Shrinking draws a smaller font and leaves the text as it was set.
    EXPECT_EQ(shrunk->attributedText()->attributesAtIndex(0).font->size(), 20);
    EXPECT_LT(shrunk->renderedAttributedText().attributesAtIndex(0).font->size(), 20);
    // Not below the minimum scale.
    const auto limited = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 240, 34));
    limited->setFont(UIFont::systemFontOfSize(20));
    limited->setAdjustsFontSizeToFitWidth(true);
    limited->setMinimumScaleFactor(0.8);
    limited->setText(kLongLine);
    drawLabels({limited});
    EXPECT_EQ(limited->renderedAttributedText().attributesAtIndex(0).font->size(), 16);
    // A wider label shrinks the text as set, and less.
    const CGFloat narrow = shrunk->renderedAttributedText().attributesAtIndex(0).font->size();
    shrunk->setFrame(CGRectMake(0, 0, 400, 34));
    drawLabels({shrunk});
    EXPECT_GT(shrunk->renderedAttributedText().attributesAtIndex(0).font->size(), narrow);
    EXPECT_LT(shrunk->renderedAttributedText().attributesAtIndex(0).font->size(), 20);
}

TEST(BITAttributedLabel, BadTextIsDrawnOrCut) {
    // Control characters, a very long text, and links of no known kind or
    // beyond the text: drawn, measured and touched without harm.
    std::string controls = "Tab\there, bell\a, nul";
    controls.push_back('\0');
    controls += " escape\x1b[31m and \x7f, a lone \xc3 byte, \xe2\x80\xae reversed";
    std::string huge;
    while (huge.size() < 100000)
        huge += "Stargarder Straße 12, 17033 Neubrandenburg, call 0395 5551234 on 15.03.2024. ";
    for (const std::string& text : {controls, huge}) {
        const auto label = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 300, 120));
        label->setNumberOfLines(3);
        label->setEnabledTextCheckingTypes(NSTextCheckingAllSystemTypes);
        label->setText(text);
        NSTextCheckingResult odd;
        odd.resultType = static_cast<NSTextCheckingType>(1ull << 40);
        odd.range = NSMakeRange(2, 5);
        label->addLinkWithTextCheckingResult(odd);
        label->addLinkToURLWithRange("https://example.org", CFRangeMake(-5, 1000000));
        const auto image = drawLabels({label});
        ASSERT_TRUE(image);
        EXPECT_LE(label->sizeThatFits(CGSizeMake(300, 1000)).height, 120);
        const auto first = pointOfCharacter(*label, 0);
        ASSERT_TRUE(first);
        EXPECT_TRUE(label->linkAtPoint(*first));
        tap(*label, *first);
        EXPECT_FALSE(label->visibleTexts().empty());
        EXPECT_TRUE(waitForLinks(*label, text == huge ? 10 : 2));
    }
}
