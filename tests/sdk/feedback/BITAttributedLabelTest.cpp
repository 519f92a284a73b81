#include <gtest/gtest.h>

#include "CoreGraphics/CGPath.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UITouch.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "sdk/feedback/BITAttributedLabel.h"

namespace {

struct RecordingDelegate : BITAttributedLabelDelegate {
    bool didSelectLinkWithURL(BITAttributedLabel&, const std::string& url) override {
        urls.push_back(url);
        return true;
    }
    std::vector<std::string> urls;
};

std::shared_ptr<BITAttributedLabel> linkLabel() {
    auto label = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 300, 80));
    label->setNumberOfLines(0);
    label->setEnabledTextCheckingTypes(NSTextCheckingTypeLink);
    label->setText("Read https://example.org/help now");
    return label;
}

// The centre of the glyphs of `index`, found by scanning the label.
std::optional<CGPoint> pointOfCharacter(const BITAttributedLabel& label, long index) {
    for (CGFloat y = 0; y < label.bounds().size.height; y += 1) {
        for (CGFloat x = 0; x < label.bounds().size.width; x += 1) {
            if (label.characterIndexAtPoint(CGPointMake(x, y)) == index)
                return CGPointMake(x, y);
        }
    }
    return std::nullopt;
}

CTFrameRef frameOf(const NSAttributedString& text) {
    CGPath path;
    path.addRect(CGRectMake(0, 0, 300, 60));
    return CTFramesetter::createWithAttributedString(text)->createFrame(CFRangeMake(0, 0), path);
}

UITouchSet touchAt(CGPoint point) {
    auto touch = std::make_shared<UITouch>();
    touch->setWindowLocation(point);
    return {touch};
}

}  // namespace

TEST(BITAttributedLabel, DetectsLinksAndMarksThem) {
    const auto label = linkLabel();
    const auto links = label->links();
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].URL, "https://example.org/help");
    EXPECT_EQ(links[0].range.location, 5u);
    const auto& marked = label->attributedText()->attributesAtIndex(6);
    EXPECT_EQ(marked.underlineStyle, 1);
    EXPECT_EQ(label->attributedText()->attributesAtIndex(1).underlineStyle, std::nullopt);
}

TEST(BITAttributedLabel, TapOnALinkTellsTheDelegateAndATapBesideItOnlyWithTheWideSearch) {
    const auto label = linkLabel();
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
    const auto label = linkLabel();
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

TEST(BITAttributedLabel, DrawsLinksBackgroundsAndStrikeOut) {
    BITAttributedLabel label(CGRectMake(0, 0, 320, 90));
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
    label.setAttributedText(text);
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(320, 90), true, 1);
    UIGraphicsGetCurrentContext()->setFillColorWithColor(CGColorCreateGenericGray(1, 1));
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, 320, 90));
    label.drawTextInRect(label.bounds());
    const auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    // Reference pictures live beside the UIKit ones, under the SDK's folder.
    EXPECT_TRUE(matchesReference(image->CGImage(), "../sdk/feedback/attributed-label"));
}
