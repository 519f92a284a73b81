#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>

#include "FeedbackEndpoint.h"
#include "LocalServing.h"
#include "SdkService.h"

// The feedback protocol:
//   POST api/2/apps/{id}/feedback          a new thread with its first message
//   PUT  api/2/apps/{id}/feedback/{token}  a message (409 when its message_token is stored)
//   GET  api/2/apps/{id}/feedback/{token}  the thread (404 for an unknown one)
// Answers are {"status": "success", "token": T, "feedback": {"messages": [...]}}.
//
// Controls:
//   GET  /_feedback/threads                     every thread as the service keeps it
//   GET  /_feedback/attachments/{n}             an attachment's bytes (the URLs in answers)
//   POST /_feedback/reply?thread=T&text=...[&file_name=F&content_type=C]
//        a developer reply with null name and e-mail; the body, when not empty, is its file
//   POST /_feedback/delete?thread=T             forgets a thread
//   POST /_feedback/token?value=V               the next new thread gets this token
//   POST /_feedback/next-body                   the next feedback answer carries this body
// The service keeps the latest kAttachmentBytes of attachments: older ones
// are dropped from their messages and their URLs answer 404. POST
// /_control/reset forgets every thread and attachment.
namespace {

constexpr size_t kAttachmentBytes = 64 * 1024 * 1024;

struct Attachment {
    int64_t id = 0;
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
};

struct FeedbackStore {
    std::mutex mutex;
    std::map<std::string, std::vector<Message>> threads;
    std::map<int64_t, Attachment> attachments;  // oldest first: identifiers only grow
    size_t attachmentBytes = 0;
    int64_t nextId = 1;
    int64_t nextThread = 1;
    std::optional<std::string> nextToken;
    std::optional<std::string> nextBody;
};

FeedbackStore& store() {
    static FeedbackStore shared;
    return shared;
}

// Keeps an attachment, dropping the oldest ones past the bound; answers its identifier.
int64_t keepAttachment(FeedbackStore& shared, std::string fileName, std::string contentType,
                       std::string bytes) {
    const int64_t id = shared.nextId++;
    shared.attachmentBytes += bytes.size();
    shared.attachments[id] = {id, std::move(fileName), std::move(contentType), std::move(bytes)};
    while (shared.attachmentBytes > kAttachmentBytes) {
        const auto oldest = shared.attachments.begin();
        shared.attachmentBytes -= oldest->second.bytes.size();
        shared.attachments.erase(oldest);
    }
    return id;
}

void forgetAll() {
    FeedbackStore& shared = store();
    std::lock_guard lock(shared.mutex);
    shared.threads.clear();
    shared.attachments.clear();
    shared.attachmentBytes = 0;
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
            const auto kept = shared.attachments.find(id);
            if (kept == shared.attachments.end())
                continue;
            const Attachment& attachment = kept->second;
            attachments.push_back({{"id", id},
                                   {"file_name", attachment.fileName},
                                   {"content_type", attachment.contentType},
                                   {"url", base + "_feedback/attachments/" + std::to_string(id)}});
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
bool readMessage(SdkExchange& exchange, Message& message, FeedbackStore& shared) {
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
    for (int index = 0; files.count("attachment" + std::to_string(index)); ++index) {
        const auto& part = files.find("attachment" + std::to_string(index))->second;
        message.attachments.push_back(
            keepAttachment(shared, part.filename, part.content_type, part.content));
    }
    return true;
}

void answer(SdkExchange& exchange, FeedbackStore& shared, const std::string& token) {
    exchange.contentType = "application/json";
    if (shared.nextBody) {
        exchange.body = *std::exchange(shared.nextBody, std::nullopt);
        return;
    }
    exchange.body = threadJSON(token, shared.threads[token], baseURL(exchange.request)).dump();
}

void serveThread(SdkExchange& exchange, bool create) {
    checkQuery(exchange);
    auto& shared = store();
    std::lock_guard lock(shared.mutex);
    std::string token;
    if (create) {
        token = shared.nextToken ? *std::exchange(shared.nextToken, std::nullopt)
                                 : "thread" + std::to_string(shared.nextThread++);
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
        message.id = 0;
        if (!readMessage(exchange, message, shared))
            return;
        for (const Message& stored : shared.threads[token]) {
            if (stored.token == message.token) {
                exchange.status = 409;
                return;
            }
        }
        message.id = shared.nextId++;
        shared.threads[token].push_back(std::move(message));
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
                   for (const auto& [token, messages] : shared.threads) {
                       nlohmann::json thread = threadJSON(token, messages, baseURL(request));
                       for (size_t i = 0; i < messages.size(); ++i)
                           thread["feedback"]["messages"][i]["fields"] = messages[i].fields;
                       threads[token] = thread;
                   }
                   response.set_content(threads.dump(), "application/json");
               });
    server.Get(R"(/_feedback/attachments/(\d+))",
               [](const httplib::Request& request, httplib::Response& response) {
                   auto& shared = store();
                   std::lock_guard lock(shared.mutex);
                   // A number too large for an identifier names no attachment.
                   const auto id = parseDecimal(request.matches[1].str());
                   const auto found = id && *id <= INT64_MAX
                                          ? shared.attachments.find(static_cast<int64_t>(*id))
                                          : shared.attachments.end();
                   if (found == shared.attachments.end()) {
                       response.status = 404;
                       response.set_content("<html>no such attachment</html>", "text/html");
                       return;
                   }
                   response.set_content(found->second.bytes, found->second.contentType.c_str());
               });
    server.Post("/_feedback/reply",
                [](const httplib::Request& request, httplib::Response& response) {
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
                        reply.attachments.push_back(
                            keepAttachment(shared, request.get_param_value("file_name"),
                                           request.get_param_value("content_type"), request.body));
                    }
                    shared.threads[token].push_back(std::move(reply));
                });
    server.Post("/_feedback/delete", [](const httplib::Request& request, httplib::Response&) {
        auto& shared = store();
        std::lock_guard lock(shared.mutex);
        shared.threads.erase(request.get_param_value("thread"));
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
    addControls(service.server());
    service.addResetAction(forgetAll);
}
