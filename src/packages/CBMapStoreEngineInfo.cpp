#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreFetch.h"
#include "packages/CBMapStoreIdentifier.h"
#include "packages/CBMapStoreInfoCountry.h"
#include "packages/CBMapStoreInfoMap.h"
#include "packages/CBMapStoreInfoStore.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"

std::shared_ptr<CBMapStoreInfoCountry>
CBMapStoreEngine::infoForCountryCodeAndFederalRegionCodeWithUpdateBlock(
    const std::string& countryCode, const std::optional<std::string>& regionCode,
    InfoCountryBlock block) {
    const std::string code = regionCode.value_or(countryCode);
    auto stored = infoStore_->storedInfoForCode(code);
    if (!stored || stored->isExpired())
        fetchInfoForCode(code, std::move(block));
    return stored;
}

std::shared_ptr<CBMapStoreInfoMap>
CBMapStoreEngine::infoForMapIdentifierInCountryCodeAndFederalRegionCodeWithUpdateBlock(
    const std::string& identifier, const std::string& countryCode,
    const std::optional<std::string>& regionCode, InfoMapBlock block) {
    auto stored = infoForCountryCodeAndFederalRegionCodeWithUpdateBlock(
        countryCode, regionCode,
        [identifier, block](const std::shared_ptr<CBMapStoreInfoCountry>& info) {
            if (block)
                block(info ? info->mapStoreInfoMapForIdentifier(identifier) : nullptr);
        });
    return stored ? stored->mapStoreInfoMapForIdentifier(identifier) : nullptr;
}

std::optional<int64_t> CBMapStoreEngine::storedPackageSizeForMap(
    const std::shared_ptr<CBMapStoreMap>& map) {
    const auto code = map ? map->code() : std::nullopt;
    const auto identifier = map ? map->identifier() : std::nullopt;
    if (!code || !identifier)
        return std::nullopt;
    const auto stored = infoStore_->storedInfoForCode(*code);
    const auto info = stored ? stored->mapStoreInfoMapForIdentifier(*identifier) : nullptr;
    const auto size = info ? info->fileSize() : std::nullopt;
    return size && *size > 0 ? size : std::nullopt;
}

std::optional<ZELDownloadRequest> CBMapStoreEngine::downloadRequestForMap(
    const std::shared_ptr<CBMapStoreMap>& map) {
    const auto url = urlForMap(map);
    if (!url)
        return std::nullopt;
    return ZELDownloadRequest{.url = *url,
                              .destinationPath = basePathForMaps(),
                              .identifier = *map->identifier(),
                              .type = "map",
                              .title = map->localName(),
                              .subTitle = map->places(),
                              .downloadSize = storedPackageSizeForMap(map),
                              .payLoad = map->identifier(),
                              .progressReservedForPostProcessing = 0.4};
}

void CBMapStoreEngine::expireStoredInfos() {
    infoStore_->expireAll();
}

// One request per code at a time; everyone waiting hears the answer, a
// failure included (nullptr), so that no caller waits for ever. A failed
// fetch leaves the stored record as it was.
void CBMapStoreEngine::fetchInfoForCode(const std::string& code, InfoCountryBlock block) {
    auto& waiting = pendingInfoFetches_[code];
    waiting.push_back(std::move(block));
    if (waiting.size() > 1)
        return;
    std::weak_ptr<CBMapStoreEngine> weakSelf = self();
    auto finish = [weakSelf, code](const std::shared_ptr<CBMapStoreInfoCountry>& info) {
        auto engine = weakSelf.lock();
        if (!engine)
            return;
        auto blocks = std::move(engine->pendingInfoFetches_[code]);
        engine->pendingInfoFetches_.erase(code);
        for (const auto& waiter : blocks) {
            if (waiter)
                waiter(info);
        }
    };
    auto url = CBMapStoreURLManager::stringForStatisticsURLForCode(code);
    if (!url) {
        DispatchQueue::main()->async([finish] { finish(nullptr); });
        return;
    }
    CBMapStoreFetch::fetch(
        *url, "GET",
        [weakSelf, code, finish](std::optional<Value::Data> body,
                                 std::optional<NSHTTPURLResponse>) {
            std::shared_ptr<CBMapStoreInfoCountry> info;
            auto plist =
                body ? NSPropertyListSerialization::propertyListWithData(*body) : std::nullopt;
            if (plist && plist->dictionaryValue()) {
                info = std::make_shared<CBMapStoreInfoCountry>(code, *plist->dictionaryValue(),
                                                               NSDate::date());
                if (auto engine = weakSelf.lock())
                    engine->infoStore_->storeInfo(info);
            } else if (body) {
                NSLog("CBMapStoreEngine: the statistics of %s are malformed", code.c_str());
            }
            finish(info);
        });
}
