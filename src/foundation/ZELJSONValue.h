#pragma once

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "Foundation/Value.h"

class ZELJSONObject;

// A property of a JSON model object: nil, a JSON value (string, number,
// dictionary, ...), a nested model object, or an array whose members are
// JSON values or model objects.
class ZELJSONValue {
  public:
    using Array = std::vector<ZELJSONValue>;

    ZELJSONValue() = default;
    ZELJSONValue(Value value) : v_(std::move(value)) {}
    ZELJSONValue(std::shared_ptr<ZELJSONObject> object);
    ZELJSONValue(Array array) : v_(std::make_shared<const Array>(std::move(array))) {}

    bool isNil() const { return std::holds_alternative<std::monostate>(v_); }
    const Value* value() const { return std::get_if<Value>(&v_); }
    std::shared_ptr<ZELJSONObject> object() const;
    const Array* array() const;

    // JSON values by value (numbers by numeric value), model objects by
    // identity, arrays member by member.
    bool operator==(const ZELJSONValue& other) const;

    // A readable text: strings as they are, numbers in their shortest form,
    // "<null>", nested objects by their description.
    std::string description() const;

  private:
    std::variant<std::monostate, Value, std::shared_ptr<ZELJSONObject>,
                 std::shared_ptr<const Array>>
        v_;
};

// A readable text of a JSON value, as ZELJSONValue::description gives it.
std::string ZELJSONDescription(const Value& value);
