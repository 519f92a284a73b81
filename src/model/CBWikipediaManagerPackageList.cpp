// What the map store's list of packages says of each map's Wikipedia
// package, and asking for it: the guide offers its Wikipedia tab by it, and
// the download screen tells a list that could not be had.
#include "model/CBWikipediaManager.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreInfoCountry.h"
#include "packages/CBMapStoreInfoMap.h"
#include "packages/CBMapStoreInfoStore.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"

CBWikipediaPackageList CBWikipediaManager::packageListForMapIdentifier(
    const std::string& identifier) {
    const auto map = catalogue_ ? catalogue_->mapForIdentifier(identifier) : nullptr;
    const auto code = map ? map->code() : std::nullopt;
    if (!code)
        return CBWikipediaPackageList::NotOffered;
    if (const auto stored = catalogue_->infoStore()->storedInfoForCode(*code)) {
        const auto info = stored->mapStoreInfoMapForIdentifier(identifier);
        return info && !info->wikiInfos().empty() ? CBWikipediaPackageList::Offered
                                                  : CBWikipediaPackageList::NotOffered;
    }
    if (!CBMapStoreURLManager::stringForStatisticsURLForCode(code))
        return CBWikipediaPackageList::NoStore;
    return failedPackageLists_.count(identifier) ? CBWikipediaPackageList::Failed
                                                 : CBWikipediaPackageList::Loading;
}

void CBWikipediaManager::askStoreForPackageListOfMapIdentifier(const std::string& identifier) {
    const auto map = catalogue_ ? catalogue_->mapForIdentifier(identifier) : nullptr;
    const auto country = map ? map->country() : nullptr;
    const auto countryCode = country ? country->countryCode() : std::nullopt;
    if (!countryCode)
        return;
    if (failedPackageLists_.erase(identifier))
        tellPackageListOfMapIdentifier(identifier);
    const auto region = map->region();
    std::weak_ptr<CBWikipediaManager> weak =
        std::static_pointer_cast<CBWikipediaManager>(shared_from_this());
    // Asks only when nothing fresh is stored; the answer (nullptr when it
    // could not be had) comes on the main queue.
    catalogue_->infoForCountryCodeAndFederalRegionCodeWithUpdateBlock(
        *countryCode, region ? region->regionCode() : std::nullopt,
        [weak, identifier](const std::shared_ptr<CBMapStoreInfoCountry>& info) {
            auto me = weak.lock();
            if (!me)
                return;
            if (info)
                me->failedPackageLists_.erase(identifier);
            else
                me->failedPackageLists_.insert(identifier);
            me->tellPackageListOfMapIdentifier(identifier);
        });
}

void CBWikipediaManager::tellPackageListOfMapIdentifier(const std::string& identifier) {
    for (const auto& delegate : delegates_.currentDelegates())
        delegate->wikipediaManagerPackageListChangedForMapWithIdentifier(*this, identifier);
}
