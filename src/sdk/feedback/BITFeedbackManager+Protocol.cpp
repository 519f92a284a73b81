#include <algorithm>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSJSONSerialization.h"
#include "Foundation/NSNotificationCenter.h"
#include "Net/NSURL.h"
#include "Net/NSURLSession.h"
#include "UIKit/UIDevice.h"
#include "sdk/BITZizavaAppClient.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/feedback/BITFeedbackManager.h"

namespace {

constexpr double kRefreshInterval = 30.0;
constexpr double kRetryWhileBusy = 2.0;
constexpr double kNextPendingDelay = 0.1;
constexpr double kRefetchAfterConflict = 0.2;

std::string infoString(const char* key) {
    const auto value = NSBundle::mainBundle()->objectForInfoDictionaryKey(key);
    const std::string* text = value ? value->stringValue() : nullptr;
    return text ? *text : std::string();
}

void post(const char* name) {
    NSNotificationCenter::defaultCenter()->postNotificationName(name);
}

NSError feedbackError(long code, const char* description) {
    return NSError::errorWithDomain(kBITFeedbackErrorDomain, code,
                                    {{NSError::NSLocalizedDescriptionKey, description}});
}

// Reply fields are the service's; anything but a string (null for an
// anonymous sender, a number) counts as missing.
std::optional<std::string> textField(const Value::Dictionary& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->second.stringValue())
        return std::nullopt;
    return *found->second.stringValue();
}

std::optional<int64_t> integerField(const Value::Dictionary& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || found->second.type() != Value::Type::Integer)
        return std::nullopt;
    return found->second.integerValue();
}

const Value::Array* arrayField(const Value::Dictionary& object, const char* key) {
    const auto found = object.find(key);
    return found == object.end() ? nullptr : found->second.arrayValue();
}

// The attachments an answer lists as kept: the service names those it lost
// as gone.
size_t keptAttachmentCount(const Value::Array* attachments) {
    if (!attachments)
        return 0;
    return std::count_if(attachments->begin(), attachments->end(), [](const Value& coded) {
        const Value* gone = coded.dictionaryValue() ? coded.get("gone") : nullptr;
        return coded.dictionaryValue() && !(gone && gone->boolValue().value_or(false));
    });
}

}  // namespace

bool BITFeedbackManager::allowFetchingNewMessages() {
    const auto delegate = feedbackDelegate();
    return !delegate ||
           delegate->allowAutomaticFetchingForNewFeedbackForManager(*this).value_or(true);
}

void BITFeedbackManager::updateMessagesList() {
    if (networkRequestInProgress_)
        return;
    if (!messagesWithStatus(BITFeedbackMessageStatusSendPending).empty())
        submitPendingMessages();
    else
        fetchMessageUpdates();
}

void BITFeedbackManager::updateMessagesListIfRequired() {
    const double now = NSDate::date().timeIntervalSince1970();
    const double last = lastCheck_ ? lastCheck_->timeIntervalSince1970() : 0.0;
    if (now - last > kRefreshInterval)
        updateMessagesList();
}

void BITFeedbackManager::fetchMessageUpdates() {
    if (feedbackList_.empty() && !token_) {
        post(kBITFeedbackMessagesLoadingFinished);
        return;
    }
    sendNetworkRequestWithHTTPMethodWithMessageCompletionHandler(
        "GET", nullptr, [](const auto&) { post(kBITFeedbackMessagesLoadingFinished); });
}

void BITFeedbackManager::scheduleOnMain(double seconds,
                                        std::function<void(BITFeedbackManager&)> block) {
    const std::weak_ptr<BITZizavaBaseManager> weak = weak_from_this();
    DispatchQueue::main()->after(seconds, [weak, block = std::move(block)] {
        if (const auto self = std::static_pointer_cast<BITFeedbackManager>(weak.lock()))
            block(*self);
    });
}

void BITFeedbackManager::scheduleSubmitPendingMessages(double seconds) {
    const uint64_t generation = ++submitGeneration_;
    scheduleOnMain(seconds, [generation](BITFeedbackManager& self) {
        if (self.submitGeneration_ == generation)
            self.submitPendingMessages();
    });
}

