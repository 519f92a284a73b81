#pragma once

// Error codes of the Cocoa domain that the Core Data stand-in reports.
namespace CoreDataErrors {
constexpr long NSValidationMissingMandatoryPropertyError = 1570;
constexpr long NSValidationRelationshipDeniedDeleteError = 1600;
constexpr long NSManagedObjectReferentialIntegrityError = 133000;
constexpr long NSPersistentStoreInvalidTypeError = 134000;
constexpr long NSPersistentStoreIncompatibleSchemaError = 134020;
constexpr long NSPersistentStoreSaveError = 134030;
constexpr long NSPersistentStoreOperationError = 134070;
constexpr long NSPersistentStoreIncompatibleVersionHashError = 134100;
constexpr long NSSQLiteError = 134180;
}  // namespace CoreDataErrors

// Keys of a store's options dictionary.
constexpr const char* NSSQLiteStoreType = "SQLite";
constexpr const char* NSReadOnlyPersistentStoreOption = "NSReadOnlyPersistentStoreOption";
constexpr const char* NSSQLitePragmasOption = "NSSQLitePragmasOption";
constexpr const char* NSMigratePersistentStoresAutomaticallyOption =
    "NSMigratePersistentStoresAutomaticallyOption";
constexpr const char* NSInferMappingModelAutomaticallyOption =
    "NSInferMappingModelAutomaticallyOption";
