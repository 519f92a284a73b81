#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "FeedbackScreenTestSupport.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIWindow.h"
#include "sdk/SdkTestSupport.h"
#include "sdk/feedback/BITFeedbackComposeViewController.h"
#include "sdk/feedback/BITFeedbackListViewController.h"

namespace {

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
    const auto threads = nlohmann::json::parse(threadsJSON());
    ASSERT_EQ(threads.size(), 1u);
    const auto& sent = threads.begin().value()["feedback"]["messages"];
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["text"], "The ferry pier is drawn on land.");
    ASSERT_EQ(sent[0]["attachments"].size(), 1u);
    EXPECT_EQ(sent[0]["attachments"][0]["content_type"], "image/jpeg");
    EXPECT_EQ(sent[0]["attachments"][0]["file_name"], "Image_0.jpg");

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
