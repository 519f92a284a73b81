#include <gtest/gtest.h>

#include "FeedbackScreenTestSupport.h"
#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "sdk/SdkTestSupport.h"
#include "sdk/feedback/BITActivityIndicatorButton.h"
#include "sdk/feedback/BITAttributedLabel.h"
#include "sdk/feedback/BITFeedbackAttachmentDownload.h"
#include "sdk/feedback/BITFeedbackListViewCell.h"

namespace {

std::shared_ptr<BITFeedbackMessageAttachment> storedImage() {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(40, 30), true, 1);
    UIGraphicsGetCurrentContext()->setFillColorWithColor(CGColorCreateGenericRGB(0.2, 0.5, 0.9, 1));
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, 40, 30));
    const auto png = UIImagePNGRepresentation(UIGraphicsGetImageFromCurrentImageContext());
    UIGraphicsEndImageContext();
    return std::make_shared<BITFeedbackMessageAttachment>(
        BITFeedbackMessageAttachment::attachmentWithDataContentType(png, "image/png"));
}

std::shared_ptr<BITFeedbackMessage> messageWith(size_t attachments, bool own) {
    auto message = std::make_shared<BITFeedbackMessage>();
    message->text = "The tram stop is missing, see https://example.org/stop";
    message->userMessage = own;
    message->status = own ? BITFeedbackMessageStatusDelivered : BITFeedbackMessageStatusNew;
    message->date = NSDate::dateWithTimeIntervalSince1970(1700000000);
    for (size_t i = 0; i < attachments; ++i)
        message->addAttachmentsObject(storedImage());
    return message;
}

std::shared_ptr<BITFeedbackListViewCell> laidOut(
    const std::shared_ptr<BITFeedbackMessage>& message) {
    auto cell = std::make_shared<BITFeedbackListViewCell>("cell");
    cell->setCellStyle(1);
    cell->setMessage(message);
    cell->setAttachments(message->previewableAttachments());
    cell->setFrame(CGRectMake(
        0, 0, 320, BITFeedbackListViewCell::heightForRowWithMessageTableViewWidth(*message, 320)));
    cell->layoutSubviews();
    return cell;
}

}  // namespace

TEST(BITFeedbackListViewCell, SixAttachmentsTakeTwoRowsFromTheRightForOwnMessages) {
    const auto message = messageWith(6, true);
    const CGFloat text =
        BITFeedbackListViewCell::heightForTextInRowWithMessageTableViewWidth(*message, 320);
    EXPECT_EQ(BITFeedbackListViewCell::heightForRowWithMessageTableViewWidth(*message, 320),
              std::ceil(text + 106));
    const auto cell = laidOut(message);
    ASSERT_EQ(cell->attachmentViews().size(), 6u);
    EXPECT_EQ(cell->attachmentViews()[0]->frame().origin.x, 320 - 55);
    EXPECT_EQ(cell->attachmentViews()[1]->frame().origin.x, 320 - 110);
    EXPECT_EQ(cell->attachmentViews()[5]->frame().origin.y,
              cell->attachmentViews()[0]->frame().origin.y + 55);
    EXPECT_EQ(cell->labelTitle()->textAlignment(), NSTextAlignmentRight);
    // Narrower than one column still lays out (one per row).
    EXPECT_GT(BITFeedbackListViewCell::heightForRowWithMessageTableViewWidth(*message, 40), text);
}

TEST(BITFeedbackListViewCell, StyleZeroLaysItsStripInTheRowsBackground) {
    const auto message = messageWith(0, false);
    auto cell = std::make_shared<BITFeedbackListViewCell>("cell");
    cell->setBackgroundStyle(1);
    cell->setMessage(message);
    cell->setFrame(CGRectMake(0, 0, 320, 80));
    EXPECT_FALSE(cell->accessoryBackgroundView());
    cell->layoutSubviews();
    ASSERT_TRUE(cell->accessoryBackgroundView());
    EXPECT_EQ(cell->accessoryBackgroundView()->superview(), cell);
    EXPECT_EQ(cell->accessoryBackgroundView()->backgroundColor(), cell->cellBackgroundColor());
    EXPECT_EQ(cell->backgroundStyle(), 1u);
    EXPECT_FALSE(cell->delegate());

    const auto button = std::make_shared<BITActivityIndicatorButton>();
    button->setShowsActivityIndicator(true);
    const auto spinner = button->indicator();
    button->setIndicatorVisible(false);
    button->setShowsActivityIndicator(true);
    EXPECT_TRUE(button->indicatorVisible());
    EXPECT_EQ(button->indicator(), spinner);
}

TEST(BITFeedbackListViewCell, PendingAndTooLargeMessagesSaySoAndServerOnlyAttachmentsSpin) {
    useTestBundleWithSdkResources();
    auto message = messageWith(0, true);
    message->status = BITFeedbackMessageStatusSendInProgress;
    auto remote = std::make_shared<BITFeedbackMessageAttachment>();
    remote->setSourceURL("http://127.0.0.1:1/none");
    remote->setContentType("image/png");
    message->addAttachmentsObject(remote);
    message->addAttachmentsObject(
        std::make_shared<BITFeedbackMessageAttachment>());  // no file, no URL
    const auto cell = laidOut(message);
    EXPECT_EQ(cell->labelTitle()->text(), "Pending");
    ASSERT_EQ(cell->attachmentViews().size(), 1u);
    EXPECT_TRUE(cell->attachmentViews()[0]->indicatorVisible());
    EXPECT_TRUE(cell->attachmentViews()[0]->indicator()->isAnimating());
    message->status = BITFeedbackMessageStatusInConflict;
    message->tooLarge = true;
    cell->layoutSubviews();
    EXPECT_EQ(cell->labelTitle()->text(), "Too large to send");
}

TEST(BITFeedbackListViewCell, DrawsAMessageWithALinkAndThumbnails) {
    const auto message = messageWith(2, false);
    const auto cell = laidOut(message);
    // The cell sets its text when laid out, and links are then found in the background.
    cell->layoutIfNeeded();
    EXPECT_TRUE(runMainLoopUntil([&] { return !cell->labelText()->links().empty(); }, 5));
    EXPECT_EQ(cell->labelText()->links().size(), 1u);
    ASSERT_EQ(cell->attachmentViews().size(), 2u);
    for (const auto& button : cell->attachmentViews()) {
        EXPECT_TRUE(button->currentImage());
        EXPECT_TRUE(button->superview());
        EXPECT_EQ(button->frame().origin.x, 10 + 55 * (button == cell->attachmentViews()[1]));
    }
    const auto image = cell->snapshotImage();
    EXPECT_TRUE(matchesReference(image->CGImage(), "../sdk/feedback/list-cell"));
}
