#include "CoreData/NSAttributeDescription.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<const char*, NSAttributeType>, 10> kTypeNames = {{
    {"integer16", NSAttributeType::Integer16},
    {"integer32", NSAttributeType::Integer32},
    {"integer64", NSAttributeType::Integer64},
    {"double", NSAttributeType::Double},
    {"float", NSAttributeType::Float},
    {"boolean", NSAttributeType::Boolean},
    {"string", NSAttributeType::String},
    {"date", NSAttributeType::Date},
    {"binary", NSAttributeType::Binary},
    {"transformable", NSAttributeType::Transformable},
}};

}  // namespace

bool NSAttributeTypeFromString(const std::string& text, NSAttributeType* type) {
    for (const auto& [name, value] : kTypeNames) {
        if (text == name) {
            *type = value;
            return true;
        }
    }
    return false;
}

const char* NSAttributeTypeName(NSAttributeType type) {
    for (const auto& [name, value] : kTypeNames) {
        if (value == type)
            return name;
    }
    return "unknown";
}
