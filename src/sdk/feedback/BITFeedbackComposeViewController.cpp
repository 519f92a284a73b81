#include "sdk/feedback/BITFeedbackComposeViewController.h"

#include <algorithm>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSNotificationCenter.h"
#include "Net/NSURL.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIKeyboard.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIScrollView.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/BITZizavaManager.h"
#include "sdk/crash/BITZizavaAttachment.h"
#include "sdk/feedback/BITFeedbackManager.h"

namespace {

constexpr CGFloat kAccessoryHeight = 44;
constexpr CGFloat kThumbnailInset = 10;
constexpr double kJPEGQuality = 0.7;

std::string numbered(const char* format, size_t count) {
    return bit_format(format, static_cast<long>(count));
}

CGFloat keyboardHeightIn(const NSNotification& notification) {
    const auto found = notification.userInfo.find(UIKeyboardFrameBeginUserInfoKey);
    if (found == notification.userInfo.end())
        return 0;
    const Value* height = found->second.get("height");
    return height && height->doubleValue() ? *height->doubleValue() : 0;
}

}  // namespace

BITFeedbackComposeViewController::BITFeedbackComposeViewController(
    std::shared_ptr<BITFeedbackManager> manager) {
    if (!manager) {
        if (const auto front = BITZizavaManager::sharedZizavaManager())
            manager = std::dynamic_pointer_cast<BITFeedbackManager>(front->feedbackManager());
    }
    manager_ = manager;
}

BITFeedbackComposeViewController::~BITFeedbackComposeViewController() {
    stopObservingKeyboard();
}

