#include "wikipedia/CBWikipediaServices.h"

#include "model/CBCurrentMap.h"
#include "packages/CBUserMapStoreEngine.h"

std::optional<std::string> CBWikipediaServices::currentMapIdentifier() const {
    if (currentMap)
        return currentMap->identifier();
    return registry ? registry->currentMapIdentifier() : std::nullopt;
}

std::optional<std::string> CBWikipediaServices::currentMapTitle() const {
    if (currentMap)
        return currentMap->cityName();
    return registry ? registry->currentMapTitle() : std::nullopt;
}