void BITFeedbackManager::submitPendingMessages() {
    if (networkRequestInProgress_) {
        scheduleSubmitPendingMessages(kRetryWhileBusy);
        return;
    }
    updateAppDefinedUserData();
    saveMessages();
    const auto pending = messagesWithStatus(BITFeedbackMessageStatusSendPending);
    if (pending.empty())
        return;
    const auto& message = pending.front();
    message->status = BITFeedbackMessageStatusSendInProgress;
    if (userID_)
        message->userID = userID_;
    if (userName_)
        message->name = userName_;
    if (userEmail_)
        message->email = userEmail_;
    const std::weak_ptr<BITZizavaBaseManager> weak = weak_from_this();
    sendNetworkRequestWithHTTPMethodWithMessageCompletionHandler(
        token_ ? "PUT" : "POST", message, [weak](const std::optional<NSError>& error) {
            if (const auto self = std::static_pointer_cast<BITFeedbackManager>(weak.lock());
                self && error) {
                self->markSendInProgressMessagesAsPending();
                self->saveMessages();
            }
            post(kBITFeedbackMessagesLoadingFinished);
        });
}

void BITFeedbackManager::sendNetworkRequestWithHTTPMethodWithMessageCompletionHandler(
    const std::string& method, std::shared_ptr<BITFeedbackMessage> message, Completion completion) {
    networkRequestInProgress_ = true;
    post(kBITFeedbackMessagesLoadingStarted);
    // The token is the service's: it must stay one path segment.
    std::string path = bit_format("api/2/apps/%s/feedback%s", encodedAppIdentifier().c_str(),
                                  token_ ? ("/" + bit_URLEncodedString(*token_)).c_str() : "");
    if (!lastMessageID_)
        updateLastMessageID();
    const std::string lastMessageParameter =
        lastMessageID_
            ? bit_format("&last_message_id=%lld", static_cast<long long>(*lastMessageID_))
            : std::string();
    const std::string bundleVersion = infoString("CFBundleVersion");
    path += bit_format("?format=json&bundle_version=%s&sdk=%s&sdk_version=%s%s",
                       bit_URLEncodedString(bundleVersion).c_str(), "ZizavaSDK", "4.1.4",
                       lastMessageParameter.c_str());
    const std::string address = serverURL() + path;
    BITZizavaLogDebug("INFO: sending api request to %s", address.c_str());
    const auto url = NSURL::URLWithString(address);
    if (!url) {
        networkRequestInProgress_ = false;
        const NSError error = feedbackError(2, "The feedback address is not a URL.");
        reportError(error);
        markSendInProgressMessagesAsPending();
        completion(error);
        return;
    }
    NSMutableURLRequest request(*url, NSURLRequestCachePolicy::ReloadIgnoringLocalCacheData, 10.0);
    request.setHTTPMethod(method);
    request.setValueForHTTPHeaderField("Zizava/iOS", "User-Agent");
    request.setValueForHTTPHeaderField("gzip", "Accept-Encoding");
    if (message) {
        const auto locales = NSBundle::preferredLocalizations();
        std::vector<std::pair<std::string, std::string>> fields = {
            {"oem", "Apple"},
            {"os_version", UIDevice::currentDevice()->systemVersion()},
            {"model", getDevicePlatform()},
            {"lang", locales.empty() ? std::string() : locales.front()},
            {"bundle_version", bundleVersion},
            {"text", message->text.value_or("")},
            {"message_token", message->token.value_or("")}};
        if (const std::string install = bit_appAnonID(false); !install.empty())
            fields.emplace_back("install_string", install);
        if (userID_)
            fields.emplace_back("user_string", *userID_);
        if (userName_)
            fields.emplace_back("name", *userName_);
        if (userEmail_)
            fields.emplace_back("email", *userEmail_);
        // The boundary must occur in no part: a message may well hold "----FOO".
        std::vector<std::string_view> contents;
        for (const auto& [key, value] : fields)
            contents.emplace_back(value);
        for (const auto& attachment : message->attachments) {
            const auto& bytes = attachment->data();
            contents.emplace_back(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        }
        const std::string boundary = BITZizavaAppClient::boundaryForContents(contents);
        request.setValueForHTTPHeaderField("multipart/form-data; boundary=" + boundary,
                                           "Content-type");
        Value::Data body;
        const auto append = [&body](const Value::Data& part) {
            body.insert(body.end(), part.begin(), part.end());
        };
        for (const auto& [key, value] : fields)
            append(BITZizavaAppClient::dataWithPostValueForKeyBoundary(value, key, boundary));
        long index = 0;
        for (const auto& attachment : message->attachments) {
            append(BITZizavaAppClient::dataWithPostValueForKeyContentTypeBoundaryFilename(
                attachment->data(), bit_format("attachment%ld", index),
                attachment->contentType().value_or("application/octet-stream"), boundary,
                attachment->originalFilename().value_or(bit_format("Attachment %ld", index))));
            ++index;
        }
        const std::string closing = "--" + boundary + "--\r\n";
        body.insert(body.end(), closing.begin(), closing.end());
        request.setHTTPBody(std::move(body));
    }
    const std::weak_ptr<BITZizavaBaseManager> weak = weak_from_this();
    auto session = NSURLSession::sessionWithConfiguration(
        NSURLSessionConfiguration::defaultSessionConfiguration());
    auto task = session->dataTaskWithRequest(request, [session, weak, completion](
                                                          std::optional<Value::Data> data,
                                                          std::optional<NSHTTPURLResponse> response,
                                                          std::optional<NSError> error) {
        session->finishTasksAndInvalidate();
        // The thread and its flags belong to the main thread.
        DispatchQueue::main()->async([weak, completion, data = std::move(data),
                                      response = std::move(response), error = std::move(error)] {
            if (const auto self = std::static_pointer_cast<BITFeedbackManager>(weak.lock()))
                self->handleFeedbackMessageResponseDataErrorCompletion(response, data, error,
                                                                       completion);
        });
    });
    if (task)
        task->resume();
}

void BITFeedbackManager::handleFeedbackMessageResponseDataErrorCompletion(
    const std::optional<NSHTTPURLResponse>& response, const std::optional<Value::Data>& received,
    const std::optional<NSError>& error, Completion completion) {
    networkRequestInProgress_ = false;
    // The transport decodes a gzip body: the request accepts gzip.
    const std::optional<Value::Data>& data = received;
    if (error || !response) {
        const NSError failure =
            error ? *error : feedbackError(1, "Server returned invalid status.");
        reportError(failure);
        markSendInProgressMessagesAsPending();
        if (completion)
            completion(failure);
        return;
    }
    const long status = response->statusCode();
    if (status == 409) {
        if (!token_) {
            if (const auto inFlight = messagesWithStatus(BITFeedbackMessageStatusSendInProgress);
                !inFlight.empty())
                token_ = inFlight.front()->token;
        }
        markSendInProgressMessagesAsInConflict();
        saveMessages();
        scheduleOnMain(kRefetchAfterConflict,
                       [](BITFeedbackManager& self) { self.fetchMessageUpdates(); });
    } else if (status == 413) {
        // Sending it again cannot help; the messages after it go on.
        const size_t countBefore = pendingAndInFlightCount();
        markSendInProgressMessagesAsTooLarge();
        saveMessages();
        scheduleSubmitWhenPendingLeft(countBefore);
    } else if (status == 404) {
        updateMessageListFromResponse(nullptr);
    } else if (data && !data->empty()) {
        BITZizavaLogDebug("INFO: Received API response: %s", bit_loggedBody(*data).c_str());
        NSError decodeError;
        const auto object = NSJSONSerialization::JSONObjectWithData(*data, &decodeError);
        if (!object) {
            reportError(decodeError);
        } else if (!object->dictionaryValue() || object->dictionaryValue()->empty()) {
            reportError(feedbackError(3, "Server returned empty response."));
        } else {
            BITZizavaLogDebug("INFO: Received API response: %s", bit_loggedBody(*data).c_str());
            const Value* statusValue = object->get("status");
            if (!statusValue || !statusValue->stringValue() ||
                *statusValue->stringValue() != "success")
                reportError(feedbackError(1, "Server returned invalid status."));
            else
                updateMessageListFromResponse(&*object);
        }
    }
    markSendInProgressMessagesAsPending();
    if (completion)
        completion(std::nullopt);
}

size_t BITFeedbackManager::pendingAndInFlightCount() const {
    return messagesWithStatus(BITFeedbackMessageStatusSendInProgress).size() +
           messagesWithStatus(BITFeedbackMessageStatusSendPending).size();
}

void BITFeedbackManager::scheduleSubmitWhenPendingLeft(size_t countBefore) {
    const size_t pendingNow = messagesWithStatus(BITFeedbackMessageStatusSendPending).size();
    if (countBefore > pendingNow && pendingNow >= 1)
        scheduleSubmitPendingMessages(kNextPendingDelay);
}

std::shared_ptr<BITFeedbackMessage> BITFeedbackManager::mergeServerMessage(
    const Value::Dictionary& element, bool& added) {
    const auto identifier = integerField(element, "id");
    if (!identifier || messageWithID(*identifier))
        return nullptr;
    const auto elementToken = textField(element, "token");
    const Value::Array* serverAttachments = arrayField(element, "attachments");
    for (const auto& own : messagesWithStatus(BITFeedbackMessageStatusSendInProgress)) {
        if (!elementToken || own->token != elementToken)
            continue;
        // Delivered only once the service lists every attachment it was sent
        // with; until then it stays pending and goes again.
        if (keptAttachmentCount(serverAttachments) < own->attachments.size())
            return nullptr;
        if (const auto date = parseRFC3339Date(textField(element, "created_at")))
            own->date = *date;
        own->identifier = *identifier;
        own->status = BITFeedbackMessageStatusDelivered;
        if (serverAttachments && serverAttachments->size() == own->attachments.size()) {
            for (size_t i = 0; i < own->attachments.size(); ++i) {
                const auto* coded = (*serverAttachments)[i].dictionaryValue();
                own->attachments[i]->setIdentifier(coded ? integerField(*coded, "id")
                                                         : std::nullopt);
            }
        }
        return own;
    }
    const auto cleanText = textField(element, "clean_text");
    const auto text = textField(element, "text");
    if (!cleanText && !text && !serverAttachments)
        return nullptr;
    auto message = std::make_shared<BITFeedbackMessage>();
    message->text = cleanText ? cleanText : text.value_or("");
    message->name = textField(element, "name").value_or("");
    message->email = textField(element, "email").value_or("");
    message->date = parseRFC3339Date(textField(element, "created_at")).value_or(NSDate::date());
    message->identifier = *identifier;
    message->status = BITFeedbackMessageStatusNew;
    if (serverAttachments) {
        for (const Value& coded : *serverAttachments) {
            const Value::Dictionary* fields = coded.dictionaryValue();
            if (!fields)
                continue;
            auto attachment = std::make_shared<BITFeedbackMessageAttachment>();
            attachment->setOriginalFilename(textField(*fields, "file_name"));
            attachment->setIdentifier(integerField(*fields, "id"));
            attachment->setSourceURL(textField(*fields, "url"));
            attachment->setContentType(textField(*fields, "content_type"));
            message->addAttachmentsObject(std::move(attachment));
        }
    }
    feedbackList_.push_back(message);
    added = true;
    return message;
}

void BITFeedbackManager::updateMessageListFromResponse(const Value* response) {
    const size_t countBefore = pendingAndInFlightCount();
    if (!response) {
        markSendInProgressMessagesAsPending();
        for (const auto& message : feedbackList_) {
            if (message->status != BITFeedbackMessageStatusSendPending)
                message->status = BITFeedbackMessageStatusArchived;
        }
        token_.reset();
        saveMessages();
        scheduleSubmitWhenPendingLeft(countBefore);
        return;
    }
    const Value* feedback = response->get("feedback");
    const Value* serverToken = response->get("token");
    if (!feedback || !feedback->dictionaryValue() || !serverToken || !serverToken->stringValue()) {
        markSendInProgressMessagesAsPending();
        saveMessages();
        return;
    }
    token_ = shouldForceNewThread() ? std::nullopt : std::optional(*serverToken->stringValue());
    lastCheck_ = NSDate::date();
    bool added = false;
    if (const Value::Array* elements = arrayField(*feedback->dictionaryValue(), "messages")) {
        for (const Value& element : *elements) {
            if (const Value::Dictionary* fields = element.dictionaryValue())
                mergeServerMessage(*fields, added);
        }
    }
    markSendInProgressMessagesAsPending();
    sortFeedbackList();
    updateLastMessageID();
    if (added) {
        const auto newest = lastMessageHavingID();
        const bool ownMessage =
            userEmail_ && newest && newest->email && *newest->email == *userEmail_;
        if (!ownMessage) {
            if (const auto delegate = feedbackDelegate())
                delegate->feedbackManagerDidReceiveNewFeedback(*this);
            if (showAlertOnIncomingMessages_ && !currentFeedbackListViewController() &&
                !currentFeedbackComposeViewController())
                scheduleOnMain(0, [](BITFeedbackManager& self) { self.showNewMessageAlert(); });
        }
    }
    scheduleSubmitWhenPendingLeft(countBefore);
    saveMessages();
}
