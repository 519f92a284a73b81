#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "Foundation/Value.h"
#include "foundation/ZELJSONClass.h"

// How one property of a JSON model object is read: the JSON key, the class
// the value must have, the value that stands for "no value" (and is written
// back for an unset property), and whether the key may be missing.
class ZELJSONObjectDescriptor {
  public:
    ZELJSONObjectDescriptor(std::string jsonKey, ZELJSONClass validationClass,
                            std::optional<Value> defaultValue, bool isOptional = false);
    virtual ~ZELJSONObjectDescriptor() = default;

    static std::shared_ptr<ZELJSONObjectDescriptor>
    descriptorWithJsonKeyValidationClassAndDefaultValue(std::string jsonKey,
                                                        ZELJSONClass validationClass,
                                                        std::optional<Value> defaultValue,
                                                        bool isOptional = false);
    // Strings without default (nil) and with the empty string as default.
    static std::shared_ptr<ZELJSONObjectDescriptor> descriptorForStringWithJsonKey(
        std::string jsonKey, bool isOptional = false);
    static std::shared_ptr<ZELJSONObjectDescriptor> descriptorForStringWithDefaultWithJsonKey(
        std::string jsonKey, bool isOptional = false);
    // Numbers without default (nil) and with the integer -1 as default.
    static std::shared_ptr<ZELJSONObjectDescriptor> descriptorForNumberWithJsonKey(
        std::string jsonKey, bool isOptional = false);
    static std::shared_ptr<ZELJSONObjectDescriptor> descriptorForNumberWithDefaultWithJsonKey(
        std::string jsonKey, bool isOptional = false);
    // The forms that name the optional flag.
    static std::shared_ptr<ZELJSONObjectDescriptor>
    descriptorWithJsonKeyValidationClassAndDefaultValueIsOptional(std::string jsonKey,
                                                                  ZELJSONClass validationClass,
                                                                  std::optional<Value> defaultValue,
                                                                  bool isOptional) {
        return descriptorWithJsonKeyValidationClassAndDefaultValue(
            std::move(jsonKey), std::move(validationClass), std::move(defaultValue), isOptional);
    }
    static std::shared_ptr<ZELJSONObjectDescriptor> descriptorForStringWithJsonKeyIsOptional(
        std::string jsonKey, bool isOptional) {
        return descriptorForStringWithJsonKey(std::move(jsonKey), isOptional);
    }
    static std::shared_ptr<ZELJSONObjectDescriptor>
    descriptorForStringWithDefaultWithJsonKeyIsOptional(std::string jsonKey, bool isOptional) {
        return descriptorForStringWithDefaultWithJsonKey(std::move(jsonKey), isOptional);
    }
    static std::shared_ptr<ZELJSONObjectDescriptor> descriptorForNumberWithJsonKeyIsOptional(
        std::string jsonKey, bool isOptional) {
        return descriptorForNumberWithJsonKey(std::move(jsonKey), isOptional);
    }
    static std::shared_ptr<ZELJSONObjectDescriptor>
    descriptorForNumberWithDefaultWithJsonKeyIsOptional(std::string jsonKey, bool isOptional) {
        return descriptorForNumberWithDefaultWithJsonKey(std::move(jsonKey), isOptional);
    }

    const std::string& jsonKey() const { return jsonKey_; }
    const ZELJSONClass& validationClass() const { return validationClass_; }
    const std::optional<Value>& defaultValue() const { return defaultValue_; }
    bool isOptional() const { return isOptional_; }
    void setIsOptional(bool isOptional) { isOptional_ = isOptional; }

  private:
    std::string jsonKey_;
    ZELJSONClass validationClass_;
    std::optional<Value> defaultValue_;
    bool isOptional_;
};

// A JSON array whose members must be of one class (a model class builds
// each member from its dictionary). Validation class array, default value
// the empty array.
class ZELJSONObjectArrayDescriptor : public ZELJSONObjectDescriptor {
  public:
    ZELJSONObjectArrayDescriptor(std::string jsonKey, ZELJSONClass memberValidationClass,
                                 std::optional<Value> memberDefaultValue, bool isOptional = false);

    static std::shared_ptr<ZELJSONObjectArrayDescriptor>
    descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValue(
        std::string jsonKey, ZELJSONClass memberValidationClass,
        std::optional<Value> memberDefaultValue, bool isOptional = false);
    static std::shared_ptr<ZELJSONObjectArrayDescriptor>
    descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValueIsOptional(
        std::string jsonKey, ZELJSONClass memberValidationClass,
        std::optional<Value> memberDefaultValue, bool isOptional) {
        return descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValue(
            std::move(jsonKey), std::move(memberValidationClass), std::move(memberDefaultValue),
            isOptional);
    }
    static std::shared_ptr<ZELJSONObjectArrayDescriptor>
    descriptorForArrayWithStringWithDefaultWithJsonKey(std::string jsonKey);

    const ZELJSONClass& memberValidationClass() const { return memberValidationClass_; }
    const std::optional<Value>& memberDefaultValue() const { return memberDefaultValue_; }
    // Skip members of another class, or that fail to build, instead of
    // failing the whole array.
    bool ignoreInvalidMembers() const { return ignoreInvalidMembers_; }
    void setIgnoreInvalidMembers(bool ignore) { ignoreInvalidMembers_ = ignore; }

  private:
    ZELJSONClass memberValidationClass_;
    std::optional<Value> memberDefaultValue_;
    bool ignoreInvalidMembers_ = false;
};
