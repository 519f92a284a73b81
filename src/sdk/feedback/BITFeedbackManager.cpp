#include "sdk/feedback/BITFeedbackManager.h"

#include <algorithm>
#include <cctype>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSFileManager.h"
#include "Foundation/NSNotificationCenter.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "UIKit/UIApplication.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/BITZizavaManager.h"
#include "sdk/BITZizavaManagerDelegate.h"

namespace {

constexpr const char* kNetworkDidBecomeReachable = "BITZizavaNetworkDidBecomeReachable";

enum UserField { UserFieldID, UserFieldName, UserFieldEmail };
constexpr const char* kFrontKeychainKeys[] = {"BITZizavaMetaUserID", "BITZizavaMetaUserName",
                                              "BITZizavaMetaUserEmail"};
constexpr const char* kStoreKeys[] = {"ZizavaFeedbackuserID", "ZizavaFeedbackName",
                                      "ZizavaFeedbackEmail"};
constexpr const char* kTokenKey = "ZizavaFeedbackToken";

const std::string* textIn(const Value& archive, const char* key) {
    const Value* value = archive.get(key);
    return value ? value->stringValue() : nullptr;
}

}  // namespace

BITFeedbackManager::BITFeedbackManager(std::string appIdentifier, BITAppEnvironment appEnvironment)
    : BITZizavaBaseManager(std::move(appIdentifier), appEnvironment),
      settingsFile_(bit_settingsDir() + "/BITFeedbackManager.plist") {}

BITFeedbackManager::~BITFeedbackManager() {
    unregisterObservers();
    setObservationModeOnScreenshotEnabled(false);
    setObservationModeThreeFingerTapEnabled(false);
}

void BITFeedbackManager::registerComponent() {
    BITZizavaManager::registerComponentFactory(
        BITZizavaComponent::FeedbackManager,
        [](const std::string& appIdentifier, BITAppEnvironment appEnvironment, BITZizavaManager&) {
            return std::make_shared<BITFeedbackManager>(appIdentifier, appEnvironment);
        });
}

void BITFeedbackManager::startManager() {
    if (disableFeedbackManager_)
        return;
    registerObservers();
    isiOS10PhotoPolicySet();
    if (UIApplication::sharedApplication()->applicationState() == UIApplicationStateActive) {
        didEnterBackgroundState_ = true;
        didBecomeActiveActions();
    }
}

void BITFeedbackManager::registerObservers() {
    const auto center = NSNotificationCenter::defaultCenter();
    const auto main = DispatchQueue::main()->scheduler();
    const std::weak_ptr<BITZizavaBaseManager> weak = weak_from_this();
    const auto observe = [&](const char* name, void (BITFeedbackManager::*action)()) {
        return center->addObserverForName(name, nullptr, main, [weak, action](const auto&) {
            if (const auto self = std::static_pointer_cast<BITFeedbackManager>(weak.lock()))
                ((*self).*action)();
        });
    };
    if (!appDidEnterBackgroundObserver_)
        appDidEnterBackgroundObserver_ = observe(UIApplicationDidEnterBackgroundNotification,
                                                 &BITFeedbackManager::didEnterBackgroundActions);
    if (!appDidBecomeActiveObserver_)
        appDidBecomeActiveObserver_ = observe(UIApplicationDidBecomeActiveNotification,
                                              &BITFeedbackManager::didBecomeActiveActions);
    if (!networkDidBecomeReachableObserver_)
        networkDidBecomeReachableObserver_ =
            observe(kNetworkDidBecomeReachable, &BITFeedbackManager::didBecomeActiveActions);
}

void BITFeedbackManager::unregisterObservers() {
    const auto center = NSNotificationCenter::defaultCenter();
    for (auto* observer : {&appDidEnterBackgroundObserver_, &appDidBecomeActiveObserver_,
                           &networkDidBecomeReachableObserver_}) {
        if (*observer)
            center->removeObserver(*observer);
        observer->reset();
    }
}

