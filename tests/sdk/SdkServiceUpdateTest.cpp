#include <gtest/gtest.h>

#include "Foundation/NSJSONSerialization.h"
#include "Net/NSURLConnection.h"
#include "SdkServiceProcess.h"
#include "SdkTestSupport.h"

namespace {

constexpr const char* kApp = "0123456789abcdef0123456789abcdef";
constexpr const char* kQuery =
    "?format=json&extended=true&sdk=ZizavaSDK&sdk_version=4.1.4&uuid="
    "00112233445566778899aabbccddeeff";

struct Reply {
    long status = 0;
    std::string body;
};

Reply get(const SdkServiceProcess& service, const std::string& path) {
    NSMutableURLRequest request(*NSURL::URLWithString(service.baseURL() + path));
    request.setValueForHTTPHeaderField("Zizava/iOS", "User-Agent");
    std::optional<NSHTTPURLResponse> response;
    const auto data = NSURLConnection::sendSynchronousRequest(request, &response);
    return {response ? response->statusCode() : 0,
            data ? std::string(data->begin(), data->end()) : std::string()};
}

}  // namespace

TEST(SdkServiceBeta, CheckListsTheBuildsNewestFirstAndUnknownAppsAre404) {
    SdkServiceProcess service;
    ASSERT_TRUE(service.running());
    EXPECT_EQ(get(service, std::string("api/2/apps/") + kApp + kQuery).status, 404);
    ASSERT_EQ(service.setBuilds(kApp, R"({"company": "Kelvara Ltd", "versions": [
        {"title": "Kelvara", "version": "41", "timestamp": 1000, "id": 7},
        {"title": "Kelvara", "version": "43", "timestamp": 3000, "id": 9},
        {"title": "Kelvara", "version": "42", "timestamp": 2000, "id": 8}]})"),
              200);
    const Reply reply = get(service, std::string("api/2/apps/") + kApp + kQuery);
    ASSERT_EQ(reply.status, 200);
    const auto json =
        NSJSONSerialization::JSONObjectWithData(Value::Data(reply.body.begin(), reply.body.end()));
    ASSERT_TRUE(json);
    EXPECT_EQ(*json->get("company")->stringValue(), "Kelvara Ltd");
    const Value* versions = json->get("versions");
    ASSERT_EQ(versions->count(), 3u);
    EXPECT_EQ(*versions->at(0)->get("version")->stringValue(), "43");
    EXPECT_EQ(*versions->at(2)->get("version")->stringValue(), "41");

    // A query off the protocol is noticed.
    EXPECT_EQ(get(service, std::string("api/2/apps/") + kApp + "?format=xml").status, 422);
    EXPECT_EQ(service.setBuilds(kApp, R"({"versions": 3})"), 400);
}

TEST(SdkServiceBeta, ManifestNamesTheBuildsPackage) {
    SdkServiceProcess service;
    ASSERT_TRUE(service.running());
    ASSERT_EQ(service.setBuilds(kApp, R"({"versions": [
        {"title": "Kelvara & Maps", "version": "43", "shortversion": "1.1", "timestamp": 3000,
         "id": 9, "package_url": "http://127.0.0.1:1/kelvara-1.1.deb"}]})"),
              200);
    const Reply manifest =
        get(service, std::string("api/2/apps/") + kApp + "/app_versions/9?format=plist");
    ASSERT_EQ(manifest.status, 200);
    EXPECT_NE(manifest.body.find("<string>http://127.0.0.1:1/kelvara-1.1.deb</string>"),
              std::string::npos);
    EXPECT_NE(manifest.body.find("<string>Kelvara &amp; Maps</string>"), std::string::npos);
    EXPECT_EQ(
        get(service, std::string("api/2/apps/") + kApp + "/app_versions/10?format=plist").status,
        404);
}

TEST(SdkServiceStore, LookupAnswersTheVersionListedForTheBundleAndCountry) {
    SdkServiceProcess service;
    ASSERT_TRUE(service.running());
    const std::string path = "lookup?bundleId=org.kelvara.app&country=DE";
    EXPECT_EQ(get(service, path).body, R"({"resultCount":0,"results":[]})");
    service.setStoreVersion("org.kelvara.app", "de", "2.1");
    service.setStoreVersion("org.kelvara.app", "us", "2.0");
    const Reply reply = get(service, path);
    ASSERT_EQ(reply.status, 200);
    const auto json = NSJSONSerialization::JSONObjectWithData(
        Value::Data(reply.body.begin(), reply.body.end()));
    ASSERT_TRUE(json);
    const Value* first = json->get("results")->at(0);
    EXPECT_EQ(*first->get("version")->stringValue(), "2.1");
    const std::string page = *first->get("trackViewUrl")->stringValue();
    ASSERT_EQ(page.rfind(service.baseURL(), 0), 0u);
    const Reply store = get(service, page.substr(service.baseURL().size()));
    EXPECT_EQ(store.status, 200);
    EXPECT_NE(store.body.find("Version 2.1"), std::string::npos);
    EXPECT_EQ(get(service, "lookup?country=de").status, 422);
}
