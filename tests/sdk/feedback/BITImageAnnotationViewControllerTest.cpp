#include <gtest/gtest.h>

#include <cmath>

#include "CoreGraphics/CGContext.h"
#include "CoreGraphics/CGImage.h"
#include "FeedbackScreenTestSupport.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIPanGestureRecognizer.h"
#include "UIKit/UIPinchGestureRecognizer.h"
#include "UIKit/UISegmentedControl.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "UIKit/UIWindow.h"
#include "sdk/feedback/BITArrowImageAnnotation.h"
#include "sdk/feedback/BITBlurImageAnnotation.h"
#include "sdk/feedback/BITFeedbackComposeViewController.h"
#include "sdk/feedback/BITImageAnnotationViewController.h"
#include "sdk/feedback/BITRectangleImageAnnotation.h"

namespace {

// The spread of the green channel over a rectangle of pixels.
int spread(const CGImage& image, size_t left, size_t top, size_t size) {
    int low = 255, high = 0;
    for (size_t y = top; y < top + size; ++y) {
        for (size_t x = left; x < left + size; ++x) {
            const int green = static_cast<int>((image.pixelAt(x, y) >> 8) & 0xff);
            low = std::min(low, green);
            high = std::max(high, green);
        }
    }
    return high - low;
}

struct Delegate : BITImageAnnotationDelegate {
    void annotationControllerDidCancel(BITImageAnnotationViewController&) override { ++cancelled; }
    void annotationControllerDidFinishWithImage(BITImageAnnotationViewController&,
                                                const std::shared_ptr<UIImage>& image) override {
        result = image;
    }
    int cancelled = 0;
    std::shared_ptr<UIImage> result;
};

class BITImageAnnotationViewControllerTest : public FeedbackScreenTest {
  protected:
    void open(std::shared_ptr<UIImage> image) {
        editor = std::make_shared<BITImageAnnotationViewController>();
        editor->setImage(std::move(image));
        editor->setDelegate(delegate);
        root->presentViewControllerAnimatedCompletion(
            std::make_shared<UINavigationController>(editor), false, nullptr);
        play("idle");
    }
    void tool(long segment) { editor->editingControls()->setSelectedSegmentIndex(segment); }

    std::shared_ptr<BITImageAnnotationViewController> editor;
    std::shared_ptr<Delegate> delegate = std::make_shared<Delegate>();
};

}  // namespace

TEST(BITArrowImageAnnotation, ArrowGeometry) {
    const auto points =
        BITArrowImageAnnotation::getAxisAlignedArrowPointsForLengthTailWidthHeadWidthHeadLength(
            100, 10, 30, 30);
    EXPECT_EQ(points[1].x, 70);
    EXPECT_EQ(points[2].y, 15);
    EXPECT_EQ(points[3].x, 100);
    EXPECT_EQ(points[6].y, -5);
    const CGAffineTransform down = BITArrowImageAnnotation::transformForStartPointEndPointLength(
        CGPointMake(5, 5), CGPointMake(5, 15), 10);
    const CGPoint tip = CGPointApplyAffineTransform(CGPointMake(10, 0), down);
    EXPECT_NEAR(tip.x, 5, 1e-9);
    EXPECT_NEAR(tip.y, 15, 1e-9);
    const CGAffineTransform still =
        BITArrowImageAnnotation::dqd_transformForStartPointEndPointLength(CGPointMake(5, 5),
                                                                          CGPointMake(5, 5), 0);
    EXPECT_EQ(CGPointApplyAffineTransform(CGPointMake(10, 0), still), CGPointMake(15, 5));
    // A point-like arrow still has a shape, pointing right.
    EXPECT_FALSE(
        BITArrowImageAnnotation::bezierPathWithArrowFromPointToPointTailWidthHeadWidthHeadLength(
            CGPointMake(4, 4), CGPointMake(4, 4), 3, 10, 10)
            .isEmpty());
}

