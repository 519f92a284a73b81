#include "MapKit/MKLocalSearch.h"

#include "Dispatch/DispatchQueue.h"
#include "MapKit/MKGazetteer.h"

namespace {

NSError searchError(long code, const std::string& description) {
    return NSError::errorWithDomain(MKErrorDomain, code,
                                    {{"NSLocalizedDescription", Value(description)}});
}

// The place with what the list knows of its address and how to reach it.
MKMapItem mapItemForPlace(const MKGazetteer::Place& place) {
    Value::Dictionary address;
    const std::pair<const char*, const std::string*> known[] = {
        {MKPlacemark::kAddressCityKey, &place.locality},
        {MKPlacemark::kAddressThoroughfareKey, &place.thoroughfare},
        {MKPlacemark::kAddressZIPKey, &place.postalCode}};
    for (const auto& [key, text] : known)
        if (!text->empty())
            address[key] = Value(*text);
    MKPlacemark placemark(place.coordinate,
                          address.empty() ? std::nullopt : std::optional(std::move(address)));
    placemark.setRegion(CLCircularRegion(place.coordinate, place.radius, place.name));
    MKMapItem item(placemark);
    item.setName(place.name);
    if (!place.phoneNumber.empty())
        item.setPhoneNumber(place.phoneNumber);
    // A web address that is no URL is left out rather than passed on broken.
    item.setUrl(NSURL::URLWithString(place.url));
    return item;
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
            for (const auto& place : gazetteer->placesMatching(query, kMaximumResults))
                found.mapItems.push_back(mapItemForPlace(place));
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
