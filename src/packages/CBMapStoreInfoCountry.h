#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/NSDate.h"
#include "Foundation/Value.h"

class CBMapStoreInfoMap;

// The statistics of a country or federal region as the server's
// "<CODE>_master_Stats.plist" gives them (a dictionary with "maps": map
// identifier to the map's info dictionary), with the time they were fetched.
class CBMapStoreInfoCountry {
  public:
    static constexpr double kMaximumAge = 604800.0;

    CBMapStoreInfoCountry(std::string code, Value::Dictionary statistics, NSDate fetchDate)
        : code_(std::move(code)), statistics_(std::move(statistics)), fetchDate_(fetchDate) {}

    const std::string& code() const { return code_; }
    const Value::Dictionary& statistics() const { return statistics_; }
    NSDate fetchDate() const { return fetchDate_; }
    // Older than a week (or marked stale by a manual check).
    bool isExpired() const { return -fetchDate_.timeIntervalSinceNow() > kMaximumAge; }

    std::shared_ptr<CBMapStoreInfoMap> mapStoreInfoMapForIdentifier(
        const std::string& identifier) const;

  private:
    std::string code_;
    Value::Dictionary statistics_;
    NSDate fetchDate_;
};
