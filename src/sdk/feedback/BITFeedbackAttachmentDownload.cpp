#include "sdk/feedback/BITFeedbackAttachmentDownload.h"

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSNotificationCenter.h"
#include "Net/NSURL.h"
#include "Net/NSURLSession.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/feedback/BITFeedbackMessageAttachment.h"

void bit_downloadFeedbackAttachment(const std::shared_ptr<BITFeedbackMessageAttachment>& attachment,
                                    std::function<void(bool stored)> done) {
    if (!attachment || !attachment->needsLoadingFromURL() || attachment->isLoading())
        return;
    const auto url = NSURL::URLWithString(*attachment->sourceURL());
    if (!url) {
        BITZizavaLogError("ERROR: The attachment address %s is not a URL",
                          attachment->sourceURL()->c_str());
        return;
    }
    attachment->setLoading(true);
    auto session = NSURLSession::sessionWithConfiguration(
        NSURLSessionConfiguration::defaultSessionConfiguration());
    auto task = session->dataTaskWithRequest(
        NSURLRequest(*url), [session, attachment, done](std::optional<Value::Data> data,
                                                        std::optional<NSHTTPURLResponse> response,
                                                        std::optional<NSError>) {
            session->finishTasksAndInvalidate();
            const long status = response ? response->statusCode() : 0;
            if (status < 200 || status >= 300)
                data.reset();
            DispatchQueue::main()->async([attachment, done, data = std::move(data)] {
                const bool stored = bit_storeFeedbackAttachmentData(*attachment, data);
                if (done)
                    done(stored);
            });
        });
    if (task)
        task->resume();
    else
        attachment->setLoading(false);
}

bool bit_storeFeedbackAttachmentData(BITFeedbackMessageAttachment& attachment,
                                     const std::optional<Value::Data>& data) {
    attachment.setLoading(false);
    if (!data || data->empty())
        return false;
    attachment.replaceData(*data);
    NSNotificationCenter::defaultCenter()->postNotificationName(
        kBITFeedbackUpdateAttachmentThumbnail, &attachment);
    return true;
}
