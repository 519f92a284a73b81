#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "UIKit/UIWindow.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/feedback/BITFeedbackManager.h"

namespace {

// The phone writes its screenshot to the library a moment after telling.
constexpr double kScreenshotDelay = 1.5;

}  // namespace

void BITFeedbackManager::setFeedbackObservationMode(BITFeedbackObservationMode mode) {
    if (disableFeedbackManager_ || mode == feedbackObservationMode_)
        return;
    feedbackObservationMode_ = mode;
    switch (mode) {
        case BITFeedbackObservationNone:
            if (observationModeOnScreenshotEnabled_)
                setObservationModeOnScreenshotEnabled(false);
            if (observationModeThreeFingerTapEnabled_)
                setObservationModeThreeFingerTapEnabled(false);
            BITZizavaLogVerbose("Set feedbackObservationMode to BITFeedbackObservationNone");
            break;
        case BITFeedbackObservationModeOnScreenshot:
            setObservationModeOnScreenshotEnabled(true);
            if (observationModeThreeFingerTapEnabled_)
                setObservationModeThreeFingerTapEnabled(false);
            break;
        case BITFeedbackObservationModeThreeFingerTap:
            setObservationModeThreeFingerTapEnabled(true);
            if (observationModeOnScreenshotEnabled_)
                setObservationModeOnScreenshotEnabled(false);
            break;
        case BITFeedbackObservationModeAll:
            setObservationModeOnScreenshotEnabled(true);
            setObservationModeThreeFingerTapEnabled(true);
            break;
    }
}

void BITFeedbackManager::setObservationModeOnScreenshotEnabled(bool enabled) {
    const auto center = NSNotificationCenter::defaultCenter();
    if (enabled && !screenshotObserver_) {
        const std::weak_ptr<BITZizavaBaseManager> weak = weak_from_this();
        screenshotObserver_ = center->addObserverForName(
            UIApplicationUserDidTakeScreenshotNotification, nullptr,
            DispatchQueue::main()->scheduler(), [weak](const NSNotification& notification) {
                if (const auto self = std::static_pointer_cast<BITFeedbackManager>(weak.lock()))
                    self->screenshotNotificationReceived(notification);
            });
        BITZizavaLogVerbose("Added observer for UIApplocationUserDidTakeScreenshotNotification.");
    } else if (!enabled && screenshotObserver_) {
        center->removeObserver(screenshotObserver_);
        screenshotObserver_.reset();
        BITZizavaLogVerbose("Removed observer for UIApplocationUserDidTakeScreenshotNotification.");
    }
    observationModeOnScreenshotEnabled_ = enabled;
    BITZizavaLogVerbose("Enabled BITFeedbackObservationModeOnScreenshot.");
}

void BITFeedbackManager::setObservationModeThreeFingerTapEnabled(bool enabled) {
    observationModeThreeFingerTapEnabled_ = enabled;
    if (enabled) {
        if (!tapRecognizer_) {
            const std::weak_ptr<BITZizavaBaseManager> weak = weak_from_this();
            tapRecognizer_ =
                std::make_shared<UITapGestureRecognizer>([weak](UIGestureRecognizer& recognizer) {
                    if (const auto self = std::static_pointer_cast<BITFeedbackManager>(weak.lock()))
                        self->screenshotTripleTap(recognizer);
                });
            tapRecognizer_->setNumberOfTouchesRequired(3);
            tapRecognizer_->setDelegate(std::weak_ptr<UIGestureRecognizerDelegate>(
                std::static_pointer_cast<BITFeedbackManager>(shared_from_this())));
            // The window's own taps and buttons still get their touches.
            tapRecognizer_->setCancelsTouchesInView(false);
            const std::weak_ptr<UITapGestureRecognizer> recognizer = tapRecognizer_;
            DispatchQueue::main()->async([recognizer] {
                const auto tap = recognizer.lock();
                const auto window = UIApplication::sharedApplication()->keyWindow();
                if (tap && window)
                    window->addGestureRecognizer(tap);
            });
        }
        BITZizavaLogVerbose("Enabled BITFeedbackObservationModeThreeFingerTap.");
    } else {
        if (tapRecognizer_) {
            if (const auto window = tapRecognizer_->view())
                window->removeGestureRecognizer(tapRecognizer_);
        }
        tapRecognizer_.reset();
        BITZizavaLogVerbose("Disabled BITFeedbackObservationModeThreeFingerTap.");
    }
}

void BITFeedbackManager::screenshotTripleTap(UIGestureRecognizer& recognizer) {
    if (disableFeedbackManager_ || recognizer.state() != UIGestureRecognizerStateEnded)
        return;
    showFeedbackComposeViewWithGeneratedScreenshot();
}

void BITFeedbackManager::screenshotNotificationReceived(const NSNotification& notification) {
    if (disableFeedbackManager_)
        return;
    const auto found = notification.userInfo.find(UIApplicationScreenshotPathKey);
    const std::string* path =
        found == notification.userInfo.end() ? nullptr : found->second.stringValue();
    const std::string screenshot = path ? *path : std::string();
    scheduleOnMain(kScreenshotDelay, [screenshot](BITFeedbackManager& self) {
        self.extractLastPictureFromLibraryAndLaunchFeedback(screenshot);
    });
}

void BITFeedbackManager::extractLastPictureFromLibraryAndLaunchFeedback(
    const std::string& screenshotPath) {
    const std::weak_ptr<BITZizavaBaseManager> weak = weak_from_this();
    requestLatestImageWithCompletionHandler(
        screenshotPath, [weak](const std::shared_ptr<UIImage>& image) {
            if (const auto self = std::static_pointer_cast<BITFeedbackManager>(weak.lock()))
                self->showFeedbackComposeViewWithPreparedItems({image});
        });
}

void BITFeedbackManager::requestLatestImageWithCompletionHandler(
    const std::string& screenshotPath,
    const std::function<void(const std::shared_ptr<UIImage>&)>& completion) {
    if (!completion || !isiOS10PhotoPolicySet())
        return;
    loadLatestImageAssetWithCompletionHandler(screenshotPath, completion);
}

void BITFeedbackManager::loadLatestImageAssetWithCompletionHandler(
    const std::string& screenshotPath,
    const std::function<void(const std::shared_ptr<UIImage>&)>& completion) {
    if (!isiOS10PhotoPolicySet())
        return;
    // "The latest image" is the screenshot the host saved in the
    // application's own folder; the user's pictures are never read.
    if (screenshotPath.empty()) {
        BITZizavaLogDebug(
            "INFO: The latest image could not be fetched, the fetch result was empty.");
        return;
    }
    // The window was rendered at the screen's scale.
    const auto bytes = dataWithContentsOfFile(screenshotPath);
    const auto image =
        bytes ? UIImage::imageWithData(*bytes, UIScreen::mainScreen()->scale()) : nullptr;
    if (!image) {
        BITZizavaLogDebug(
            "INFO: The latest image could not be fetched, requested image data was empty.");
        return;
    }
    completion(image);
}

bool BITFeedbackManager::isiOS10PhotoPolicySet() const {
    const bool possible = BITZizavaHelper::isPhotoAccessPossible();
    if (!possible && bit_isDebuggerAttached())
        BITZizavaLogWarning(
            "You are using ZizavaApp's Feedback feature in iOS 10 or later. iOS 10 requires you "
            "to add the usage strings to your app's info.plist. Attaching screenshots to feedback "
            "is disabled. Please add the String for NSPhotoLibraryUsageDescription to your "
            "info.plist to enable screenshot attachments.");
    return possible;
}
