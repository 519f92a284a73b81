#include <gtest/gtest.h>

#include "FeedbackScreenTestSupport.h"
#include "Foundation/NSIndexPath.h"
#include "QuickLook/QLPreviewController.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIPasteboard.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIWindow.h"
#include "sdk/SdkTestSupport.h"
#include "sdk/feedback/BITActivityIndicatorButton.h"
#include "sdk/feedback/BITFeedbackListViewController.h"

namespace {

class BITFeedbackListViewControllerTest : public FeedbackScreenTest {
  protected:
    void SetUp() override {
        FeedbackScreenTest::SetUp();
        manager->setRequireUserName(BITFeedbackUserDataNotAsked);
        manager->setRequireUserEmail(BITFeedbackUserDataNotAsked);
    }

    void present() {
        list = manager->feedbackListViewController(true);
        root->presentViewControllerAnimatedCompletion(
            std::make_shared<UINavigationController>(list), false, nullptr);
        play("idle");
    }

    long sections() { return list->numberOfSectionsInTableView(*list->tableView()); }

    std::shared_ptr<BITFeedbackListViewController> list;
};

std::string pngBytes(const std::shared_ptr<UIImage>& image) {
    const auto png = UIImagePNGRepresentation(image);
    return std::string(png.begin(), png.end());
}

}  // namespace

TEST_F(BITFeedbackListViewControllerTest, AnEmptyThreadOffersOnlyWriting) {
    present();
    EXPECT_EQ(sections(), 2);
    EXPECT_EQ(list->userButtonSection(), -1);
    EXPECT_EQ(list->deleteButtonSection(), -1);
    play(R"(expect "Write feedback"
expect "Last updated: never"
expect-not "Delete all messages")");
    EXPECT_EQ(manager->currentFeedbackListViewController(), list);
}

TEST_F(BITFeedbackListViewControllerTest, LoadingShowsOnTheRefreshButtonOnly) {
    present();
    EXPECT_EQ(list->manager(), manager);
    list->startLoadingIndicator();
    EXPECT_FALSE(list->refreshItem()->isEnabled());
    EXPECT_FALSE(list->isRefreshingWithNewControl());
    list->stopLoadingIndicator();
    EXPECT_TRUE(list->refreshItem()->isEnabled());
}

TEST_F(BITFeedbackListViewControllerTest, ARequiredNameNotGivenShowsADash) {
    manager->setRequireUserName(BITFeedbackUserDataRequired);
    manager->updateDidAskUserData();
    present();
    EXPECT_EQ(sections(), 3);
    EXPECT_EQ(list->userButtonSection(), 2);
    play(R"(expect "Name: -")");
}

