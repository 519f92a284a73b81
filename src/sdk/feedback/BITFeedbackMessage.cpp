#include "sdk/feedback/BITFeedbackMessage.h"

#include <utility>

namespace {

std::optional<std::string> textOf(const Value& coded, const char* key) {
    const Value* value = coded.get(key);
    const std::string* text = value ? value->stringValue() : nullptr;
    return text ? std::optional(*text) : std::nullopt;
}

bool previewable(const BITFeedbackMessageAttachment& attachment) {
    const auto& type = attachment.contentType();
    return attachment.isImage() ||
           (type && (type->rfind("application/pdf", 0) == 0 || type->rfind("text/plain", 0) == 0));
}

}  // namespace

Value BITFeedbackMessage::encode() const {
    Value::Dictionary coded;
    const auto put = [&coded](const char* key, const std::optional<std::string>& value) {
        if (value)
            coded[key] = *value;
    };
    put("text", text);
    put("userID", userID);
    put("name", name);
    put("email", email);
    coded["date"] = date;
    coded["id"] = identifier;
    Value::Array coddedAttachments;
    for (const auto& attachment : attachments)
        coddedAttachments.push_back(attachment->encode());
    coded["attachments"] = std::move(coddedAttachments);
    coded["status"] = static_cast<int64_t>(status);
    coded["userMessage"] = userMessage;
    put("token", token);
    if (tooLarge)
        coded["tooLarge"] = true;
    return coded;
}

std::shared_ptr<BITFeedbackMessage> BITFeedbackMessage::decode(const Value& coded) {
    auto message = std::make_shared<BITFeedbackMessage>();
    message->text = textOf(coded, "text");
    message->userID = textOf(coded, "userID");
    message->name = textOf(coded, "name");
    message->email = textOf(coded, "email");
    message->token = textOf(coded, "token");
    if (const Value* date = coded.get("date"); date && date->dateValue())
        message->date = *date->dateValue();
    if (const Value* identifier = coded.get("id"); identifier && identifier->integerValue())
        message->identifier = *identifier->integerValue();
    if (const Value* status = coded.get("status"); status && status->integerValue()) {
        const int64_t value = *status->integerValue();
        if (value >= BITFeedbackMessageStatusSendPending &&
            value <= BITFeedbackMessageStatusArchived)
            message->status = static_cast<BITFeedbackMessageStatus>(value);
    }
    if (const Value* user = coded.get("userMessage"); user && user->boolValue())
        message->userMessage = *user->boolValue();
    if (const Value* refused = coded.get("tooLarge"); refused && refused->boolValue())
        message->tooLarge = *refused->boolValue();
    if (const Value* list = coded.get("attachments"); list && list->arrayValue()) {
        for (const Value& attachment : *list->arrayValue())
            message->attachments.push_back(std::make_shared<BITFeedbackMessageAttachment>(
                BITFeedbackMessageAttachment::decode(attachment)));
    }
    return message;
}

void BITFeedbackMessage::deleteContents() {
    for (const auto& attachment : attachments)
        attachment->deleteContents();
}

void BITFeedbackMessage::addAttachmentsObject(
    std::shared_ptr<BITFeedbackMessageAttachment> attachment) {
    attachments.push_back(std::move(attachment));
}

BITFeedbackMessage::Attachments BITFeedbackMessage::previewableAttachments() const {
    Attachments result;
    for (const auto& attachment : attachments) {
        if (previewable(*attachment))
            result.push_back(attachment);
    }
    return result;
}
