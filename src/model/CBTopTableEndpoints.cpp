#include "model/CBTopTableEndpoints.h"

#include <algorithm>
#include <cctype>

#include "Foundation/NSLog.h"
#include "Foundation/NSUserDefaults.h"

namespace {

// A number of the range set aside for fiction: it rings nowhere.
constexpr const char* kHotlineNumber = "+44 20 7946 0321";

bool isHostCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' ||
           c == '[' || c == ']';
}

}  // namespace

std::string CBTopTableSiteHost() {
    const auto host = NSUserDefaults::standardUserDefaults()->stringForKey(kCBTopTableSiteHostKey);
    if (!host)
        return kCBTopTableDefaultSiteHost;
    if (host->empty() || !std::all_of(host->begin(), host->end(), isHostCharacter)) {
        NSLogWithLevel(NSLogLevel::Warning,
                       "Kelvara: %s is no host (\"%s\"); the restaurant guide's site is %s",
                       kCBTopTableSiteHostKey, host->c_str(), kCBTopTableDefaultSiteHost);
        return kCBTopTableDefaultSiteHost;
    }
    return *host;
}

std::string CBTopTableVenuePageURL(int64_t ttID) {
    return "http://" + CBTopTableSiteHost() + "/Venue/" + std::to_string(ttID);
}

std::string CBTopTableHotlineNumber() {
    return kHotlineNumber;
}

std::string CBTopTableHotlineURL() {
    std::string number = kHotlineNumber;
    number.erase(std::remove(number.begin(), number.end(), ' '), number.end());
    return "tel:" + number;
}