TEST(BITArrowImageAnnotation, DraggedUpLeftPointsUpLeftAndShortArrowsGrow) {
    BITArrowImageAnnotation arrow(CGRectMake(50, 50, 40, 30));
    arrow.setMovedDelta(CGPointMake(-40, -30));
    arrow.buildShape();
    EXPECT_EQ(arrow.endPoint().x, 0);
    EXPECT_EQ(arrow.endPoint().y, 0);
    EXPECT_EQ(arrow.startPoint().x, 40);
    EXPECT_EQ(arrow.startPoint().y, 30);

    const auto tiny =
        std::make_shared<BITArrowImageAnnotation>(CGRectMake(0, 0, 6, 8));  // a diagonal of 10
    tiny->setMovedDelta(CGPointMake(6, 8));
    tiny->buildShape();
    EXPECT_NEAR(tiny->endPoint().x, 18, 1e-9);
    EXPECT_NEAR(tiny->endPoint().y, 24, 1e-9);
    // Grabbed well beside its thin outline, not far away.
    EXPECT_EQ(tiny->hitTest(CGPointMake(30, 30), nullptr), tiny);
    EXPECT_FALSE(tiny->hitTest(CGPointMake(120, 120), nullptr));
}

TEST_F(BITImageAnnotationViewControllerTest, DrawsMovesAndSavesAtThePicturesOwnSize) {
    open(checkerboard(CGSizeMake(320, 568), 2));
    // The picture fits below the bar: 524 of 568 points high.
    EXPECT_NEAR(editor->scaleFactor(), 524.0 / 568, 1e-9);
    play("drag 60 120 160 200");  // an arrow, the first tool
    tool(1);
    play("drag 200 300 280 380");
    tool(2);
    play("drag 40 400 160 520");
    ASSERT_EQ(editor->objects().size(), 3u);
    EXPECT_TRUE(std::dynamic_pointer_cast<BITArrowImageAnnotation>(editor->objects()[0]));
    EXPECT_TRUE(std::dynamic_pointer_cast<BITRectangleImageAnnotation>(editor->objects()[1]));
    const auto blur = std::dynamic_pointer_cast<BITBlurImageAnnotation>(editor->objects()[2]);
    ASSERT_TRUE(blur);
    // The blur went under the arrow and the rectangle; its veil went with the drag.
    EXPECT_EQ(editor->imageView()->subviews().front(), blur);
    EXPECT_EQ(blur->selectedLayer()->opacity(), 0);
    EXPECT_EQ(editor->currentInteraction(), BITImageAnnotationViewController::InteractionNone);

    // A drag that starts on a mark moves it, whatever the tool.
    const CGRect before = editor->objects()[1]->frame();
    play("drag 240 340 250 320");
    EXPECT_EQ(editor->objects().size(), 3u);
    EXPECT_NEAR(editor->objects()[1]->frame().origin.x - before.origin.x, 10, 2);
    EXPECT_NEAR(editor->objects()[1]->frame().origin.y - before.origin.y, -20, 2);

    // Without a tool an empty spot draws nothing.
    tool(-1);
    play("drag 250 150 300 200");
    EXPECT_EQ(editor->objects().size(), 3u);

    EXPECT_TRUE(matchesReference(window->renderImage(2), "../sdk/feedback/annotation"));

    play("tap 296 22\nidle");  // Ok
    ASSERT_TRUE(delegate->result);
    EXPECT_EQ(delegate->result->size().width, 320);
    EXPECT_EQ(delegate->result->size().height, 568);
    EXPECT_FALSE(root->presentedViewController());

    // Every 30-point block inside the blur is one colour; the checkerboard
    // beside it is untouched.
    const CGImage& saved = *delegate->result->CGImage();
    const CGRect box = blur->frame();
    const auto first = [&](CGFloat from) { return static_cast<size_t>(std::ceil(from / 30)); };
    const size_t left = first(box.origin.x / editor->scaleFactor());
    const size_t top = first(box.origin.y / editor->scaleFactor());
    const size_t right = static_cast<size_t>(CGRectGetMaxX(box) / editor->scaleFactor()) / 30;
    const size_t bottom = static_cast<size_t>(CGRectGetMaxY(box) / editor->scaleFactor()) / 30;
    ASSERT_GT(right, left);
    ASSERT_GT(bottom, top);
    for (size_t by = top; by < bottom; ++by) {
        for (size_t bx = left; bx < right; ++bx)
            EXPECT_EQ(spread(saved, bx * 60, by * 60, 60), 0) << bx << "," << by;
    }
    EXPECT_EQ(spread(saved, 280 * 2, 30 * 2, 60), 255);
}

