#include "BetaEndpoint.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>

#include "SdkService.h"

namespace {

struct BetaStore {
    std::mutex mutex;
    std::map<std::string, nlohmann::json> apps;  // app id -> {"company", "versions"}
};

BetaStore& store() {
    static BetaStore shared;
    return shared;
}

double number(const nlohmann::json& build, const char* key) {
    if (!build.is_object())
        return 0;
    const auto value = build.find(key);
    return value != build.end() && value->is_number() ? value->get<double>() : 0;
}

std::string errorFor(const nlohmann::json& builds) {
    if (!builds.is_object())
        return "builds are not a JSON object";
    if (builds.contains("company") && !builds["company"].is_string())
        return "\"company\" is not text";
    if (!builds.contains("versions") || !builds["versions"].is_array())
        return "\"versions\" is not a list";
    return {};
}

// The service lists the newest upload first: by date, then by its id.
// Elements of any shape are kept, so tests can send the client broken ones.
void setBuilds(SdkService& service, const std::string& app, nlohmann::json builds) {
    auto& versions = builds["versions"];
    std::stable_sort(versions.begin(), versions.end(),
                     [](const nlohmann::json& a, const nlohmann::json& b) {
                         const double ta = number(a, "timestamp"), tb = number(b, "timestamp");
                         return ta != tb ? ta > tb : number(a, "id") > number(b, "id");
                     });
    service.addApp(app);
    std::lock_guard lock(store().mutex);
    store().apps[app] = std::move(builds);
}

std::optional<nlohmann::json> buildsOf(const std::string& app) {
    std::lock_guard lock(store().mutex);
    const auto found = store().apps.find(app);
    if (found == store().apps.end())
        return std::nullopt;
    return found->second;
}

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string text(const nlohmann::json& build, const char* key) {
    const auto value = build.find(key);
    return value != build.end() && value->is_string() ? value->get<std::string>() : std::string();
}

void checkQuery(SdkExchange& exchange) {
    const auto& request = exchange.request;
    const auto expectParam = [&](const std::string& name, const std::string& value) {
        if (!request.has_param(name))
            exchange.violation("query parameter " + name + " is missing");
        else if (!value.empty() && request.get_param_value(name) != value)
            exchange.violation("query parameter " + name + " is \"" +
                               request.get_param_value(name) + "\", expected \"" + value + "\"");
    };
    expectParam("format", "json");
    expectParam("extended", "true");
    expectParam("sdk", "ZizavaSDK");
    expectParam("sdk_version", "");
    expectParam("uuid", "");
    // The usage parameters come all together or not at all.
    if (request.has_param("app_version")) {
        for (const char* name : {"device", "lang", "first_start_at", "usage_time", "os_version"})
            expectParam(name, "");
        expectParam("os", "iOS");
    }
}

void serveCheck(SdkService& service, SdkExchange& exchange) {
    const std::string app = exchange.appIdentifier();
    exchange.expectHeader("User-Agent", "Zizava/iOS");
    checkQuery(exchange);
    const auto builds = buildsOf(app);
    if (!service.knowsApp(app) || !builds) {
        exchange.status = 404;
        exchange.body = "app not found";
        return;
    }
    nlohmann::json reply = *builds;
    if (!reply.contains("company"))
        reply["company"] = nullptr;
    exchange.contentType = "application/json";
    exchange.body = reply.dump();
}

void serveManifest(SdkService&, SdkExchange& exchange) {
    const std::string app = exchange.appIdentifier();
    if (exchange.request.get_param_value("format") != "plist")
        exchange.violation("format is not plist");
    const auto builds = buildsOf(app);
    const std::string id = exchange.match[2];
    const nlohmann::json* build = nullptr;
    if (builds) {
        for (const auto& candidate : (*builds)["versions"])
            if (candidate.is_object() && candidate.contains("id") &&
                candidate["id"].is_number_integer() &&
                std::to_string(candidate["id"].get<long long>()) == id)
                build = &candidate;
    }
    if (!build) {
        exchange.status = 404;
        exchange.body = "build not found";
        return;
    }
    std::string package = text(*build, "package_url");
    if (package.empty())
        package = "http://" + exchange.request.get_header_value("Host") + "/api/2/apps/" + app +
                  "/app_versions/" + id + "/package";
    const std::string identifier =
        text(*build, "bundle_identifier").empty() ? app : text(*build, "bundle_identifier");
    exchange.contentType = "application/xml";
    exchange.body =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\"><dict><key>items</key><array><dict>"
        "<key>assets</key><array><dict><key>kind</key><string>software-package</string>"
        "<key>url</key><string>" +
        xmlEscaped(package) +
        "</string></dict></array><key>metadata</key><dict>"
        "<key>bundle-identifier</key><string>" +
        xmlEscaped(identifier) + "</string><key>bundle-version</key><string>" +
        xmlEscaped(text(*build, "shortversion")) +
        "</string><key>kind</key><string>software</string><key>title</key><string>" +
        xmlEscaped(text(*build, "title")) + "</string></dict></dict></array></dict></plist>\n";
}

}  // namespace

void addBetaEndpoint(SdkService& service) {
    service.addEndpoint("GET", R"(/api/2/apps/([^/]+))", serveCheck);
    service.addEndpoint("GET", R"(/api/2/apps/([^/]+)/app_versions/([0-9]+))", serveManifest);
    service.server().Post("/_control/builds", [&service](const httplib::Request& request,
                                                         httplib::Response& response) {
        const auto builds = nlohmann::json::parse(request.body, nullptr, false);
        const std::string error = errorFor(builds);
        if (!request.has_param("app") || !error.empty()) {
            response.status = 400;
            response.set_content(error.empty() ? "app is missing" : error, "text/plain");
            return;
        }
        setBuilds(service, request.get_param_value("app"), builds);
    });
}

bool loadBetaBuilds(SdkService& service, const std::string& path) {
    std::ifstream file(path);
    const auto apps = nlohmann::json::parse(file, nullptr, false);
    if (!file.is_open() || !apps.is_object()) {
        std::fprintf(stderr, "%s: not a JSON object of apps and their builds\n", path.c_str());
        return false;
    }
    for (const auto& [app, builds] : apps.items()) {
        if (const std::string error = errorFor(builds); !error.empty()) {
            std::fprintf(stderr, "%s: app %s: %s\n", path.c_str(), app.c_str(), error.c_str());
            return false;
        }
    }
    for (const auto& [app, builds] : apps.items())
        setBuilds(service, app, builds);
    return true;
}
