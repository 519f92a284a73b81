#include "Foundation/NSKeyedUnarchiver.h"

#include "Foundation/NSKeyedArchiver.h"
#include "Foundation/NSPropertyListSerialization.h"

namespace {

NSError damaged(const std::string& reason) {
    return NSError::errorWithDomain(
        NSError::NSCocoaErrorDomain, NSKeyedUnarchiver::kReadCorruptError,
        {{NSError::NSLocalizedDescriptionKey, Value("The archive is damaged: " + reason)}});
}

bool isObject(const Value& value) {
    const Value* name = value.get(NSKeyedArchiver::kClassKey);
    return name && name->stringValue();
}

}  // namespace

NSKeyedUnarchiver::NSKeyedUnarchiver(const Value& object,
                                     std::shared_ptr<std::optional<NSError>> error)
    : error_(std::move(error)) {
    if (const auto* values = object.dictionaryValue())
        values_ = *values;
    if (const Value* name = object.get(NSKeyedArchiver::kClassKey))
        if (const std::string* text = name->stringValue())
            className_ = *text;
}

std::optional<NSKeyedUnarchiver> NSKeyedUnarchiver::unarchiverForReadingFromData(
    const Value::Data& data, NSError* error) {
    NSError readError;
    const auto archive =
        NSPropertyListSerialization::propertyListWithData(data, nullptr, &readError);
    const Value* archiver = archive ? archive->get("$archiver") : nullptr;
    const Value* root = archive ? archive->get("root") : nullptr;
    if (!archive || !archiver || !archiver->stringValue() ||
        *archiver->stringValue() != "NSKeyedArchiver" || !root || !isObject(*root)) {
        if (error)
            *error = damaged(archive ? "it holds no archived object"
                                     : "it is no property list (" +
                                           readError.localizedDescription() + ")");
        return std::nullopt;
    }
    return NSKeyedUnarchiver(*root, std::make_shared<std::optional<NSError>>());
}

bool NSKeyedUnarchiver::containsValueForKey(const std::string& key) const {
    return values_.contains(key);
}

void NSKeyedUnarchiver::failWithReason(const std::string& reason) const {
    if (!error_->has_value())
        *error_ = damaged(reason);
}

const Value* NSKeyedUnarchiver::valueOfKind(const std::string& key, Value::Type kind,
                                            const char* what) const {
    auto found = values_.find(key);
    if (found == values_.end())
        return nullptr;
    const Value& value = found->second;
    const bool number = kind == Value::Type::Real || kind == Value::Type::Integer;
    if (number ? value.isNumber() : value.type() == kind)
        return &value;
    failWithReason("\"" + key + "\" of " + className_ + " is not " + what);
    return nullptr;
}

std::optional<bool> NSKeyedUnarchiver::decodeBoolForKey(const std::string& key) const {
    const Value* value = valueOfKind(key, Value::Type::Integer, "a number");
    return value ? value->boolValue() : std::nullopt;
}

std::optional<int64_t> NSKeyedUnarchiver::decodeInt64ForKey(const std::string& key) const {
    const Value* value = valueOfKind(key, Value::Type::Integer, "a number");
    return value ? value->integerValue() : std::nullopt;
}

std::optional<double> NSKeyedUnarchiver::decodeDoubleForKey(const std::string& key) const {
    const Value* value = valueOfKind(key, Value::Type::Real, "a number");
    return value ? value->doubleValue() : std::nullopt;
}

std::optional<std::string> NSKeyedUnarchiver::decodeStringForKey(const std::string& key) const {
    const Value* value = valueOfKind(key, Value::Type::String, "a text");
    return value ? std::optional<std::string>(*value->stringValue()) : std::nullopt;
}

std::optional<std::vector<double>> NSKeyedUnarchiver::decodeNumbersForKey(const std::string& key,
                                                                          size_t count) const {
    const Value* value = valueOfKind(key, Value::Type::Array, "a list");
    if (!value)
        return std::nullopt;
    std::vector<double> numbers;
    for (const Value& item : *value->arrayValue())
        if (item.isNumber())
            numbers.push_back(*item.doubleValue());
    if (numbers.size() != count || value->count() != count) {
        failWithReason("\"" + key + "\" of " + className_ + " is not a list of " +
                       std::to_string(count) + " numbers");
        return std::nullopt;
    }
    return numbers;
}

std::optional<Value> NSKeyedUnarchiver::decodeValueForKey(const std::string& key) const {
    auto found = values_.find(key);
    if (found == values_.end())
        return std::nullopt;
    if (isObject(found->second)) {
        failWithReason("\"" + key + "\" of " + className_ + " is an object, not a value");
        return std::nullopt;
    }
    return found->second;
}

std::optional<NSKeyedUnarchiver> NSKeyedUnarchiver::decodeObjectOfClassForKey(
    const std::string& className, const std::string& key) const {
    const Value* value = valueOfKind(key, Value::Type::Dictionary, "an object");
    if (!value)
        return std::nullopt;
    NSKeyedUnarchiver object(*value, error_);
    if (object.className_ != className) {
        failWithReason("\"" + key + "\" of " + className_ + " is a " +
                       (object.className_.empty() ? "nameless object" : object.className_) +
                       ", not a " + className);
        return std::nullopt;
    }
    return object;
}

std::optional<std::vector<NSKeyedUnarchiver>> NSKeyedUnarchiver::decodeObjectsOfClassForKey(
    const std::string& className, const std::string& key) const {
    const Value* value = valueOfKind(key, Value::Type::Array, "a list");
    if (!value)
        return std::nullopt;
    std::vector<NSKeyedUnarchiver> objects;
    for (const Value& item : *value->arrayValue()) {
        NSKeyedUnarchiver object(item, error_);
        if (!item.dictionaryValue() || object.className_ != className) {
            failWithReason("an item of \"" + key + "\" of " + className_ + " is not a " +
                           className);
            return std::nullopt;
        }
        objects.push_back(std::move(object));
    }
    return objects;
}
