#include <string>

#include "CBGeoData/CBGeoCity.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CBGeoData/CBGeoNode.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSStringFolding.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"

namespace {

constexpr double kPi = 3.141592653589793;

template <typename Entity>
std::optional<std::vector<std::shared_ptr<Entity>>> fetchAs(NSManagedObjectContext& context,
                                                            const NSFetchRequest& request) {
    auto rows = context.executeFetchRequest(request);
    if (!rows)
        return std::nullopt;
    std::vector<std::shared_ptr<Entity>> typed;
    typed.reserve(rows->size());
    for (auto& row : *rows) {
        if (auto entity = std::dynamic_pointer_cast<Entity>(row))
            typed.push_back(std::move(entity));
    }
    return typed;
}

std::vector<NSPredicateArgument> argumentList(const std::vector<std::string>& attributes) {
    return std::vector<NSPredicateArgument>(attributes.begin(), attributes.end());
}

std::vector<std::string> joined(std::initializer_list<int> types) {
    std::vector<std::string> all;
    for (int type : types) {
        const auto& list = CBGeoDataManager::pubTransAttributesOfType(type);
        all.insert(all.end(), list.begin(), list.end());
    }
    return all;
}

// Web Mercator tile edges, as the map kit's projection computes them.
double longitudeOfTileX(double x, int z) {
    return x / std::ldexp(1.0, z) * 360.0 - 180.0;
}
double latitudeOfTileY(double y, int z) {
    double n = kPi - 2.0 * kPi * y / std::ldexp(1.0, z);
    return std::atan((std::exp(n) - std::exp(-n)) / 2.0) * 180.0 / kPi;
}

}  // namespace

std::shared_ptr<NSFetchRequest> CBGeoDataManager::requestForAllObjects() {
    if (!coreDataStackIsComplete())
        return nullptr;
    return NSFetchRequest::fetchRequestWithEntityName(CBGeoObject::kEntityName);
}

std::shared_ptr<NSFetchRequest> CBGeoDataManager::requestForObjectsInBBox(
    const std::shared_ptr<CBBoundingBox>& box) {
    auto request = requestForAllObjects();
    if (request)
        request->predicate = predicateForObjectsInBBox(box);
    return request;
}

std::shared_ptr<NSPredicate> CBGeoDataManager::predicateForObjectsInBBox(
    const std::shared_ptr<CBBoundingBox>& box) {
    CLLocationCoordinate2D ne = box ? box->NE() : CLLocationCoordinate2D{};
    CLLocationCoordinate2D sw = box ? box->SW() : CLLocationCoordinate2D{};
    return NSPredicate::predicateWithFormat(
        "longitude >= %f AND longitude <= %f AND latitude >= %f AND latitude <= %f",
        {sw.longitude, ne.longitude, sw.latitude, ne.latitude});
}

std::shared_ptr<NSFetchRequest> CBGeoDataManager::requestForRecentObjects() {
    if (!coreDataStackIsComplete())
        return nullptr;
    auto model = managedObjectModel();
    if (!model)
        return nullptr;
    return model->fetchRequestFromTemplateWithNameSubstitutionVariables(
        "recentObjects", {{"DATE", NSPredicateArgument(Value(NSDate::dateWithTimeIntervalSinceNow(
                                       -kRecentObjectsInterval)))}});
}

std::shared_ptr<NSFetchRequest> CBGeoDataManager::requestForTagsWithKey(const std::string& key) {
    return requestForTagsWithKeyAndAttribute(key, std::nullopt);
}

std::shared_ptr<NSFetchRequest> CBGeoDataManager::requestForTagsWithKeyAndAttribute(
    const std::string& key, const std::optional<std::string>& attribute) {
    if (!coreDataStackIsComplete())
        return nullptr;
    auto request = NSFetchRequest::fetchRequestWithEntityName(CBGeoTag::kEntityName);
    if (attribute) {
        request->predicate =
            NSPredicate::predicateWithFormat("key = %@ AND attribute = %@", {key, *attribute});
        request->fetchLimit = 1;
    } else {
        request->predicate = NSPredicate::predicateWithFormat("key = %@", {key});
    }
    return request;
}

