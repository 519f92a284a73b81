#include "StoreEndpoint.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <utility>

#include "SdkService.h"

namespace {

struct StoreListing {
    std::mutex mutex;
    // (bundle id, country) -> version
    std::map<std::pair<std::string, std::string>, std::string> versions;
};

StoreListing& listing() {
    static StoreListing shared;
    return shared;
}

// Store countries are matched without regard to case, as the store does.
std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string htmlEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

void serveLookup(SdkService&, SdkExchange& exchange) {
    const auto& request = exchange.request;
    if (!request.has_param("bundleId") || request.get_param_value("bundleId").empty())
        exchange.violation("query parameter bundleId is missing");
    if (!request.has_param("country") || request.get_param_value("country").empty())
        exchange.violation("query parameter country is missing");
    const std::string bundle = request.get_param_value("bundleId");
    const std::string country = lowered(request.get_param_value("country"));
    nlohmann::json results = nlohmann::json::array();
    {
        std::lock_guard lock(listing().mutex);
        const auto found = listing().versions.find({bundle, country});
        if (found != listing().versions.end())
            results.push_back({{"bundleId", bundle},
                               {"version", found->second},
                               {"trackViewUrl", "http://" + request.get_header_value("Host") +
                                                    "/store/" + bundle + "?country=" + country}});
    }
    exchange.contentType = "application/json";
    exchange.body = nlohmann::json{{"resultCount", results.size()}, {"results", results}}.dump();
}

void serveStorePage(SdkService&, SdkExchange& exchange) {
    const std::string bundle = exchange.match[1];
    const std::string country = lowered(exchange.request.get_param_value("country"));
    std::string version;
    {
        std::lock_guard lock(listing().mutex);
        const auto found = listing().versions.find({bundle, country});
        if (found == listing().versions.end()) {
            exchange.status = 404;
            exchange.body = "not in the store";
            return;
        }
        version = found->second;
    }
    exchange.contentType = "text/html";
    exchange.body = "<!DOCTYPE html><html><head><title>" + htmlEscaped(bundle) +
                    "</title></head><body><h1>" + htmlEscaped(bundle) + "</h1><p>Version " +
                    htmlEscaped(version) + "</p></body></html>";
}

}  // namespace

void addStoreEndpoint(SdkService& service) {
    service.addEndpoint("GET", "/lookup", serveLookup);
    service.addEndpoint("GET", R"(/store/([^/]+))", serveStorePage);
    service.server().Post(
        "/_control/store", [](const httplib::Request& request, httplib::Response& response) {
            const std::string bundle = request.get_param_value("bundleId");
            const std::string country = lowered(request.get_param_value("country"));
            const std::string version = request.get_param_value("version");
            if (bundle.empty() || country.empty() || version.empty()) {
                response.status = 400;
                response.set_content("bundleId, country and version are needed", "text/plain");
                return;
            }
            std::lock_guard lock(listing().mutex);
            listing().versions[{bundle, country}] = version;
        });
}
