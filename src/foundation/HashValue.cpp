#include "foundation/HashValue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "CommonCrypto/CommonDigest.h"
#include "Foundation/NSLog.h"

namespace {

size_t digestLength(HashValueType type) {
    switch (type) {
        case HashValueTypeMD5:
            return CC_MD5_DIGEST_LENGTH;
        case HashValueTypeSHA256:
            return CC_SHA256_DIGEST_LENGTH;
        default:
            return 0;
    }
}

}  // namespace

HashValue::HashValue(std::span<const uint8_t> buffer, HashValueType type) : type_(type) {
    const size_t length = std::min(digestLength(type), buffer.size());
    std::copy_n(buffer.begin(), length, value_.begin());
}

HashValue HashValue::md5HashWithBytes(const void* bytes, size_t length) {
    HashValue hash;
    hash.type_ = HashValueTypeMD5;
    CC_MD5(bytes, static_cast<CC_LONG>(length), hash.value_.data());
    return hash;
}

HashValue HashValue::sha256HashWithBytes(const void* bytes, size_t length) {
    HashValue hash;
    hash.type_ = HashValueTypeSHA256;
    CC_SHA256(bytes, static_cast<CC_LONG>(length), hash.value_.data());
    return hash;
}

HashValue HashValue::md5HashWithData(const Value::Data& data) {
    return md5HashWithBytes(data.data(), data.size());
}

HashValue HashValue::sha256HashWithData(const Value::Data& data) {
    return sha256HashWithBytes(data.data(), data.size());
}

std::string HashValue::description() const {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < digestLength(type_); ++i) {
        text.push_back(kDigits[value_[i] >> 4]);
        text.push_back(kDigits[value_[i] & 0xf]);
    }
    return text;
}

uint32_t HashValue::hash() const {
    uint32_t word;
    std::memcpy(&word, value_.data(), sizeof word);
    return word;
}

bool HashValue::isEqual(const HashValue& other) const {
    return type_ == other.type_ && value_ == other.value_;
}

Value::Dictionary HashValue::encode() const {
    return {{"value", Value::Data(value_.begin(), value_.end())}, {"type", type_}};
}

void HashValue::encodeWithCoder(Value::Dictionary& coder) const {
    for (auto& [key, value] : encode())
        coder[key] = std::move(value);
}

std::optional<HashValue> HashValue::decode(const Value& coded) {
    const Value* value = coded.get("value");
    const Value* type = coded.get("type");
    const Value::Data* data = value ? value->dataValue() : nullptr;
    const std::optional<int64_t> typeNumber = type ? type->integerValue() : std::nullopt;
    if (!data || !typeNumber || *typeNumber < std::numeric_limits<HashValueType>::min() ||
        *typeNumber > std::numeric_limits<HashValueType>::max()) {
        NSLogWithLevel(NSLogLevel::Error,
                       "HashValue: cannot decode, \"value\" or \"type\" is "
                       "missing or of the wrong kind");
        return std::nullopt;
    }
    HashValue hash;
    hash.type_ = static_cast<HashValueType>(*typeNumber);
    std::copy_n(data->begin(), std::min(data->size(), kBufferLength), hash.value_.begin());
    return hash;
}
