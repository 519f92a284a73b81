#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "CoreGraphics/CGImage.h"
#include "FeedbackScreenTestSupport.h"
#include "Host/HostScreenshot.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UISegmentedControl.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "UIKit/UIWindow.h"
#include "sdk/SdkTestSupport.h"
#include "sdk/feedback/BITFeedbackComposeViewController.h"
#include "sdk/feedback/BITFeedbackListViewController.h"
#include "sdk/feedback/BITImageAnnotationViewController.h"

namespace fs = std::filesystem;

namespace {

// Whether every block of `block` pixels in the square at (left, top) of
// `size` pixels is one colour, within JPEG's few levels.
bool blockwisePlain(const CGImage& image, size_t left, size_t top, size_t size, size_t block) {
    for (size_t by = top; by < top + size; by += block) {
        for (size_t bx = left; bx < left + size; bx += block) {
            int low = 255, high = 0;
            for (size_t y = by + 3; y < by + block - 3; ++y) {
                for (size_t x = bx + 3; x < bx + block - 3; ++x) {
                    const int green = static_cast<int>((image.pixelAt(x, y) >> 8) & 0xff);
                    low = std::min(low, green);
                    high = std::max(high, green);
                }
            }
            if (high - low > 40)
                return false;
        }
    }
    return true;
}

// The thread as a person goes through it, against the local SDK service.
class FeedbackFlowTest : public FeedbackScreenTest {
  protected:
    void SetUp() override {
        FeedbackScreenTest::SetUp();
        root->view()->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.9, 0.6, 0.2, 1));
        useService();
        manager->setRequireUserName(BITFeedbackUserDataNotAsked);
        manager->setRequireUserEmail(BITFeedbackUserDataNotAsked);
        manager->startManager();
        settle();
    }
    // The one message of the one thread on the service.
    nlohmann::json onlyMessageSent() const {
        const auto threads = nlohmann::json::parse(threadsJSON());
        EXPECT_EQ(threads.size(), 1u);
        if (threads.empty())
            return nlohmann::json::object();
        const auto messages = threads.begin().value()["feedback"]["messages"];
        EXPECT_EQ(messages.size(), 1u);
        return messages.empty() ? nlohmann::json::object() : messages[0];
    }
    // The window is minimised and restored.
    static void minimiseAndRestore() {
        const auto application = UIApplication::sharedApplication();
        application->resignActive();
        application->enterBackground();
        runMainLoopFor(0.1);
        application->enterForeground();
        application->becomeActive();
    }
};

}  // namespace

TEST_F(FeedbackFlowTest, ScreenshotMessageThenAReplyAnnouncedAndShown) {
    manager->showFeedbackComposeViewWithGeneratedScreenshot();
    // A second request while the composer is up opens nothing more.
    manager->showFeedbackComposeView();
    play(R"(idle
expect "New Feedback"
type "The ferry pier is drawn on land."
tap "Send"
idle)");
    settle();
    const auto sent = onlyMessageSent();
    EXPECT_EQ(sent["text"], "The ferry pier is drawn on land.");
    ASSERT_EQ(sent["attachments"].size(), 1u);
    EXPECT_EQ(sent["attachments"][0]["content_type"], "image/jpeg");
    EXPECT_EQ(sent["attachments"][0]["file_name"], "Image_0.jpg");

    reply("See https://example.org/pier");
    minimiseAndRestore();
    settle();
    play(R"(idle
expect "New Message"
tap "Show"
idle
expect "Feedback"
expect "See https://example.org/pier"
expect "The ferry pier is drawn on land.")");
    EXPECT_FALSE(manager->incomingMessagesAlertShowing());
    EXPECT_TRUE(manager->currentFeedbackListViewController());

    // While the list is up a further reply is not announced.
    reply("One more thing");
    manager->updateMessagesList();
    settle();
    play(R"(idle
expect-not "New Message"
expect "One more thing")");
}

TEST_F(FeedbackFlowTest, IgnoringTheAlertOpensNothing) {
    send("Question");
    reply("Answer");
    minimiseAndRestore();
    settle();
    play(R"(idle
tap "Ignore"
idle
expect-not "New Message")");
    EXPECT_FALSE(manager->currentFeedbackListViewController());
    EXPECT_FALSE(root->presentedViewController());
}

