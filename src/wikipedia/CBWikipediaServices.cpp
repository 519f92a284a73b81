#include "wikipedia/CBWikipediaServices.h"

#include "packages/CBUserMapStoreEngine.h"

std::optional<std::string> CBWikipediaServices::currentMapIdentifier() const {
    if (currentMap) {
        const auto record = currentMap();
        return record ? std::optional<std::string>(record->identifier) : std::nullopt;
    }
    return registry ? registry->currentMapIdentifier() : std::nullopt;
}

std::optional<std::string> CBWikipediaServices::currentMapTitle() const {
    if (currentMap) {
        const auto record = currentMap();
        return record ? std::optional<std::string>(record->title) : std::nullopt;
    }
    return registry ? registry->currentMapTitle() : std::nullopt;
}
