#include "app/NSUserDefaults+CrashInformation.h"

#include "Foundation/NSUserDefaults.h"

namespace CrashInformation {
namespace {
void setValue(const std::string& key, Value value) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    Value::Dictionary dictionary =
        defaults->dictionaryForKey(kDictionaryKey).value_or(Value::Dictionary{});
    dictionary[key] = std::move(value);
    defaults->setObjectForKey(Value(std::move(dictionary)), kDictionaryKey);
}
}  // namespace

void setCurrentViewController(const std::string& className) {
    setValue("vc", Value(className));
}

void didEnterMapWithIdentifier(const std::optional<std::string>& identifier,
                               const std::optional<NSDate>& dateAdded) {
    if (!identifier)
        return;
    setValue("map", Value(*identifier));
    setValue("mapDateAdded", dateAdded ? Value(*dateAdded) : Value());
}

void rotate() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (auto last = defaults->dictionaryForKey(kDictionaryKey))
        defaults->setObjectForKey(Value(*last), kPreviousDictionaryKey);
    defaults->removeObjectForKey(kDictionaryKey);
}

}  // namespace CrashInformation