std::optional<std::vector<std::shared_ptr<CBGeoTag>>> CBGeoDataManager::tagsMatchingKeyAndAttribute(
    const std::optional<std::string>& key, const std::optional<std::string>& attribute) {
    return tagsMatchingKeyAndAttributeAndRelationshipKeyPathsForPrefetching(key, attribute, {});
}

std::optional<std::vector<std::shared_ptr<CBGeoTag>>>
CBGeoDataManager::tagsMatchingKeyAndAttributeAndRelationshipKeyPathsForPrefetching(
    const std::optional<std::string>& key, const std::optional<std::string>& attribute,
    const std::vector<std::string>& keyPaths) {
    if (!coreDataStackIsComplete())
        return std::nullopt;
    NSFetchRequest request(CBGeoTag::kEntityName);
    std::vector<std::shared_ptr<NSPredicate>> conditions;
    if (key)
        conditions.push_back(NSPredicate::predicateWithFormat("key = %@", {*key}));
    if (attribute)
        conditions.push_back(NSPredicate::predicateWithFormat("attribute = %@", {*attribute}));
    if (!conditions.empty())
        request.predicate = NSPredicate::andPredicateWithSubpredicates(conditions);
    request.relationshipKeyPathsForPrefetching = keyPaths;
    auto tags = fetchAs<CBGeoTag>(*managedObjectContext(), request);
    if (!tags || tags->empty())
        return std::nullopt;
    return tags;
}

std::optional<std::vector<std::shared_ptr<CBGeoNode>>> CBGeoDataManager::getNodes() {
    if (!coreDataStackIsComplete())
        return std::nullopt;
    NSFetchRequest request(CBGeoNode::kEntityName);
    request.sortDescriptors = {NSSortDescriptor{"latitude", false}};
    return fetchAs<CBGeoNode>(*managedObjectContext(), request);
}

std::optional<CBGeoDataManager::Objects> CBGeoDataManager::getObjects() {
    if (!coreDataStackIsComplete())
        return std::nullopt;
    NSFetchRequest request(CBGeoObject::kEntityName);
    request.sortDescriptors = {NSSortDescriptor{"typeID", false}};
    return fetchAs<CBGeoObject>(*managedObjectContext(), request);
}

std::optional<std::vector<std::shared_ptr<NSManagedObject>>> CBGeoDataManager::getElements() {
    if (!coreDataStackIsComplete())
        return std::nullopt;
    return managedObjectContext()->executeFetchRequest(NSFetchRequest("element"));
}

std::shared_ptr<CBGeoCity> CBGeoDataManager::currentCity() {
    if (!coreDataStackIsComplete())
        return nullptr;
    NSFetchRequest request(CBGeoCity::kEntityName);
    request.fetchLimit = 1;
    auto cities = fetchAs<CBGeoCity>(*managedObjectContext(), request);
    if (!cities || cities->empty())
        return nullptr;
    return cities->back();
}

std::optional<std::vector<std::shared_ptr<CBGeoMapTile>>> CBGeoDataManager::mapTilesForQuadKeys(
    const std::vector<int64_t>& quadKeys) {
    return mapTilesForQuadKeysIsRefetch(quadKeys, false);
}

std::optional<std::vector<std::shared_ptr<CBGeoMapTile>>>
CBGeoDataManager::mapTilesForQuadKeysIsRefetch(const std::vector<int64_t>& quadKeys, bool refetch) {
    auto coordinator = persistentStoreCoordinator();
    if (!coordinator || coordinator->persistentStores().empty())
        return std::nullopt;
    auto context = lockedContextForCurrentThread();
    if (!context || !context->persistentStoreCoordinator() ||
        !context->persistentStoreCoordinator()->managedObjectModel()) {
        return std::nullopt;
    }
    std::vector<NSPredicateArgument> keys(quadKeys.begin(), quadKeys.end());
    NSFetchRequest request(CBGeoMapTile::kEntityName);
    request.includesPropertyValues = true;
    request.predicate =
        quadKeysPredicate()->predicateWithSubstitutionVariables({{"quadKeys", keys}});
    if (!refetch)
        request.relationshipKeyPathsForPrefetching = {"elements"};
    NSError error;
    auto rows = context->executeFetchRequest(request, &error);
    if (!rows) {
        NSLog("Fetch error ocurred: %s", error.description().c_str());
        return std::nullopt;
    }
    std::vector<std::shared_ptr<CBGeoMapTile>> tiles;
    tiles.reserve(rows->size());
    for (auto& row : *rows) {
        if (auto tile = std::dynamic_pointer_cast<CBGeoMapTile>(row))
            tiles.push_back(std::move(tile));
    }
    if (tiles.empty())
        return std::nullopt;
    return tiles;
}