std::shared_ptr<BITFeedbackComposeViewController> BITFeedbackComposeViewController::self() {
    return std::static_pointer_cast<BITFeedbackComposeViewController>(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
}

void BITFeedbackComposeViewController::appendText(const std::string& item) {
    const std::string separator = text_ ? " " : "";
    text_ = text_.value_or("") + separator + item;
}

void BITFeedbackComposeViewController::addAttachment(
    std::shared_ptr<BITFeedbackMessageAttachment> attachment, bool image) {
    if (image)
        imageAttachments_.push_back(attachment);
    attachments_.push_back(std::move(attachment));
}

void BITFeedbackComposeViewController::addImage(const std::shared_ptr<UIImage>& image,
                                                std::optional<std::string> name) {
    auto attachment = std::make_shared<BITFeedbackMessageAttachment>(
        BITFeedbackMessageAttachment::attachmentWithDataContentType(
            UIImageJPEGRepresentation(image, kJPEGQuality), "image/jpeg"));
    if (name)
        attachment->setOriginalFilename(std::move(name));
    addAttachment(std::move(attachment), true);
}

void BITFeedbackComposeViewController::prepareWithItems(const UIActivityItems& items) {
    for (const std::any& item : items) {
        if (const auto* string = std::any_cast<std::string>(&item)) {
            appendText(*string);
        } else if (const auto* url = std::any_cast<NSURL>(&item)) {
            appendText(url->absoluteString());
        } else if (const auto* image = std::any_cast<std::shared_ptr<UIImage>>(&item)) {
            if (*image)
                addImage(*image, numbered("Image_%li.jpg", attachments_.size()));
        } else if (const auto* data = std::any_cast<Value::Data>(&item)) {
            auto attachment = std::make_shared<BITFeedbackMessageAttachment>(
                BITFeedbackMessageAttachment::attachmentWithDataContentType(
                    *data, "application/octet-stream"));
            attachment->setOriginalFilename(numbered("Attachment_%li.data", attachments_.size()));
            addAttachment(std::move(attachment), false);
        } else if (const auto* sdk = std::any_cast<std::shared_ptr<BITZizavaAttachment>>(&item);
                   sdk && *sdk) {
            if (!(*sdk)->zizavaAttachmentData()) {
                BITZizavaLogDebug("BITZizavaAttachment instance doesn't contain any data.");
                continue;
            }
            auto attachment = std::make_shared<BITFeedbackMessageAttachment>(
                BITFeedbackMessageAttachment::attachmentWithDataContentType(
                    *(*sdk)->zizavaAttachmentData(),
                    (*sdk)->contentType().value_or("application/octet-stream")));
            attachment->setOriginalFilename(
                (*sdk)->filename().value_or(numbered("Attachment_%li.data", attachments_.size())));
            addAttachment(std::move(attachment), false);
        } else {
            BITZizavaLogWarning("WARNING: Unknown item type %s", item.type().name());
        }
    }
}

void BITFeedbackComposeViewController::loadView() {
    UIViewController::loadView();
    view()->setBackgroundColor(UIColor::whiteColor());
}

void BITFeedbackComposeViewController::viewDidLoad() {
    setTitle(bit_localizedString("ZizavaFeedbackComposeTitle"));
    const std::weak_ptr<BITFeedbackComposeViewController> weak = self();
    navigationItem()->setLeftBarButtonItem(
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemCancel, [weak](UIBarButtonItem&) {
            if (const auto screen = weak.lock())
                screen->dismissAction();
        }));
    sendItem_ =
        std::make_shared<UIBarButtonItem>(bit_localizedString("ZizavaFeedbackComposeSend"),
                                          UIBarButtonItemStyleDone, [weak](UIBarButtonItem&) {
                                              if (const auto screen = weak.lock())
                                                  screen->sendAction();
                                          });
    navigationItem()->setRightBarButtonItem(sendItem_);

    contentViewContainer_ = std::make_shared<UIView>(view()->bounds());
    contentViewContainer_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                               UIViewAutoresizingFlexibleHeight);
    view()->addSubview(contentViewContainer_);

    textView_ = std::make_shared<UITextView>(contentViewContainer_->bounds());
    textView_->setFont(UIFont::systemFontOfSize(17));
    textView_->setBackgroundColor(UIColor::whiteColor());
    textView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                   UIViewAutoresizingFlexibleHeight);
    textView_->setDelegate(std::weak_ptr<UITextViewDelegate>(self()));
    contentViewContainer_->addSubview(textView_);

    if (BITZizavaHelper::isPhotoAccessPossible()) {
        const CGFloat width = view()->frame().size.width;
        textAccessoryView_ = std::make_shared<UIView>(CGRectMake(0, 0, width, kAccessoryHeight));
        textAccessoryView_->setBackgroundColor(
            UIColor::colorWithRedGreenBlueAlpha(0.9, 0.9, 0.9, 1));
        textAccessoryView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                                UIViewAutoresizingFlexibleTopMargin);
        addPhotoButton_ = std::make_shared<UIButton>(CGRectMake(0, 0, width, kAccessoryHeight),
                                                     UIButtonTypeCustom);
        addPhotoButton_->setTitleForState(
            bit_localizedString("ZizavaFeedbackComposeAttachmentAddImage"), UIControlStateNormal);
        addPhotoButton_->setTitleColorForState(UIColor::darkGrayColor(), UIControlStateNormal);
        addPhotoButton_->setTitleColorForState(UIColor::lightGrayColor(), UIControlStateDisabled);
        addPhotoButton_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                                             UIViewAutoresizingFlexibleRightMargin |
                                             UIViewAutoresizingFlexibleWidth);
        addPhotoButton_->addTargetForControlEvents(
            [weak](UIControl&) {
                if (const auto screen = weak.lock())
                    screen->addPhotoAction();
            },
            UIControlEventTouchUpInside);
        textAccessoryView_->addSubview(addPhotoButton_);
    }

    attachmentScrollView_ = std::make_shared<UIScrollView>(CGRectZero);
    attachmentScrollView_->setScrollEnabled(true);
    attachmentScrollView_->setBounces(true);
    attachmentScrollView_->setAutoresizesSubviews(false);
    attachmentScrollView_->setAutoresizingMask(UIViewAutoresizingFlexibleHeight |
                                               UIViewAutoresizingFlexibleRightMargin);
    contentViewContainer_->addSubview(attachmentScrollView_);
}

