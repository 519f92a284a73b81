#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "FeedbackScreenTestSupport.h"
#include "Net/NSURL.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIButton.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIWindow.h"
#include "sdk/SdkTestSupport.h"
#include "sdk/crash/BITZizavaAttachment.h"
#include "sdk/feedback/BITFeedbackComposeViewController.h"

namespace {

struct ResultDelegate : BITFeedbackComposeViewControllerDelegate {
    bool feedbackComposeViewControllerDidFinishWithResult(
        BITFeedbackComposeViewController&, BITFeedbackComposeResult result) override {
        results.push_back(result);
        return true;
    }
    std::vector<BITFeedbackComposeResult> results;
};

class BITFeedbackComposeViewControllerTest : public FeedbackScreenTest {
  protected:
    void SetUp() override {
        FeedbackScreenTest::SetUp();
        manager->setRequireUserName(BITFeedbackUserDataNotAsked);
        manager->setRequireUserEmail(BITFeedbackUserDataNotAsked);
    }
    // The composer presented in a navigation controller over the root.
    std::shared_ptr<BITFeedbackComposeViewController> present(const UIActivityItems& items = {}) {
        auto composer = std::make_shared<BITFeedbackComposeViewController>(manager);
        composer->prepareWithItems(items);
        root->presentViewControllerAnimatedCompletion(
            std::make_shared<UINavigationController>(composer), false, nullptr);
        play("idle");
        return composer;
    }
    std::shared_ptr<UIImage> image() { return picture(CGSizeMake(300, 200), 0.2, 0.5, 0.9); }
};

}  // namespace

TEST_F(BITFeedbackComposeViewControllerTest, PreparedItemsBecomeTextAndAttachmentsInOrder) {
    BITFeedbackComposeViewController composer(manager);
    composer.prepareWithItems(
        {std::string("a"), *NSURL::URLWithString("https://example.org/x"), std::string("b")});
    EXPECT_EQ(composer.text(), "a https://example.org/x b");

    BITFeedbackComposeViewController images(manager);
    LogCapture log;
    images.prepareWithItems(
        {image(), Value::Data{1, 2, 3}, image(),
         std::make_shared<BITZizavaAttachment>("empty.txt", std::nullopt, "text/plain"),
         std::make_shared<BITZizavaAttachment>(std::nullopt, Value::Data{7}, "text/plain"), 42});
    EXPECT_FALSE(images.text());
    ASSERT_EQ(images.attachments().size(), 4u);
    EXPECT_EQ(images.imageAttachments().size(), 2u);
    // Names count every attachment before them, not only images.
    EXPECT_EQ(images.attachments()[0]->originalFilename(), "Image_0.jpg");
    EXPECT_EQ(images.attachments()[1]->originalFilename(), "Attachment_1.data");
    EXPECT_EQ(images.attachments()[1]->contentType(), "application/octet-stream");
    EXPECT_EQ(images.attachments()[2]->originalFilename(), "Image_2.jpg");
    EXPECT_EQ(images.attachments()[3]->originalFilename(), "Attachment_3.data");
    EXPECT_EQ(images.attachments()[3]->contentType(), "text/plain");
    EXPECT_TRUE(log.contains("BITZizavaAttachment instance doesn't contain any data."));
    EXPECT_TRUE(log.contains("WARNING: Unknown item type"));
}

TEST_F(BITFeedbackComposeViewControllerTest, StripShowsImagesNewestFirstAndCollapsesWhenEmptied) {
    const auto composer = present({std::string("The bridge is closed"), image()});
    EXPECT_EQ(composer->textView()->text(), "The bridge is closed");
    EXPECT_TRUE(composer->sendItem()->isEnabled());
    const CGFloat width = composer->view()->frame().size.width;
    EXPECT_EQ(composer->attachmentScrollView()->UIView::frame().size.width, 100);
    EXPECT_EQ(composer->textView()->UIView::frame().size.width, width - 100);
    ASSERT_EQ(composer->attachmentScrollViewImageViews().size(), 1u);
    // 300 x 200 fitted into the strip: 100 x 66 less 10 on every side.
    EXPECT_EQ(composer->attachmentScrollViewImageViews()[0]->frame().size.width, 80);

    composer->prepareWithItems({picture(CGSizeMake(100, 100), 0.9, 0.3, 0.1), image()});
    composer->refreshAttachmentScrollview();
    ASSERT_EQ(composer->attachmentScrollViewImageViews().size(), 3u);
    EXPECT_FALSE(composer->addPhotoButton()->isEnabled());  // three images at most
    // The newest image is on the top button: a tap on it selects index 2.
    composer->imageButtonAction(0);
    EXPECT_EQ(composer->selectedAttachmentIndex(), 2u);
    play(R"(expect "Delete"
expect "Edit"
tap "Delete"
idle)");
    EXPECT_EQ(composer->imageAttachments().size(), 2u);
    EXPECT_FALSE(composer->selectedAttachmentIndex());
    EXPECT_TRUE(composer->addPhotoButton()->isEnabled());
    for (int i = 0; i < 2; ++i) {
        composer->imageButtonAction(0);
        play("tap \"Delete\"\nidle");
    }
    EXPECT_TRUE(composer->attachments().empty());
    EXPECT_EQ(composer->attachmentScrollView()->UIView::frame().size.width, 0);
    EXPECT_EQ(composer->textView()->UIView::frame().size.width, width);
    EXPECT_EQ(storedAttachmentFiles(), 0u);
}

