#include "MapKit/MKLocalSearch.h"

#include "Dispatch/DispatchQueue.h"
#include "MapKit/MKGazetteer.h"

namespace {

NSError searchError(long code, const std::string& description) {
    return NSError::errorWithDomain(MKErrorDomain, code,
                                    {{"NSLocalizedDescription", Value(description)}});
}

}  // namespace

void MKLocalSearch::startWithCompletionHandler(CompletionHandler handler) {
    if (searching_.exchange(true) || !handler)
        return;
    auto self = shared_from_this();
    DispatchQueue::global()->async([self, handler = std::move(handler)] {
        std::optional<MKLocalSearchResponse> response;
        std::optional<NSError> error;
        std::string reason;
        const auto gazetteer = MKGazetteer::shared(&reason);
        const std::string query = self->request_.naturalLanguageQuery.value_or("");
        if (!gazetteer) {
            error = searchError(MKErrorServerFailure, reason);
        } else {
            MKLocalSearchResponse found;
            for (const auto& place : gazetteer->placesMatching(query, kMaximumResults)) {
                MKPlacemark placemark(place.coordinate);
                placemark.setRegion(CLCircularRegion(place.coordinate, place.radius, place.name));
                MKMapItem item(placemark);
                item.setName(place.name);
                found.mapItems.push_back(std::move(item));
            }
            if (found.mapItems.empty())
                error =
                    searchError(MKErrorPlacemarkNotFound, "No place is called \"" + query + "\"");
            else
                response = std::move(found);
        }
        DispatchQueue::main()->async([self, handler, response, error] {
            self->searching_ = false;
            if (!self->cancelled_)
                handler(response, error);
        });
    });
}
