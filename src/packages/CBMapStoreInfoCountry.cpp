#include "packages/CBMapStoreInfoCountry.h"

#include "packages/CBMapStoreInfoMap.h"

std::shared_ptr<CBMapStoreInfoMap> CBMapStoreInfoCountry::mapStoreInfoMapForIdentifier(
    const std::string& identifier) const {
    auto maps = statistics_.find("maps");
    if (maps == statistics_.end() || !maps->second.dictionaryValue())
        return nullptr;
    const Value* info = maps->second.get(identifier);
    if (!info || !info->dictionaryValue())
        return nullptr;
    return std::make_shared<CBMapStoreInfoMap>(*info->dictionaryValue());
}
