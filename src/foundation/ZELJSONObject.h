#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Value.h"
#include "foundation/ZELJSONClass.h"
#include "foundation/ZELJSONObjectDescriptor.h"
#include "foundation/ZELJSONValue.h"

// Base of model objects filled from parsed JSON by descriptors. A subclass
// declares one descriptor per property (jsonDescriptors, keyed by property
// name) and reads its properties through typed accessors over the property
// store; the mapper sets them by name.
//
// Filling follows fixed rules for missing, null and mistyped values: a
// required property that cannot be filled fails the whole object (the
// create functions answer nullptr), an optional one stays nil; a value equal
// to the descriptor's default becomes nil.
class ZELJSONObject {
  public:
    using Descriptors = std::map<std::string, std::shared_ptr<const ZELJSONObjectDescriptor>>;
    using Properties = std::map<std::string, ZELJSONValue>;

    virtual ~ZELJSONObject() = default;

    // initWithJson: a new T filled from a dictionary (nullptr: nil);
    // nullptr when the argument is no dictionary or a required property fails.
    template <class T>
    static std::shared_ptr<T> createWithJson(const Value* json);
    // initWithJsonData: parses the data; a top-level array counts as nil.
    template <class T>
    static std::shared_ptr<T> createWithJsonData(const Value::Data& data);

    // The subclass's descriptors; none in the base.
    virtual Descriptors jsonDescriptors() const { return {}; }
    // Called once after a successful fill.
    virtual void jsonDidLoad() {}
    virtual std::string className() const { return "ZELJSONObject"; }

    // The descriptors, asked for once per object.
    const Descriptors& cachedJsonDescs() const;
    void setCachedJsonDescs(Descriptors descriptors) { cachedJsonDescs_ = std::move(descriptors); }

    // Fills the object; false when it must be discarded.
    bool fillWithJson(const Value* json);

    // A dictionary keyed by JSON keys for writing back; nested objects and
    // arrays of them become their own dictionaries.
    Value proxyForJson() const;
    // Every described property by name, the null value for nil ones. Not
    // recursive.
    Properties dictRepresentation() const;
    // Keyed by JSON keys, nested objects and array members as their own
    // recursive dictionaries; nil properties as null when includeNullValues.
    Value recusriveDictRepresentationIncludingNULLValues(bool includeNullValues) const;
    bool isEqualToJSONObjectWrapper(const ZELJSONObject* other) const;
    // "<ClassName>" then "\r<property> : '<value>'" per property.
    std::string description() const;

    const ZELJSONValue& valueForProperty(const std::string& name) const;
    void setValueForProperty(const std::string& name, ZELJSONValue value);

  protected:
    std::optional<std::string> stringForProperty(const std::string& name) const;
    std::optional<double> numberForProperty(const std::string& name) const;
    template <class T>
    std::shared_ptr<T> objectForProperty(const std::string& name) const;
    // The model members of an array property, in order.
    template <class T>
    std::vector<std::shared_ptr<T>> objectsForProperty(const std::string& name) const;
    // The string members of an array property, in order.
    std::vector<std::string> stringsForProperty(const std::string& name) const;

  private:
    enum class Outcome { Set, Skip, Fail };
    Outcome fillProperty(const std::string& name, const ZELJSONObjectDescriptor& descriptor,
                         const Value* value);
    std::optional<ZELJSONValue> buildArray(const ZELJSONObjectArrayDescriptor& descriptor,
                                           const Value::Array& members) const;
    static bool isKindOf(const ZELJSONValue& value, const ZELJSONClass& cls);

    mutable std::optional<Descriptors> cachedJsonDescs_;
    Properties properties_;
};

template <class T>
std::shared_ptr<T> ZELJSONObject::createWithJson(const Value* json) {
    auto object = std::make_shared<T>();
    return object->fillWithJson(json) ? object : nullptr;
}

template <class T>
std::shared_ptr<T> ZELJSONObject::objectForProperty(const std::string& name) const {
    return std::dynamic_pointer_cast<T>(valueForProperty(name).object());
}

template <class T>
std::vector<std::shared_ptr<T>> ZELJSONObject::objectsForProperty(const std::string& name) const {
    std::vector<std::shared_ptr<T>> objects;
    if (const auto* members = valueForProperty(name).array()) {
        for (const auto& member : *members) {
            if (auto object = std::dynamic_pointer_cast<T>(member.object())) {
                objects.push_back(std::move(object));
            }
        }
    }
    return objects;
}

template <class T>
ZELJSONClass ZELJSONClass::model(std::string name) {
    ZELJSONClass cls(Kind::Model, std::move(name));
    cls.factory_ = [](const Value& dictionary) -> std::shared_ptr<ZELJSONObject> {
        return ZELJSONObject::createWithJson<T>(&dictionary);
    };
    cls.instanceCheck_ = [](const ZELJSONObject& object) {
        return dynamic_cast<const T*>(&object) != nullptr;
    };
    return cls;
}

#include "foundation/NSJSONSerialization+objectsFromURL.h"

template <class T>
std::shared_ptr<T> ZELJSONObject::createWithJsonData(const Value::Data& data) {
    const auto json = jsonDictionaryWithData(&data);
    return createWithJson<T>(json ? &*json : nullptr);
}
