#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>

#include "FeedbackEndpoint.h"
#include "KeptBytes.h"
#include "KeptQueue.h"
#include "MemoryBudget.h"
#include "SdkService.h"

// The feedback protocol:
//   POST api/2/apps/{id}/feedback          a new thread with its first message
//   PUT  api/2/apps/{id}/feedback/{token}  a message (409 when its message_token is stored)
//   GET  api/2/apps/{id}/feedback/{token}  the thread (404 for an unknown one)
// Answers are {"status": "success", "token": T, "feedback": {"messages": [...]}}.
//
// Controls:
//   GET  /_feedback/threads                     every thread as the service keeps it
//   GET  /_feedback/attachments/{key}           an attachment's bytes (the URLs in answers)
//   POST /_feedback/reply?thread=T&text=...[&file_name=F&content_type=C]
//        a developer reply with null name and e-mail; the body, when not empty, is its file
//   POST /_feedback/delete?thread=T             forgets a thread
//   POST /_feedback/token?value=V               the next new thread gets this token
//   POST /_feedback/next-body                   the next feedback answer carries this body
// A new thread's token and an attachment's URL name them by 128 random bits,
// which no other local program can guess (a thread's answer carries its
// attachments' URLs); an attachment's "id" in answers is the protocol's
// number.
// The service keeps the latest kAttachmentBytes of attachments and
// kThreadBytes of threads: older ones are forgotten (an attachment's URL
// then answers 404, a thread's 404 as well), also when the service's memory
// budget needs their room; a message the service has no room for is
// answered 503 and kept by the client for later. POST /_control/reset
// forgets every thread and attachment.
namespace {

constexpr size_t kAttachmentBytes = 48 * 1024 * 1024;
constexpr size_t kThreadBytes = 16 * 1024 * 1024;

struct Attachment {
    int64_t id = 0;
    std::string key;
    std::string fileName;
    std::string contentType;
    std::string bytes;
};

struct Message {
    int64_t id = 0;
    nlohmann::json token;  // null for developer replies
    std::string text;
    nlohmann::json name, email;
    std::string createdAt;
    std::vector<int64_t> attachments;
    nlohmann::json fields;  // the text fields as they came
    size_t cost = 0;
};

struct Thread {
    uint64_t age = 0;  // order of making
    std::vector<Message> messages;
    size_t cost = 0;
};

struct FeedbackStore {
    FeedbackStore() {
        attachments.onForget([this](const Attachment& attachment) {
            attachmentsById.erase(attachment.id);
            attachmentsByKey.erase(attachment.key);
        });
    }

