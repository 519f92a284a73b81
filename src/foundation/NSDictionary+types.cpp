#include "foundation/NSDictionary+types.h"

namespace {
const Value* lookup(const Value::Dictionary& dictionary, const std::string& key) {
    const auto found = dictionary.find(key);
    return found == dictionary.end() ? nullptr : &found->second;
}
}  // namespace

const Value* numberForKey(const Value::Dictionary& dictionary, const std::string& key) {
    const Value* value = lookup(dictionary, key);
    return value && value->isNumber() ? value : nullptr;
}

const std::string* stringForKey(const Value::Dictionary& dictionary, const std::string& key) {
    const Value* value = lookup(dictionary, key);
    return value ? value->stringValue() : nullptr;
}

const Value::Array* arrayForKey(const Value::Dictionary& dictionary, const std::string& key) {
    const Value* value = lookup(dictionary, key);
    return value ? value->arrayValue() : nullptr;
}

std::optional<Value::Array> mutableArrayForKey(const Value::Dictionary& dictionary,
                                               const std::string& key) {
    const Value::Array* array = arrayForKey(dictionary, key);
    if (!array)
        return std::nullopt;
    return *array;
}

const Value::Dictionary* dictionaryForKey(const Value::Dictionary& dictionary,
                                          const std::string& key) {
    const Value* value = lookup(dictionary, key);
    return value ? value->dictionaryValue() : nullptr;
}

const Value::Data* dataForKey(const Value::Dictionary& dictionary, const std::string& key) {
    const Value* value = lookup(dictionary, key);
    return value ? value->dataValue() : nullptr;
}

const Value* objectOfClassForKey(const Value::Dictionary& dictionary, Value::Type type,
                                 const std::string& key) {
    const Value* value = lookup(dictionary, key);
    if (!value)
        return nullptr;
    const bool numeric =
        type == Value::Type::Integer || type == Value::Type::Real || type == Value::Type::Bool;
    if (numeric ? value->isNumber() : value->type() == type)
        return value;
    return nullptr;
}
