#pragma once

#include <cstdint>

#include "Foundation/Value.h"

// The keychain's generic-password items, kept in one file of mode 0600 in
// <Library> (SecKeychainFilePath) so that they outlive the process. Queries
// and attributes are dictionaries keyed by the constants below; every call
// answers a status code.
using OSStatus = int32_t;

constexpr OSStatus errSecSuccess = 0;
constexpr OSStatus errSecUnimplemented = -4;
constexpr OSStatus errSecIO = -36;
constexpr OSStatus errSecParam = -50;
constexpr OSStatus errSecDuplicateItem = -25299;
constexpr OSStatus errSecItemNotFound = -25300;
constexpr OSStatus errSecDecode = -26275;

// Item class; only generic passwords are kept.
inline constexpr const char* kSecClass = "class";
inline constexpr const char* kSecClassGenericPassword = "genericPassword";

// Attributes (strings). An item is identified by its account and service.
inline constexpr const char* kSecAttrAccount = "account";
inline constexpr const char* kSecAttrService = "service";
inline constexpr const char* kSecAttrLabel = "label";
inline constexpr const char* kSecAttrAccessible = "accessible";
// Dates, set by the keychain.
inline constexpr const char* kSecAttrCreationDate = "creationDate";
inline constexpr const char* kSecAttrModificationDate = "modificationDate";

// Values of kSecAttrAccessible. A desktop has no lock screen or device
// migration, so they are stored and answered but restrict nothing.
inline constexpr const char* kSecAttrAccessibleWhenUnlocked = "whenUnlocked";
inline constexpr const char* kSecAttrAccessibleAfterFirstUnlock = "afterFirstUnlock";
inline constexpr const char* kSecAttrAccessibleAlways = "always";
inline constexpr const char* kSecAttrAccessibleWhenUnlockedThisDeviceOnly =
    "whenUnlockedThisDeviceOnly";
inline constexpr const char* kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly =
    "afterFirstUnlockThisDeviceOnly";
inline constexpr const char* kSecAttrAccessibleAlwaysThisDeviceOnly = "alwaysThisDeviceOnly";

// The secret (data).
inline constexpr const char* kSecValueData = "valueData";

// Search options: what to return (booleans) and how many matches.
inline constexpr const char* kSecReturnData = "returnData";
inline constexpr const char* kSecReturnAttributes = "returnAttributes";
inline constexpr const char* kSecMatchLimit = "matchLimit";
inline constexpr const char* kSecMatchLimitOne = "matchLimitOne";
inline constexpr const char* kSecMatchLimitAll = "matchLimitAll";

// Adds an item; errSecDuplicateItem when one with the same account and
// service exists. `result`, when given, is set to null.
OSStatus SecItemAdd(const Value::Dictionary& attributes, Value* result = nullptr);
// Finds items matching the query's class and attributes. With one match
// (the default limit) the result is the data, the attributes dictionary
// (with kSecValueData when both are asked for) or null; with
// kSecMatchLimitAll an array of those.
OSStatus SecItemCopyMatching(const Value::Dictionary& query, Value* result);
// Changes the attributes (and data) of every matching item.
OSStatus SecItemUpdate(const Value::Dictionary& query, const Value::Dictionary& attributesToUpdate);
// Deletes every matching item.
OSStatus SecItemDelete(const Value::Dictionary& query);

// <Library>/Keychain.plist.
std::string SecKeychainFilePath();
