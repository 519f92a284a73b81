#include "app/NSURL+AppStore.h"

#include "Foundation/NSString+PercentEncoding.h"

namespace {
constexpr const char* kStoreAddress = "https://apps.kelvara.invalid";
}  // namespace

std::optional<std::string> zel_appStoreReviewURLForAppID(const std::string& appID) {
    if (appID.empty())
        return std::nullopt;
    return std::string(kStoreAddress) + "/app/" +
           stringByAddingPercentEncodingForQueryValue(appID) + "?action=write-review";
}
