#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSError.h"
#include "MapKit/MKMapItem.h"

// What to look for: a place name as a person types it.
struct MKLocalSearchRequest {
    std::optional<std::string> naturalLanguageQuery;
};

struct MKLocalSearchResponse {
    std::vector<MKMapItem> mapItems;
};

// The error domain of local searches and its codes.
inline constexpr const char* MKErrorDomain = "MKErrorDomain";
enum MKErrorCode : long {
    MKErrorUnknown = 1,
    MKErrorServerFailure = 2,
    MKErrorPlacemarkNotFound = 4
};

// A place search that needs no network: it looks the query up in the
// offline place list (MKGazetteer) on a worker thread and answers on the
// main queue. Each found place comes as a map item whose placemark has a
// circular region, with the locality, street, postal code, phone number and
// web address the list knows. A cancelled search never answers.
class MKLocalSearch : public std::enable_shared_from_this<MKLocalSearch> {
  public:
    using CompletionHandler = std::function<void(const std::optional<MKLocalSearchResponse>&,
                                                 const std::optional<NSError>&)>;
    static constexpr size_t kMaximumResults = 10;

    explicit MKLocalSearch(MKLocalSearchRequest request) : request_(std::move(request)) {}

    // Once per search; the handler gets the response, or an error: no query
    // or no place found (MKErrorPlacemarkNotFound), no place list
    // (MKErrorServerFailure).
    void startWithCompletionHandler(CompletionHandler handler);
    void cancel() { cancelled_ = true; }
    bool isSearching() const { return searching_; }

  private:
    MKLocalSearchRequest request_;
    std::atomic<bool> cancelled_ = false;
    std::atomic<bool> searching_ = false;
};
