#include "CBGeoData/CBGeoMapTile.h"

#include <string>

#include "CBGeoData/CBGeoElement.h"
#include "CoreData/NSManagedObjectContext.h"

std::shared_ptr<CBGeoMapTile> CBGeoMapTile::mapTileWithQuadKeyNumberInContext(
    int64_t quadKey, const std::shared_ptr<NSManagedObjectContext>& context) {
    if (!context)
        return nullptr;
    auto tile = std::dynamic_pointer_cast<CBGeoMapTile>(
        context->insertNewObjectForEntityForName(kEntityName));
    if (tile)
        tile->setValueForKey("quadKey", Value(quadKey));
    return tile;
}

std::vector<std::shared_ptr<CBGeoElement>> CBGeoMapTile::elements() {
    return objectsOfClassForKey<CBGeoElement>("elements");
}

bool CBGeoMapTile::isFillOnly() {
    const auto fill = fillTypeID();
    if (!fill)
        return false;
    for (const auto& element : elements()) {
        if (element->typeID() != fill || !element->isArchitectureType(CBGeoElement::kArea))
            return false;
    }
    return true;
}

int CBGeoMapTile::zoomlevel() {
    auto key = quadKey();
    if (!key || *key <= 0)
        return 0;
    return static_cast<int>(std::to_string(*key).size()) - 1;
}