std::optional<std::vector<std::shared_ptr<CBGeoMapTile>>>
CBGeoDataManager::mapTilesForQuadKeyOrParent(int64_t quadKey, int64_t* foundKey) {
    std::optional<int64_t> key = quadKey;
    if (!zoomLevelForQuadKey(quadKey))
        return std::nullopt;
    while (key) {
        if (auto tiles = mapTilesForQuadKeys({*key})) {
            if (foundKey)
                *foundKey = *key;
            return tiles;
        }
        key = parentQuadKeyForQuadKey(*key);
    }
    return std::nullopt;
}

const Value::Dictionary& CBGeoDataManager::tagTranslationDictionary() {
    std::call_once(tagTranslationOnce_, [this] {
        auto path =
            NSBundle::mainBundle()->pathForResource("Quillmere.bundle/OSMTags-HReadable", "plist");
        if (!path)
            return;
        auto table = NSPropertyListSerialization::propertyListWithContentsOfFile(*path);
        if (table && table->dictionaryValue())
            tagTranslationDictionary_ = *table->dictionaryValue();
    });
    return tagTranslationDictionary_;
}

std::optional<std::vector<NSManagedObjectID>> CBGeoDataManager::findTranslatedTagContaining(
    const std::string& text) {
    auto coordinator = persistentStoreCoordinator();
    if (!coordinator || coordinator->persistentStores().empty())
        return std::nullopt;
    auto context = std::make_shared<NSManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator);
    const int folding = kPredicateCaseInsensitive | kPredicateDiacriticInsensitive;
    const std::string prefix = NSStringFold(text, folding);
    std::vector<NSManagedObjectID> found;
    for (const auto& [key, value] : tagTranslationDictionary()) {
        const Value::Dictionary* readable = value.dictionaryValue();
        if (!readable)
            continue;
        for (const auto& [attribute, description] : *readable) {
            const std::string* words = description.stringValue();
            if (!words || NSStringFold(*words, folding).rfind(prefix, 0) != 0)
                continue;
            if (auto tag = CBGeoTag::getTagWithKeyAndAttributeFromContext(key, attribute, context))
                found.push_back(tag->objectID());
        }
    }
    return found;
}

std::optional<int64_t> CBGeoDataManager::quadKeyForTileXYZ(int64_t x, int64_t y, int z) {
    if (z <= 0)
        return 1;
    if (z > kMaximumQuadKeyZoomLevel) {
        NSLog("No quad key for zoom level %d: keys fit up to zoom %d", z, kMaximumQuadKeyZoomLevel);
        return std::nullopt;
    }
    const int64_t tiles = int64_t{1} << z;
    if (x < 0 || y < 0 || x >= tiles || y >= tiles)
        return std::nullopt;
    int64_t key = 1;
    for (int level = z - 1; level >= 0; --level) {
        int digit = static_cast<int>((x >> level) & 1) + 2 * static_cast<int>((y >> level) & 1);
        key = key * 10 + digit;
    }
    return key;
}

std::optional<int> CBGeoDataManager::zoomLevelForQuadKey(int64_t quadKey) {
    if (quadKey <= 0)
        return std::nullopt;
    const std::string digits = std::to_string(quadKey);
    if (digits[0] != '1' || digits.size() > kMaximumQuadKeyZoomLevel + 1)
        return std::nullopt;
    for (size_t i = 1; i < digits.size(); ++i) {
        if (digits[i] > '3')
            return std::nullopt;
    }
    return static_cast<int>(digits.size()) - 1;
}

std::optional<int64_t> CBGeoDataManager::parentQuadKeyForQuadKey(int64_t quadKey) {
    auto zoom = zoomLevelForQuadKey(quadKey);
    if (!zoom || *zoom < 2)
        return std::nullopt;
    return quadKey / 10;
}

