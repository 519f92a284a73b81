#include "Foundation/NSKeyedArchiver.h"

#include "Foundation/NSPropertyListSerialization.h"

NSKeyedArchiver::NSKeyedArchiver(std::string className) : className_(std::move(className)) {
    values_[kClassKey] = Value(className_);
}

void NSKeyedArchiver::encodeValueForKey(Value value, const std::string& key) {
    values_[key] = std::move(value);
}

void NSKeyedArchiver::encodeObjectForKey(const NSKeyedArchiver& object, const std::string& key) {
    values_[key] = object.object();
}

void NSKeyedArchiver::encodeObjectsForKey(const std::vector<NSKeyedArchiver>& objects,
                                          const std::string& key) {
    Value::Array array;
    array.reserve(objects.size());
    for (const auto& object : objects)
        array.push_back(object.object());
    values_[key] = Value(std::move(array));
}

Value NSKeyedArchiver::object() const {
    return Value(values_);
}

std::optional<Value::Data> NSKeyedArchiver::archivedData(NSError* error) const {
    const Value archive(Value::Dictionary{
        {"$archiver", Value("NSKeyedArchiver")}, {"$version", Value(100000)}, {"root", object()}});
    return NSPropertyListSerialization::dataWithPropertyList(
        archive, NSPropertyListSerialization::Format::Binary, error);
}
