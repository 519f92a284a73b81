#pragma once

#include <any>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CBGeoData/CBGeoSearchRequest.h"
#include "CoreData/NSManagedObject.h"
#include "Foundation/NSDate.h"
#include "Foundation/Value.h"

// One search job, identified by its start date. Its completion block gets the
// results a manager builds (the geo data manager's are CBGeoSearchResult
// objects, the catalogue's are its maps), each held in a std::any.
class CBGeoSearchInfo {
  public:
    using CompletionBlock = std::function<void(const std::vector<std::any>& results)>;

    NSDate startDate;
    std::string searchString;
    std::string canonicalSearchString;
    std::shared_ptr<CBGeoSearchRequest> geoSearchRequest;
    CompletionBlock completionBlock;
    bool shouldFindAddresses = false;
    bool delaySearch = false;
    // Objects of the search context found by the job.
    std::vector<std::shared_ptr<NSManagedObject>> resultsArray;
    Value::Dictionary additionalInfoDict;

    // "<CBGeoSearchInfo> started at: <date> (<seconds> s ago), for string: <text>"
    std::string description() const;
};
