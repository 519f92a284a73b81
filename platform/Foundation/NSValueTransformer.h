#pragma once

#include <any>
#include <memory>
#include <string>

// Converts stored values to and from objects (Core Data's transformable
// attributes). The forward direction turns an object into Value::Data; the
// reverse direction turns Value::Data back into the object. An empty std::any
// is nil: bad input gives nil, never a throw.
class NSValueTransformer {
  public:
    virtual ~NSValueTransformer() = default;

    virtual bool allowsReverseTransformation() const { return true; }
    virtual std::any transformedValue(const std::any& value) const = 0;
    virtual std::any reverseTransformedValue(const std::any& value) const;  // nil by default

    // The process-wide registry by name; thread-safe.
    static void setValueTransformerForName(std::shared_ptr<NSValueTransformer> transformer,
                                           const std::string& name);
    static std::shared_ptr<NSValueTransformer> valueTransformerForName(const std::string& name);
};