std::optional<CBGeoDataManager::TileXYZ> CBGeoDataManager::tileXYZForQuadKey(int64_t quadKey) {
    auto zoom = zoomLevelForQuadKey(quadKey);
    if (!zoom)
        return std::nullopt;
    // Each digit after the leading 1 holds one bit of x and one of y, top
    // level first.
    TileXYZ tile{0, 0, *zoom};
    for (char digit : std::to_string(quadKey).substr(1)) {
        tile.x = 2 * tile.x + ((digit - '0') & 1);
        tile.y = 2 * tile.y + ((digit - '0') >> 1);
    }
    return tile;
}

std::shared_ptr<CBBoundingBox> CBGeoDataManager::boundingBoxForMapTileWithQuadKey(int64_t quadKey) {
    auto tile = tileXYZForQuadKey(quadKey);
    if (!tile) {
        NSLog("Invalid QuadKey digit sequence.");
        return nullptr;
    }
    return boundingBoxForMapTileWithXYZ(tile->x, tile->y, tile->z);
}

std::shared_ptr<CBBoundingBox> CBGeoDataManager::boundingBoxForMapTileWithXYZ(int64_t x, int64_t y,
                                                                              int z) {
    const double fx = static_cast<double>(x), fy = static_cast<double>(y);
    return CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
        {latitudeOfTileY(fy + 1, z), longitudeOfTileX(fx + 1, z)},
        {latitudeOfTileY(fy, z), longitudeOfTileX(fx, z)});
}

const std::vector<std::string>& CBGeoDataManager::pubTransAttributesOfType(int type) {
    return CBGeoObject::pubTransAttributesOfType(type);
}

std::shared_ptr<NSPredicate> CBGeoDataManager::predicateForPubTransTramLikeTags() {
    return NSPredicate::predicateWithFormat(
        "ANY tags.attribute IN %@",
        {NSPredicateArgument(argumentList(pubTransAttributesOfType(kPubTransTramLike)))});
}

std::shared_ptr<NSPredicate> CBGeoDataManager::predicateForPubTransTrainLikeTags() {
    return NSPredicate::predicateWithFormat(
        "ANY tags.attribute IN %@",
        {NSPredicateArgument(argumentList(pubTransAttributesOfType(kPubTransTrainLike)))});
}

std::shared_ptr<NSPredicate> CBGeoDataManager::predicateForPubTransBusLikeTags() {
    return NSPredicate::predicateWithFormat(
        "ANY tags.attribute IN %@",
        {NSPredicateArgument(argumentList(pubTransAttributesOfType(kPubTransBusLike)))});
}

std::shared_ptr<NSPredicate> CBGeoDataManager::predicateForPubTransFerryLikeTags() {
    return NSPredicate::predicateWithFormat(
        "ANY tags.attribute IN %@",
        {NSPredicateArgument(argumentList(pubTransAttributesOfType(kPubTransFerryLike)))});
}

std::shared_ptr<NSPredicate> CBGeoDataManager::predicateForPubTransOtherTags() {
    return NSPredicate::predicateWithFormat(
        "NOT(ANY tags.attribute IN %@)",
        {NSPredicateArgument(argumentList(joined(
            {kPubTransTramLike, kPubTransTrainLike, kPubTransBusLike, kPubTransFerryLike})))});
}

std::shared_ptr<NSPredicate> CBGeoDataManager::predicateForAttributeOfPubTransType(int type) {
    switch (type) {
        case kPubTransTramLike:
        case kPubTransTrainLike:
        case kPubTransBusLike:
        case kPubTransFerryLike:
            return NSPredicate::predicateWithFormat(
                "attribute IN %@",
                {NSPredicateArgument(argumentList(pubTransAttributesOfType(type)))});
        case kPubTransOther:
            return NSPredicate::predicateWithFormat(
                "NOT(attribute IN %@)", {NSPredicateArgument(argumentList(
                                            joined({kPubTransTramLike, kPubTransTrainLike,
                                                    kPubTransBusLike, kPubTransFerryLike})))});
        default:
            return nullptr;
    }
}
