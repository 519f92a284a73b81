#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Value.h"

// Writes the binary property list form ("bplist00"). Equal strings (keys
// included) are stored once. Null values cannot be written.
class BinaryPropertyListWriter {
  public:
    static constexpr size_t kMaximumDepth = 512;

    // nullopt with the reason when the value holds a null or nests too deeply.
    static std::optional<Value::Data> write(const Value& plist, std::string* reason);

  private:
    struct Object {
        const Value* value = nullptr;         // a non-string value
        const std::string* string = nullptr;  // a string or key
        std::vector<uint64_t> references;     // elements, or keys then values
    };

    std::optional<uint64_t> add(const Value& value, size_t depth);
    uint64_t addString(const std::string& text);
    void writeObject(const Object& object);
    void writeMarkerAndCount(uint8_t type, uint64_t count);
    void writeInteger(int64_t value);
    void writeBigEndian(uint64_t value, size_t width);

    std::vector<Object> objects_;
    std::map<std::string, uint64_t> strings_;
    std::string reason_;
    Value::Data out_;
    size_t referenceSize_ = 1;
};
