#include <sqlite3.h>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CoreData/NSEntityDescription.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStore.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "CoreData/NSRelationshipDescription.h"
#include "CoreData/PredicateSQLCompiler.h"
#include "CoreData/SQLiteConnection.h"
#include "Foundation/NSLog.h"

namespace {

// The style code attributes, in the order CBGeoElement::styleIds() gives them.
constexpr const char* kStyleAttributes[] = {"typeID", "highwayID", "bikeID", "railwayID"};

// The query, from the model's own table and column names; empty when the
// model lacks a piece of it. Ordered as the join table's index runs, so
// SQLite walks it without sorting.
std::string anchorQuery(const NSEntityDescription& tile, const NSEntityDescription& element) {
    const NSRelationshipDescription* elements = tile.relationshipNamed("elements");
    const NSAttributeDescription* quadKey = tile.attributeNamed("quadKey");
    const NSAttributeDescription* latitude = element.attributeNamed("latitude");
    const NSAttributeDescription* longitude = element.attributeNamed("longitude");
    const NSAttributeDescription* name = element.attributeNamed("name");
    if (!elements || !elements->isManyToMany() || !quadKey || !latitude || !longitude || !name)
        return {};
    std::string styles;
    for (const char* attribute : kStyleAttributes) {
        const NSAttributeDescription* style = element.attributeNamed(attribute);
        if (!style)
            return {};
        styles += ", e." + style->columnName;
    }
    return "SELECT e.Z_PK, e.Z_ENT, e." + latitude->columnName + ", e." + longitude->columnName +
           ", e." + name->columnName + " IS NOT NULL AND e." + name->columnName + " <> ''" +
           styles + " FROM " + tile.tableName() + " t JOIN " + elements->joinTable + " j ON j." +
           elements->joinSourceColumn + " = t.Z_PK JOIN " + element.tableName() +
           " e ON e.Z_PK = j." + elements->joinDestinationColumn + " WHERE t." +
           quadKey->columnName + " = ?1 AND e." + latitude->columnName + " IS NOT NULL AND e." +
           longitude->columnName + " IS NOT NULL" +
           PredicateSQLCompiler::entityRestriction(&tile, "t") +
           PredicateSQLCompiler::entityRestriction(&element, "e") + " ORDER BY t.Z_PK, j." +
           elements->joinDestinationColumn;
}

}  // namespace

std::optional<std::vector<CBGeoElementAnchor>> CBGeoDataManager::elementAnchorsForQuadKeys(
    const std::vector<int64_t>& quadKeys) {
    auto coordinator = persistentStoreCoordinator();
    if (!coordinator || coordinator->persistentStores().empty() ||
        !coordinator->managedObjectModel())
        return std::nullopt;
    auto context = lockedContextForCurrentThread();
    const NSManagedObjectModel& model = *coordinator->managedObjectModel();
    const NSEntityDescription* tile = model.entityNamed(CBGeoMapTile::kEntityName);
    const NSEntityDescription* element = model.entityNamed(CBGeoElement::kEntityName);
    const std::string sql = tile && element ? anchorQuery(*tile, *element) : std::string();
    if (!context || sql.empty())
        return std::nullopt;
    std::vector<CBGeoElementAnchor> anchors;
    for (const auto& store : coordinator->persistentStores()) {
        if (!store->holdsEntity(tile))
            continue;
        NSError error;
        SQLiteConnection* db = context->connectionForStore(store, &error);
        sqlite3_stmt* statement = db ? db->prepare(sql, &error) : nullptr;
        if (!statement) {
            NSLog("Fetch error ocurred: %s", error.description().c_str());
            return std::nullopt;
        }
        for (int64_t quadKey : quadKeys) {
            sqlite3_bind_int64(statement, 1, quadKey);
            int step;
            while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
                const NSEntityDescription* entity =
                    model.entityWithNumber(sqlite3_column_int(statement, 1));
                CBGeoElementAnchor& anchor = anchors.emplace_back();
                anchor.quadKey = quadKey;
                anchor.objectID = NSManagedObjectID(store, entity ? entity : element,
                                                    sqlite3_column_int64(statement, 0), false);
                anchor.coordinate = {sqlite3_column_double(statement, 2),
                                     sqlite3_column_double(statement, 3)};
                anchor.named = sqlite3_column_int(statement, 4) != 0;
                for (int column = 5; column < 9; ++column) {
                    if (sqlite3_column_type(statement, column) != SQLITE_NULL)
                        anchor.styleIds[anchor.styleIdCount++] =
                            sqlite3_column_int64(statement, column);
                }
            }
            sqlite3_reset(statement);
            if (step != SQLITE_DONE) {
                db->setError(&error, "Reading the anchors of a tile");
                NSLog("Fetch error ocurred: %s", error.description().c_str());
                return std::nullopt;
            }
        }
    }
    return anchors;
}
