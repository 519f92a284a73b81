#include "SdkService.h"

// POST api/3/apps/<app id>/integration, multipart fields timestamp, sdk,
// sdk_version and bundle_version. 201 for the first ping of a known app,
// 200 for later ones, 400 for an app the service does not know.
void addIntegrationEndpoint(SdkService& service) {
    service.addEndpoint(
        "POST", R"(/api/3/apps/([^/]+)/integration)", [](SdkService& self, SdkExchange& exchange) {
            const std::string app = exchange.appIdentifier();
            if (!exchange.request.params.empty())
                exchange.violation("unexpected query string");
            if (exchange.expectMultipart()) {
                exchange.expectField("timestamp");
                exchange.expectField("sdk", "ZizavaSDK");
                exchange.expectField("sdk_version", "4.1.4");
                exchange.expectField("bundle_version");
                exchange.expectOnlyFields({"timestamp", "sdk", "sdk_version", "bundle_version"});
            }
            if (!exchange.violations.empty())
                return;
            if (!self.knowsApp(app)) {
                exchange.status = 400;
                exchange.body = "App ID not found";
                return;
            }
            exchange.status = self.firstPingOf(app) ? 201 : 200;
        });
}
