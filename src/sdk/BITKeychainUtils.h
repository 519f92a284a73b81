#pragma once

#include <optional>
#include <string>

#include "Foundation/NSError.h"

// Small strings kept as generic-password items: one item per (username,
// service name), the label being the service name. Failures come back as an
// error of the domain "BITKeychainUtilsErrorDomain" whose code is -2000 for a
// missing argument, -1999 for an item whose data cannot be read, and the
// keychain's status otherwise. Every call clears *error first.
class BITKeychainUtils {
  public:
    static constexpr const char* BITKeychainUtilsErrorDomain = "BITKeychainUtilsErrorDomain";
    static constexpr long kMissingArgument = -2000;
    static constexpr long kUnreadableItem = -1999;

    using OptionalString = std::optional<std::string>;

    // The stored string, or nullopt (without an error when there is no item).
    static OptionalString getPasswordForUsernameAndServiceNameError(
        const OptionalString& username, const OptionalString& serviceName,
        std::optional<NSError>* error);
    // With the accessibility kSecAttrAccessibleAlways.
    static bool storeUsernameAndPasswordForServiceNameUpdateExistingError(
        const OptionalString& username, const OptionalString& password,
        const OptionalString& serviceName, bool updateExisting, std::optional<NSError>* error);
    // Adds the item, or replaces an existing item's value when updateExisting
    // (an equal value is not written again; without updateExisting the old one stays).
    static bool storeUsernameAndPasswordForServiceNameUpdateExistingAccessibilityError(
        const OptionalString& username, const OptionalString& password,
        const OptionalString& serviceName, bool updateExisting, const char* accessibility,
        std::optional<NSError>* error);
    static bool deleteItemForUsernameAndServiceNameError(const OptionalString& username,
                                                         const OptionalString& serviceName,
                                                         std::optional<NSError>* error);
    // Deletes every item of the service.
    static bool purgeItemsForServiceNameError(const OptionalString& serviceName,
                                              std::optional<NSError>* error);
};
