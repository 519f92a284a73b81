#include "foundation/ZELJSONObject.h"

#include "Foundation/NSLog.h"

namespace {
const ZELJSONValue kNil;

bool equalsDefault(const Value& value, const std::optional<Value>& defaultValue) {
    if (!defaultValue)
        return false;
    return ZELJSONValue(value) == ZELJSONValue(*defaultValue);
}

// The JSON form of a property for writing: nested objects as their proxies.
std::optional<Value> jsonFormOf(const ZELJSONValue& value) {
    if (const Value* json = value.value())
        return *json;
    if (auto object = value.object())
        return object->proxyForJson();
    if (const auto* members = value.array()) {
        Value::Array array;
        for (const auto& member : *members) {
            if (auto form = jsonFormOf(member))
                array.push_back(std::move(*form));
        }
        return Value(std::move(array));
    }
    return std::nullopt;
}

Value recursiveFormOf(const ZELJSONValue& value, bool includeNullValues) {
    if (const Value* json = value.value())
        return *json;
    if (auto object = value.object()) {
        return object->recusriveDictRepresentationIncludingNULLValues(includeNullValues);
    }
    Value::Array array;
    if (const auto* members = value.array()) {
        for (const auto& member : *members) {
            array.push_back(recursiveFormOf(member, includeNullValues));
        }
    }
    return Value(std::move(array));
}
}  // namespace

const ZELJSONObject::Descriptors& ZELJSONObject::cachedJsonDescs() const {
    if (!cachedJsonDescs_)
        cachedJsonDescs_ = jsonDescriptors();
    return *cachedJsonDescs_;
}

const ZELJSONValue& ZELJSONObject::valueForProperty(const std::string& name) const {
    const auto found = properties_.find(name);
    return found == properties_.end() ? kNil : found->second;
}

void ZELJSONObject::setValueForProperty(const std::string& name, ZELJSONValue value) {
    if (value.isNil()) {
        properties_.erase(name);
    } else {
        properties_[name] = std::move(value);
    }
}

bool ZELJSONObject::isKindOf(const ZELJSONValue& value, const ZELJSONClass& cls) {
    if (const Value* json = value.value())
        return cls.isKindOfValue(*json);
    if (auto object = value.object())
        return cls.isKindOfObject(*object);
    return value.array() && cls.kind() == ZELJSONClass::Kind::Array;
}

bool ZELJSONObject::fillWithJson(const Value* json) {
    if (json && json->type() != Value::Type::Dictionary)
        return false;
    for (const auto& [name, descriptor] : cachedJsonDescs()) {
        const Value* value = json ? json->get(descriptor->jsonKey()) : nullptr;
        if (fillProperty(name, *descriptor, value) == Outcome::Fail)
            return false;
    }
    jsonDidLoad();
    return true;
}

ZELJSONObject::Outcome ZELJSONObject::fillProperty(const std::string& name,
                                                   const ZELJSONObjectDescriptor& descriptor,
                                                   const Value* value) {
    const bool missing = !value || value->isNull();
    if (missing && descriptor.isOptional())
        return Outcome::Skip;
    // Sets nil for an optional property, fails the object for a required one.
    auto reject = [&] {
        if (!descriptor.isOptional())
            return Outcome::Fail;
        setValueForProperty(name, {});
        return Outcome::Set;
    };
    if (missing)
        return reject();

    const auto* arrayDescriptor = dynamic_cast<const ZELJSONObjectArrayDescriptor*>(&descriptor);
    if (arrayDescriptor && value->arrayValue()) {
        auto array = buildArray(*arrayDescriptor, *value->arrayValue());
        if (!array)
            return reject();
        setValueForProperty(name, std::move(*array));
        return Outcome::Set;
    }
    const ZELJSONClass& cls = descriptor.validationClass();
    if (cls.isKindOfValue(*value)) {
        setValueForProperty(name, equalsDefault(*value, descriptor.defaultValue())
                                      ? ZELJSONValue()
                                      : ZELJSONValue(*value));
        return Outcome::Set;
    }
    if (cls.isModel() && value->dictionaryValue()) {
        auto nested = cls.makeFromDictionary(*value);
        if (!nested) {
            NSLogWithLevel(NSLogLevel::Error, "failed to init class: %s", cls.name().c_str());
            return reject();
        }
        setValueForProperty(name, std::move(nested));
        return Outcome::Set;
    }
    return reject();
}

