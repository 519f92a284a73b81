#include "foundation/ZELJSONObjectDescriptor.h"

ZELJSONObjectDescriptor::ZELJSONObjectDescriptor(std::string jsonKey, ZELJSONClass validationClass,
                                                 std::optional<Value> defaultValue, bool isOptional)
    : jsonKey_(std::move(jsonKey)),
      validationClass_(std::move(validationClass)),
      defaultValue_(std::move(defaultValue)),
      isOptional_(isOptional) {}

std::shared_ptr<ZELJSONObjectDescriptor>
ZELJSONObjectDescriptor::descriptorWithJsonKeyValidationClassAndDefaultValue(
    std::string jsonKey, ZELJSONClass validationClass, std::optional<Value> defaultValue,
    bool isOptional) {
    return std::make_shared<ZELJSONObjectDescriptor>(std::move(jsonKey), std::move(validationClass),
                                                     std::move(defaultValue), isOptional);
}

std::shared_ptr<ZELJSONObjectDescriptor> ZELJSONObjectDescriptor::descriptorForStringWithJsonKey(
    std::string jsonKey, bool isOptional) {
    return descriptorWithJsonKeyValidationClassAndDefaultValue(
        std::move(jsonKey), ZELJSONClass::string(), std::nullopt, isOptional);
}

std::shared_ptr<ZELJSONObjectDescriptor>
ZELJSONObjectDescriptor::descriptorForStringWithDefaultWithJsonKey(std::string jsonKey,
                                                                   bool isOptional) {
    return descriptorWithJsonKeyValidationClassAndDefaultValue(
        std::move(jsonKey), ZELJSONClass::string(), Value(""), isOptional);
}

std::shared_ptr<ZELJSONObjectDescriptor> ZELJSONObjectDescriptor::descriptorForNumberWithJsonKey(
    std::string jsonKey, bool isOptional) {
    return descriptorWithJsonKeyValidationClassAndDefaultValue(
        std::move(jsonKey), ZELJSONClass::number(), std::nullopt, isOptional);
}

std::shared_ptr<ZELJSONObjectDescriptor>
ZELJSONObjectDescriptor::descriptorForNumberWithDefaultWithJsonKey(std::string jsonKey,
                                                                   bool isOptional) {
    return descriptorWithJsonKeyValidationClassAndDefaultValue(
        std::move(jsonKey), ZELJSONClass::number(), Value(-1), isOptional);
}

ZELJSONObjectArrayDescriptor::ZELJSONObjectArrayDescriptor(std::string jsonKey,
                                                           ZELJSONClass memberValidationClass,
                                                           std::optional<Value> memberDefaultValue,
                                                           bool isOptional)
    : ZELJSONObjectDescriptor(std::move(jsonKey), ZELJSONClass::array(), Value(Value::Array{}),
                              isOptional),
      memberValidationClass_(std::move(memberValidationClass)),
      memberDefaultValue_(std::move(memberDefaultValue)) {}

std::shared_ptr<ZELJSONObjectArrayDescriptor>
ZELJSONObjectArrayDescriptor::descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValue(
    std::string jsonKey, ZELJSONClass memberValidationClass,
    std::optional<Value> memberDefaultValue, bool isOptional) {
    return std::make_shared<ZELJSONObjectArrayDescriptor>(
        std::move(jsonKey), std::move(memberValidationClass), std::move(memberDefaultValue),
        isOptional);
}

std::shared_ptr<ZELJSONObjectArrayDescriptor>
ZELJSONObjectArrayDescriptor::descriptorForArrayWithStringWithDefaultWithJsonKey(
    std::string jsonKey) {
    return descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValue(
        std::move(jsonKey), ZELJSONClass::string(), Value(""));
}