void BITFeedbackComposeViewController::observeKeyboard() {
    const auto center = NSNotificationCenter::defaultCenter();
    const std::weak_ptr<BITFeedbackComposeViewController> weak = self();
    const auto main = DispatchQueue::main()->scheduler();
    if (!keyboardShownObserver_)
        keyboardShownObserver_ = center->addObserverForName(
            UIKeyboardDidShowNotification, nullptr, main, [weak](const NSNotification& note) {
                if (const auto screen = weak.lock())
                    screen->keyboardWasShown(note);
            });
    if (!keyboardHiddenObserver_)
        keyboardHiddenObserver_ = center->addObserverForName(
            UIKeyboardWillHideNotification, nullptr, main, [weak](const NSNotification& note) {
                if (const auto screen = weak.lock())
                    screen->keyboardWillBeHidden(note);
            });
}

void BITFeedbackComposeViewController::stopObservingKeyboard() {
    const auto center = NSNotificationCenter::defaultCenter();
    for (auto* observer : {&keyboardShownObserver_, &keyboardHiddenObserver_}) {
        if (*observer)
            center->removeObserver(*observer);
        observer->reset();
    }
}

void BITFeedbackComposeViewController::viewWillAppear(bool animated) {
    observeKeyboard();
    if (const auto manager = manager_.lock())
        manager->setCurrentFeedbackComposeViewController(self());
    UIViewController::viewWillAppear(animated);
    if (text_ && textView_->text().empty())
        textView_->setText(*text_);
    if (isStatusBarHiddenBeforeShowingPhotoPicker_) {
        setNeedsStatusBarAppearanceUpdate();
        isStatusBarHiddenBeforeShowingPhotoPicker_.reset();
    }
    updateBarButtonState();
}

bool BITFeedbackComposeViewController::prefersStatusBarHidden() const {
    return isStatusBarHiddenBeforeShowingPhotoPicker_.value_or(
        UIViewController::prefersStatusBarHidden());
}

void BITFeedbackComposeViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    const auto manager = manager_.lock();
    if (manager && manager->askManualUserDataAvailable() &&
        (manager->requireManualUserDataMissing() || !manager->didAskUserData())) {
        if (!blockUserDataScreen_)
            setUserDataAction();
        return;
    }
    const std::weak_ptr<BITFeedbackComposeViewController> weak = self();
    DispatchQueue::main()->after(0, [weak] {
        if (const auto screen = weak.lock())
            screen->textView_->becomeFirstResponder();
    });
    refreshAttachmentScrollview();
}

void BITFeedbackComposeViewController::viewWillDisappear(bool animated) {
    stopObservingKeyboard();
    if (const auto manager = manager_.lock();
        manager && manager->currentFeedbackComposeViewController().get() == this)
        manager->setCurrentFeedbackComposeViewController({});
    UIViewController::viewWillDisappear(animated);
}

void BITFeedbackComposeViewController::layoutContainer(CGFloat keyboardHeight) {
    const CGRect frame = view()->frame();
    const bool dock = accessoryDocked_ && textAccessoryView_;
    const CGFloat height =
        std::max<CGFloat>(0, frame.size.height - keyboardHeight - (dock ? kAccessoryHeight : 0));
    contentViewContainer_->setFrame(CGRectMake(0, 0, frame.size.width, height));
    if (dock) {
        // No soft keyboard carries the bar here: it sits on the keyboard's
        // top edge, at the bottom of the window on a desktop.
        textAccessoryView_->setFrame(CGRectMake(0, height, frame.size.width, kAccessoryHeight));
        if (textAccessoryView_->superview() != view())
            view()->addSubview(textAccessoryView_);
    } else if (textAccessoryView_ && textAccessoryView_->superview()) {
        textAccessoryView_->removeFromSuperview();
    }
}

void BITFeedbackComposeViewController::keyboardWasShown(const NSNotification& notification) {
    accessoryDocked_ = !hideImageAttachmentButton_ && textView_->isFirstResponder();
    layoutContainer(keyboardHeightIn(notification));
    const std::weak_ptr<BITFeedbackComposeViewController> weak = self();
    DispatchQueue::main()->after(0, [weak] {
        if (const auto screen = weak.lock())
            screen->refreshAttachmentScrollview();
    });
}

