#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Foundation/Value.h"

// Reads the binary property list form ("bplist00"). Every offset, count and
// object reference is checked against the data before use; reference cycles,
// nesting beyond kMaximumDepth and output far larger than the input (shared
// objects referenced over and over) are refused. A keyed-archive UID becomes
// the dictionary {"CF$UID": n}; a set becomes an array.
class BinaryPropertyListReader {
  public:
    static constexpr size_t kMaximumDepth = 512;

    static bool looksBinary(const Value::Data& data);
    // nullopt with the reason when the data is not a sound binary property list.
    static std::optional<Value> read(const Value::Data& data, std::string* reason);

  private:
    explicit BinaryPropertyListReader(const Value::Data& data) : data_(data) {}

    bool readTrailer();
    std::optional<Value> readObject(uint64_t index, size_t depth);
    std::optional<Value> readContainer(uint8_t marker, size_t position, uint64_t index,
                                       size_t depth);
    std::optional<uint64_t> objectOffset(uint64_t index);
    // The element count of a marker's low nibble, or of the integer after it;
    // advances position past the count.
    std::optional<uint64_t> readCount(uint8_t marker, size_t& position);
    bool fits(size_t position, uint64_t length) const;
    uint64_t readUnsigned(size_t position, size_t width) const;
    bool spend(uint64_t bytes);
    bool fail(const std::string& reason);

    const Value::Data& data_;
    size_t offsetSize_ = 0;
    size_t referenceSize_ = 0;
    uint64_t objectCount_ = 0;
    uint64_t topObject_ = 0;
    uint64_t offsetTable_ = 0;
    uint64_t budget_ = 0;
    std::vector<bool> onPath_;  // objects being read: a reference back to one is a cycle
    std::string reason_;
};
