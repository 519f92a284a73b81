#include "FeedbackAnswer.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

namespace {

void writeAttachment(JsonText& json, const FeedbackStore& store, const FeedbackAttachmentName& name,
                     const std::string& baseURL) {
    json.raw("{\"content_type\":").string(name.contentType);
    json.raw(",\"file_name\":").string(name.fileName);
    const FeedbackAttachment* kept = store.attachment(name.id);
    if (!kept)
        json.raw(",\"gone\":true");
    json.raw(",\"id\":").number(name.id);
    if (kept)
        json.raw(",\"url\":").string(baseURL + "_feedback/attachments/" + kept->key);
    json.raw("}");
}

void writeFields(JsonText& json, const FeedbackMessage& message) {
    if (!message.token) {  // a developer reply came with none
        json.raw("null");
        return;
    }
    std::vector<std::pair<std::string_view, std::string_view>> fields(message.fields.begin(),
                                                                      message.fields.end());
    if (message.text)
        fields.emplace_back("text", *message.text);
    std::sort(fields.begin(), fields.end());
    json.raw("{");
    for (size_t i = 0; i < fields.size(); ++i) {
        json.raw(i == 0 ? "" : ",").string(fields[i].first).raw(":").string(fields[i].second);
    }
    json.raw("}");
}

void writeMessage(JsonText& json, const FeedbackStore& store, const FeedbackMessage& message,
                  const std::string& baseURL, bool withFields) {
    const std::string_view text = message.text ? std::string_view(*message.text) : "";
    json.raw("{\"attachments\":[");
    for (size_t i = 0; i < message.attachments.size(); ++i) {
        json.raw(i == 0 ? "" : ",");
        writeAttachment(json, store, message.attachments[i], baseURL);
    }
    json.raw("],\"clean_text\":").string(text);
    json.raw(",\"created_at\":").string(message.createdAt);
    json.raw(",\"email\":").stringOrNull(message.email);
    if (withFields) {
        json.raw(",\"fields\":");
        writeFields(json, message);
    }
    json.raw(",\"id\":").number(message.id);
    json.raw(",\"name\":").stringOrNull(message.name);
    json.raw(",\"text\":").string(text);
    json.raw(",\"token\":").stringOrNull(message.token);
    json.raw("}");
}

}  // namespace

void writeFeedbackThread(JsonText& json, const FeedbackStore& store, const std::string& token,
                         const FeedbackThread& thread, const std::string& baseURL,
                         bool withFields) {
    json.raw("{\"feedback\":{\"messages\":[");
    for (size_t i = 0; i < thread.messages.size(); ++i) {
        json.raw(i == 0 ? "" : ",");
        writeMessage(json, store, thread.messages[i], baseURL, withFields);
    }
    json.raw("]},\"status\":\"success\",\"token\":").string(token).raw("}");
}
