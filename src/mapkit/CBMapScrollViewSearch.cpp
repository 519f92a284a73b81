// The map view's searches: the open map does them.
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBOpenMap.h"

bool CBMapScrollView::searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
    const std::string& text, bool includeAddresses, bool delayed,
    std::function<void(const std::vector<std::shared_ptr<CBGeoSearchResult>>&)> completion) {
    auto map = openMap();
    return map && map->searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
                      text, includeAddresses, delayed, std::move(completion));
}

void CBMapScrollView::cancelSearchForObjectsMatchingString() {
    if (auto map = openMap())
        map->cancelSearchForObjectsMatchingString();
}

void CBMapScrollView::searchForClosestObjectToWithCompletionBlock(
    CLLocationCoordinate2D coordinate,
    std::function<void(const std::shared_ptr<CBGeoObject>&)> completion) {
    if (auto map = openMap())
        map->searchForClosestObjectToWithCompletionBlock(coordinate, std::move(completion));
    else if (completion)
        completion(nullptr);
}

void CBMapScrollView::searchForObjectsInBBoxMatchingPredicateWithCompletionBlock(
    const std::shared_ptr<CBBoundingBox>& box, const std::shared_ptr<NSPredicate>& predicate,
    std::function<void(const std::vector<std::shared_ptr<CBGeoObject>>&)> completion) {
    if (auto map = openMap())
        map->searchForObjectsInBBoxMatchingPredicateWithCompletionBlock(box, predicate,
                                                                        std::move(completion));
    else if (completion)
        completion({});
}

std::optional<std::vector<std::shared_ptr<CBGeoTag>>> CBMapScrollView::tagsMatchingKeyAndAttribute(
    const std::optional<std::string>& key, const std::optional<std::string>& attribute) {
    auto map = openMap();
    return map ? map->tagsMatchingKeyAndAttribute(key, attribute) : std::nullopt;
}

std::optional<std::vector<std::shared_ptr<CBGeoTag>>>
CBMapScrollView::tagsMatchingKeyAndAttributeAndRelationshipKeyPathsForPrefetching(
    const std::optional<std::string>& key, const std::optional<std::string>& attribute,
    const std::vector<std::string>& keyPaths) {
    auto map = openMap();
    return map ? map->tagsMatchingKeyAndAttributeAndRelationshipKeyPathsForPrefetching(
                     key, attribute, keyPaths)
               : std::nullopt;
}
