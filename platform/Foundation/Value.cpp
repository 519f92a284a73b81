#include "Foundation/Value.h"

namespace {

template <typename T>
T& unshared(std::shared_ptr<T>& pointer) {
    // Copy on write: a container still shared with another Value is cloned
    // before it changes.
    if (pointer.use_count() > 1)
        pointer = std::make_shared<T>(*pointer);
    return *pointer;
}

}  // namespace

Value::Value(const Value& other) = default;
Value::Value(Value&& other) noexcept = default;
Value& Value::operator=(const Value& other) = default;
Value& Value::operator=(Value&& other) noexcept = default;
Value::~Value() = default;

Value::Type Value::type() const {
    return static_cast<Type>(v_.index());
}

bool Value::isNumber() const {
    const Type t = type();
    return t == Type::Bool || t == Type::Integer || t == Type::Real;
}

std::optional<bool> Value::boolValue() const {
    if (auto b = std::get_if<bool>(&v_))
        return *b;
    if (auto i = std::get_if<int64_t>(&v_))
        return *i != 0;
    if (auto d = std::get_if<double>(&v_))
        return *d != 0.0;
    return std::nullopt;
}

std::optional<int64_t> Value::integerValue() const {
    if (auto b = std::get_if<bool>(&v_))
        return *b ? 1 : 0;
    if (auto i = std::get_if<int64_t>(&v_))
        return *i;
    if (auto d = std::get_if<double>(&v_)) {
        // Out-of-range and NaN reals clamp instead of invoking undefined behaviour.
        if (*d != *d)
            return 0;
        if (*d >= 9223372036854775807.0)
            return INT64_MAX;
        if (*d <= -9223372036854775808.0)
            return INT64_MIN;
        return static_cast<int64_t>(*d);
    }
    return std::nullopt;
}

std::optional<double> Value::doubleValue() const {
    if (auto b = std::get_if<bool>(&v_))
        return *b ? 1.0 : 0.0;
    if (auto i = std::get_if<int64_t>(&v_))
        return static_cast<double>(*i);
    if (auto d = std::get_if<double>(&v_))
        return *d;
    return std::nullopt;
}

const std::string* Value::stringValue() const {
    return std::get_if<std::string>(&v_);
}

const Value::Data* Value::dataValue() const {
    return std::get_if<Data>(&v_);
}

std::optional<NSDate> Value::dateValue() const {
    if (auto d = std::get_if<NSDate>(&v_))
        return *d;
    return std::nullopt;
}

const Value::Array* Value::arrayValue() const {
    auto a = std::get_if<std::shared_ptr<Array>>(&v_);
    return a ? a->get() : nullptr;
}

const Value::Dictionary* Value::dictionaryValue() const {
    auto d = std::get_if<std::shared_ptr<Dictionary>>(&v_);
    return d ? d->get() : nullptr;
}

Value::Array& Value::mutableArray() {
    if (type() != Type::Array)
        v_ = std::make_shared<Array>();
    return unshared(std::get<std::shared_ptr<Array>>(v_));
}

Value::Dictionary& Value::mutableDictionary() {
    if (type() != Type::Dictionary)
        v_ = std::make_shared<Dictionary>();
    return unshared(std::get<std::shared_ptr<Dictionary>>(v_));
}

const Value* Value::get(const std::string& key) const {
    const Dictionary* dictionary = dictionaryValue();
    if (!dictionary)
        return nullptr;
    auto found = dictionary->find(key);
    return found == dictionary->end() ? nullptr : &found->second;
}

const Value* Value::at(size_t index) const {
    const Array* array = arrayValue();
    if (!array || index >= array->size())
        return nullptr;
    return &(*array)[index];
}

Value& Value::operator[](const std::string& key) {
    return mutableDictionary()[key];
}

size_t Value::count() const {
    if (auto a = arrayValue())
        return a->size();
    if (auto d = dictionaryValue())
        return d->size();
    if (auto d = dataValue())
        return d->size();
    return 0;
}

bool Value::operator==(const Value& other) const {
    if (type() != other.type())
        return false;
    switch (type()) {
        case Type::Array: {
            const Array* a = arrayValue();
            const Array* b = other.arrayValue();
            return a == b || *a == *b;
        }
        case Type::Dictionary: {
            const Dictionary* a = dictionaryValue();
            const Dictionary* b = other.dictionaryValue();
            return a == b || *a == *b;
        }
        default:
            return v_ == other.v_;
    }
}
