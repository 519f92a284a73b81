#include "sdk/BITKeychainUtils.h"

#include "Security/SecItem.h"

namespace {

void fail(std::optional<NSError>* error, long code) {
    if (error)
        *error = NSError::errorWithDomain(BITKeychainUtils::BITKeychainUtilsErrorDomain, code);
}

Value::Dictionary itemQuery(const std::string& username, const std::string& serviceName) {
    return {{kSecClass, kSecClassGenericPassword},
            {kSecAttrAccount, username},
            {kSecAttrService, serviceName}};
}

bool isValidUTF8(const Value::Data& data) {
    size_t i = 0;
    while (i < data.size()) {
        const uint8_t lead = data[i];
        size_t length = 0;
        uint32_t codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > data.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            if ((data[i + k] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (data[i + k] & 0x3F);
        }
        const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < smallest[length] || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

}  // namespace

BITKeychainUtils::OptionalString BITKeychainUtils::getPasswordForUsernameAndServiceNameError(
    const OptionalString& username, const OptionalString& serviceName,
    std::optional<NSError>* error) {
    if (!username || !serviceName) {
        fail(error, kMissingArgument);
        return std::nullopt;
    }
    if (error)
        error->reset();
    Value::Dictionary query = itemQuery(*username, *serviceName);
    query[kSecReturnAttributes] = true;
    Value attributes;
    OSStatus status = SecItemCopyMatching(query, &attributes);
    if (status != errSecSuccess) {
        if (status != errSecItemNotFound)
            fail(error, status);
        return std::nullopt;
    }
    query.erase(kSecReturnAttributes);
    query[kSecReturnData] = true;
    Value data;
    status = SecItemCopyMatching(query, &data);
    if (status != errSecSuccess) {
        fail(error, status == errSecItemNotFound ? kUnreadableItem : status);
        return std::nullopt;
    }
    // Bytes that are not UTF-8 cannot be the string that was stored.
    if (!data.dataValue() || !isValidUTF8(*data.dataValue())) {
        fail(error, kUnreadableItem);
        return std::nullopt;
    }
    return std::string(data.dataValue()->begin(), data.dataValue()->end());
}

bool BITKeychainUtils::storeUsernameAndPasswordForServiceNameUpdateExistingError(
    const OptionalString& username, const OptionalString& password,
    const OptionalString& serviceName, bool updateExisting, std::optional<NSError>* error) {
    return storeUsernameAndPasswordForServiceNameUpdateExistingAccessibilityError(
        username, password, serviceName, updateExisting, kSecAttrAccessibleAlways, error);
}

bool BITKeychainUtils::storeUsernameAndPasswordForServiceNameUpdateExistingAccessibilityError(
    const OptionalString& username, const OptionalString& password,
    const OptionalString& serviceName, bool updateExisting, const char* accessibility,
    std::optional<NSError>* error) {
    if (!username || !password || !serviceName) {
        fail(error, kMissingArgument);
        return false;
    }
    if (error)
        error->reset();
    std::optional<NSError> readError;
    const OptionalString existing =
        getPasswordForUsernameAndServiceNameError(username, serviceName, &readError);
    if (readError) {
        if (readError->code != kUnreadableItem) {
            if (error)
                *error = readError;
            return false;
        }
        if (!deleteItemForUsernameAndServiceNameError(username, serviceName, error))
            return false;
    }
    const Value::Data value(password->begin(), password->end());
    if (existing) {
        if (!updateExisting || *existing == *password)
            return true;
        // Matched by account and service alone, so an item written with
        // another accessibility is still updated rather than left stale.
        const OSStatus status = SecItemUpdate(itemQuery(*username, *serviceName),
                                              {{kSecValueData, value},
                                               {kSecAttrLabel, *serviceName},
                                               {kSecAttrAccessible, accessibility}});
        if (status != errSecSuccess) {
            fail(error, status);
            return false;
        }
        return true;
    }
    Value::Dictionary item = itemQuery(*username, *serviceName);
    item[kSecAttrLabel] = *serviceName;
    item[kSecAttrAccessible] = accessibility;
    item[kSecValueData] = value;
    const OSStatus status = SecItemAdd(item);
    if (status != errSecSuccess) {
        fail(error, status);
        return false;
    }
    return true;
}

bool BITKeychainUtils::deleteItemForUsernameAndServiceNameError(const OptionalString& username,
                                                                const OptionalString& serviceName,
                                                                std::optional<NSError>* error) {
    if (!username || !serviceName) {
        fail(error, kMissingArgument);
        return false;
    }
    if (error)
        error->reset();
    const OSStatus status = SecItemDelete(itemQuery(*username, *serviceName));
    if (status != errSecSuccess) {
        fail(error, status);
        return false;
    }
    return true;
}

bool BITKeychainUtils::purgeItemsForServiceNameError(const OptionalString& serviceName,
                                                     std::optional<NSError>* error) {
    if (!serviceName) {
        fail(error, kMissingArgument);
        return false;
    }
    if (error)
        error->reset();
    const OSStatus status =
        SecItemDelete({{kSecClass, kSecClassGenericPassword}, {kSecAttrService, *serviceName}});
    if (status != errSecSuccess) {
        fail(error, status);
        return false;
    }
    return true;
}
