#include "Security/SecItem.h"

#include <algorithm>
#include <string>

#include "Foundation/NSDate.h"
#include "Foundation/NSPathUtilities.h"
#include "Security/SecKeychainFile.h"

namespace {

const char* const kMatchedAttributes[] = {kSecAttrAccount, kSecAttrService, kSecAttrLabel,
                                          kSecAttrAccessible};

// errSecSuccess when the dictionary names the generic-password class and
// every attribute it gives has the right kind.
OSStatus checkQuery(const Value::Dictionary& query) {
    const auto itemClass = query.find(kSecClass);
    if (itemClass == query.end() || !itemClass->second.stringValue())
        return errSecParam;
    if (*itemClass->second.stringValue() != kSecClassGenericPassword)
        return errSecUnimplemented;
    for (const char* key : kMatchedAttributes) {
        const auto found = query.find(key);
        if (found != query.end() && !found->second.stringValue())
            return errSecParam;
    }
    const auto data = query.find(kSecValueData);
    if (data != query.end() && !data->second.dataValue())
        return errSecParam;
    return errSecSuccess;
}

std::string stringAttribute(const Value& item, const char* key) {
    const Value* value = item.get(key);
    const std::string* text = value ? value->stringValue() : nullptr;
    return text ? *text : std::string();
}

bool matches(const Value& item, const Value::Dictionary& query) {
    for (const char* key : kMatchedAttributes) {
        const auto wanted = query.find(key);
        if (wanted != query.end() && stringAttribute(item, key) != *wanted->second.stringValue())
            return false;
    }
    return true;
}

bool sameIdentity(const Value& a, const Value& b) {
    return stringAttribute(a, kSecAttrAccount) == stringAttribute(b, kSecAttrAccount) &&
           stringAttribute(a, kSecAttrService) == stringAttribute(b, kSecAttrService);
}

bool flag(const Value::Dictionary& query, const char* key) {
    const auto found = query.find(key);
    return found != query.end() && found->second.boolValue().value_or(false);
}

Value resultFor(const Value& item, bool wantData, bool wantAttributes) {
    const Value* data = item.get(kSecValueData);
    if (wantData && !wantAttributes)
        return data ? *data : Value(Value::Data{});
    if (!wantAttributes)
        return Value();
    Value attributes = item;
    if (!wantData)
        attributes.mutableDictionary().erase(kSecValueData);
    attributes[kSecClass] = kSecClassGenericPassword;
    return attributes;
}

}  // namespace

std::string SecKeychainFilePath() {
    return NSSearchPathForDirectory(NSSearchPathDirectory::Library) + "/Keychain.plist";
}

OSStatus SecItemAdd(const Value::Dictionary& attributes, Value* result) {
    if (result)
        *result = Value();
    if (const OSStatus status = checkQuery(attributes); status != errSecSuccess)
        return status;
    Value item(Value::Dictionary{});
    for (const char* key : kMatchedAttributes) {
        if (const auto found = attributes.find(key); found != attributes.end())
            item[key] = found->second;
    }
    if (!item.get(kSecAttrAccessible))
        item[kSecAttrAccessible] = kSecAttrAccessibleWhenUnlocked;
    const auto data = attributes.find(kSecValueData);
    item[kSecValueData] = data != attributes.end() ? data->second : Value(Value::Data{});
    const NSDate now = NSDate::date();
    item[kSecAttrCreationDate] = now;
    item[kSecAttrModificationDate] = now;

    return SecKeychainFile::transact(SecKeychainFilePath(),
                                     [&](Value::Array& items, bool& changed) {
                                         for (const Value& existing : items) {
                                             if (sameIdentity(existing, item))
                                                 return errSecDuplicateItem;
                                         }
                                         items.push_back(item);
                                         changed = true;
                                         return errSecSuccess;
                                     });
}

OSStatus SecItemCopyMatching(const Value::Dictionary& query, Value* result) {
    if (result)
        *result = Value();
    if (const OSStatus status = checkQuery(query); status != errSecSuccess)
        return status;
    const auto limit = query.find(kSecMatchLimit);
    const bool all = limit != query.end() && limit->second.stringValue() &&
                     *limit->second.stringValue() == kSecMatchLimitAll;
    const bool wantData = flag(query, kSecReturnData);
    const bool wantAttributes = flag(query, kSecReturnAttributes);

    return SecKeychainFile::transact(SecKeychainFilePath(), [&](Value::Array& items, bool&) {
        Value::Array found;
        for (const Value& item : items) {
            if (!matches(item, query))
                continue;
            found.push_back(resultFor(item, wantData, wantAttributes));
            if (!all)
                break;
        }
        if (found.empty())
            return errSecItemNotFound;
        if (result)
            *result = all ? Value(std::move(found)) : std::move(found.front());
        return errSecSuccess;
    });
}

OSStatus SecItemUpdate(const Value::Dictionary& query,
                       const Value::Dictionary& attributesToUpdate) {
    if (const OSStatus status = checkQuery(query); status != errSecSuccess)
        return status;
    Value::Dictionary update = attributesToUpdate;
    update[kSecClass] = kSecClassGenericPassword;
    if (const OSStatus status = checkQuery(update); status != errSecSuccess)
        return status;
    update.erase(kSecClass);

    return SecKeychainFile::transact(
        SecKeychainFilePath(), [&](Value::Array& items, bool& changed) {
            Value::Array updated = items;
            bool any = false;
            for (Value& item : updated) {
                if (!matches(item, query))
                    continue;
                any = true;
                for (const auto& entry : update) {
                    const auto& key = entry.first;
                    const auto& value = entry.second;
                    if (key == kSecValueData ||
                        std::find_if(std::begin(kMatchedAttributes), std::end(kMatchedAttributes),
                                     [&](const char* name) { return key == name; }) !=
                            std::end(kMatchedAttributes))
                        item[key] = value;
                }
                item[kSecAttrModificationDate] = NSDate::date();
            }
            if (!any)
                return errSecItemNotFound;
            for (size_t i = 0; i < updated.size(); ++i) {
                for (size_t j = i + 1; j < updated.size(); ++j) {
                    if (sameIdentity(updated[i], updated[j]))
                        return errSecDuplicateItem;
                }
            }
            items = std::move(updated);
            changed = true;
            return errSecSuccess;
        });
}

OSStatus SecItemDelete(const Value::Dictionary& query) {
    if (const OSStatus status = checkQuery(query); status != errSecSuccess)
        return status;
    return SecKeychainFile::transact(
        SecKeychainFilePath(), [&](Value::Array& items, bool& changed) {
            const size_t before = items.size();
            std::erase_if(items, [&](const Value& item) { return matches(item, query); });
            if (items.size() == before)
                return errSecItemNotFound;
            changed = true;
            return errSecSuccess;
        });
}
