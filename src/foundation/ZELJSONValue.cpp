#include "foundation/ZELJSONValue.h"

#include <cstdio>

#include "foundation/ZELJSONObject.h"

ZELJSONValue::ZELJSONValue(std::shared_ptr<ZELJSONObject> object) {
    if (object)
        v_ = std::move(object);
}

std::shared_ptr<ZELJSONObject> ZELJSONValue::object() const {
    const auto* object = std::get_if<std::shared_ptr<ZELJSONObject>>(&v_);
    return object ? *object : nullptr;
}

const ZELJSONValue::Array* ZELJSONValue::array() const {
    const auto* array = std::get_if<std::shared_ptr<const Array>>(&v_);
    return array ? array->get() : nullptr;
}

bool ZELJSONValue::operator==(const ZELJSONValue& other) const {
    if (const Value* a = value(); a && other.value()) {
        const Value* b = other.value();
        if (a->isNumber() && b->isNumber())
            return a->doubleValue() == b->doubleValue();
        return *a == *b;
    }
    if (const Array* a = array(); a && other.array())
        return *a == *other.array();
    if (isNil() || other.isNil())
        return isNil() && other.isNil();
    return object() && object() == other.object();
}

std::string ZELJSONDescription(const Value& value) {
    char text[64];
    switch (value.type()) {
        case Value::Type::Null:
            return "<null>";
        case Value::Type::Bool:
            return *value.boolValue() ? "1" : "0";
        case Value::Type::Integer:
            std::snprintf(text, sizeof text, "%lld", static_cast<long long>(*value.integerValue()));
            return text;
        case Value::Type::Real:
            std::snprintf(text, sizeof text, "%.15g", *value.doubleValue());
            return text;
        case Value::Type::String:
            return *value.stringValue();
        case Value::Type::Data:
            return "<data>";
        case Value::Type::Date:
            return "<date>";
        case Value::Type::Array: {
            std::string result = "(";
            for (const Value& member : *value.arrayValue()) {
                result += (result.size() > 1 ? ", " : "") + ZELJSONDescription(member);
            }
            return result + ")";
        }
        case Value::Type::Dictionary: {
            std::string result = "{";
            for (const auto& [key, member] : *value.dictionaryValue()) {
                result +=
                    (result.size() > 1 ? "; " : "") + key + " = " + ZELJSONDescription(member);
            }
            return result + "}";
        }
    }
    return {};
}

std::string ZELJSONValue::description() const {
    if (const Value* v = value())
        return ZELJSONDescription(*v);
    if (const Array* members = array()) {
        std::string result = "(";
        for (const ZELJSONValue& member : *members) {
            result += (result.size() > 1 ? ", " : "") + member.description();
        }
        return result + ")";
    }
    if (auto nested = object())
        return nested->description();
    return "<null>";
}
