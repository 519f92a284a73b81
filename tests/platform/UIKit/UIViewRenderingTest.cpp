#include <cmath>
#include <filesystem>

#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIProgressView.h"
#include "UIKitTestSupport.h"

namespace {

class CircleView : public UIView {
  public:
    using UIView::UIView;
    int draws = 0;
    void drawRect(const CGRect&) override {
        ++draws;
        CGContextRef context = UIGraphicsGetCurrentContext();
        context->setRGBFillColor(0.9, 0.1, 0.1, 1);
        context->fillEllipseInRect(CGRectInset(bounds(), 2, 2));
    }
};

std::shared_ptr<UIImage> stripesImage() {
    UIGraphicsBeginImageContextWithOptions({20, 20}, false, 0);
    CGContextRef context = UIGraphicsGetCurrentContext();
    for (int i = 0; i < 4; ++i) {
        context->setRGBFillColor(i % 2, 0.5, 1 - i % 2, 1);
        context->fillRect(CGRectMake(0, i * 5, 20, 5));  // top stripe first
    }
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

class UIViewRenderingTest : public UIKitTest {};

TEST_F(UIViewRenderingTest, ViewTreeMatchesReference) {
    auto window = makeWindow({160, 120});
    auto box = std::make_shared<UIView>(CGRectMake(10, 10, 60, 40));
    box->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.2, 0.4, 0.9, 1));
    box->layer()->setCornerRadius(8);
    box->layer()->setBorderWidth(2);
    box->layer()->setBorderColor(UIColor::blackColor().CGColor());
    window->addSubview(box);
    auto inner = std::make_shared<UIView>(CGRectMake(40, 20, 40, 40));  // clipped by box
    inner->setBackgroundColor(UIColor::greenColor());
    box->setClipsToBounds(true);
    box->addSubview(inner);

    auto circle = std::make_shared<CircleView>(CGRectMake(80, 10, 40, 40));
    window->addSubview(circle);

    auto image = std::make_shared<UIImageView>(stripesImage());
    image->setFrame(CGRectMake(130, 10, 20, 20));
    window->addSubview(image);

    auto label = std::make_shared<UILabel>(CGRectMake(10, 56, 140, 20));
    label->setText("Kelvara maps");
    label->setFont(UIFont::boldSystemFontOfSize(14));
    label->setTextAlignment(NSTextAlignmentCenter);
    window->addSubview(label);

    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setTitleForState("Open", UIControlStateNormal);
    button->setFrame(CGRectMake(90, 80, 60, 30));
    window->addSubview(button);

    auto progress = std::make_shared<UIProgressView>(CGRectMake(10, 100, 70, 2));
    progress->setProgress(0.5);
    window->addSubview(progress);

    auto rotated = std::make_shared<UIView>(CGRectMake(30, 78, 16, 16));
    rotated->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(1, 0.6, 0, 0.8));
    rotated->setTransform(CGAffineTransformMakeRotation(M_PI / 4));
    window->addSubview(rotated);

    EXPECT_TRUE(matchesReference(window->renderImage(2), "view-tree"));
    EXPECT_EQ(circle->draws, 1);
    window->renderImage(2);
    EXPECT_EQ(circle->draws, 1);  // drawn once until invalidated
    circle->setNeedsDisplay();
    window->renderImage(2);
    EXPECT_EQ(circle->draws, 2);
}

TEST_F(UIViewRenderingTest, LabelsTruncateWrapAndShrink) {
    auto window = makeWindow({160, 115});
    auto make = [&](CGFloat y, CGFloat height) {
        auto label = std::make_shared<UILabel>(CGRectMake(5, y, 150, height));
        label->setText("The quick brown fox jumps over the lazy dog");
        label->setFont(UIFont::systemFontOfSize(13));
        label->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.9, 1));
        window->addSubview(label);
        return label;
    };
    auto tail = make(5, 18);
    auto middle = make(27, 18);
    middle->setLineBreakMode(NSLineBreakByTruncatingMiddle);
    auto wrapped = make(49, 38);  // two lines of this font need 36 points
    wrapped->setNumberOfLines(2);
    auto shrunk = make(92, 18);
    shrunk->setAdjustsFontSizeToFitWidth(true);
    shrunk->setMinimumScaleFactor(0.5);

    EXPECT_LT(shrunk->fontForDrawing()->pointSize(), 13);
    EXPECT_GE(shrunk->fontForDrawing()->pointSize(), 6.5);
    EXPECT_TRUE(matchesReference(window->renderImage(2), "labels"));

    const CGSize fit = tail->sizeThatFits(CGSizeZero);
    EXPECT_GT(fit.width, 150);  // one line wants the whole text
    wrapped->setPreferredMaxLayoutWidth(150);
    wrapped->setNumberOfLines(0);
    const CGSize tall = wrapped->sizeThatFits({150, 0});
    EXPECT_LE(tall.width, 150);
    EXPECT_GT(tall.height, 2 * UIFont::systemFontOfSize(13)->lineHeight() - 1);
}

TEST_F(UIViewRenderingTest, AMismatchKeepsThePictureDrawnUnderTheBuildFolder) {
    auto window = makeWindow({40, 30});
    // A name reaching into a folder that does not exist next to the test.
    const auto result = matchesReference(window->renderImage(1), "../no-such-folder/mismatch");
    ASSERT_FALSE(result);
    const std::string message = result.message();
    const std::string lead = "the picture drawn is ";
    ASSERT_EQ(message.rfind(lead, 0), 0u) << message;
    const std::filesystem::path kept =
        message.substr(lead.size(), message.find(": ") - lead.size());
    EXPECT_TRUE(std::filesystem::is_regular_file(kept)) << kept;
    EXPECT_EQ(kept.filename(), "mismatch.actual.png");
    EXPECT_EQ(kept.parent_path().parent_path(), std::filesystem::path(KELVARA_TEST_OUTPUT_DIR));
    std::filesystem::remove_all(kept.parent_path());
}

TEST_F(UIViewRenderingTest, SnapshotsAndImageContextsAreUpright) {
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 20, 20));
    auto top = std::make_shared<UIView>(CGRectMake(0, 0, 20, 10));
    top->setBackgroundColor(UIColor::redColor());
    view->addSubview(top);
    auto snapshot = view->snapshotImage();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->size(), CGSizeMake(20, 20));
    EXPECT_EQ(snapshot->scale(), 2);
    EXPECT_EQ(snapshot->CGImage()->pixelAt(5, 5), 0xFFFF0000u);
    EXPECT_EQ(snapshot->CGImage()->pixelAt(5, 35) >> 24, 0u);

    // Drawing an image keeps its top row on top.
    auto stripes = stripesImage();
    UIGraphicsBeginImageContextWithOptions({20, 20}, false, 1);
    stripes->drawInRect(CGRectMake(0, 0, 20, 20));
    auto copy = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(copy->CGImage()->pixelAt(10, 1) & 0xFF, 0xFFu);        // first stripe is blue
    EXPECT_EQ(copy->CGImage()->pixelAt(10, 7) >> 16 & 0xFF, 0xFFu);  // second is red
}

}  // namespace