TEST_F(BITFeedbackListViewControllerTest, ThreadWithALinkAndAnImageFromTheDeveloper) {
    useService();
    manager->setUserEmail("ada@example.org");
    manager->setRequireUserEmail(BITFeedbackUserDataOptional);
    send("The ferry pier is drawn on land.");
    reply("Thanks! Fixed in https://example.org/maps/42", "pier.png", "image/png",
          pngBytes(picture(CGSizeMake(120, 90), 0.1, 0.4, 0.8)));
    manager->updateMessagesList();
    settle();
    ASSERT_EQ(manager->numberOfMessages(), 2u);
    present();
    EXPECT_EQ(sections(), 4);
    EXPECT_EQ(list->userButtonSection(), 2);
    EXPECT_EQ(list->deleteButtonSection(), 3);
    play(R"(expect "Write a response"
expect "E-mail: ada@example.org"
expect "The ferry pier is drawn on land."
expect "Thanks! Fixed in https://example.org/maps/42")");

    // The image is fetched once shown; the row then shows its thumbnail.
    const auto reply = manager->messagesWithStatus(BITFeedbackMessageStatusNew).at(0);
    const auto attachment = reply->attachments.at(0);
    ASSERT_TRUE(runMainLoopUntil([&] { return !attachment->needsLoadingFromURL(); }));
    play("idle");
    const auto replyCell = [&] {
        std::shared_ptr<BITFeedbackListViewCell> found;
        for (long row = 0; row < 2; ++row) {
            auto shown = std::dynamic_pointer_cast<BITFeedbackListViewCell>(
                list->tableView()->cellForRowAtIndexPath(NSIndexPath{1, row}));
            if (shown && shown->message() == reply)
                found = shown;
        }
        return found;
    };
    auto cell = replyCell();
    ASSERT_TRUE(cell);
    ASSERT_EQ(cell->attachmentViews().size(), 1u);
    EXPECT_FALSE(cell->attachmentViews()[0]->indicatorVisible());
    EXPECT_TRUE(cell->attachmentViews()[0]->currentImage());
    // Fixed times for the picture: the service stamps its own.
    manager->setLastCheck(NSDate::dateWithTimeIntervalSince1970(1700003600));
    for (const auto& message : manager->feedbackList())
        message->date =
            NSDate::dateWithTimeIntervalSince1970(message == reply ? 1700000060 : 1700000000);
    manager->sortFeedbackList();
    list->tableView()->reloadData();
    // The reloaded rows find their links again in the background.
    play(R"(wait-for "https://example.org/maps/42" 10
idle)");
    EXPECT_TRUE(matchesReference(window->renderImage(2), "../sdk/feedback/list"));

    // A kept thread still has the file after a restart: the download was saved.
    auto restarted =
        std::make_shared<BITFeedbackManager>(kFeedbackTestAppID, BITAppEnvironmentOther);
    restarted->loadMessages();
    ASSERT_EQ(restarted->numberOfMessages(), 2u);
    for (const auto& message : restarted->feedbackList()) {
        for (const auto& stored : message->attachments)
            EXPECT_FALSE(stored->needsLoadingFromURL());
    }

    // The thumbnail opens the preview on that image.
    cell = replyCell();
    ASSERT_TRUE(cell);
    cell->imageButtonPressed(*cell->attachmentViews()[0]);
    play("idle");
    auto preview = std::dynamic_pointer_cast<QLPreviewController>(list->presentedViewController());
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->currentKind(), QLPreviewController::Kind::Image);
    EXPECT_EQ(preview->currentPreviewItem(), attachment);
    // Asked for an index it does not have, the preview gets the placeholder.
    const auto placeholder = list->previewControllerPreviewItemAtIndex(*preview, -1);
    EXPECT_TRUE(QLPreviewController::canPreviewItem(*placeholder));

    // The screen's own ends of a download: an empty answer only stops the
    // loading, a body replaces the file.
    attachment->setLoading(true);
    list->handleResponseForAttachmentResponseDataError(attachment, Value::Data{}, std::nullopt);
    EXPECT_FALSE(attachment->isLoading());
    const std::string png = pngBytes(picture(CGSizeMake(60, 40), 0.8, 0.2, 0.1));
    const Value::Data redrawn(png.begin(), png.end());
    list->previewControllerUpdateAttachmentData(*preview, attachment, redrawn);
    EXPECT_EQ(attachment->data(), redrawn);
    EXPECT_EQ(preview->currentPreviewItem(), attachment);
}

TEST_F(BITFeedbackListViewControllerTest, LinkOffersOpenAndCopy) {
    useService();
    send("Where is the museum?");
    reply("Here: https://example.org/museum");
    manager->updateMessagesList();
    settle();
    present();
    const auto cell = std::dynamic_pointer_cast<BITFeedbackListViewCell>(
        list->tableView()->cellForRowAtIndexPath(NSIndexPath{1, 0}));
    ASSERT_TRUE(cell);
    list->attributedLabelDidSelectLinkWithURL(*cell->labelText(), "https://example.org/museum");
    play(R"(expect "https://example.org/museum"
expect "Open"
tap "Copy"
idle)");
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), "https://example.org/museum");
}

