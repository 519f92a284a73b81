#include "app/ServiceSDK.h"

#include <cstdlib>

#include "sdk/BITMetricsManager.h"
#include "sdk/BITZizavaManager.h"
#include "sdk/crash/BITCrashManager.h"
#include "sdk/feedback/BITFeedbackManager.h"
#include "sdk/update/BITStoreUpdateManager.h"
#include "sdk/update/BITUpdateManager.h"

namespace {

// Kelvara's identifiers on the SDK service: test builds and store builds.
constexpr const char* kBetaIdentifier = "6b656c76617261626574610000000001";
constexpr const char* kLiveIdentifier = "6b656c76617261000000000000000001";

}  // namespace

void startServiceSDK(const std::string& serverURL) {
    BITCrashManager::registerComponent();
    BITMetricsManager::registerComponent();
    BITUpdateManager::registerComponent();
    BITStoreUpdateManager::registerComponent();
    BITFeedbackManager::registerComponent();
    const auto sdk = BITZizavaManager::sharedZizavaManager();
    sdk->setServerURL(serverURL);
    sdk->configureWithBetaIdentifierLiveIdentifierDelegate(std::string(kBetaIdentifier),
                                                           std::string(kLiveIdentifier), {});
    if (const auto crash = std::dynamic_pointer_cast<BITCrashManager>(sdk->crashManager())) {
        // The service does not symbolicate: frames are named where the crash happened.
        crash->setEnableOnDeviceSymbolication(true);
    }
    if (const auto feedback =
            std::dynamic_pointer_cast<BITFeedbackManager>(sdk->feedbackManager())) {
        // The screenshot key and a three-finger tap open the feedback composer.
        feedback->setFeedbackObservationMode(BITFeedbackObservationModeAll);
    }
    if (const auto metrics = std::dynamic_pointer_cast<BITMetricsManager>(sdk->metricsManager()))
        metrics->setMetricsServerURL(sdk->serverURL() + "v2/track");
    // The store check is off unless asked for; its lookup goes to the SDK
    // service unless another base is named.
    sdk->setEnableStoreUpdateManager(std::getenv("KELVARA_STORE_UPDATE_CHECK") != nullptr);
    if (const auto store =
            std::dynamic_pointer_cast<BITStoreUpdateManager>(sdk->storeUpdateManager()))
        if (const char* base = std::getenv("KELVARA_STORE_LOOKUP_URL"))
            store->setStoreLookupBaseURL(base);
    sdk->startManager();
}
