#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Foundation/Value.h"

class ZELJSONObject;

// The class a JSON value must be a kind of: a string, a number (booleans
// included), an array, a dictionary, or a model class built from a
// dictionary.
class ZELJSONClass {
  public:
    enum class Kind { String, Number, Array, Dictionary, Model };
    using Factory = std::function<std::shared_ptr<ZELJSONObject>(const Value& dictionary)>;
    using InstanceCheck = std::function<bool(const ZELJSONObject&)>;

    static ZELJSONClass string() { return ZELJSONClass(Kind::String, "NSString"); }
    static ZELJSONClass number() { return ZELJSONClass(Kind::Number, "NSNumber"); }
    static ZELJSONClass array() { return ZELJSONClass(Kind::Array, "NSArray"); }
    static ZELJSONClass dictionary() { return ZELJSONClass(Kind::Dictionary, "NSDictionary"); }
    // A ZELJSONObject subclass; `name` is the class name used in the log.
    // (Defined in ZELJSONObject.h.)
    template <class T>
    static ZELJSONClass model(std::string name);

    Kind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    bool isModel() const { return kind_ == Kind::Model; }

    // Whether a JSON value is a kind of this class (never for a model class).
    bool isKindOfValue(const Value& value) const;
    // Whether a model object is a kind of this model class.
    bool isKindOfObject(const ZELJSONObject& object) const {
        return isModel() && instanceCheck_(object);
    }
    // A new, filled model object from a dictionary, or nullptr.
    std::shared_ptr<ZELJSONObject> makeFromDictionary(const Value& dictionary) const {
        return isModel() ? factory_(dictionary) : nullptr;
    }

  private:
    ZELJSONClass(Kind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

    Kind kind_;
    std::string name_;
    Factory factory_;
    InstanceCheck instanceCheck_;
};