void BITFeedbackManager::didEnterBackgroundActions() {
    didEnterBackgroundState_ =
        UIApplication::sharedApplication()->applicationState() == UIApplicationStateBackground;
}

void BITFeedbackManager::didBecomeActiveActions() {
    if (disableFeedbackManager_ || !didEnterBackgroundState_)
        return;
    didEnterBackgroundState_ = false;
    if (feedbackList_.empty())
        loadMessages();
    else
        updateAppDefinedUserData();
    if (allowFetchingNewMessages())
        updateMessagesList();
}

std::shared_ptr<BITFeedbackMessage> BITFeedbackManager::messageAtIndex(size_t index) const {
    return index < feedbackList_.size() ? feedbackList_[index] : nullptr;
}

std::shared_ptr<BITFeedbackMessage> BITFeedbackManager::messageWithID(int64_t identifier) const {
    for (const auto& message : feedbackList_) {
        if (message->identifier == identifier)
            return message;
    }
    return nullptr;
}

BITFeedbackManager::Messages BITFeedbackManager::messagesWithStatus(
    BITFeedbackMessageStatus status) const {
    Messages result;
    std::copy_if(feedbackList_.begin(), feedbackList_.end(), std::back_inserter(result),
                 [status](const auto& message) { return message->status == status; });
    return result;
}

std::shared_ptr<BITFeedbackMessage> BITFeedbackManager::lastMessageHavingID() const {
    for (const auto& message : feedbackList_) {
        if (message->identifier != 0)
            return message;
    }
    return nullptr;
}

void BITFeedbackManager::updateLastMessageID() {
    if (const auto last = lastMessageHavingID(); last && lastMessageID_ != last->identifier)
        lastMessageID_ = last->identifier;
}

void BITFeedbackManager::markSendInProgressMessagesAsPending() {
    for (const auto& message : messagesWithStatus(BITFeedbackMessageStatusSendInProgress))
        message->status = BITFeedbackMessageStatusSendPending;
}

void BITFeedbackManager::markSendInProgressMessagesAsInConflict() {
    for (const auto& message : messagesWithStatus(BITFeedbackMessageStatusSendInProgress))
        message->status = BITFeedbackMessageStatusInConflict;
}

void BITFeedbackManager::markSendInProgressMessagesAsTooLarge() {
    const auto refused = messagesWithStatus(BITFeedbackMessageStatusSendInProgress);
    for (const auto& message : refused) {
        message->status = BITFeedbackMessageStatusInConflict;
        message->tooLarge = true;
    }
    if (!refused.empty())
        scheduleOnMain(0, [](BITFeedbackManager& self) { self.showMessageTooLargeAlert(); });
}

bool BITFeedbackManager::deleteMessageAtIndex(size_t index) {
    if (index >= feedbackList_.size())
        return false;
    feedbackList_[index]->deleteContents();
    feedbackList_.erase(feedbackList_.begin() + static_cast<std::ptrdiff_t>(index));
    saveMessages();
    return true;
}

void BITFeedbackManager::deleteAllMessages() {
    // The screenshots the user attached are private: their files go too.
    for (const auto& message : feedbackList_)
        message->deleteContents();
    feedbackList_.clear();
    saveMessages();
}

void BITFeedbackManager::submitMessageWithTextAndAttachments(
    const std::string& text, const BITFeedbackMessage::Attachments& attachments) {
    auto message = std::make_shared<BITFeedbackMessage>();
    message->text = text;
    message->status = BITFeedbackMessageStatusSendPending;
    message->token = uuidAsLowerCaseAndShortened();
    message->attachments = attachments;
    message->userMessage = true;
    feedbackList_.push_back(std::move(message));
    submitPendingMessages();
}

