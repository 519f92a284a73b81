#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSDate.h"
#include "Foundation/NSError.h"
#include "Foundation/Value.h"
#include "Net/NSURLResponse.h"
#include "UIKit/UIActivity.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIGestureRecognizer.h"
#include "sdk/BITZizavaBaseManager.h"
#include "sdk/feedback/BITFeedbackManagerDelegate.h"
#include "sdk/feedback/BITFeedbackMessage.h"

class BITFeedbackComposeViewController;
class BITFeedbackListViewController;
class NSNotification;
class NSNotificationObserver;
class UIImage;
class UITapGestureRecognizer;

enum BITFeedbackUserDataElement {
    BITFeedbackUserDataNotAsked = 0,
    BITFeedbackUserDataOptional = 1,
    BITFeedbackUserDataRequired = 2,
};

enum BITFeedbackObservationMode {
    BITFeedbackObservationNone = 0,
    BITFeedbackObservationModeOnScreenshot = 1,
    BITFeedbackObservationModeThreeFingerTap = 2,
    BITFeedbackObservationModeAll = 3,
};

inline constexpr const char* kBITFeedbackMessagesLoadingStarted =
    "BITZizavaFeedbackMessagesLoadingStarted";
inline constexpr const char* kBITFeedbackMessagesLoadingFinished =
    "BITZizavaFeedbackMessagesLoadingFinished";
inline constexpr const char* kBITFeedbackErrorDomain = "BITFeedbackErrorDomain";

