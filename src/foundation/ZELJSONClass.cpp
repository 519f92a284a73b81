#include "foundation/ZELJSONClass.h"

bool ZELJSONClass::isKindOfValue(const Value& value) const {
    switch (kind_) {
        case Kind::String:
            return value.type() == Value::Type::String;
        case Kind::Number:
            return value.isNumber();
        case Kind::Array:
            return value.type() == Value::Type::Array;
        case Kind::Dictionary:
            return value.type() == Value::Type::Dictionary;
        case Kind::Model:
            return false;
    }
    return false;
}