    std::mutex mutex;
    MemoryBudget* memory = nullptr;
    std::map<std::string, Thread> threads;
    std::map<uint64_t, std::string> threadsByAge;  // oldest first
    size_t threadBytes = 0;
    uint64_t nextAge = 1;
    KeptQueue<Attachment> attachments{kAttachmentBytes};
    std::map<int64_t, const Attachment*> attachmentsById;
    std::map<std::string, const Attachment*> attachmentsByKey;
    int64_t nextId = 1;
    std::optional<std::string> nextToken;
    std::optional<std::string> nextBody;
};

FeedbackStore& store() {
    static FeedbackStore shared;
    return shared;
}

// 32 hex digits of the kernel's random source; nullopt when it has none.
std::optional<std::string> randomKey() {
    unsigned char bits[16];
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

size_t messageCost(const Message& message) {
    return kKeptValueBytes * (4 + message.attachments.size()) + message.text.size() +
           message.createdAt.size() + keptBytes(message.token) + keptBytes(message.name) +
           keptBytes(message.email) + keptBytes(message.fields);
}

void forgetThread(FeedbackStore& shared, std::map<std::string, Thread>::iterator thread) {
    shared.threadBytes -= thread->second.cost;
    shared.memory->give(thread->second.cost);
    shared.threadsByAge.erase(thread->second.age);
    shared.threads.erase(thread);
}

// The oldest thread but `spared` goes.
bool forgetOldestThread(FeedbackStore& shared, const std::string& spared) {
    for (const auto& [age, token] : shared.threadsByAge) {
        if (token != spared) {
            forgetThread(shared, shared.threads.find(token));
            return true;
        }
    }
    return false;
}

// Keeps an attachment within its bound and the budget, the oldest ones
// going first; answers its identifier, or nullopt when there is no room.
std::optional<int64_t> keepAttachment(FeedbackStore& shared, std::string fileName,
                                      std::string contentType, std::string bytes) {
    const auto key = randomKey();
    if (!key)
        return std::nullopt;
    const size_t cost =
        kKeptValueBytes + key->size() + fileName.size() + contentType.size() + bytes.size();
    const int64_t id = shared.nextId++;
    if (!shared.attachments.keep(
            {id, *key, std::move(fileName), std::move(contentType), std::move(bytes)}, cost))
        return std::nullopt;
    const Attachment& kept = shared.attachments.newest();
    shared.attachmentsById[id] = &kept;
    shared.attachmentsByKey[kept.key] = &kept;
    return id;
}

// Takes back the attachments just kept for a message that finds no room.
void forgetAttachments(FeedbackStore& shared, const std::vector<int64_t>& ids) {
    while (!shared.attachments.empty() &&
           std::find(ids.begin(), ids.end(), shared.attachments.newest().id) != ids.end())
        shared.attachments.forgetNewest();
}

// The thread of the token, made when it is new.
Thread& threadOf(FeedbackStore& shared, const std::string& token) {
    const auto [thread, made] = shared.threads.try_emplace(token);
    if (made) {
        thread->second.age = shared.nextAge++;
        shared.threadsByAge[thread->second.age] = token;
    }
    return thread->second;
}

// Adds the message to its thread within the threads' bound and the budget,
// older threads going first; false when there is no room.
bool keepMessage(FeedbackStore& shared, const std::string& token, Message message) {
    message.cost = messageCost(message);
    while (shared.threadBytes + message.cost > kThreadBytes && forgetOldestThread(shared, token)) {
    }
    while (!shared.memory->take(message.cost)) {
        if (!forgetOldestThread(shared, token))
            return false;
    }
    Thread& thread = threadOf(shared, token);
    thread.cost += message.cost;
    shared.threadBytes += message.cost;
    thread.messages.push_back(std::move(message));
    return true;
}

void forgetAll() {
    FeedbackStore& shared = store();
    std::lock_guard lock(shared.mutex);
    while (!shared.threads.empty())
        forgetThread(shared, shared.threads.begin());
    shared.attachments.forgetAll();
    shared.nextToken.reset();
    shared.nextBody.reset();
}

std::string nowRFC3339() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string baseURL(const httplib::Request& request) {
    return "http://" + request.get_header_value("Host") + "/";
}

nlohmann::json threadJSON(const std::string& token, const std::vector<Message>& messages,
                          const std::string& base) {
    auto& shared = store();
    nlohmann::json list = nlohmann::json::array();
    for (const Message& message : messages) {
        nlohmann::json attachments = nlohmann::json::array();
        for (const int64_t id : message.attachments) {
            const auto kept = shared.attachmentsById.find(id);
            if (kept == shared.attachmentsById.end())
                continue;
            const Attachment& attachment = *kept->second;
            attachments.push_back({{"id", id},
                                   {"file_name", attachment.fileName},
                                   {"content_type", attachment.contentType},
                                   {"url", base + "_feedback/attachments/" + attachment.key}});
        }
        list.push_back({{"id", message.id},
                        {"token", message.token},
                        {"text", message.text},
                        {"clean_text", message.text},
                        {"name", message.name},
                        {"email", message.email},
                        {"created_at", message.createdAt},
                        {"attachments", attachments}});
    }
    return {{"status", "success"}, {"token", token}, {"feedback", {{"messages", list}}}};
}

void checkQuery(SdkExchange& exchange) {
    const auto& request = exchange.request;
    if (request.get_param_value("format") != "json")
        exchange.violation("format is not json");
    if (request.get_param_value("sdk") != "ZizavaSDK")
        exchange.violation("sdk is not ZizavaSDK");
    if (request.get_param_value("sdk_version").empty())
        exchange.violation("sdk_version missing");
    if (!request.has_param("bundle_version"))
        exchange.violation("bundle_version missing");
    if (request.has_param("last_message_id")) {
        const std::string last = request.get_param_value("last_message_id");
        if (last.empty() || last.find_first_not_of("0123456789") != std::string::npos)
            exchange.violation("last_message_id is not a number");
    }
    exchange.expectHeader("User-Agent", "Zizava/iOS");
}

// Reads the message of a POST or PUT into `message`; false on a violation.
// Its attachments are kept once the message is taken.
bool readMessage(SdkExchange& exchange, Message& message) {
    if (!exchange.expectMultipart())
        return false;
    for (const char* name : {"oem", "os_version", "model", "bundle_version", "message_token"})
        exchange.expectField(name);
    const auto& files = exchange.request.files;
    nlohmann::json fields = nlohmann::json::object();
    for (const auto& [name, part] : files) {
        if (name.rfind("attachment", 0) == 0)
            continue;
        if (!part.filename.empty())
            exchange.violation("field " + name + " carries a file name");
        fields[name] = part.content;
    }
    static const std::set<std::string> known = {
        "oem",           "os_version",     "model",       "lang", "bundle_version", "text",
        "message_token", "install_string", "user_string", "name", "email"};
    for (const auto& [name, value] : fields.items()) {
        if (!known.count(name))
            exchange.violation("unexpected field " + name);
    }
    if (!exchange.violations.empty())
        return false;
    message.token = fields.value("message_token", "");
    message.text = fields.value("text", "");
    message.name = fields.contains("name") ? fields["name"] : nlohmann::json();
    message.email = fields.contains("email") ? fields["email"] : nlohmann::json();
    message.createdAt = nowRFC3339();
    message.fields = fields;
    return true;
}

// Keeps the message's attachments and then the message; false, keeping
// nothing, when there is no room for them.
bool keepWithAttachments(SdkExchange& exchange, FeedbackStore& shared, const std::string& token,
                         Message message) {
    const auto& files = exchange.request.files;
    for (int index = 0; files.count("attachment" + std::to_string(index)); ++index) {
        const auto& part = files.find("attachment" + std::to_string(index))->second;
        const auto id = keepAttachment(shared, part.filename, part.content_type, part.content);
        if (!id) {
            forgetAttachments(shared, message.attachments);
            return false;
        }
        message.attachments.push_back(*id);
    }
    const std::vector<int64_t> attachments = message.attachments;
    message.id = shared.nextId++;
    if (keepMessage(shared, token, std::move(message)))
        return true;
    forgetAttachments(shared, attachments);
    return false;
}

void answer(SdkExchange& exchange, FeedbackStore& shared, const std::string& token) {
    exchange.contentType = "application/json";
    if (shared.nextBody) {
        exchange.body = *std::exchange(shared.nextBody, std::nullopt);
        return;
    }
    exchange.body =
        threadJSON(token, threadOf(shared, token).messages, baseURL(exchange.request)).dump();
}

void serveThread(SdkExchange& exchange, bool create) {
    checkQuery(exchange);
    auto& shared = store();
    std::lock_guard lock(shared.mutex);
    std::string token;
    if (create) {
        const auto made =
            shared.nextToken ? std::exchange(shared.nextToken, std::nullopt) : randomKey();
        if (!made) {
            exchange.status = 503;
            return;
        }
        token = *made;
    } else {
        token = exchange.match[2];
        if (!shared.threads.count(token)) {
            exchange.status = 404;
            return;
        }
    }
    const std::string& method = exchange.request.method;
    if (method != "GET") {
        Message message;
        if (!readMessage(exchange, message))
            return;
        if (const auto thread = shared.threads.find(token); thread != shared.threads.end()) {
            for (const Message& stored : thread->second.messages) {
                if (stored.token == message.token) {
                    exchange.status = 409;
                    return;
                }
            }
        }
        if (!keepWithAttachments(exchange, shared, token, std::move(message))) {
            exchange.status = 503;
            return;
        }
        exchange.status = create ? 201 : 200;
    }
    answer(exchange, shared, token);
}

void addControls(httplib::Server& server) {
    server.Get("/_feedback/threads",
               [](const httplib::Request& request, httplib::Response& response) {
                   auto& shared = store();
                   std::lock_guard lock(shared.mutex);
                   nlohmann::json threads = nlohmann::json::object();
                   for (const auto& [token, kept] : shared.threads) {
                       const auto& messages = kept.messages;
                       nlohmann::json thread = threadJSON(token, messages, baseURL(request));
                       for (size_t i = 0; i < messages.size(); ++i)
                           thread["feedback"]["messages"][i]["fields"] = messages[i].fields;
                       threads[token] = thread;
                   }
                   response.set_content(threads.dump(), "application/json");
               });
    server.Get(R"(/_feedback/attachments/([0-9a-f]{32}))",
               [](const httplib::Request& request, httplib::Response& response) {
                   auto& shared = store();
                   std::lock_guard lock(shared.mutex);
                   const auto found = shared.attachmentsByKey.find(request.matches[1].str());
                   if (found == shared.attachmentsByKey.end()) {
                       response.status = 404;
                       response.set_content("<html>no such attachment</html>", "text/html");
                       return;
                   }
                   response.set_content(found->second->bytes, found->second->contentType.c_str());
               });
    server.Post("/_feedback/reply", [](const httplib::Request& request,
                                       httplib::Response& response) {
        auto& shared = store();
        std::lock_guard lock(shared.mutex);
        const std::string token = request.get_param_value("thread");
        if (!shared.threads.count(token)) {
            response.status = 404;
            return;
        }
        Message reply;
        reply.id = shared.nextId++;
        reply.text = request.get_param_value("text");
        reply.createdAt = nowRFC3339();
        if (!request.body.empty()) {
            const auto id = keepAttachment(shared, request.get_param_value("file_name"),
                                           request.get_param_value("content_type"), request.body);
            if (!id) {
                response.status = 503;
                return;
            }
            reply.attachments.push_back(*id);
        }
        const std::vector<int64_t> attachments = reply.attachments;
        if (!keepMessage(shared, token, std::move(reply))) {
            forgetAttachments(shared, attachments);
            response.status = 503;
        }
    });
    server.Post("/_feedback/delete", [](const httplib::Request& request, httplib::Response&) {
        auto& shared = store();
        std::lock_guard lock(shared.mutex);
        if (const auto thread = shared.threads.find(request.get_param_value("thread"));
            thread != shared.threads.end())
            forgetThread(shared, thread);
    });
    server.Post("/_feedback/token", [](const httplib::Request& request, httplib::Response&) {
        auto& shared = store();
        std::lock_guard lock(shared.mutex);
        shared.nextToken = request.get_param_value("value");
    });
    server.Post("/_feedback/next-body", [](const httplib::Request& request, httplib::Response&) {
        auto& shared = store();
        std::lock_guard lock(shared.mutex);
        shared.nextBody = request.body;
    });
}

}  // namespace

void addFeedbackEndpoint(SdkService& service) {
    const std::string base = R"(/api/2/apps/([^/]+)/feedback)";
    service.addEndpoint("POST", base,
                        [](SdkService&, SdkExchange& exchange) { serveThread(exchange, true); });
    for (const char* method : {"PUT", "GET"}) {
        service.addEndpoint(method, base + "/([^/]+)", [](SdkService&, SdkExchange& exchange) {
            serveThread(exchange, false);
        });
    }
    {
        std::lock_guard lock(store().mutex);
        store().memory = &service.memory();
        store().attachments.useBudget(service.memory());
    }
    addControls(service.server());
    service.addResetAction(forgetAll);
}
