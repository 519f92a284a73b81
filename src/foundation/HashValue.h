#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "Foundation/Value.h"

using HashValueType = int32_t;
inline constexpr HashValueType HashValueTypeMD5 = 0;
inline constexpr HashValueType HashValueTypeSHA256 = 1;

// A message digest as a value: its type and a 48-byte buffer of which MD5
// fills the first 16 bytes and SHA-256 the first 32; the rest stays zero.
class HashValue {
  public:
    static constexpr size_t kBufferLength = 48;
    using Buffer = std::array<uint8_t, kBufferLength>;

    // initWithBuffer:hashValueType: copies the digest length of the type (16 or
    // 32 bytes, never more than the buffer holds), nothing for other types.
    HashValue(std::span<const uint8_t> buffer, HashValueType type);

    // initHashValueMD5HashWithBytes:length: and initSha256HashWithBytes:length:
    static HashValue md5HashWithBytes(const void* bytes, size_t length);
    static HashValue sha256HashWithBytes(const void* bytes, size_t length);
    static HashValue md5HashWithData(const Value::Data& data);
    static HashValue sha256HashWithData(const Value::Data& data);

    const Buffer& value() const { return value_; }
    HashValueType type() const { return type_; }

    // Lower-case hexadecimal of the digest; empty for an unknown type.
    std::string description() const;
    // The first four bytes of the buffer in the machine's byte order.
    uint32_t hash() const;
    bool isEqual(const HashValue& other) const;
    bool operator==(const HashValue& other) const { return isEqual(other); }

    // Keyed coding: "value" is the whole buffer as data, "type" the type.
    Value::Dictionary encode() const;
    // The same two keys written into a coder's dictionary.
    void encodeWithCoder(Value::Dictionary& coder) const;
    // nullopt unless coded holds "value" as data and "type" as a 32-bit
    // integer; at most 48 bytes of the data are taken.
    static std::optional<HashValue> decode(const Value& coded);

  private:
    HashValue() = default;

    Buffer value_{};
    HashValueType type_ = HashValueTypeMD5;
};
