#include <mutex>
#include <set>

#include "FeedbackAnswer.h"
#include "FeedbackEndpoint.h"
#include "FeedbackStore.h"
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
// The service keeps the latest attachments and threads (FeedbackStore):
// older ones are forgotten (an attachment's URL then answers 404, a thread's
// 404 as well, and a thread names the attachments it lost as gone). A
// message is answered 2xx only when all of it is kept: one the service has
// no room for is answered 503 and kept by the client for later, one larger
// than the service keeps 413. A message sent again whose attachments are
// no longer all kept takes the place of the one kept before; sent again
// whole, it is a conflict (409). POST /_control/reset forgets every thread
// and attachment.
namespace {

FeedbackStore& store() {
    static FeedbackStore shared;
    return shared;
}

std::string baseURL(const httplib::Request& request) {
    return "http://" + request.get_header_value("Host") + "/";
}

// Answers with the thread, made within the budget; false when it has no room.
bool answerThread(SdkExchange& exchange, FeedbackStore& shared, MemoryBudget& memory,
                  const std::string& token) {
    exchange.contentType = "application/json";
    if (shared.nextBody) {
        exchange.body = *std::exchange(shared.nextBody, std::nullopt);
        return true;
    }
    const FeedbackThread& thread = shared.threads().at(token);
    const std::string base = baseURL(exchange.request);
    exchange.heldBody = JsonText::make(
        memory, [&](JsonText& json) { writeFeedbackThread(json, shared, token, thread, base); });
    return exchange.heldBody != nullptr;
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

// Reads the message of a POST or PUT, without copying its texts; false on a violation.
bool readMessage(SdkExchange& exchange, FeedbackDraft& draft) {
    if (!exchange.expectMultipart())
        return false;
    for (const char* name : {"oem", "os_version", "model", "bundle_version", "message_token"})
        exchange.expectField(name);
    static const std::set<std::string> known = {
        "oem",           "os_version",     "model",       "lang", "bundle_version", "text",
        "message_token", "install_string", "user_string", "name", "email"};
    const auto& files = exchange.request.files;
    for (const auto& [name, part] : files) {
        if (name.rfind("attachment", 0) == 0)
            continue;
        if (!part.filename.empty())
            exchange.violation("field " + name + " carries a file name");
        if (!known.count(name))
            exchange.violation("unexpected field " + name);
    }
    if (!exchange.violations.empty())
        return false;
    for (const auto& [name, part] : files) {
        if (name.rfind("attachment", 0) == 0)
            continue;
        const std::string_view value = part.content;
        if (name == "text")
            draft.text = value;
        else
            draft.fields.emplace_back(name, value);
        if (name == "message_token")
            draft.token = value;
        else if (name == "name")
            draft.name = value;
        else if (name == "email")
            draft.email = value;
    }
    for (int index = 0; files.count("attachment" + std::to_string(index)); ++index) {
        const auto& part = files.find("attachment" + std::to_string(index))->second;
        draft.files.push_back({part.filename, part.content_type, part.content});
    }
    return true;
}

// The index of the thread's message sent under the draft's message token.
std::optional<size_t> sentBefore(const FeedbackStore& shared, const std::string& token,
                                 const FeedbackDraft& draft) {
    const auto thread = shared.threads().find(token);
    if (thread == shared.threads().end())
        return std::nullopt;
    const auto& messages = thread->second.messages;
    for (size_t i = 0; i < messages.size(); ++i) {
        if (messages[i].token && draft.token && *messages[i].token == *draft.token)
            return i;
    }
    return std::nullopt;
}

void refuse(SdkExchange& exchange, FeedbackStore::Outcome outcome) {
    if (outcome == FeedbackStore::Outcome::TooLarge) {
        exchange.status = 413;
        exchange.violation("message larger than the service keeps");
    } else {
        exchange.status = 503;
    }
}

void serveThread(SdkService& service, SdkExchange& exchange, bool create) {
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
        if (!shared.threads().count(token)) {
            exchange.status = 404;
            return;
        }
    }
    if (exchange.request.method == "GET") {
        if (!answerThread(exchange, shared, service.memory(), token))
            exchange.status = 503;
        return;
    }
    FeedbackDraft draft;
    if (!readMessage(exchange, draft) || exchange.failureOrdered())
        return;
    const auto before = sentBefore(shared, token, draft);
    if (before && shared.whole(shared.threads().at(token).messages[*before])) {
        exchange.status = 409;
        return;
    }
    const auto outcome = before ? shared.refill(token, *before, draft) : shared.keep(token, draft);
    if (outcome != FeedbackStore::Outcome::Kept) {
        refuse(exchange, outcome);
        return;
    }
    if (!answerThread(exchange, shared, service.memory(), token)) {
        shared.takeBack();
        exchange.status = 503;
        return;
    }
    shared.confirm();
    exchange.status = create ? 201 : 200;
}

// Every thread with its messages' fields, made within the budget.
void answerThreads(SdkService& service, const httplib::Request& request,
                   httplib::Response& response) {
    auto& shared = store();
    std::lock_guard lock(shared.mutex);
    const std::string base = baseURL(request);
    auto held = JsonText::make(service.memory(), [&](JsonText& json) {
        json.raw("{");
        bool first = true;
        for (const auto& [token, thread] : shared.threads()) {
            json.raw(first ? "" : ",").string(token).raw(":");
            writeFeedbackThread(json, shared, token, thread, base, true);
            first = false;
        }
        json.raw("}");
    });
    if (!held) {
        response.status = 503;
        return;
    }
    answerWith(response, std::move(held), "application/json");
}

void addControls(SdkService& service) {
    httplib::Server& server = service.server();
    server.Get("/_feedback/threads",
               [&service](const httplib::Request& request, httplib::Response& response) {
                   answerThreads(service, request, response);
               });
    server.Get(R"(/_feedback/attachments/([0-9a-f]{32}))",
               [](const httplib::Request& request, httplib::Response& response) {
                   auto& shared = store();
                   std::lock_guard lock(shared.mutex);
                   const auto* found = shared.attachmentWithKey(request.matches[1].str());
                   if (!found) {
                       response.status = 404;
                       response.set_content("<html>no such attachment</html>", "text/html");
                       return;
                   }
                   answerWith(response, found->bytes, found->contentType);
               });
    server.Post("/_feedback/reply",
                [](const httplib::Request& request, httplib::Response& response) {
                    auto& shared = store();
                    std::lock_guard lock(shared.mutex);
                    const std::string token = request.get_param_value("thread");
                    if (!shared.threads().count(token)) {
                        response.status = 404;
                        return;
                    }
                    const std::string text = request.get_param_value("text");
                    const std::string fileName = request.get_param_value("file_name");
                    const std::string contentType = request.get_param_value("content_type");
                    FeedbackDraft reply;
                    reply.text = text;
                    if (!request.body.empty())
                        reply.files.push_back({fileName, contentType, request.body});
                    const auto outcome = shared.keep(token, reply);
                    if (outcome == FeedbackStore::Outcome::Kept)
                        shared.confirm();
                    else
                        response.status = outcome == FeedbackStore::Outcome::TooLarge ? 413 : 503;
                });
    server.Post("/_feedback/delete", [](const httplib::Request& request, httplib::Response&) {
        auto& shared = store();
        std::lock_guard lock(shared.mutex);
        shared.forgetThread(request.get_param_value("thread"));
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
    service.addEndpoint("POST", base, [](SdkService& service, SdkExchange& exchange) {
        serveThread(service, exchange, true);
    });
    for (const char* method : {"PUT", "GET"}) {
        service.addEndpoint(method, base + "/([^/]+)",
                            [](SdkService& service, SdkExchange& exchange) {
                                serveThread(service, exchange, false);
                            });
    }
    {
        std::lock_guard lock(store().mutex);
        store().useBudget(service.memory());
    }
    addControls(service);
    service.addResetAction([] {
        std::lock_guard lock(store().mutex);
        store().forgetAll();
    });
}
