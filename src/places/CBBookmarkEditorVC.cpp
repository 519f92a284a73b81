#include "places/CBBookmarkEditorVC.h"

#include "CBGeoData/CBGeoObject+BookmarkAdditions.h"
#include "CBGeoData/CBGeoObject.h"
#include "CoreData/NSManagedObjectContext.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSDateFormatter.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSNotificationCenter.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIFont.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITextView.h"
#include "mapkit/CBBasicAnnotation.h"
#include "model/CBPlaceTexts.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/CBScreenRotation.h"
#include "widgets/CBScreenToolbar.h"

namespace {

constexpr CGFloat kMargin = 10;
constexpr CGFloat kFieldHeight = 31;
constexpr CGFloat kNoteHeight = 150;
constexpr const char* kEllipsis = "...";
constexpr const char* kNewPinTitleKey = "CBTitleForNewAnnotations";

}  // namespace

std::shared_ptr<CBBookmarkEditorVC> CBBookmarkEditorVC::initEditDescription(bool description) {
    return std::make_shared<CBBookmarkEditorVC>(description);
}

CBBookmarkEditorVC::CBBookmarkEditorVC(bool description) : editingDescription_(description) {
    setAutomaticallyAdjustsScrollViewInsets(false);
}

std::string CBBookmarkEditorVC::storedTitleForText(const std::string& text) {
    if (text.empty())
        return NSDateFormatter::localizedStringFromDateDateStyleTimeStyle(
            NSDate::date(), NSDateFormatterStyle::MediumStyle, NSDateFormatterStyle::ShortStyle);
    return CBTextShortenedToLengthWithEllipsis(text, kTitleLimit, kEllipsis);
}

bool CBBookmarkEditorVC::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBScreenRotation::turnsTo(CBScreenRotation::Rule::AllButUpsideDown, orientation);
}

void CBBookmarkEditorVC::loadView() {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 320, 200));
    root->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.937, 0.937, 0.957, 1));
    textField_ = std::make_shared<UITextField>(
        CGRectMake(kMargin, kMargin, 320 - 2 * kMargin, kFieldHeight));
    textField_->setBorderStyle(UITextBorderStyleRoundedRect);
    textField_->setFont(UIFont::systemFontOfSize(17));
    textField_->setClearButtonMode(UITextFieldViewModeWhileEditing);
    root->addSubview(textField_);
    textView_ =
        std::make_shared<UITextView>(CGRectMake(kMargin, kMargin, 320 - 2 * kMargin, kNoteHeight));
    textView_->setFont(UIFont::systemFontOfSize(16));
    root->addSubview(textView_);
    setView(root);
}

void CBBookmarkEditorVC::viewWillLayoutSubviews() {
    const CGFloat width = view()->bounds().size.width - 2 * kMargin;
    textField_->setFrame(CGRectMake(kMargin, kMargin, width, kFieldHeight));
    textView_->setFrame(CGRectMake(kMargin, kMargin, width, kNoteHeight));
}

void CBBookmarkEditorVC::viewDidLoad() {
    textField_->setHidden(editingDescription_);
    textView_->setHidden(!editingDescription_);
    textField_->setDelegate(std::static_pointer_cast<CBBookmarkEditorVC>(shared_from_this()));
    if (bookmark_) {
        textField_->setText(bookmark_->name().value_or(""));
        textView_->setText(bookmarkDescription(*bookmark_).value_or(""));
    } else if (annotationForNewBookmark_) {
        const auto title = annotationForNewBookmark_->title();
        // A fresh pin's placeholder is no title to edit.
        textField_->setText(title && *title != NSLocalizedString(kNewPinTitleKey) ? *title : "");
        textView_->setText(annotationForNewBookmark_->subtitle().value_or(""));
    }
    std::weak_ptr<CBBookmarkEditorVC> weak =
        std::static_pointer_cast<CBBookmarkEditorVC>(shared_from_this());
    navigationItem()->setRightBarButtonItem(
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemDone, [weak](UIBarButtonItem&) {
            if (auto me = weak.lock())
                me->done();
        }));
    navigationItem()->setLeftBarButtonItem(
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemCancel, [weak](UIBarButtonItem&) {
            if (auto me = weak.lock())
                me->cancel();
        }));
    if (editingDescription_) {
        textView_->layer()->setCornerRadius(6);
        textView_->layer()->setBorderColor(UIColor::lightGrayColor().CGColor());
        textView_->layer()->setBorderWidth(1);
    }
    setTitle(NSLocalizedString(editingDescription_ ? "Edit description" : "Edit title"));
}

void CBBookmarkEditorVC::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (editingDescription_) {
        textView_->becomeFirstResponder();
        // A long note is read from its start, the caret before its first word.
        textView_->setSelectedRange({0, 0});
    } else
        textField_->becomeFirstResponder();
    CBScreenToolbar::setHidden(*this, true, animated);
    if (!terminationObserver_) {
        auto self = std::static_pointer_cast<CBBookmarkEditorVC>(shared_from_this());
        terminationObserver_ = NSNotificationCenter::defaultCenter()->addObserverForName(
            UIApplicationWillTerminateNotification, nullptr, {},
            [self](const NSNotification&) { self->applicationWillTerminate(); });
    }
}

void CBBookmarkEditorVC::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    stopObservingTermination();
}

void CBBookmarkEditorVC::stopObservingTermination() {
    NSNotificationCenter::defaultCenter()->removeObserver(terminationObserver_);
    terminationObserver_.reset();
}

void CBBookmarkEditorVC::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    CBScreenBreadcrumb::screenAppeared(*this);
}

bool CBBookmarkEditorVC::textFieldShouldReturn(UITextField&) {
    done();
    return true;
}

// Only the field edited is written: the other keeps exactly what it stored.
bool CBBookmarkEditorVC::save() {
    const std::string title = storedTitleForText(textField_->text());
    const std::string note = textView_->text();
    if (bookmark_) {
        if (editingDescription_)
            setBookmarkDescription(*bookmark_, note);
        else
            bookmark_->updateNameAndCanonicalNameForString(title);
        auto context = bookmark_->managedObjectContext();
        NSError error;
        if (!context || !context->save(&error)) {
            NSLogWithLevel(NSLogLevel::Error, "Kelvara: the bookmark could not be saved: %s",
                           context ? error.localizedDescription().c_str() : "its store is closed");
            return false;
        }
    } else if (annotationForNewBookmark_) {
        if (editingDescription_)
            annotationForNewBookmark_->setSubtitle(note);
        else
            annotationForNewBookmark_->setTitle(title);
    }
    return true;
}

void CBBookmarkEditorVC::done() {
    if (!save()) {
        failureAlert_ = std::make_shared<UIAlertView>(
            NSLocalizedString("BookmarkNotSavedTitle"),
            NSLocalizedString("BookmarkNotSavedMessage"), std::weak_ptr<UIAlertViewDelegate>(),
            std::optional<std::string>(NSLocalizedString("OK")));
        failureAlert_->show();
        return;
    }
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

// No one is left to read an alert: a failure is only logged. The delivery
// under way keeps the editor until this returns.
void CBBookmarkEditorVC::applicationWillTerminate() {
    stopObservingTermination();
    save();
}

void CBBookmarkEditorVC::cancel() {
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}
