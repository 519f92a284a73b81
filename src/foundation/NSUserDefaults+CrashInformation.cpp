#include "foundation/NSUserDefaults+CrashInformation.h"

#include "Foundation/NSUserDefaults.h"

namespace CrashInformation {
namespace {
// nullopt removes the key: a property list cannot hold a null, and one null
// would keep every user default from being saved.
void setValue(const std::string& key, std::optional<Value> value) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    Value::Dictionary dictionary =
        defaults->dictionaryForKey(kDictionaryKey).value_or(Value::Dictionary{});
    if (value)
        dictionary[key] = std::move(*value);
    else
        dictionary.erase(key);
    defaults->setObjectForKey(Value(std::move(dictionary)), kDictionaryKey);
}
}  // namespace

void crashInformationSetCurrentViewController(const std::string& className) {
    setValue("vc", Value(className));
}

void crashInformationDidEnterMapWithIdentifierDateAdded(
    const std::optional<std::string>& identifier, const std::optional<NSDate>& dateAdded) {
    if (!identifier)
        return;
    setValue("map", Value(*identifier));
    setValue("mapDateAdded", dateAdded ? std::optional(Value(*dateAdded)) : std::nullopt);
}

void rotate() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (auto last = defaults->dictionaryForKey(kDictionaryKey))
        defaults->setObjectForKey(Value(*last), kPreviousDictionaryKey);
    defaults->removeObjectForKey(kDictionaryKey);
}

}  // namespace CrashInformation