void BITFeedbackComposeViewController::keyboardWillBeHidden(const NSNotification&) {
    accessoryDocked_ = false;
    layoutContainer(0);
}

void BITFeedbackComposeViewController::textViewDidBeginEditing(UITextView&) {
    // A hardware keyboard sends its notifications too, but a text view taking
    // focus from a text field of this screen sends none: dock here as well.
    if (!hideImageAttachmentButton_ && !accessoryDocked_) {
        accessoryDocked_ = true;
        layoutContainer(UIKeyboardIsVisible() ? UIKeyboardFrame().size.height : 0);
    }
}

void BITFeedbackComposeViewController::textViewDidEndEditing(UITextView&) {
    if (accessoryDocked_) {
        accessoryDocked_ = false;
        layoutContainer(0);
    }
}

void BITFeedbackComposeViewController::refreshAttachmentScrollview() {
    if (!attachmentScrollView_)
        return;
    const CGFloat stripWidth = imageAttachments_.empty() ? 0 : kStripWidth;
    CGRect textFrame = textView_->UIView::frame();
    CGRect stripFrame = attachmentScrollView_->UIView::frame();
    if (stripFrame.size.width > 0 && imageAttachments_.empty()) {
        textFrame.size.width += kStripWidth;
        textView_->setFrame(textFrame);
        stripFrame.size.width = 0;
        attachmentScrollView_->setFrame(stripFrame);
        updateBarButtonState();
        return;
    }
    if (stripFrame.size.width <= 0) {
        const CGRect container = contentViewContainer_->frame();
        const CGFloat textHeight = textView_->bounds().size.height;
        textFrame = CGRectMake(textFrame.origin.x, textFrame.origin.y,
                               container.size.width - stripWidth, container.size.height);
        textView_->setFrame(textFrame);
        // The screen's view starts below the navigation bar, so the strip
        // starts at the container's top.
        attachmentScrollView_->setFrame(
            CGRectMake(CGRectGetMaxX(textFrame), 0, stripWidth, textHeight));
        attachmentScrollView_->setContentInset(textView_->contentInset());
    } else {
        // The container changed with the keyboard: the strip follows its height.
        stripFrame.size.height = contentViewContainer_->frame().size.height;
        attachmentScrollView_->setFrame(stripFrame);
    }
    const std::weak_ptr<BITFeedbackComposeViewController> weak = self();
    while (attachmentScrollViewImageViews_.size() < imageAttachments_.size()) {
        auto button = std::make_shared<UIButton>(CGRectZero, UIButtonTypeCustom);
        const UIButton* raw = button.get();
        button->addTargetForControlEvents(
            [weak, raw](UIControl&) {
                const auto screen = weak.lock();
                if (!screen)
                    return;
                const auto& buttons = screen->attachmentScrollViewImageViews_;
                for (size_t i = 0; i < buttons.size(); ++i) {
                    if (buttons[i].get() == raw)
                        return screen->imageButtonAction(i);
                }
            },
            UIControlEventTouchUpInside);
        attachmentScrollView_->addSubview(button);
        attachmentScrollViewImageViews_.push_back(std::move(button));
    }
    const CGFloat width = attachmentScrollView_->UIView::frame().size.width;
    CGFloat y = 0;
    size_t index = 0;
    for (auto it = imageAttachments_.rbegin(); it != imageAttachments_.rend(); ++it, ++index) {
        const auto& button = attachmentScrollViewImageViews_[index];
        const auto thumbnail = (*it)->thumbnailWithSize(CGSizeMake(kStripWidth, kStripWidth));
        if (!thumbnail || thumbnail->size().width <= 0)
            continue;
        const CGSize size = thumbnail->size();
        const CGFloat scale = width / size.width;
        button->setFrame(CGRectInset(CGRectMake(0, y, size.width * scale, size.height * scale),
                                     kThumbnailInset, kThumbnailInset));
        y += size.height * scale;
        button->setImageForState(thumbnail, UIControlStateNormal);
    }
    attachmentScrollView_->setContentSize(CGSizeMake(width, y));
    updateBarButtonState();
}