std::optional<ZELJSONValue> ZELJSONObject::buildArray(
    const ZELJSONObjectArrayDescriptor& descriptor, const Value::Array& members) const {
    const ZELJSONClass& cls = descriptor.memberValidationClass();
    ZELJSONValue::Array built;
    built.reserve(members.size());
    for (const Value& member : members) {
        if (cls.isKindOfValue(member)) {
            built.emplace_back(member);
            continue;
        }
        if (cls.isModel() && member.dictionaryValue()) {
            if (auto nested = cls.makeFromDictionary(member)) {
                built.emplace_back(std::move(nested));
                continue;
            }
        }
        if (!descriptor.ignoreInvalidMembers())
            return std::nullopt;
    }
    return ZELJSONValue(std::move(built));
}

Value ZELJSONObject::proxyForJson() const {
    Value::Dictionary result;
    for (const auto& [name, descriptor] : cachedJsonDescs()) {
        const ZELJSONValue& property = valueForProperty(name);
        const ZELJSONValue value =
            isKindOf(property, descriptor->validationClass())
                ? property
                : (descriptor->defaultValue() ? ZELJSONValue(*descriptor->defaultValue())
                                              : ZELJSONValue());
        if (!isKindOf(value, descriptor->validationClass()))
            continue;
        if (auto form = jsonFormOf(value))
            result[descriptor->jsonKey()] = std::move(*form);
    }
    return Value(std::move(result));
}

ZELJSONObject::Properties ZELJSONObject::dictRepresentation() const {
    Properties result;
    for (const auto& [name, descriptor] : cachedJsonDescs()) {
        const ZELJSONValue& value = valueForProperty(name);
        result[name] = value.isNil() ? ZELJSONValue(Value()) : value;
    }
    return result;
}

Value ZELJSONObject::recusriveDictRepresentationIncludingNULLValues(bool includeNullValues) const {
    Value::Dictionary result;
    for (const auto& [name, descriptor] : cachedJsonDescs()) {
        const ZELJSONValue& value = valueForProperty(name);
        if (value.isNil()) {
            if (includeNullValues)
                result[descriptor->jsonKey()] = Value();
            continue;
        }
        result[descriptor->jsonKey()] = recursiveFormOf(value, includeNullValues);
    }
    return Value(std::move(result));
}

bool ZELJSONObject::isEqualToJSONObjectWrapper(const ZELJSONObject* other) const {
    return other && dictRepresentation() == other->dictRepresentation();
}

std::string ZELJSONObject::description() const {
    std::string text = "<" + className() + ">";
    for (const auto& [name, value] : dictRepresentation()) {
        text += "\r" + name + " : '" + value.description() + "'";
    }
    return text;
}

std::optional<std::string> ZELJSONObject::stringForProperty(const std::string& name) const {
    const Value* value = valueForProperty(name).value();
    const std::string* text = value ? value->stringValue() : nullptr;
    if (!text)
        return std::nullopt;
    return *text;
}

std::optional<double> ZELJSONObject::numberForProperty(const std::string& name) const {
    const Value* value = valueForProperty(name).value();
    return value ? value->doubleValue() : std::nullopt;
}

std::vector<std::string> ZELJSONObject::stringsForProperty(const std::string& name) const {
    std::vector<std::string> strings;
    if (const auto* members = valueForProperty(name).array()) {
        for (const auto& member : *members) {
            const Value* value = member.value();
            if (const std::string* text = value ? value->stringValue() : nullptr) {
                strings.push_back(*text);
            }
        }
    }
    return strings;
}