TEST_F(BITImageAnnotationViewControllerTest, RecognizersAndTheDrawingDragAreAtHand) {
    open(checkerboard(CGSizeMake(320, 568), 2));
    const auto& onImage = editor->imageView()->gestureRecognizers();
    EXPECT_NE(std::find(onImage.begin(), onImage.end(), editor->panRecognizer()), onImage.end());
    EXPECT_NE(std::find(onImage.begin(), onImage.end(), editor->pinchRecognizer()), onImage.end());
    const auto& onView = editor->view()->gestureRecognizers();
    EXPECT_NE(std::find(onView.begin(), onView.end(), editor->tapRecognizer()), onView.end());
    play("drag 60 120 160 200");
    ASSERT_EQ(editor->objects().size(), 1u);
    // The drag drew from its start, down and to the right; then it ended.
    EXPECT_EQ(editor->panStart().x, editor->objects()[0]->frame().origin.x);
    EXPECT_EQ(editor->panStart().y, editor->objects()[0]->frame().origin.y);
    EXPECT_FALSE(editor->currentAnnotation());
}

TEST_F(BITImageAnnotationViewControllerTest, CancelTellsTheDelegateAndKeepsNothing) {
    open(checkerboard(CGSizeMake(200, 200), 1));
    play("drag 60 120 160 200\ntap 24 22\nidle");
    EXPECT_EQ(delegate->cancelled, 1);
    EXPECT_FALSE(delegate->result);
}

TEST_F(BITImageAnnotationViewControllerTest, EditInTheComposerReplacesTheAttachmentWithTheBlur) {
    manager->setRequireUserName(BITFeedbackUserDataNotAsked);
    manager->setRequireUserEmail(BITFeedbackUserDataNotAsked);
    auto composer = std::make_shared<BITFeedbackComposeViewController>(manager);
    composer->prepareWithItems({checkerboard(CGSizeMake(300, 300), 1)});
    root->presentViewControllerAnimatedCompletion(
        std::make_shared<UINavigationController>(composer), false, nullptr);
    play("idle");
    composer->imageButtonAction(0);
    play("tap \"Edit\"\nidle");
    const auto shown =
        std::dynamic_pointer_cast<UINavigationController>(composer->presentedViewController());
    ASSERT_TRUE(shown);
    editor =
        std::dynamic_pointer_cast<BITImageAnnotationViewController>(shown->topViewController());
    ASSERT_TRUE(editor);
    tool(2);
    // The 300-point picture shows at 320 / 300 from y 44 + 102: blur all of it.
    play("drag 2 150 318 464\ntap 296 22\nidle");
    EXPECT_FALSE(composer->selectedAttachmentIndex());
    const auto stored = UIImage::imageWithData(composer->imageAttachments()[0]->data());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->CGImage()->width(), 300u);  // the picture's own pixels
    // JPEG keeps a block's colour within a few levels; the squares spread 255.
    EXPECT_LT(spread(*stored->CGImage(), 63, 63, 24), 40);
}

TEST_F(BITImageAnnotationViewControllerTest, PinchResizesRectanglesButNotArrows) {
    open(checkerboard(CGSizeMake(320, 568), 2));
    tool(1);
    play("drag 20 100 300 300");
    tool(0);
    play("drag 200 400 280 480");
    ASSERT_EQ(editor->objects().size(), 2u);
    const CGRect arrow = editor->objects()[1]->frame();
    // The fingers lie side by side, 120 points apart, and end 180 apart: the
    // rectangle becomes the span of the two.
    play("pinch 160 200 1.5\nidle");
    EXPECT_NEAR(editor->objects()[0]->frame().size.width, 180, 2);
    EXPECT_NEAR(editor->objects()[0]->frame().size.height, 0, 2);
    play("pinch 240 440 1.5\nidle");
    EXPECT_EQ(editor->objects()[1]->frame(), arrow);
    EXPECT_EQ(editor->objects().size(), 2u);
}