TEST_F(BITFeedbackListViewControllerTest, EveryKindOfLinkInAReplyIsFoundAndAWebLinkTapped) {
    useService();
    send("Where is the museum?");
    reply(
        "Open on 15 March 2024 at 10:00 at Stargarder Straße 12, 17033 Neubrandenburg. "
        "Call 0395 5551234, land with flight LH 1234, or see https://example.org/museum");
    // Fetched while the list is up, the reply is not announced by an alert.
    present();
    manager->updateMessagesList();
    settle();
    manager->setLastCheck(NSDate::dateWithTimeIntervalSince1970(1700003600));
    for (const auto& message : manager->feedbackList())
        message->date =
            NSDate::dateWithTimeIntervalSince1970(message->userMessage ? 1700000000 : 1700000060);
    manager->sortFeedbackList();
    list->tableView()->reloadData();
    // Each link is a text of its own once found.
    play(R"(wait-for "https://example.org/museum" 10
expect "15 March 2024 at 10:00"
expect "Stargarder Straße 12, 17033 Neubrandenburg"
expect "0395 5551234"
expect "LH 1234"
idle)");
    EXPECT_TRUE(matchesReference(window->renderImage(2), "../sdk/feedback/list-links"));
    play(R"(tap "https://example.org/museum"
idle
expect "Open"
tap "Copy"
idle)");
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), "https://example.org/museum");
}

TEST_F(BITFeedbackListViewControllerTest, SwipingAwayTheLastMessageReloadsWithoutDeleteAll) {
    useService();
    send("only one", {std::make_shared<BITFeedbackMessageAttachment>(
                         BITFeedbackMessageAttachment::attachmentWithDataContentType(
                             Value::Data{1, 2, 3}, "image/jpeg"))});
    present();
    EXPECT_EQ(sections(), 3);
    list->tableViewCommitEditingStyleForRowAtIndexPath(*list->tableView(),
                                                       UITableViewCellEditingStyleDelete, {1, 0});
    EXPECT_EQ(manager->numberOfMessages(), 0u);
    EXPECT_EQ(sections(), 2);
    EXPECT_EQ(storedAttachmentFiles(), 0u);
    EXPECT_TRUE(list->cachedPreviewItems()->empty());
}

TEST_F(BITFeedbackListViewControllerTest, DeleteAllLeavesTheAttachmentsFolderEmpty) {
    useService();
    send("one", {std::make_shared<BITFeedbackMessageAttachment>(
                    BITFeedbackMessageAttachment::attachmentWithDataContentType(Value::Data{1},
                                                                                "image/jpeg"))});
    send("two", {std::make_shared<BITFeedbackMessageAttachment>(
                    BITFeedbackMessageAttachment::attachmentWithDataContentType(Value::Data{2},
                                                                                "text/plain"))});
    EXPECT_EQ(storedAttachmentFiles(), 2u);
    present();
    play(R"(tap "Delete all messages"
idle
expect "This deletes all messages on this device."
tap "Delete"
idle
expect-not "Delete all messages"
expect "Write feedback")");
    EXPECT_EQ(manager->numberOfMessages(), 0u);
    EXPECT_EQ(storedAttachmentFiles(), 0u);
}

TEST_F(BITFeedbackListViewControllerTest, ARequiredNameFirstThenTheComposer) {
    manager->setRequireUserName(BITFeedbackUserDataRequired);
    present();
    EXPECT_TRUE(list->userDataComposeFlow());
    play(R"(idle
expect "Contact Information"
type "Ada"
tap "Save"
idle
expect "New Feedback")");
    EXPECT_EQ(manager->userName(), "Ada");
}

TEST_F(BITFeedbackListViewControllerTest, RowHeightsFollowTheTextAndTheWidth) {
    useService();
    send("Short");
    present();
    auto& table = *list->tableView();
    const auto message = manager->messageAtIndex(0);
    const CGFloat width = list->view()->frame().size.width;
    EXPECT_EQ(list->tableViewHeightForRowAtIndexPath(table, {1, 0}),
              BITFeedbackListViewCell::heightForRowWithMessageTableViewWidth(*message, width));
    message->text = std::string(400, 'x');
    EXPECT_EQ(list->tableViewHeightForRowAtIndexPath(table, {1, 0}),
              BITFeedbackListViewCell::heightForRowWithMessageTableViewWidth(*message, width));
    list->view()->setFrame(CGRectMake(0, 0, 200, 400));
    EXPECT_EQ(list->tableViewHeightForRowAtIndexPath(table, {1, 0}),
              BITFeedbackListViewCell::heightForRowWithMessageTableViewWidth(*message, 200));
}
