#include "Foundation/BinaryPropertyListReader.h"

#include <cstring>

#include "Foundation/PropertyListText.h"

namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kTrailerSize = 32;

std::string latin1ToUTF8(const uint8_t* bytes, size_t length) {
    std::string text;
    text.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const uint8_t c = bytes[i];
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

double bitsToDouble(uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float bitsToFloat(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

bool BinaryPropertyListReader::looksBinary(const Value::Data& data) {
    return data.size() >= 6 && std::memcmp(data.data(), "bplist", 6) == 0;
}

std::optional<Value> BinaryPropertyListReader::read(const Value::Data& data, std::string* reason) {
    BinaryPropertyListReader reader(data);
    std::optional<Value> result;
    if (reader.readTrailer())
        result = reader.readObject(reader.topObject_, 0);
    if (!result && reason)
        *reason = reader.reason_;
    return result;
}

bool BinaryPropertyListReader::fail(const std::string& reason) {
    if (reason_.empty())
        reason_ = reason;
    return false;
}

bool BinaryPropertyListReader::fits(size_t position, uint64_t length) const {
    // Objects live between the header and the offset table.
    return position <= offsetTable_ && length <= offsetTable_ - position;
}

uint64_t BinaryPropertyListReader::readUnsigned(size_t position, size_t width) const {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i)
        value = (value << 8) | data_[position + i];
    return value;
}

bool BinaryPropertyListReader::spend(uint64_t bytes) {
    if (bytes > budget_)
        return fail("expands far beyond its size (shared objects)");
    budget_ -= bytes;
    return true;
}

bool BinaryPropertyListReader::readTrailer() {
    if (data_.size() < kHeaderSize + kTrailerSize + 1 ||
        std::memcmp(data_.data(), "bplist0", 7) != 0)
        return fail("not a binary property list");
    const size_t trailer = data_.size() - kTrailerSize;
    offsetSize_ = data_[trailer + 6];
    referenceSize_ = data_[trailer + 7];
    objectCount_ = readUnsigned(trailer + 8, 8);
    topObject_ = readUnsigned(trailer + 16, 8);
    offsetTable_ = readUnsigned(trailer + 24, 8);
    if (offsetSize_ < 1 || offsetSize_ > 8 || referenceSize_ < 1 || referenceSize_ > 8)
        return fail("bad integer sizes in trailer");
    if (objectCount_ == 0 || topObject_ >= objectCount_)
        return fail("bad object count");
    if (offsetTable_ < kHeaderSize || offsetTable_ > trailer ||
        objectCount_ > (trailer - offsetTable_) / offsetSize_)
        return fail("offset table out of range");
    // References must be able to name every object.
    if (referenceSize_ < 8 && objectCount_ > (uint64_t{1} << (8 * referenceSize_)))
        return fail("object references too small");
    onPath_.assign(static_cast<size_t>(objectCount_), false);
    // Output may be larger than the input where objects are shared, but within bounds.
    budget_ = 64 * uint64_t{data_.size()} + (uint64_t{1} << 20);
    return true;
}

std::optional<uint64_t> BinaryPropertyListReader::objectOffset(uint64_t index) {
    if (index >= objectCount_) {
        fail("object reference out of range");
        return std::nullopt;
    }
    const uint64_t offset =
        readUnsigned(static_cast<size_t>(offsetTable_ + index * offsetSize_), offsetSize_);
    if (offset < kHeaderSize || offset >= offsetTable_) {
        fail("object offset out of range");
        return std::nullopt;
    }
    return offset;
}

std::optional<uint64_t> BinaryPropertyListReader::readCount(uint8_t marker, size_t& position) {
    const uint8_t low = marker & 0x0F;
    if (low != 0x0F)
        return low;
    if (!fits(position, 1)) {
        fail("truncated count");
        return std::nullopt;
    }
    const uint8_t countMarker = data_[position];
    const size_t width = size_t{1} << (countMarker & 0x0F);
    if ((countMarker & 0xF0) != 0x10 || width > 8 || !fits(position + 1, width)) {
        fail("bad count");
        return std::nullopt;
    }
    const uint64_t count = readUnsigned(position + 1, width);
    position += 1 + width;
    return count;
}

std::optional<Value> BinaryPropertyListReader::readObject(uint64_t index, size_t depth) {
    if (depth > kMaximumDepth) {
        fail("nested too deeply");
        return std::nullopt;
    }
    const std::optional<uint64_t> offset = objectOffset(index);
    if (!offset)
        return std::nullopt;
    if (!spend(32))
        return std::nullopt;
    size_t position = static_cast<size_t>(*offset);
    const uint8_t marker = data_[position++];
    const uint8_t low = marker & 0x0F;
    switch (marker >> 4) {
        case 0x0:
            if (marker == 0x00)
                return Value();
            if (marker == 0x08)
                return Value(false);
            if (marker == 0x09)
                return Value(true);
            break;
        case 0x1: {
            if (low > 4 || !fits(position, size_t{1} << low))
                break;
            if (low < 3)
                return Value(static_cast<int64_t>(readUnsigned(position, size_t{1} << low)));
            if (low == 3)
                return Value(static_cast<int64_t>(readUnsigned(position, 8)));
            // 128-bit integers: what fits int64 stays an integer; larger
            // magnitudes (unsigned 64-bit values above INT64_MAX) become reals,
            // which keeps their size and sign at the cost of the low digits.
            const uint64_t high = readUnsigned(position, 8);
            const uint64_t lowWord = readUnsigned(position + 8, 8);
            if (high == ((lowWord >> 63) != 0 ? ~uint64_t{0} : 0))
                return Value(static_cast<int64_t>(lowWord));
            const auto wide =
                static_cast<__int128>((static_cast<unsigned __int128>(high) << 64) | lowWord);
            return Value(static_cast<double>(wide));
        }
        case 0x2:
            if (low == 2 && fits(position, 4))
                return Value(static_cast<double>(
                    bitsToFloat(static_cast<uint32_t>(readUnsigned(position, 4)))));
            if (low == 3 && fits(position, 8))
                return Value(bitsToDouble(readUnsigned(position, 8)));
            break;
        case 0x3:
            if (marker == 0x33 && fits(position, 8)) {
                const double seconds = bitsToDouble(readUnsigned(position, 8));
                if (seconds != seconds)
                    break;
                return Value(NSDate::dateWithTimeIntervalSinceReferenceDate(seconds));
            }
            break;
        case 0x4:
        case 0x5: {
            const std::optional<uint64_t> count = readCount(marker, position);
            if (!count)
                return std::nullopt;
            if (!fits(position, *count))
                break;
            if (!spend(*count))
                return std::nullopt;
            const uint8_t* bytes = data_.data() + position;
            if ((marker >> 4) == 0x4)
                return Value(Value::Data(bytes, bytes + *count));
            return Value(latin1ToUTF8(bytes, static_cast<size_t>(*count)));
        }
        case 0x6: {
            const std::optional<uint64_t> count = readCount(marker, position);
            if (!count)
                return std::nullopt;
            if (*count > offsetTable_ / 2 || !fits(position, *count * 2))
                break;
            if (!spend(*count * 2))
                return std::nullopt;
            return Value(PropertyListText::utf16ToUTF8(data_.data() + position,
                                                       static_cast<size_t>(*count), true));
        }
        case 0x8: {
            if (!fits(position, size_t{low} + 1) || low > 7)
                break;
            return Value(Value::Dictionary{
                {"CF$UID", Value(static_cast<int64_t>(readUnsigned(position, size_t{low} + 1)))}});
        }
        case 0xA:
        case 0xC:
        case 0xD:
            return readContainer(marker, position, index, depth);
        default:
            break;
    }
    fail("bad object at offset " + std::to_string(*offset));
    return std::nullopt;
}

std::optional<Value> BinaryPropertyListReader::readContainer(uint8_t marker, size_t position,
                                                             uint64_t index, size_t depth) {
    const std::optional<uint64_t> count = readCount(marker, position);
    if (!count)
        return std::nullopt;
    const bool isDictionary = (marker >> 4) == 0xD;
    const uint64_t references = isDictionary ? 2 : 1;
    if (*count > offsetTable_ / referenceSize_ / references ||
        !fits(position, *count * references * referenceSize_)) {
        fail("container count beyond the data");
        return std::nullopt;
    }
    if (onPath_[static_cast<size_t>(index)]) {
        fail("object reference cycle");
        return std::nullopt;
    }
    onPath_[static_cast<size_t>(index)] = true;
    std::optional<Value> result;
    auto reference = [&](uint64_t i) {
        return readUnsigned(position + static_cast<size_t>(i * referenceSize_), referenceSize_);
    };
    if (isDictionary) {
        Value::Dictionary dictionary;
        bool ok = true;
        for (uint64_t i = 0; ok && i < *count; ++i) {
            std::optional<Value> key = readObject(reference(i), depth + 1);
            const std::string* name = key ? key->stringValue() : nullptr;
            if (!name) {
                ok = key ? fail("dictionary key is not a string") : false;
                break;
            }
            std::optional<Value> value = readObject(reference(*count + i), depth + 1);
            if (!value)
                ok = false;
            if (ok)
                dictionary.insert_or_assign(*name, std::move(*value));
        }
        if (ok)
            result = Value(std::move(dictionary));
    } else {
        Value::Array array;
        array.reserve(static_cast<size_t>(*count));
        bool ok = true;
        for (uint64_t i = 0; ok && i < *count; ++i) {
            std::optional<Value> element = readObject(reference(i), depth + 1);
            if (element) {
                array.push_back(std::move(*element));
            } else {
                ok = false;
            }
        }
        if (ok)
            result = Value(std::move(array));
    }
    onPath_[static_cast<size_t>(index)] = false;
    return result;
}
