#include <gtest/gtest.h>

#include "FeedbackScreenTestSupport.h"
#include "Net/NSURL.h"
#include "UIKit/UINavigationController.h"
#include "sdk/SdkTestSupport.h"
#include "sdk/crash/BITZizavaAttachment.h"
#include "sdk/feedback/BITFeedbackActivity.h"
#include "sdk/feedback/BITFeedbackComposeViewController.h"

using BITFeedbackActivityTest = FeedbackScreenTest;

TEST_F(BITFeedbackActivityTest, OffersItselfForFeedbackItemsOnly) {
    const auto activity = std::make_shared<BITFeedbackActivity>(manager);
    EXPECT_EQ(activity->activityType(), "UIActivityTypePostToZizavaSDKFeedback");
    EXPECT_EQ(activity->activityTitle(), "Feedback to Kelvara Tests");
    EXPECT_TRUE(activity->activityImage());
    EXPECT_FALSE(activity->canPerformWithActivityItems({42, 1.5}));
    EXPECT_TRUE(activity->canPerformWithActivityItems({42, *NSURL::URLWithString("https://a.b/")}));
    EXPECT_TRUE(activity->canPerformWithActivityItems(
        {std::make_shared<BITZizavaAttachment>("a.txt", Value::Data{1}, "text/plain")}));
    activity->setCustomActivityTitle("Tell us");
    EXPECT_EQ(activity->activityTitle(), activity->customActivityTitle());
    activity->setCustomActivityImage(checkerboard(CGSizeMake(20, 20), 1));
    EXPECT_EQ(activity->activityImage(), activity->customActivityImage());

    LogCapture log;
    activity->prepareWithActivityItems({std::string("Look"), 42, Value::Data{1, 2}});
    EXPECT_EQ(activity->items().size(), 2u);
    EXPECT_TRUE(log.contains("WARNING: Unknown item type"));
}

TEST_F(BITFeedbackActivityTest, OneComposerWithThePreparedItemsAndTheOutcome) {
    const auto activity = std::make_shared<BITFeedbackActivity>(manager);
    activity->prepareWithActivityItems(
        {std::string("Look"), *NSURL::URLWithString("https://a.b/")});
    const auto first =
        std::dynamic_pointer_cast<UINavigationController>(activity->activityViewController());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->modalTransitionStyle(), UIModalTransitionStyleCrossDissolve);
    activity->prepareWithActivityItems({std::string("Later")});
    EXPECT_EQ(activity->activityViewController(), first);
    const auto composer =
        std::dynamic_pointer_cast<BITFeedbackComposeViewController>(first->topViewController());
    ASSERT_TRUE(composer);
    EXPECT_EQ(composer->text(), "Look https://a.b/");

    std::optional<bool> finished;
    activity->setFinishHandler([&finished](bool completed) { finished = completed; });
    composer->dismissWithResult(BITFeedbackComposeCancelled);
    EXPECT_EQ(finished, false);
}

TEST_F(BITFeedbackActivityTest, ObservationModesSwitchTheirObservations) {
    manager->setFeedbackObservationMode(BITFeedbackObservationModeAll);
    EXPECT_TRUE(manager->observationModeOnScreenshotEnabled());
    EXPECT_TRUE(manager->observationModeThreeFingerTapEnabled());
    manager->setFeedbackObservationMode(BITFeedbackObservationModeOnScreenshot);
    EXPECT_TRUE(manager->observationModeOnScreenshotEnabled());
    EXPECT_FALSE(manager->observationModeThreeFingerTapEnabled());
    EXPECT_FALSE(manager->tapRecognizer());
    manager->setFeedbackObservationMode(BITFeedbackObservationNone);
    EXPECT_FALSE(manager->observationModeOnScreenshotEnabled());
    // A disabled manager keeps what it had.
    manager->setDisableFeedbackManager(true);
    manager->setFeedbackObservationMode(BITFeedbackObservationModeThreeFingerTap);
    EXPECT_EQ(manager->feedbackObservationMode(), BITFeedbackObservationNone);
    EXPECT_FALSE(manager->observationModeThreeFingerTapEnabled());
}
