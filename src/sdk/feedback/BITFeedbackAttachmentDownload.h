#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "Foundation/Value.h"

class BITFeedbackMessageAttachment;

inline constexpr const char* kBITFeedbackUpdateAttachmentThumbnail =
    "BITFeedbackUpdateAttachmentThumbnail";

// Downloads an attachment that exists only on the service, for the thread
// screens' rows and previews. Does nothing unless it needs loading and is not
// already loading. The attachment is changed on the main thread only: its
// file is replaced only by a 2xx answer with a body (an error page is no
// attachment, and a failed download is tried again next time); then
// "BITFeedbackUpdateAttachmentThumbnail" is posted with the attachment as
// object. `done` runs on the main thread with whether the file was stored.
void bit_downloadFeedbackAttachment(const std::shared_ptr<BITFeedbackMessageAttachment>& attachment,
                                    std::function<void(bool stored)> done = {});

// Ends a download of the attachment on the main thread: it is no longer
// loading, and a non-empty body replaces its file and posts
// "BITFeedbackUpdateAttachmentThumbnail". Answers whether the file was stored.
bool bit_storeFeedbackAttachmentData(BITFeedbackMessageAttachment& attachment,
                                     const std::optional<Value::Data>& data);