void BITFeedbackComposeViewController::removeAttachmentScrollView() {
    CGRect stripFrame = attachmentScrollView_->UIView::frame();
    stripFrame.size.width = 0;
    attachmentScrollView_->setFrame(stripFrame);
    CGRect textFrame = textView_->UIView::frame();
    textFrame.size.width += kStripWidth;
    textView_->setFrame(textFrame);
}

void BITFeedbackComposeViewController::updateBarButtonState() {
    if (sendItem_)
        sendItem_->setEnabled(textView_ && !textView_->text().empty());
    if (addPhotoButton_)
        addPhotoButton_->setEnabled(imageAttachments_.size() < kMaximumImages);
}

void BITFeedbackComposeViewController::setUserDataAction() {
    const auto manager = manager_.lock();
    if (!manager)
        return;
    auto form = std::make_shared<BITFeedbackUserDataViewController>(manager);
    form->setDelegate(std::weak_ptr<BITFeedbackUserDataDelegate>(self()));
    presentViewControllerAnimatedCompletion(
        manager->customNavigationControllerWithRootViewControllerPresentationStyle(
            form, UIModalPresentationFormSheet),
        true, nullptr);
}

void BITFeedbackComposeViewController::dismissAction() {
    // The files of screenshots the user decided not to send go with them.
    for (const auto& attachment : attachments_)
        attachment->deleteContents();
    dismissWithResult(BITFeedbackComposeCancelled);
}

void BITFeedbackComposeViewController::sendAction() {
    if (textView_->isFirstResponder())
        textView_->resignFirstResponder();
    if (const auto manager = manager_.lock())
        manager->submitMessageWithTextAndAttachments(textView_->text(), attachments_);
    dismissWithResult(BITFeedbackComposeSubmitted);
}

void BITFeedbackComposeViewController::dismissWithResult(BITFeedbackComposeResult result) {
    const auto delegate = delegate_.lock();
    if (delegate && delegate->feedbackComposeViewControllerDidFinishWithResult(*this, result))
        return;
    dismissViewControllerAnimatedCompletion(true, nullptr);
}

void BITFeedbackComposeViewController::addPhotoAction() {
    if (actionSheetVisible_)
        return;
    isStatusBarHiddenBeforeShowingPhotoPicker_ =
        UIApplication::sharedApplication()->isStatusBarHidden();
    auto picker = std::make_shared<UIImagePickerController>();
    picker->setSourceType(UIImagePickerControllerSourceTypePhotoLibrary);
    picker->setDelegate(std::weak_ptr<UIImagePickerControllerDelegate>(self()));
    presentViewControllerAnimatedCompletion(picker, true, nullptr);
}

void BITFeedbackComposeViewController::imagePickerControllerDidFinishPickingMediaWithInfo(
    UIImagePickerController& picker, const UIImagePickerMediaInfo& info) {
    if (info.originalImage)
        addImage(info.originalImage, info.referenceURL.lastPathComponent());
    picker.dismissViewControllerAnimatedCompletion(true, nullptr);
}

void BITFeedbackComposeViewController::imagePickerControllerDidCancel(
    UIImagePickerController& picker) {
    picker.dismissViewControllerAnimatedCompletion(true, nullptr);
}

void BITFeedbackComposeViewController::imageButtonAction(size_t buttonIndex) {
    if (buttonIndex >= attachmentScrollViewImageViews_.size() ||
        attachmentScrollViewImageViews_.size() - 1 - buttonIndex >= imageAttachments_.size())
        return;
    selectedAttachmentIndex_ = attachmentScrollViewImageViews_.size() - 1 - buttonIndex;
    auto sheet = std::make_shared<UIActionSheet>(
        std::nullopt, std::weak_ptr<UIActionSheetDelegate>(self()),
        bit_localizedString("ZizavaFeedbackComposeAttachmentCancel"),
        bit_localizedString("ZizavaFeedbackComposeAttachmentDelete"),
        std::vector<std::string>{bit_localizedString("ZizavaFeedbackComposeAttachmentEdit")});
    sheet->showFromRectInViewAnimated(attachmentScrollViewImageViews_[buttonIndex]->frame(),
                                      attachmentScrollView_, true);
    actionSheetVisible_ = true;
    textView_->resignFirstResponder();
}

