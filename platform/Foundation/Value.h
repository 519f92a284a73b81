#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Foundation/NSDate.h"

// The one heterogeneous tree of the system: property lists, JSON, user
// defaults and userInfo dictionaries. A value of one of nine kinds.
//
// Typed getters answer std::nullopt (or nullptr) for a value of another kind,
// never a converted guess, except that the number getters accept every number
// kind (bool, integer, real), as a number object answers any numeric accessor.
class Value {
  public:
    enum class Type { Null, Bool, Integer, Real, String, Data, Date, Array, Dictionary };
    using Data = std::vector<uint8_t>;
    using Array = std::vector<Value>;
    using Dictionary = std::map<std::string, Value>;

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : v_(b) {}
    Value(int i) : v_(int64_t{i}) {}
    Value(long i) : v_(int64_t{i}) {}
    Value(long long i) : v_(int64_t{i}) {}
    Value(unsigned i) : v_(int64_t{i}) {}
    Value(unsigned long i) : v_(static_cast<int64_t>(i)) {}
    Value(unsigned long long i) : v_(static_cast<int64_t>(i)) {}
    Value(double d) : v_(d) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(Data d) : v_(std::move(d)) {}
    Value(NSDate d) : v_(d) {}
    Value(Array a) : v_(std::make_shared<Array>(std::move(a))) {}
    Value(Dictionary d) : v_(std::make_shared<Dictionary>(std::move(d))) {}

    // Out of line: inlined copies of the variant trip g++ 12's
    // -Wmaybe-uninitialized false positive in every user of Value.
    Value(const Value& other);
    Value(Value&& other) noexcept;
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept;
    ~Value();

    Type type() const;
    bool isNull() const { return type() == Type::Null; }
    bool isNumber() const;  // bool, integer or real

    std::optional<bool> boolValue() const;        // any number: non-zero
    std::optional<int64_t> integerValue() const;  // any number; reals truncate
    std::optional<double> doubleValue() const;    // any number
    const std::string* stringValue() const;
    const Data* dataValue() const;
    std::optional<NSDate> dateValue() const;
    const Array* arrayValue() const;
    const Dictionary* dictionaryValue() const;

    // Mutable access; the value becomes an empty array or dictionary first
    // when it is of another kind. Containers are copied on write, so copies of
    // a Value never share changes.
    Array& mutableArray();
    Dictionary& mutableDictionary();

    // Dictionary lookup: nullptr when this is not a dictionary or lacks the key.
    const Value* get(const std::string& key) const;
    // Array element: nullptr when this is not an array or the index is out of range.
    const Value* at(size_t index) const;
    // Dictionary insertion; turns a non-dictionary into an empty dictionary first.
    Value& operator[](const std::string& key);

    // Element count of an array or dictionary, byte count of data, 0 otherwise.
    size_t count() const;

    bool operator==(const Value& other) const;

  private:
    std::variant<std::monostate, bool, int64_t, double, std::string, Data, NSDate,
                 std::shared_ptr<Array>, std::shared_ptr<Dictionary>>
        v_;
};
