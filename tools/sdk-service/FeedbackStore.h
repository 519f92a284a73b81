#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "KeptQueue.h"
#include "MemoryBudget.h"
#include "SharedBytes.h"

// A file of a message, kept; its URL names it by `key`.
struct FeedbackAttachment {
    int64_t id = 0;
    std::string key;
    std::string fileName;
    std::string contentType;
    SharedBytes::Shared bytes;
};

// An attachment as its message names it, also once its bytes are gone.
struct FeedbackAttachmentName {
    int64_t id = 0;
    std::string fileName;
    std::string contentType;
};

struct FeedbackMessage {
    int64_t id = 0;
    std::optional<std::string> token;  // none for developer replies
    std::optional<std::string> text;   // none when the message came without one
    std::optional<std::string> name, email;
    std::string createdAt;
    std::vector<FeedbackAttachmentName> attachments;
    std::map<std::string, std::string> fields;  // its other text fields as they came
    size_t cost = 0;
};

struct FeedbackThread {
    uint64_t age = 0;  // order of making
    std::vector<FeedbackMessage> messages;
    size_t cost = 0;
};

// A message as it came, its texts still those of the request.
struct FeedbackDraft {
    struct File {
        std::string_view fileName, contentType, bytes;
    };
    std::optional<std::string_view> token, text, name, email;
    std::vector<std::pair<std::string_view, std::string_view>> fields;  // but "text"
    std::vector<File> files;
};

// 32 hex digits of the kernel's random source; nullopt when it has none.
std::optional<std::string> randomKey();

// The threads and attachments of the feedback endpoint: the latest
// kAttachmentBytes of attachments and kThreadBytes of threads, each within
// the service's memory budget. Older threads and attachments give way to
// newer ones, the thread a message goes to and the message's own
// attachments never: a message is kept whole or not at all. A message's
// attachments that gave way stay named in it, as gone.
//
// A message kept is a change to confirm once its answer is made, or to
// take back when the answer finds no room. Callers hold `mutex`.
class FeedbackStore {
  public:
    static constexpr size_t kAttachmentBytes = 48 * 1024 * 1024;
    static constexpr size_t kThreadBytes = 16 * 1024 * 1024;

    enum class Outcome { Kept, NoRoom, TooLarge };

    FeedbackStore();

    void useBudget(MemoryBudget& memory);

    // The draft as a new message of the thread of `token`, made when new.
    Outcome keep(const std::string& token, const FeedbackDraft& draft);
    // The draft's attachments in place of those of `message`, the one of the
    // thread sent before under the same message token, which has lost some.
    Outcome refill(const std::string& token, size_t message, const FeedbackDraft& draft);
    void confirm();
    void takeBack();

    const std::map<std::string, FeedbackThread>& threads() const { return threads_; }
    // Whether every attachment of the message is still kept.
    bool whole(const FeedbackMessage& message) const;
    const FeedbackAttachment* attachment(int64_t id) const;
    const FeedbackAttachment* attachmentWithKey(const std::string& key) const;
    void forgetThread(const std::string& token);
    void forgetAll();

    std::mutex mutex;
    // Orders of the tests: the next new thread's token, the next answer's body.
    std::optional<std::string> nextToken;
    std::optional<std::string> nextBody;

  private:
    using Attachment = std::shared_ptr<const FeedbackAttachment>;
    struct Change {
        std::string token;
        bool threadMade = false;
        size_t filesKept = 0;
        // A refill: the message, its attachments and cost before.
        std::optional<size_t> refilled;
        std::vector<FeedbackAttachmentName> formerAttachments;
        size_t formerCost = 0;
    };

    // The files, all or none, named in order; nullopt when there is no room.
    std::optional<std::vector<FeedbackAttachmentName>> keepFiles(
        const std::vector<FeedbackDraft::File>& files);
    bool keepMessage(const std::string& token, FeedbackMessage message);
    // The oldest thread but `spared` goes.
    bool forgetOldestThread(const std::string& spared);
    void forget(std::map<std::string, FeedbackThread>::iterator thread);
    void forgetAttachments(const std::vector<FeedbackAttachmentName>& names);

    MemoryBudget* memory_ = nullptr;
    std::map<std::string, FeedbackThread> threads_;
    std::map<uint64_t, std::string> threadsByAge_;  // oldest first
    size_t threadBytes_ = 0;
    uint64_t nextAge_ = 1;
    KeptQueue<Attachment> attachments_{kAttachmentBytes};
    std::map<int64_t, Attachment> attachmentsById_;
    std::map<std::string, Attachment> attachmentsByKey_;
    int64_t nextId_ = 1;
    std::optional<Change> change_;
};
