#include "CrashEndpoint.h"

#include <expat.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "KeptBytes.h"
#include "KeptQueue.h"
#include "SdkService.h"

// POST api/2/apps/<app id>/crashes: a multipart body with the text fields
// sdk, sdk_version and feedbackEnabled, the report document "xml" (text/xml,
// crash.xml) and an optional "attachment0". The document is parsed with
// expat; one that is not well-formed, or not the crash document, is answered
// 400 as the service does. An accepted report is answered 201 with a
// property list holding its id, and kept: GET /_crashes lists the latest
// accepted reports as {"id", "values": {element: text}, "uuids": [{type,
// arch, uuid}], "attachment": {filename, content_type, length} or null}. A
// report the service has no room to keep is answered 503, one larger than
// it keeps 413.
namespace {

const std::vector<std::string> kElements = {
    "applicationname", "uuids",         "bundleidentifier", "systemversion", "platform",
    "senderversion",   "versionstring", "version",          "uuid",          "log",
    "userid",          "username",      "contact",          "installstring", "description"};

// The latest reports, as many as fit in kCrashBytes.
constexpr size_t kCrashBytes = 16 * 1024 * 1024;

struct CrashStore {
    std::mutex mutex;
    KeptQueue<nlohmann::json> crashes{kCrashBytes};
    size_t nextId = 1;
};

CrashStore& store() {
    static CrashStore shared;
    return shared;
}

// Reads the document into values; the first departure from its shape is the error.
struct CrashDocument {
    nlohmann::json values = nlohmann::json::object();
    nlohmann::json uuids = nlohmann::json::array();
    std::vector<std::string> path;
    std::string text;
    std::string error;
    size_t crashCount = 0;

    void start(const std::string& name, const char** attributes) {
        const size_t depth = path.size();
        if (depth == 0 && name != "crashes")
            fail("root element is " + name);
        else if (depth == 1 && name != "crash")
            fail("unexpected element " + name + " in crashes");
        else if (depth == 2 &&
                 std::find(kElements.begin(), kElements.end(), name) == kElements.end())
            fail("unexpected element " + name + " in crash");
        else if (depth == 2 && values.contains(name))
            fail("element " + name + " appears twice");
        else if (depth == 3 && !(path.back() == "uuids" && name == "uuid"))
            fail("unexpected element " + name + " in " + path.back());
        else if (depth > 3)
            fail("unexpected element " + name);
        if (depth == 1)
            ++crashCount;
        if (depth == 3) {
            nlohmann::json uuid = nlohmann::json::object();
            for (size_t i = 0; attributes[i]; i += 2)
                uuid[attributes[i]] = attributes[i + 1];
            uuids.push_back(uuid);
        }
        path.push_back(name);
        text.clear();
    }

    void end() {
        if (path.size() == 4)
            uuids.back()["uuid"] = text;
        else if (path.size() == 3 && path.back() != "uuids")
            values[path.back()] = std::move(text);
        path.pop_back();
        text.clear();
    }

    void fail(const std::string& message) {
        if (error.empty())
            error = message;
    }
};

std::string parse(const std::string& xml, CrashDocument& document) {
    XML_Parser parser = XML_ParserCreate("UTF-8");
    XML_SetUserData(parser, &document);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            static_cast<CrashDocument*>(data)->start(name, attributes);
        },
        [](void* data, const XML_Char*) { static_cast<CrashDocument*>(data)->end(); });
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
        static_cast<CrashDocument*>(data)->text.append(text, static_cast<size_t>(length));
    });
    std::string error;
    if (XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_ERROR)
        error = std::string("not well-formed XML: ") + XML_ErrorString(XML_GetErrorCode(parser)) +
                " at line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
                std::to_string(XML_GetCurrentColumnNumber(parser));
    XML_ParserFree(parser);
    if (error.empty())
        error = document.error;
    if (error.empty() && document.crashCount != 1)
        error = std::to_string(document.crashCount) + " crash elements";
    for (const std::string& name : kElements) {
        if (error.empty() && !document.values.contains(name) && name != "uuids")
            error = "element " + name + " missing";
    }
    return error;
}

}  // namespace

void addCrashEndpoint(SdkService& service) {
    {
        std::lock_guard lock(store().mutex);
        store().crashes.useBudget(service.memory());
    }
    service.addEndpoint(
        "POST", R"(/api/2/apps/([^/]+)/crashes)", [](SdkService& service, SdkExchange& exchange) {
            const std::string app = exchange.appIdentifier();
            if (!exchange.request.params.empty())
                exchange.violation("unexpected query string");
            exchange.expectHeader("User-Agent", "ZizavaSDK/iOS");
            exchange.expectHeader("Accept-Encoding", "gzip");
            if (!exchange.expectMultipart())
                return;
            exchange.expectField("sdk", "ZizavaSDK");
            exchange.expectField("sdk_version", "4.1.4");
            exchange.expectField("feedbackEnabled", "no");
            exchange.expectOnlyFields(
                {"sdk", "sdk_version", "feedbackEnabled", "xml", "attachment0"});
            const auto xml = exchange.request.files.find("xml");
            if (xml == exchange.request.files.end() || exchange.request.files.count("xml") != 1) {
                exchange.violation("field xml missing or repeated");
                return;
            }
            if (xml->second.content_type != "text/xml" || xml->second.filename != "crash.xml")
                exchange.violation("field xml is not text/xml named crash.xml");
            if (!exchange.violations.empty())
                return;
            // The document's texts, read into the report, are at most as long as it.
            const MemoryHold reading(service.memory(), xml->second.content.size());
            if (!reading) {
                exchange.status = 503;
                return;
            }
            CrashDocument document;
            const std::string error = parse(xml->second.content, document);
            if (!error.empty()) {
                exchange.violation("crash document: " + error);
                exchange.status = 400;
                exchange.body = "Invalid crash report";
                return;
            }
            if (exchange.failureOrdered())
                return;
            nlohmann::json attachment = nullptr;
            if (const auto found = exchange.request.files.find("attachment0");
                found != exchange.request.files.end())
                attachment = {{"filename", found->second.filename},
                              {"content_type", found->second.content_type},
                              {"length", found->second.content.size()}};
            std::lock_guard lock(store().mutex);
            const size_t id = store().nextId;
            nlohmann::json crash = {{"id", id},
                                    {"app", app},
                                    {"values", std::move(document.values)},
                                    {"uuids", std::move(document.uuids)},
                                    {"attachment", attachment}};
            const size_t bytes = keptBytes(crash);
            if (!store().crashes.fits(bytes)) {
                exchange.violation("report larger than the service keeps");
                exchange.status = 413;
                return;
            }
            if (!store().crashes.keep(std::move(crash), bytes)) {
                exchange.status = 503;
                return;
            }
            ++store().nextId;
            exchange.status = 201;
            exchange.contentType = "application/x-plist";
            exchange.body =
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                "<key>id</key><integer>" +
                std::to_string(id) +
                "</integer><key>status</key><string>created</string></dict></plist>\n";
        });
    service.addInspection("/_crashes", [] {
        std::lock_guard lock(store().mutex);
        nlohmann::json crashes = nlohmann::json::array();
        for (const auto& kept : store().crashes)
            crashes.push_back(kept.item);
        return crashes;
    });
}