TEST_F(BITFeedbackComposeViewControllerTest, SendNeedsTextAndHandsTheMessageToTheManager) {
    const auto composer = present({image()});
    EXPECT_FALSE(composer->sendItem()->isEnabled());
    play(R"(type "Wrong one-way street"
expect "+ Add Image")");
    EXPECT_TRUE(composer->sendItem()->isEnabled());
    play(R"(tap "Send"
idle)");
    // No delegate answers: the screen closed itself.
    EXPECT_FALSE(root->presentedViewController());
    ASSERT_EQ(manager->numberOfMessages(), 1u);
    const auto message = manager->messageAtIndex(0);
    EXPECT_EQ(message->text, "Wrong one-way street");
    ASSERT_EQ(message->attachments.size(), 1u);
    EXPECT_EQ(message->attachments[0]->contentType(), "image/jpeg");
    EXPECT_EQ(storedAttachmentFiles(), 1u);  // sending keeps the file
}

TEST_F(BITFeedbackComposeViewControllerTest, CancelRemovesTheAttachmentFilesAndTellsTheDelegate) {
    const auto delegate = std::make_shared<ResultDelegate>();
    const auto composer = present({image(), Value::Data{1, 2}});
    composer->setDelegate(delegate);
    EXPECT_EQ(storedAttachmentFiles(), 2u);
    play(R"(tap "Cancel")");
    EXPECT_EQ(delegate->results, std::vector{BITFeedbackComposeCancelled});
    EXPECT_EQ(storedAttachmentFiles(), 0u);
    EXPECT_TRUE(root->presentedViewController());  // the delegate dismisses
    EXPECT_EQ(manager->numberOfMessages(), 0u);
}

TEST_F(BITFeedbackComposeViewControllerTest, DecliningARequiredNameClosesTheComposerAndItsFiles) {
    manager->setRequireUserName(BITFeedbackUserDataRequired);
    const auto composer = present({image()});
    play(R"(idle
expect "Contact Information"
tap "Cancel"
idle)");
    EXPECT_TRUE(composer->blockUserDataScreen());
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_EQ(storedAttachmentFiles(), 0u);
    EXPECT_EQ(manager->numberOfMessages(), 0u);
}

TEST_F(BITFeedbackComposeViewControllerTest, AnOptionalFormOnceDeclinedLetsTheUserWrite) {
    manager->setRequireUserName(BITFeedbackUserDataOptional);
    const auto composer = present();
    play(R"(expect "Contact Information"
tap "Cancel"
idle
type "Hello"
expect "Hello")");
    EXPECT_TRUE(composer->blockUserDataScreen());
    EXPECT_TRUE(composer->textView()->isFirstResponder());
}

TEST_F(BITFeedbackComposeViewControllerTest, LooksLikeTheReference) {
    const auto composer =
        present({std::string("The tram stop at the station moved across the road."),
                 picture(CGSizeMake(320, 568), 0.3, 0.6, 0.4)});
    play("idle");
    EXPECT_TRUE(composer->textAccessoryView()->superview());  // docked while editing
    EXPECT_TRUE(matchesReference(window->renderImage(2), "../sdk/feedback/compose"));
}

TEST_F(BITFeedbackComposeViewControllerTest, AnOpenSheetAndTheBarBeforeThePickerAreKept) {
    const auto composer = present({std::string("Look"), image()});
    EXPECT_EQ(composer->manager(), manager);
    EXPECT_EQ(composer->textView()->superview(), composer->contentViewContainer());
    EXPECT_FALSE(composer->actionSheetVisible());
    composer->imageButtonAction(0);
    EXPECT_TRUE(composer->actionSheetVisible());
    play("tap \"Cancel\"\nidle");
    EXPECT_FALSE(composer->actionSheetVisible());
    EXPECT_FALSE(composer->isStatusBarHiddenBeforeShowingPhotoPicker());
    play("tap \"+ Add Image\"\nidle");
    EXPECT_TRUE(composer->isStatusBarHiddenBeforeShowingPhotoPicker());
}

TEST_F(BITFeedbackComposeViewControllerTest, AddImagePicksAPictureNamedAfterItsFile) {
    const std::string folder = (std::filesystem::temp_directory_path() /
                                ("kelvara-feedback-pictures-" + std::to_string(getpid())))
                                   .string();
    std::filesystem::create_directories(folder);
    const auto png = UIImagePNGRepresentation(image());
    std::ofstream(folder + "/Tram stop.png")
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    UIImagePickerController::setPicturesDirectory(folder);
    const auto composer = present();
    play(R"(tap "+ Add Image"
idle)");
    const auto picker =
        std::dynamic_pointer_cast<UIImagePickerController>(composer->presentedViewController());
    ASSERT_TRUE(picker);
    ASSERT_EQ(picker->pictures().size(), 1u);
    EXPECT_TRUE(picker->pickPictureAtIndex(0));
    play("idle");
    UIImagePickerController::setPicturesDirectory("");
    std::filesystem::remove_all(folder);
    EXPECT_FALSE(composer->presentedViewController());
    ASSERT_EQ(composer->imageAttachments().size(), 1u);
    EXPECT_EQ(composer->imageAttachments()[0]->originalFilename(), "Tram stop.png");
    EXPECT_EQ(composer->imageAttachments()[0]->contentType(), "image/jpeg");
}