// Keeps the feedback thread between the user and the developer: a local store,
// the exchange with the service, and the new-message announcement. Everything
// runs on the main thread; answers of the service are brought back to it.
class BITFeedbackManager : public BITZizavaBaseManager,
                           public UIAlertViewDelegate,
                           public UIGestureRecognizerDelegate {
  public:
    using Completion = std::function<void(const std::optional<NSError>&)>;
    using Messages = std::vector<std::shared_ptr<BITFeedbackMessage>>;

    BITFeedbackManager(std::string appIdentifier, BITAppEnvironment appEnvironment);
    ~BITFeedbackManager() override;

    // Makes the front create this manager on configuration.
    static void registerComponent();

    void startManager() override;
    void setDisableFeedbackManager(bool disable) override { disableFeedbackManager_ = disable; }
    bool isFeedbackManagerDisabled() const { return disableFeedbackManager_; }

    void registerObservers();
    void unregisterObservers();
    void didEnterBackgroundActions();
    void didBecomeActiveActions();

    // The screens.
    std::shared_ptr<BITFeedbackListViewController> feedbackListViewController(bool modal);
    void showFeedbackListView();
    // A composer with the delegate's prepared items and this manager's settings.
    std::shared_ptr<BITFeedbackComposeViewController> feedbackComposeViewController();
    void showFeedbackComposeViewWithPreparedItems(const UIActivityItems& items);
    void showFeedbackComposeView() { showFeedbackComposeViewWithPreparedItems({}); }
    void showFeedbackComposeViewWithGeneratedScreenshot();
    // The "new message" alert; Show opens the thread list.
    void showNewMessageAlert();
    // Tells the user that a message was refused as too large to send.
    void showMessageTooLargeAlert();
    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) override;
    bool incomingMessagesAlertShowing() const { return incomingMessagesAlertShowing_; }

    // What opens the composer by itself: the screenshot key (with that
    // screenshot) and a three-finger tap (with a picture of the window).
    BITFeedbackObservationMode feedbackObservationMode() const { return feedbackObservationMode_; }
    void setFeedbackObservationMode(BITFeedbackObservationMode mode);
    bool observationModeOnScreenshotEnabled() const { return observationModeOnScreenshotEnabled_; }
    void setObservationModeOnScreenshotEnabled(bool enabled);
    bool observationModeThreeFingerTapEnabled() const {
        return observationModeThreeFingerTapEnabled_;
    }
    void setObservationModeThreeFingerTapEnabled(bool enabled);
    const std::shared_ptr<UITapGestureRecognizer>& tapRecognizer() const { return tapRecognizer_; }
    void screenshotNotificationReceived(const NSNotification& notification);
    // Opens the composer with the picture the screenshot key saved.
    void extractLastPictureFromLibraryAndLaunchFeedback(const std::string& screenshotPath);
    void requestLatestImageWithCompletionHandler(
        const std::string& screenshotPath,
        const std::function<void(const std::shared_ptr<UIImage>&)>& completion);
    // Reads the screenshot; the completion gets it unless it is missing or
    // unreadable (logged).
    void loadLatestImageAssetWithCompletionHandler(
        const std::string& screenshotPath,
        const std::function<void(const std::shared_ptr<UIImage>&)>& completion);
    void screenshotTripleTap(UIGestureRecognizer& recognizer);
    bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
        UIGestureRecognizer&, UIGestureRecognizer&) override {
        return true;
    }
    bool isiOS10PhotoPolicySet() const;

    // The thread.
    size_t numberOfMessages() const { return feedbackList_.size(); }
    std::shared_ptr<BITFeedbackMessage> messageAtIndex(size_t index) const;
    std::shared_ptr<BITFeedbackMessage> messageWithID(int64_t identifier) const;
    Messages messagesWithStatus(BITFeedbackMessageStatus status) const;
    std::shared_ptr<BITFeedbackMessage> lastMessageHavingID() const;
    void updateLastMessageID();
    void markSendInProgressMessagesAsPending();
    void markSendInProgressMessagesAsInConflict();
    // The service refused the messages in flight as larger than it keeps: in
    // conflict, marked too large, never sent again; the user is told.
    void markSendInProgressMessagesAsTooLarge();
    // Removes the message and its attachment files.
    bool deleteMessageAtIndex(size_t index);
    // Empties the thread and removes every attachment file.
    void deleteAllMessages();
    void submitMessageWithTextAndAttachments(const std::string& text,
                                             const BITFeedbackMessage::Attachments& attachments);
    void sortFeedbackList();
    // A new UUID string; shortened: in lower case without "-".
    static std::string uuidString();
    static std::string uuidAsLowerCaseAndShortened();
    const Messages& feedbackList() const { return feedbackList_; }

    // User data from the keychain and the front's delegate.
    bool updateUserIDUsingKeychainAndDelegate();
    bool updateUserNameUsingKeychainAndDelegate();
    bool updateUserEmailUsingKeychainAndDelegate();
    void updateAppDefinedUserData();
    bool askManualUserDataAvailable();
    bool requireManualUserDataMissing();
    bool isManualUserDataAvailable();
    void updateDidAskUserData();
    bool shouldForceNewThread();

    // The store.
    void loadMessages();
    void saveMessages();
    const std::string& settingsFile() const { return settingsFile_; }

    // The exchange with the service.
    bool allowFetchingNewMessages();
    void updateMessagesList();
    void updateMessagesListIfRequired();
    void fetchMessageUpdates();
    void submitPendingMessages();
    void sendNetworkRequestWithHTTPMethodWithMessageCompletionHandler(
        const std::string& method, std::shared_ptr<BITFeedbackMessage> message,
        Completion completion);
    void handleFeedbackMessageResponseDataErrorCompletion(
        const std::optional<NSHTTPURLResponse>& response, const std::optional<Value::Data>& data,
        const std::optional<NSError>& error, Completion completion);
    // nullptr: the thread is gone on the service.
    void updateMessageListFromResponse(const Value* response);

    void setFeedbackDelegate(std::weak_ptr<BITFeedbackManagerDelegate> delegate) {
        feedbackDelegate_ = std::move(delegate);
    }
    std::shared_ptr<BITFeedbackManagerDelegate> feedbackDelegate() const {
        return feedbackDelegate_.lock();
    }
    bool feedbackComposeHideImageAttachmentButton() const {
        return feedbackComposeHideImageAttachmentButton_;
    }
    void setFeedbackComposeHideImageAttachmentButton(bool hide) {
        feedbackComposeHideImageAttachmentButton_ = hide;
    }
    bool showFirstRequiredPresentationModal() const { return showFirstRequiredPresentationModal_; }
    void setShowFirstRequiredPresentationModal(bool modal) {
        showFirstRequiredPresentationModal_ = modal;
    }
    BITFeedbackUserDataElement requireUserName() const { return requireUserName_; }
    void setRequireUserName(BITFeedbackUserDataElement value) { requireUserName_ = value; }
    BITFeedbackUserDataElement requireUserEmail() const { return requireUserEmail_; }
    void setRequireUserEmail(BITFeedbackUserDataElement value) { requireUserEmail_ = value; }
    bool showAlertOnIncomingMessages() const { return showAlertOnIncomingMessages_; }
    void setShowAlertOnIncomingMessages(bool show) { showAlertOnIncomingMessages_ = show; }
    bool didAskUserData() const { return didAskUserData_; }
    bool networkRequestInProgress() const { return networkRequestInProgress_; }
    const std::optional<std::string>& token() const { return token_; }
    const std::optional<NSDate>& lastCheck() const { return lastCheck_; }
    void setLastCheck(std::optional<NSDate> date) { lastCheck_ = date; }
    const std::optional<int64_t>& lastMessageID() const { return lastMessageID_; }
    const std::optional<std::string>& userID() const { return userID_; }
    void setUserID(std::optional<std::string> value) { userID_ = std::move(value); }
    const std::optional<std::string>& userName() const { return userName_; }
    void setUserName(std::optional<std::string> value) { userName_ = std::move(value); }
    const std::optional<std::string>& userEmail() const { return userEmail_; }
    void setUserEmail(std::optional<std::string> value) { userEmail_ = std::move(value); }
    // Set by the thread screens while they are shown; no alert announces new
    // messages while one is.
    std::shared_ptr<BITFeedbackListViewController> currentFeedbackListViewController() const {
        return currentFeedbackListViewController_.lock();
    }
    void setCurrentFeedbackListViewController(std::weak_ptr<BITFeedbackListViewController> list) {
        currentFeedbackListViewController_ = std::move(list);
    }
    std::shared_ptr<BITFeedbackComposeViewController> currentFeedbackComposeViewController() const {
        return currentFeedbackComposeViewController_.lock();
    }
    void setCurrentFeedbackComposeViewController(
        std::weak_ptr<BITFeedbackComposeViewController> composer) {
        currentFeedbackComposeViewController_ = std::move(composer);
    }

  private:
    std::optional<std::string> frontUserValue(int which);
    void scheduleSubmitPendingMessages(double seconds);
    void scheduleOnMain(double seconds, std::function<void(BITFeedbackManager&)> block);
    size_t pendingAndInFlightCount() const;
    void scheduleSubmitWhenPendingLeft(size_t countBefore);
    std::shared_ptr<BITFeedbackMessage> mergeServerMessage(const Value::Dictionary& element,
                                                           bool& added);

    std::string settingsFile_;
    std::shared_ptr<NSNotificationObserver> appDidBecomeActiveObserver_;
    std::shared_ptr<NSNotificationObserver> appDidEnterBackgroundObserver_;
    std::shared_ptr<NSNotificationObserver> networkDidBecomeReachableObserver_;
    bool didEnterBackgroundState_ = true;
    bool networkRequestInProgress_ = false;
    bool showAlertOnIncomingMessages_ = true;
    bool disableFeedbackManager_ = false;
    bool didAskUserData_ = false;
    bool incomingMessagesAlertShowing_ = false;
    bool observationModeOnScreenshotEnabled_ = false;
    bool observationModeThreeFingerTapEnabled_ = false;
    BITFeedbackObservationMode feedbackObservationMode_ = BITFeedbackObservationNone;
    std::shared_ptr<NSNotificationObserver> screenshotObserver_;
    std::shared_ptr<UITapGestureRecognizer> tapRecognizer_;
    bool feedbackComposeHideImageAttachmentButton_ = false;
    bool showFirstRequiredPresentationModal_ = true;
    std::weak_ptr<BITFeedbackListViewController> currentFeedbackListViewController_;
    std::weak_ptr<BITFeedbackComposeViewController> currentFeedbackComposeViewController_;
    BITFeedbackUserDataElement requireUserName_ = BITFeedbackUserDataOptional;
    BITFeedbackUserDataElement requireUserEmail_ = BITFeedbackUserDataOptional;
    std::weak_ptr<BITFeedbackManagerDelegate> feedbackDelegate_;
    Messages feedbackList_;
    std::optional<std::string> token_;
    std::optional<NSDate> lastCheck_;
    std::optional<int64_t> lastMessageID_;
    std::optional<std::string> userID_, userName_, userEmail_;
    // Scheduling a send again cancels the one scheduled before: only the
    // newest generation runs.
    uint64_t submitGeneration_ = 0;
};
