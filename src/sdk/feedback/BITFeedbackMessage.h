#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSDate.h"
#include "Foundation/Value.h"
#include "sdk/feedback/BITFeedbackMessageAttachment.h"

enum BITFeedbackMessageStatus : int64_t {
    BITFeedbackMessageStatusSendPending = 0,
    BITFeedbackMessageStatusInConflict = 1,
    BITFeedbackMessageStatusSendInProgress = 2,
    BITFeedbackMessageStatusNew = 3,
    BITFeedbackMessageStatusDelivered = 4,
    BITFeedbackMessageStatusArchived = 5,
};

// One message of the feedback thread, written here or by the developer.
class BITFeedbackMessage {
  public:
    using Attachments = std::vector<std::shared_ptr<BITFeedbackMessageAttachment>>;

    // The coding keys "text", "userID", "name", "email", "date", "id",
    // "attachments", "status", "userMessage", "token", and "tooLarge" only
    // when it is set (stores without it read as before).
    Value encode() const;
    // Values of another kind than the key's are left at their defaults.
    static std::shared_ptr<BITFeedbackMessage> decode(const Value& coded);

    // Removes every attachment's file.
    void deleteContents();
    void addAttachmentsObject(std::shared_ptr<BITFeedbackMessageAttachment> attachment);
    // The attachments the preview can show: images, PDF and plain text.
    Attachments previewableAttachments() const;

    std::optional<std::string> text, userID, name, email, token;
    NSDate date = NSDate::date();
    int64_t identifier = 0;
    Attachments attachments;
    BITFeedbackMessageStatus status = BITFeedbackMessageStatusSendPending;
    bool userMessage = false;
    // The service refused it as larger than it keeps (413): the message is in
    // conflict, never sent again, and the thread says why.
    bool tooLarge = false;
};
