#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UIKit/UIActionSheet.h"
#include "UIKit/UIActivity.h"
#include "UIKit/UIImagePickerController.h"
#include "UIKit/UITextView.h"
#include "UIKit/UIViewController.h"
#include "sdk/feedback/BITFeedbackMessage.h"
#include "sdk/feedback/BITFeedbackUserDataViewController.h"
#include "sdk/feedback/BITImageAnnotationViewController.h"

class BITFeedbackComposeViewController;
class BITFeedbackManager;
class NSNotification;
class NSNotificationObserver;
class UIBarButtonItem;
class UIButton;
class UIScrollView;

enum BITFeedbackComposeResult : long {
    BITFeedbackComposeCancelled = 0,
    BITFeedbackComposeSubmitted = 1,
};

class BITFeedbackComposeViewControllerDelegate {
  public:
    virtual ~BITFeedbackComposeViewControllerDelegate() = default;
    // Answer true when handled: the delegate then dismisses the composer.
    virtual bool feedbackComposeViewControllerDidFinishWithResult(BITFeedbackComposeViewController&,
                                                                  BITFeedbackComposeResult) {
        return false;
    }
};

// The screen on which the user writes one feedback message: the text, a
// strip of image thumbnails at the right (newest on top; a tap offers
// Delete and Edit), an add-image bar docked at the bottom while the text is
// edited, Cancel and Send. Send hands text and attachments to the manager.
class BITFeedbackComposeViewController : public UIViewController,
                                         public BITFeedbackUserDataDelegate,
                                         public UIImagePickerControllerDelegate,
                                         public UIActionSheetDelegate,
                                         public BITImageAnnotationDelegate,
                                         public UITextViewDelegate {
  public:
    static constexpr CGFloat kStripWidth = 100;
    static constexpr size_t kMaximumImages = 3;

    // Without a manager the front's feedback manager is used.
    explicit BITFeedbackComposeViewController(
        std::shared_ptr<BITFeedbackManager> manager = nullptr);
    ~BITFeedbackComposeViewController() override;

    // Texts and URLs join the text (a space between), images become JPEG
    // attachments shown in the strip, data and SDK attachments are sent only.
    void prepareWithItems(const UIActivityItems& items);

    void keyboardWasShown(const NSNotification& notification);
    void keyboardWillBeHidden(const NSNotification& notification);

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    bool prefersStatusBarHidden() const override;

    void refreshAttachmentScrollview();
    void updateBarButtonState();
    void removeAttachmentScrollView();

    void setUserDataAction();
    void dismissAction();
    void sendAction();
    void dismissWithResult(BITFeedbackComposeResult result);
    void addPhotoAction();
    // The thumbnail button at index was tapped.
    void imageButtonAction(size_t buttonIndex);
    void deleteAction();
    void editAction();
    void cancelAction();

    void imagePickerControllerDidFinishPickingMediaWithInfo(
        UIImagePickerController& picker, const UIImagePickerMediaInfo& info) override;
    void imagePickerControllerDidCancel(UIImagePickerController& picker) override;
    void userDataUpdateCancelled() override;
    void userDataUpdateFinished() override;
    void textViewDidChange(UITextView&) override;
    void textViewDidBeginEditing(UITextView&) override;
    void textViewDidEndEditing(UITextView&) override;
    void actionSheetDidDismissWithButtonIndex(UIActionSheet& sheet, long index) override;
    void annotationControllerDidCancel(BITImageAnnotationViewController&) override;
    void annotationControllerDidFinishWithImage(BITImageAnnotationViewController&,
                                                const std::shared_ptr<UIImage>& image) override;

    bool hideImageAttachmentButton() const { return hideImageAttachmentButton_; }
    void setHideImageAttachmentButton(bool hide) { hideImageAttachmentButton_ = hide; }
    std::shared_ptr<BITFeedbackComposeViewControllerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<BITFeedbackComposeViewControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    const std::optional<std::string>& text() const { return text_; }
    const BITFeedbackMessage::Attachments& attachments() const { return attachments_; }
    const BITFeedbackMessage::Attachments& imageAttachments() const { return imageAttachments_; }
    const std::shared_ptr<UITextView>& textView() const { return textView_; }
    const std::shared_ptr<UIScrollView>& attachmentScrollView() const {
        return attachmentScrollView_;
    }
    const std::vector<std::shared_ptr<UIButton>>& attachmentScrollViewImageViews() const {
        return attachmentScrollViewImageViews_;
    }
    const std::shared_ptr<UIButton>& addPhotoButton() const { return addPhotoButton_; }
    const std::shared_ptr<UIView>& textAccessoryView() const { return textAccessoryView_; }
    const std::shared_ptr<UIBarButtonItem>& sendItem() const { return sendItem_; }
    std::optional<size_t> selectedAttachmentIndex() const { return selectedAttachmentIndex_; }
    bool blockUserDataScreen() const { return blockUserDataScreen_; }
    bool actionSheetVisible() const { return actionSheetVisible_; }
    std::shared_ptr<BITFeedbackManager> manager() const { return manager_.lock(); }
    // Holds the text view and the strip; resized around the keyboard.
    const std::shared_ptr<UIView>& contentViewContainer() const { return contentViewContainer_; }
    // The status bar's state saved while the photo picker is open.
    std::optional<bool> isStatusBarHiddenBeforeShowingPhotoPicker() const {
        return isStatusBarHiddenBeforeShowingPhotoPicker_;
    }

  private:
    std::shared_ptr<BITFeedbackComposeViewController> self();
    void appendText(const std::string& item);
    void addAttachment(std::shared_ptr<BITFeedbackMessageAttachment> attachment, bool image);
    void addImage(const std::shared_ptr<UIImage>& image, std::optional<std::string> name);
    void takeKeyboardBack();
    void layoutContainer(CGFloat keyboardHeight);
    void observeKeyboard();
    void stopObservingKeyboard();

    bool blockUserDataScreen_ = false;
    bool actionSheetVisible_ = false;
    bool hideImageAttachmentButton_ = false;
    bool accessoryDocked_ = false;
    std::weak_ptr<BITFeedbackComposeViewControllerDelegate> delegate_;
    std::weak_ptr<BITFeedbackManager> manager_;
    std::shared_ptr<UITextView> textView_;
    std::shared_ptr<UIView> contentViewContainer_;
    std::shared_ptr<UIScrollView> attachmentScrollView_;
    std::vector<std::shared_ptr<UIButton>> attachmentScrollViewImageViews_;
    std::shared_ptr<UIButton> addPhotoButton_;
    std::shared_ptr<UIBarButtonItem> sendItem_;
    std::optional<std::string> text_;
    BITFeedbackMessage::Attachments attachments_;
    BITFeedbackMessage::Attachments imageAttachments_;
    std::shared_ptr<UIView> textAccessoryView_;
    std::optional<size_t> selectedAttachmentIndex_;
    std::optional<bool> isStatusBarHiddenBeforeShowingPhotoPicker_;
    std::shared_ptr<NSNotificationObserver> keyboardShownObserver_;
    std::shared_ptr<NSNotificationObserver> keyboardHiddenObserver_;
};
