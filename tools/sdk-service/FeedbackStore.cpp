#include "FeedbackStore.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "KeptBytes.h"

namespace {

constexpr size_t kKeyBytes = 32;

std::string nowRFC3339() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

size_t nameCost(std::string_view fileName, std::string_view contentType) {
    return kKeptValueBytes + fileName.size() + contentType.size();
}

size_t namesCost(const std::vector<FeedbackAttachmentName>& names) {
    size_t cost = 0;
    for (const auto& name : names)
        cost += nameCost(name.fileName, name.contentType);
    return cost;
}

size_t fileCost(const FeedbackDraft::File& file) {
    return nameCost(file.fileName, file.contentType) + kKeyBytes + file.bytes.size();
}

// What the message made of the draft holds, told before any of it is made.
size_t messageCost(const FeedbackDraft& draft, size_t createdAtBytes) {
    size_t cost = kKeptValueBytes * (5 + draft.fields.size()) + createdAtBytes;
    for (const auto& text : {draft.token, draft.text, draft.name, draft.email})
        cost += text ? text->size() : 0;
    for (const auto& [name, value] : draft.fields)
        cost += name.size() + value.size();
    for (const auto& file : draft.files)
        cost += nameCost(file.fileName, file.contentType);
    return cost;
}

std::optional<std::string> copied(const std::optional<std::string_view>& text) {
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

}  // namespace

std::optional<std::string> randomKey() {
    unsigned char bits[kKeyBytes / 2];
    size_t filled = 0;
    while (filled < sizeof bits) {
        const ssize_t got = ::getrandom(bits + filled, sizeof bits - filled, 0);
        if (got < 0 && errno != EINTR)
            return std::nullopt;
        filled += got > 0 ? size_t(got) : 0;
    }
    static const char* const kDigits = "0123456789abcdef";
    std::string key;
    for (const unsigned char bit : bits) {
        key += kDigits[bit >> 4];
        key += kDigits[bit & 15];
    }
    return key;
}

FeedbackStore::FeedbackStore() {
    attachments_.onForget([this](const Attachment& attachment) {
        attachmentsById_.erase(attachment->id);
        attachmentsByKey_.erase(attachment->key);
    });
}

void FeedbackStore::useBudget(MemoryBudget& memory) {
    memory_ = &memory;
    attachments_.useBudget(memory);
}

FeedbackStore::Outcome FeedbackStore::keep(const std::string& token, const FeedbackDraft& draft) {
    const std::string createdAt = nowRFC3339();
    size_t files = 0;
    for (const auto& file : draft.files)
        files += fileCost(file);
    const size_t cost = messageCost(draft, createdAt.size());
    if (!attachments_.fits(files) || cost > kThreadBytes || files + cost > memory_->capacity())
        return Outcome::TooLarge;
    auto names = keepFiles(draft.files);
    if (!names)
        return Outcome::NoRoom;
    FeedbackMessage message{nextId_++,
                            copied(draft.token),
                            copied(draft.text),
                            copied(draft.name),
                            copied(draft.email),
                            createdAt,
                            *names,
                            {},
                            cost};
    for (const auto& [name, value] : draft.fields)
        message.fields.emplace(name, value);
    const bool made = !threads_.count(token);
    if (!keepMessage(token, std::move(message))) {
        forgetAttachments(*names);
        return Outcome::NoRoom;
    }
    change_ = Change{token, made, names->size(), std::nullopt, {}, 0};
    return Outcome::Kept;
}

FeedbackStore::Outcome FeedbackStore::refill(const std::string& token, size_t index,
                                             const FeedbackDraft& draft) {
    size_t files = 0;
    for (const auto& file : draft.files)
        files += fileCost(file);
    if (!attachments_.fits(files))
        return Outcome::TooLarge;
    auto names = keepFiles(draft.files);
    if (!names)
        return Outcome::NoRoom;
    FeedbackThread& thread = threads_.at(token);
    FeedbackMessage& message = thread.messages.at(index);
    const size_t cost = message.cost - namesCost(message.attachments) + namesCost(*names);
    // Until the change is confirmed or taken back the larger of the two is held.
    if (cost > message.cost && !memory_->take(cost - message.cost)) {
        forgetAttachments(*names);
        return Outcome::NoRoom;
    }
    change_ =
        Change{token, false, names->size(), index, std::move(message.attachments), message.cost};
    thread.cost += cost - message.cost;
    threadBytes_ += cost - message.cost;
    message.attachments = std::move(*names);
    message.cost = cost;
    return Outcome::Kept;
}

void FeedbackStore::confirm() {
    if (!change_)
        return;
    if (change_->refilled) {
        const FeedbackMessage& message = threads_.at(change_->token).messages[*change_->refilled];
        forgetAttachments(change_->formerAttachments);
        if (message.cost < change_->formerCost)
            memory_->give(change_->formerCost - message.cost);
    }
    change_.reset();
}

void FeedbackStore::takeBack() {
    if (!change_)
        return;
    const Change change = *std::exchange(change_, std::nullopt);
    const auto thread = threads_.find(change.token);
    FeedbackThread& kept = thread->second;
    if (change.refilled) {
        FeedbackMessage& message = kept.messages[*change.refilled];
        if (message.cost > change.formerCost)
            memory_->give(message.cost - change.formerCost);
        kept.cost += change.formerCost - message.cost;
        threadBytes_ += change.formerCost - message.cost;
        message.attachments = change.formerAttachments;
        message.cost = change.formerCost;
    } else {
        const size_t cost = kept.messages.back().cost;
        kept.messages.pop_back();
        kept.cost -= cost;
        threadBytes_ -= cost;
        memory_->give(cost);
        if (change.threadMade)
            forget(thread);
    }
    for (size_t i = 0; i < change.filesKept; ++i)
        attachments_.forgetNewest();
}

std::optional<std::vector<FeedbackAttachmentName>> FeedbackStore::keepFiles(
    const std::vector<FeedbackDraft::File>& files) {
    std::vector<std::string> keys;
    size_t total = 0;
    for (const auto& file : files) {
        auto key = randomKey();
        if (!key)
            return std::nullopt;
        keys.push_back(std::move(*key));
        total += fileCost(file);
    }
    if (!attachments_.reserve(total))
        return std::nullopt;
    std::vector<FeedbackAttachmentName> names;
    for (size_t i = 0; i < files.size(); ++i) {
        const auto& file = files[i];
        const int64_t id = nextId_++;
        auto kept = std::make_shared<const FeedbackAttachment>(FeedbackAttachment{
            id, keys[i], std::string(file.fileName), std::string(file.contentType),
            SharedBytes::adopt(*memory_, std::string(file.bytes))});
        // The bytes go back to the budget once no answer is written from them either.
        attachments_.keepReserved(kept, fileCost(file), file.bytes.size());
        attachmentsById_[id] = kept;
        attachmentsByKey_[kept->key] = kept;
        names.push_back({id, kept->fileName, kept->contentType});
    }
    return names;
}

bool FeedbackStore::keepMessage(const std::string& token, FeedbackMessage message) {
    const size_t cost = message.cost;
    if (cost > memory_->capacity() - (memory_->used() - threadBytes_))
        return false;
    while (threadBytes_ + cost > kThreadBytes && forgetOldestThread(token)) {
    }
    while (!memory_->take(cost)) {
        if (!forgetOldestThread(token))
            return false;
    }
    const auto [thread, made] = threads_.try_emplace(token);
    if (made) {
        thread->second.age = nextAge_++;
        threadsByAge_[thread->second.age] = token;
    }
    thread->second.cost += cost;
    threadBytes_ += cost;
    thread->second.messages.push_back(std::move(message));
    return true;
}

bool FeedbackStore::forgetOldestThread(const std::string& spared) {
    for (const auto& [age, token] : threadsByAge_) {
        if (token != spared) {
            forget(threads_.find(token));
            return true;
        }
    }
    return false;
}

void FeedbackStore::forget(std::map<std::string, FeedbackThread>::iterator thread) {
    for (const FeedbackMessage& message : thread->second.messages)
        forgetAttachments(message.attachments);
    threadBytes_ -= thread->second.cost;
    memory_->give(thread->second.cost);
    threadsByAge_.erase(thread->second.age);
    threads_.erase(thread);
}

void FeedbackStore::forgetAttachments(const std::vector<FeedbackAttachmentName>& names) {
    if (names.empty())
        return;
    attachments_.forgetIf([&names](const Attachment& attachment) {
        return std::any_of(names.begin(), names.end(),
                           [&](const auto& name) { return name.id == attachment->id; });
    });
}

bool FeedbackStore::whole(const FeedbackMessage& message) const {
    return std::all_of(message.attachments.begin(), message.attachments.end(),
                       [this](const auto& name) { return attachmentsById_.count(name.id) > 0; });
}

const FeedbackAttachment* FeedbackStore::attachment(int64_t id) const {
    const auto found = attachmentsById_.find(id);
    return found == attachmentsById_.end() ? nullptr : found->second.get();
}

const FeedbackAttachment* FeedbackStore::attachmentWithKey(const std::string& key) const {
    const auto found = attachmentsByKey_.find(key);
    return found == attachmentsByKey_.end() ? nullptr : found->second.get();
}

void FeedbackStore::forgetThread(const std::string& token) {
    if (const auto thread = threads_.find(token); thread != threads_.end())
        forget(thread);
}

void FeedbackStore::forgetAll() {
    while (!threads_.empty())
        forget(threads_.begin());
    attachments_.forgetAll();
    nextToken.reset();
    nextBody.reset();
}
