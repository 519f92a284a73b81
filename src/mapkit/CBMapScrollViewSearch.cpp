// The map view's searches, done by the geo data manager of the open map.
#include "CBGeoData/CBGeoDataManager.h"
#include "mapkit/CBMapScrollView.h"

bool CBMapScrollView::searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
    const std::string& text, bool includeAddresses, bool delayed,
    std::function<void(const std::vector<std::shared_ptr<CBGeoSearchResult>>&)> completion) {
    if (!dataManager_)
        return false;
    return dataManager_->searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
        text, includeAddresses, delayed, std::move(completion));
}

void CBMapScrollView::cancelSearchForObjectsMatchingString() {
    if (dataManager_)
        dataManager_->cancelSearch();
}

void CBMapScrollView::searchForClosestObjectToWithCompletionBlock(
    CLLocationCoordinate2D coordinate,
    std::function<void(const std::shared_ptr<CBGeoObject>&)> completion) {
    if (dataManager_)
        dataManager_->searchForClosestObjectToWithCompletionBlock(coordinate,
                                                                  std::move(completion));
    else if (completion)
        completion(nullptr);
}

void CBMapScrollView::searchForObjectsInBBoxMatchingPredicateWithCompletionBlock(
    const std::shared_ptr<CBBoundingBox>& box, const std::shared_ptr<NSPredicate>& predicate,
    std::function<void(const std::vector<std::shared_ptr<CBGeoObject>>&)> completion) {
    if (dataManager_)
        dataManager_->searchForObjectsInBBoxMatchingPredicateWithCompletionBlock(
            box, predicate, std::move(completion));
    else if (completion)
        completion({});
}

std::optional<std::vector<std::shared_ptr<CBGeoTag>>> CBMapScrollView::tagsMatchingKeyAndAttribute(
    const std::optional<std::string>& key, const std::optional<std::string>& attribute) {
    if (!dataManager_)
        return std::nullopt;
    return dataManager_->tagsMatchingKeyAndAttribute(key, attribute);
}

std::optional<std::vector<std::shared_ptr<CBGeoTag>>>
CBMapScrollView::tagsMatchingKeyAndAttributeAndRelationshipKeyPathsForPrefetching(
    const std::optional<std::string>& key, const std::optional<std::string>& attribute,
    const std::vector<std::string>& keyPaths) {
    if (!dataManager_)
        return std::nullopt;
    return dataManager_->tagsMatchingKeyAndAttributeAndRelationshipKeyPathsForPrefetching(
        key, attribute, keyPaths);
}