void BITFeedbackComposeViewController::takeKeyboardBack() {
    textView_->becomeFirstResponder();
}

void BITFeedbackComposeViewController::deleteAction() {
    if (selectedAttachmentIndex_ && *selectedAttachmentIndex_ < imageAttachments_.size()) {
        const size_t index = *selectedAttachmentIndex_;
        const auto attachment = imageAttachments_[index];
        attachment->deleteContents();
        imageAttachments_.erase(imageAttachments_.begin() + static_cast<std::ptrdiff_t>(index));
        attachments_.erase(std::remove(attachments_.begin(), attachments_.end(), attachment),
                           attachments_.end());
        if (index < attachmentScrollViewImageViews_.size()) {
            attachmentScrollViewImageViews_[index]->removeFromSuperview();
            attachmentScrollViewImageViews_.erase(attachmentScrollViewImageViews_.begin() +
                                                  static_cast<std::ptrdiff_t>(index));
        }
    }
    selectedAttachmentIndex_.reset();
    refreshAttachmentScrollview();
    takeKeyboardBack();
}

void BITFeedbackComposeViewController::editAction() {
    if (!selectedAttachmentIndex_ || *selectedAttachmentIndex_ >= imageAttachments_.size())
        return;
    auto editor = std::make_shared<BITImageAnnotationViewController>();
    editor->setDelegate(std::weak_ptr<BITImageAnnotationDelegate>(self()));
    editor->setImage(imageAttachments_[*selectedAttachmentIndex_]->imageRepresentation());
    presentViewControllerAnimatedCompletion(std::make_shared<UINavigationController>(editor), true,
                                            nullptr);
}

void BITFeedbackComposeViewController::annotationControllerDidFinishWithImage(
    BITImageAnnotationViewController&, const std::shared_ptr<UIImage>& image) {
    if (selectedAttachmentIndex_ && *selectedAttachmentIndex_ < imageAttachments_.size() && image)
        imageAttachments_[*selectedAttachmentIndex_]->replaceData(
            UIImageJPEGRepresentation(image, kJPEGQuality));
    selectedAttachmentIndex_.reset();
}

void BITFeedbackComposeViewController::annotationControllerDidCancel(
    BITImageAnnotationViewController&) {
    selectedAttachmentIndex_.reset();
}

void BITFeedbackComposeViewController::cancelAction() {
    takeKeyboardBack();
}

void BITFeedbackComposeViewController::actionSheetDidDismissWithButtonIndex(UIActionSheet& sheet,
                                                                            long index) {
    if (index == sheet.destructiveButtonIndex())
        deleteAction();
    else if (index == sheet.cancelButtonIndex())
        cancelAction();
    else
        editAction();
    actionSheetVisible_ = false;
}

void BITFeedbackComposeViewController::userDataUpdateFinished() {
    if (const auto manager = manager_.lock())
        manager->saveMessages();
    dismissViewControllerAnimatedCompletion(true, nullptr);
}

void BITFeedbackComposeViewController::userDataUpdateCancelled() {
    blockUserDataScreen_ = true;
    const auto manager = manager_.lock();
    if (!manager || !manager->requireManualUserDataMissing()) {
        dismissViewControllerAnimatedCompletion(true, nullptr);
        return;
    }
    // Without the required data the message cannot be sent: the composer
    // closes too, and the screenshots the user attached are removed with it.
    const std::weak_ptr<BITFeedbackComposeViewController> weak = self();
    dismissViewControllerAnimatedCompletion(true, [weak] {
        if (const auto screen = weak.lock())
            screen->dismissAction();
    });
}

void BITFeedbackComposeViewController::textViewDidChange(UITextView&) {
    updateBarButtonState();
}