void BITFeedbackManager::sortFeedbackList() {
    std::stable_sort(feedbackList_.begin(), feedbackList_.end(), [](const auto& a, const auto& b) {
        const bool aSent = a->status >= 2, bSent = b->status >= 2;
        if (aSent != bSent)
            return !aSent;
        const bool aArchived = a->status == 5, bArchived = b->status == 5;
        if (aArchived != bArchived)
            return !aArchived;
        const double aDate = a->date.timeIntervalSinceReferenceDate();
        const double bDate = b->date.timeIntervalSinceReferenceDate();
        // The service's times have whole seconds: within one, its own
        // numbering tells which message came later.
        if (aDate != bDate)
            return aDate > bDate;
        return a->identifier > b->identifier;
    });
}

std::string BITFeedbackManager::uuidString() {
    return bit_UUID();
}

std::string BITFeedbackManager::uuidAsLowerCaseAndShortened() {
    std::string result;
    for (const char c : uuidString()) {
        if (c != '-')
            result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return result;
}

std::optional<std::string> BITFeedbackManager::frontUserValue(int which) {
    std::optional<std::string> value = stringValueFromKeychainForKey(kFrontKeychainKeys[which]);
    const auto front = BITZizavaManager::sharedZizavaManager();
    if (const auto frontDelegate = delegate(); frontDelegate && front) {
        std::optional<std::string> answer;
        if (which == UserFieldID)
            answer = frontDelegate->userIDForZizavaManagerComponentManager(*front, *this);
        else if (which == UserFieldName)
            answer = frontDelegate->userNameForZizavaManagerComponentManager(*front, *this);
        else
            answer = frontDelegate->userEmailForZizavaManagerComponentManager(*front, *this);
        if (answer)
            value = answer;
    }
    return value;
}

bool BITFeedbackManager::updateUserIDUsingKeychainAndDelegate() {
    auto value = frontUserValue(UserFieldID);
    if (!value)
        return false;
    userID_ = std::move(value);
    return true;
}

bool BITFeedbackManager::updateUserNameUsingKeychainAndDelegate() {
    auto value = frontUserValue(UserFieldName);
    if (!value)
        return false;
    userName_ = std::move(value);
    requireUserName_ = BITFeedbackUserDataNotAsked;
    return true;
}

bool BITFeedbackManager::updateUserEmailUsingKeychainAndDelegate() {
    auto value = frontUserValue(UserFieldEmail);
    if (!value)
        return false;
    userEmail_ = std::move(value);
    requireUserEmail_ = BITFeedbackUserDataNotAsked;
    return true;
}

void BITFeedbackManager::updateAppDefinedUserData() {
    updateUserIDUsingKeychainAndDelegate();
    updateUserNameUsingKeychainAndDelegate();
    updateUserEmailUsingKeychainAndDelegate();
    if (requireUserName_ == BITFeedbackUserDataNotAsked &&
        requireUserEmail_ == BITFeedbackUserDataNotAsked)
        didAskUserData_ = false;
}

bool BITFeedbackManager::askManualUserDataAvailable() {
    updateAppDefinedUserData();
    return requireUserName_ != BITFeedbackUserDataNotAsked ||
           requireUserEmail_ != BITFeedbackUserDataNotAsked;
}

bool BITFeedbackManager::requireManualUserDataMissing() {
    updateAppDefinedUserData();
    return (requireUserName_ == BITFeedbackUserDataRequired && !userName_) ||
           (requireUserEmail_ == BITFeedbackUserDataRequired && !userEmail_);
}

bool BITFeedbackManager::isManualUserDataAvailable() {
    updateAppDefinedUserData();
    return (requireUserName_ != BITFeedbackUserDataNotAsked && userName_) ||
           (requireUserEmail_ != BITFeedbackUserDataNotAsked && userEmail_);
}

void BITFeedbackManager::updateDidAskUserData() {
    if (didAskUserData_)
        return;
    didAskUserData_ = true;
    saveMessages();
}

bool BITFeedbackManager::shouldForceNewThread() {
    const auto delegate = feedbackDelegate();
    return delegate && delegate->forceNewFeedbackThreadForFeedbackManager(*this).value_or(false);
}

void BITFeedbackManager::loadMessages() {
    const bool found[] = {updateUserIDUsingKeychainAndDelegate(),
                          updateUserNameUsingKeychainAndDelegate(),
                          updateUserEmailUsingKeychainAndDelegate()};
    if (!NSFileManager::defaultManager()->fileExistsAtPath(settingsFile_)) {
        lastCheck_ = lastCheck_.value_or(NSDate::distantPast());
        return;
    }
    const auto archive = NSPropertyListSerialization::propertyListWithContentsOfFile(settingsFile_);
    if (!archive || !archive->dictionaryValue()) {
        BITZizavaLogWarning("WARNING: The feedback store %s cannot be read", settingsFile_.c_str());
        lastCheck_ = lastCheck_.value_or(NSDate::distantPast());
        return;
    }
    std::optional<std::string>* fields[] = {&userID_, &userName_, &userEmail_};
    for (int i = 0; i < 3; ++i) {
        if (found[i])
            continue;
        if (const std::string* old = textIn(*archive, kStoreKeys[i]))
            addStringValueToKeychainForKey(*old, kStoreKeys[i]);
        if (auto stored = stringValueFromKeychainForKey(kStoreKeys[i]))
            *fields[i] = std::move(stored);
    }
    if (archive->get("ZizavaFeedbackUserDataAsked"))
        didAskUserData_ = true;
    if (const std::string* old = textIn(*archive, kTokenKey))
        addStringValueToKeychainForKey(*old, kTokenKey);
    token_ = stringValueFromKeychainForKey(kTokenKey);
    if (const std::string* appID = textIn(*archive, "ZizavaFeedbackAppID");
        appID && *appID != appIdentifier())
        token_.reset();
    if (shouldForceNewThread())
        token_.reset();
    if (const Value* date = archive->get("ZizavaFeedbackDateOfLastCheck");
        date && date->dateValue())
        lastCheck_ = date->dateValue();
    if (const Value* last = archive->get("ZizavaFeedbackLastMessageID");
        last && last->integerValue())
        lastMessageID_ = last->integerValue();
    if (const Value* messages = archive->get("ZizavaFeedbackMessages");
        messages && messages->arrayValue()) {
        feedbackList_.clear();
        for (const Value& coded : *messages->arrayValue())
            feedbackList_.push_back(BITFeedbackMessage::decode(coded));
        sortFeedbackList();
        NSNotificationCenter::defaultCenter()->postNotificationName(
            kBITFeedbackMessagesLoadingFinished);
    }
    lastCheck_ = lastCheck_.value_or(NSDate::distantPast());
}

void BITFeedbackManager::saveMessages() {
    sortFeedbackList();
    Value::Dictionary archive;
    if (didAskUserData_)
        archive["ZizavaFeedbackUserDataAsked"] = true;
    if (!appIdentifier().empty())
        archive["ZizavaFeedbackAppID"] = appIdentifier();
    if (lastCheck_)
        archive["ZizavaFeedbackDateOfLastCheck"] = *lastCheck_;
    if (lastMessageID_)
        archive["ZizavaFeedbackLastMessageID"] = *lastMessageID_;
    Value::Array messages;
    for (const auto& message : feedbackList_)
        messages.push_back(message->encode());
    archive["ZizavaFeedbackMessages"] = std::move(messages);
    // A dropped token must not come back from the keychain at the next load.
    if (token_)
        addStringValueToKeychainForKey(*token_, kTokenKey);
    else
        removeKeyFromKeychain(kTokenKey);
    const std::optional<std::string>* fields[] = {&userID_, &userName_, &userEmail_};
    for (int i = 0; i < 3; ++i) {
        if (*fields[i])
            addStringValueToKeychainForKey(**fields[i], kStoreKeys[i]);
    }
    NSError error;
    if (!NSPropertyListSerialization::writePropertyListToFile(
            archive, settingsFile_, NSPropertyListSerialization::Format::Binary, &error))
        BITZizavaLogError("ERROR: The feedback store cannot be written: %s",
                          error.localizedDescription().c_str());
}
