#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSDate.h"
#include "Foundation/Value.h"

class CBMapStoreInfoWiki;

// The statistics of one map: values of its info dictionary.
class CBMapStoreInfoMap {
  public:
    explicit CBMapStoreInfoMap(Value::Dictionary info) : info_(std::move(info)) {}

    std::optional<NSDate> availableVersion() const;
    std::optional<int64_t> fileSize() const { return number("fileSize"); }
    std::optional<int64_t> numberOfPois() const { return number("numPOI"); }
    std::optional<int64_t> numberOfShops() const { return number("numShop"); }
    std::optional<int64_t> numberOfRestaurants() const { return number("numRestaurant"); }
    std::optional<int64_t> numberOfPubs() const { return number("numPub"); }
    std::optional<std::string> coverAttribution() const { return text("coverAttribution"); }
    std::optional<std::string> coverSource() const { return text("coverSource"); }
    Value::Dictionary wikiInfos() const;

    // 3 above 2500 points of interest, 2 above 1500, 1 above 500, else 0.
    int numberOfStars() const;
    std::vector<std::string> wikiLanguages() const;
    std::shared_ptr<CBMapStoreInfoWiki> wikiInfoForLanguage(const std::string& language) const;
    const Value::Dictionary& infoDictionary() const { return info_; }

  private:
    std::optional<int64_t> number(const char* key) const;
    std::optional<std::string> text(const char* key) const;
    Value::Dictionary info_;
};
