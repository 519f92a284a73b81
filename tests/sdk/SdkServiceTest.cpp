#include <gtest/gtest.h>

#include "Dispatch/NSRunLoop.h"
#include "SdkServiceProcess.h"
#include "SdkTestSupport.h"
#include "sdk/BITZizavaAppClient.h"

namespace {

constexpr const char* kApp = "0123456789abcdef0123456789abcdef";

// Posts through the SDK's client and answers the status (0 on failure).
long post(BITZizavaAppClient& client, const std::string& path,
          const BITZizavaAppClient::Parameters& fields) {
    long status = -1;
    client.postPathParametersCompletion(path, fields, [&](const auto& operation, auto, auto) {
        const auto response = operation->response();
        status = response ? response->statusCode() : 0;
    });
    NSRunLoop::mainRunLoop()->runUntil([&] { return status >= 0; }, 20);
    return status;
}

}  // namespace

// The service is only a fair judge if it notices departures from the protocol.
TEST(SdkService, RequestsOffTheProtocolAreAnswered422AndRecordedWithWhy) {
    SdkServiceProcess service({kApp});
    ASSERT_TRUE(service.running());
    BITZizavaAppClient client(*NSURL::URLWithString(service.baseURL()));
    const std::string path = std::string("api/3/apps/") + kApp + "/integration";

    EXPECT_EQ(post(client, path, {{"timestamp", "1"}, {"sdk", "Other"}, {"sdk_version", "4.1.4"}}),
              422);
    EXPECT_EQ(post(client, "api/3/apps/ABC/integration",
                   {{"timestamp", "1"},
                    {"sdk", "ZizavaSDK"},
                    {"sdk_version", "4.1.4"},
                    {"bundle_version", "1"},
                    {"extra", "x"}}),
              422);
    EXPECT_EQ(post(client, "api/3/unknown", {{"a", "b"}}), 404);
    service.answerNextWith(503);
    EXPECT_EQ(post(client, path,
                   {{"timestamp", "1"},
                    {"sdk", "ZizavaSDK"},
                    {"sdk_version", "4.1.4"},
                    {"bundle_version", "1"}}),
              503);

    const Value received = service.received();
    ASSERT_EQ(received.count(), 4u);
    const auto violations = [&](size_t i) {
        std::string all;
        for (size_t k = 0; k < received.at(i)->get("violations")->count(); ++k)
            all += *received.at(i)->get("violations")->at(k)->stringValue() + "|";
        return all;
    };
    EXPECT_NE(violations(0).find("field sdk is \"Other\""), std::string::npos);
    EXPECT_NE(violations(0).find("field bundle_version appears 0 times"), std::string::npos);
    EXPECT_NE(violations(1).find("is not 32 lower-case hex digits"), std::string::npos);
    EXPECT_NE(violations(1).find("unexpected field extra"), std::string::npos);
    EXPECT_NE(violations(2).find("not served by an endpoint: status 404"), std::string::npos);
    EXPECT_EQ(violations(3), "");
}
