#pragma once

#include <string>

#include "Foundation/Value.h"

// One attribute of an entity. Its stored column is Z<NAME> (upper case).
enum class NSAttributeType {
    Integer16,
    Integer32,
    Integer64,
    Double,
    Float,
    Boolean,
    String,
    Date,
    Binary,
    Transformable,
};

struct NSAttributeDescription {
    std::string name;
    NSAttributeType attributeType = NSAttributeType::String;
    bool optional = true;
    bool transient = false;
    bool indexed = false;
    Value defaultValue;
    std::string valueTransformerName;  // transformable attributes only

    std::string columnName;  // "Z" + upper-case name; empty for transient attributes
    size_t slot = 0;         // index into a managed object's attribute values
    int columnIndex = -1;    // position in the root entity's tableColumns()

    bool isInteger() const {
        return attributeType == NSAttributeType::Integer16 ||
               attributeType == NSAttributeType::Integer32 ||
               attributeType == NSAttributeType::Integer64 ||
               attributeType == NSAttributeType::Boolean;
    }
};

// The model file's spelling of a type ("integer32", "string", ...); false when unknown.
bool NSAttributeTypeFromString(const std::string& text, NSAttributeType* type);
const char* NSAttributeTypeName(NSAttributeType type);