TEST_F(FeedbackFlowTest, ScreenshotKeyToAnnotatedBlurredMessageOnTheService) {
    auto squares = std::make_shared<UIImageView>(checkerboard(CGSizeMake(320, 568), 2));
    squares->setFrame(root->view()->bounds());
    root->view()->addSubview(squares);
    manager->setFeedbackObservationMode(BITFeedbackObservationModeOnScreenshot);
    const auto saved = HostSaveScreenshot(window->renderImage(2), HostScreenshotsDirectory(),
                                          NSDate::dateWithTimeIntervalSince1970(1700000000));
    ASSERT_TRUE(saved);
    EXPECT_EQ(fs::path(*saved).parent_path(), fs::path(HostScreenshotsDirectory()));
    ASSERT_TRUE(runMainLoopUntil(
        [this] { return manager->currentFeedbackComposeViewController() != nullptr; }, 5));
    const auto composer = manager->currentFeedbackComposeViewController();
    play("idle");
    ASSERT_EQ(composer->imageAttachments().size(), 1u);
    const auto screenshot = composer->imageAttachments()[0]->imageRepresentation();
    // The window's pixels at the screen's scale 2.
    EXPECT_EQ(screenshot->size().width, 640);
    EXPECT_EQ(screenshot->size().height, 1136);

    // Edit: a blur over the top left of the picture.
    composer->imageButtonAction(0);
    play("tap \"Edit\"\nidle");
    const auto editor = std::dynamic_pointer_cast<BITImageAnnotationViewController>(
        std::dynamic_pointer_cast<UINavigationController>(composer->presentedViewController())
            ->topViewController());
    ASSERT_TRUE(editor);
    editor->editingControls()->setSelectedSegmentIndex(2);
    play(R"(drag 20 60 200 300
tap 296 22
idle
type "The pier, see the picture."
tap "Send"
idle)");
    settle();
    const auto sent = onlyMessageSent();
    ASSERT_EQ(sent["attachments"].size(), 1u);
    const std::string url = sent["attachments"][0]["url"];
    const std::string jpeg = fetch(url);
    const auto picture = UIImage::imageWithData(Value::Data(jpeg.begin(), jpeg.end()));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->CGImage()->width(), 640u);
    // Inside the blur each block of 30 points is one colour; the squares
    // beside it are untouched.
    EXPECT_TRUE(blockwisePlain(*picture->CGImage(), 90, 90, 9 * 30, 30));
    // Grey, without the red veil a blur shows while it is drawn.
    const uint32_t inside = picture->CGImage()->pixelAt(100, 100);
    EXPECT_NEAR(static_cast<int>((inside >> 16) & 0xff), static_cast<int>((inside >> 8) & 0xff),
                12);
    EXPECT_FALSE(blockwisePlain(*picture->CGImage(), 480, 660, 4 * 30, 30));
}

TEST_F(FeedbackFlowTest, ThreeFingerTapOpensTheComposerWithThePictureOfTheWindow) {
    manager->setFeedbackObservationMode(BITFeedbackObservationModeThreeFingerTap);
    ASSERT_TRUE(drainMainQueue());  // the recogniser joins the window from the main queue
    ASSERT_TRUE(manager->tapRecognizer());
    EXPECT_EQ(manager->tapRecognizer()->view(), window);
    TouchDriver touches(window);
    touches.down({CGPointMake(100, 300), CGPointMake(130, 300), CGPointMake(160, 300)});
    touches.up();
    ASSERT_TRUE(runMainLoopUntil(
        [this] { return manager->currentFeedbackComposeViewController() != nullptr; }, 5));
    const auto composer = manager->currentFeedbackComposeViewController();
    ASSERT_EQ(composer->imageAttachments().size(), 1u);
    manager->setFeedbackObservationMode(BITFeedbackObservationNone);
    EXPECT_FALSE(manager->tapRecognizer());
    EXPECT_TRUE(window->gestureRecognizers().empty());
}
