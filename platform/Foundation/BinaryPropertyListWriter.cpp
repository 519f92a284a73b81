#include "Foundation/BinaryPropertyListWriter.h"

#include <cstring>

namespace {

size_t bytesFor(uint64_t value) {
    if (value <= 0xFF)
        return 1;
    if (value <= 0xFFFF)
        return 2;
    if (value <= 0xFFFFFFFFu)
        return 4;
    return 8;
}

uint64_t doubleBits(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// UTF-8 to UTF-16 code units; malformed sequences become U+FFFD.
std::vector<uint16_t> utf16(const std::string& text) {
    std::vector<uint16_t> units;
    units.reserve(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        const uint8_t lead = bytes[i];
        size_t length = 0;
        uint32_t code = 0xFFFD;
        uint32_t minimum = 0;
        if (lead < 0x80) {
            code = lead;
            length = 1;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1F;
            length = 2;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0F;
            length = 3;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            code = lead & 0x07;
            length = 4;
            minimum = 0x10000;
        }
        bool valid = length > 0 && i + length <= size;
        for (size_t k = 1; valid && k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80)
                valid = false;
            code = (code << 6) | (bytes[i + k] & 0x3F);
        }
        if (!valid || code < minimum || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) {
            code = 0xFFFD;
            length = 1;
        }
        i += length;
        if (code >= 0x10000) {
            code -= 0x10000;
            units.push_back(static_cast<uint16_t>(0xD800 + (code >> 10)));
            units.push_back(static_cast<uint16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            units.push_back(static_cast<uint16_t>(code));
        }
    }
    return units;
}

}  // namespace

std::optional<Value::Data> BinaryPropertyListWriter::write(const Value& plist,
                                                           std::string* reason) {
    BinaryPropertyListWriter writer;
    const std::optional<uint64_t> top = writer.add(plist, 0);
    if (!top) {
        if (reason)
            *reason = writer.reason_;
        return std::nullopt;
    }
    writer.referenceSize_ = bytesFor(writer.objects_.size() - 1);
    Value::Data& out = writer.out_;
    out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<uint64_t> offsets;
    offsets.reserve(writer.objects_.size());
    for (const Object& object : writer.objects_) {
        offsets.push_back(out.size());
        writer.writeObject(object);
    }
    const uint64_t offsetTable = out.size();
    const size_t offsetSize = bytesFor(offsetTable);
    for (uint64_t offset : offsets)
        writer.writeBigEndian(offset, offsetSize);
    out.insert(out.end(), 6, 0);
    out.push_back(static_cast<uint8_t>(offsetSize));
    out.push_back(static_cast<uint8_t>(writer.referenceSize_));
    writer.writeBigEndian(writer.objects_.size(), 8);
    writer.writeBigEndian(*top, 8);
    writer.writeBigEndian(offsetTable, 8);
    return std::move(out);
}

uint64_t BinaryPropertyListWriter::addString(const std::string& text) {
    auto [found, inserted] = strings_.try_emplace(text, objects_.size());
    if (inserted)
        objects_.push_back(Object{nullptr, &found->first, {}});
    return found->second;
}

std::optional<uint64_t> BinaryPropertyListWriter::add(const Value& value, size_t depth) {
    if (depth > kMaximumDepth) {
        reason_ = "nested too deeply";
        return std::nullopt;
    }
    switch (value.type()) {
        case Value::Type::Null:
            reason_ = "a property list cannot hold null";
            return std::nullopt;
        case Value::Type::String:
            return addString(*value.stringValue());
        case Value::Type::Array: {
            const uint64_t index = objects_.size();
            objects_.push_back(Object{&value, nullptr, {}});
            std::vector<uint64_t> references;
            references.reserve(value.arrayValue()->size());
            for (const Value& element : *value.arrayValue()) {
                const std::optional<uint64_t> child = add(element, depth + 1);
                if (!child)
                    return std::nullopt;
                references.push_back(*child);
            }
            objects_[index].references = std::move(references);
            return index;
        }
        case Value::Type::Dictionary: {
            const uint64_t index = objects_.size();
            objects_.push_back(Object{&value, nullptr, {}});
            const Value::Dictionary& dictionary = *value.dictionaryValue();
            std::vector<uint64_t> references(dictionary.size() * 2);
            size_t i = 0;
            for (const auto& [key, element] : dictionary) {
                references[i] = addString(key);
                const std::optional<uint64_t> child = add(element, depth + 1);
                if (!child)
                    return std::nullopt;
                references[dictionary.size() + i] = *child;
                ++i;
            }
            objects_[index].references = std::move(references);
            return index;
        }
        default:
            objects_.push_back(Object{&value, nullptr, {}});
            return objects_.size() - 1;
    }
}

void BinaryPropertyListWriter::writeBigEndian(uint64_t value, size_t width) {
    for (size_t i = width; i > 0; --i)
        out_.push_back(static_cast<uint8_t>(value >> (8 * (i - 1))));
}

void BinaryPropertyListWriter::writeInteger(int64_t value) {
    if (value < 0) {
        out_.push_back(0x13);
        writeBigEndian(static_cast<uint64_t>(value), 8);
        return;
    }
    const size_t width = bytesFor(static_cast<uint64_t>(value));
    out_.push_back(static_cast<uint8_t>(0x10 | (width == 1   ? 0
                                                : width == 2 ? 1
                                                : width == 4 ? 2
                                                             : 3)));
    writeBigEndian(static_cast<uint64_t>(value), width);
}

void BinaryPropertyListWriter::writeMarkerAndCount(uint8_t type, uint64_t count) {
    if (count < 15) {
        out_.push_back(static_cast<uint8_t>(type | count));
        return;
    }
    out_.push_back(static_cast<uint8_t>(type | 0x0F));
    writeInteger(static_cast<int64_t>(count));
}

void BinaryPropertyListWriter::writeObject(const Object& object) {
    if (object.string) {
        const std::string& text = *object.string;
        bool ascii = true;
        for (char c : text)
            ascii = ascii && static_cast<uint8_t>(c) < 0x80;
        if (ascii) {
            writeMarkerAndCount(0x50, text.size());
            out_.insert(out_.end(), text.begin(), text.end());
        } else {
            const std::vector<uint16_t> units = utf16(text);
            writeMarkerAndCount(0x60, units.size());
            for (uint16_t unit : units)
                writeBigEndian(unit, 2);
        }
        return;
    }
    const Value& value = *object.value;
    switch (value.type()) {
        case Value::Type::Bool:
            out_.push_back(*value.boolValue() ? 0x09 : 0x08);
            break;
        case Value::Type::Integer:
            writeInteger(*value.integerValue());
            break;
        case Value::Type::Real:
            out_.push_back(0x23);
            writeBigEndian(doubleBits(*value.doubleValue()), 8);
            break;
        case Value::Type::Date:
            out_.push_back(0x33);
            writeBigEndian(doubleBits(value.dateValue()->timeIntervalSinceReferenceDate()), 8);
            break;
        case Value::Type::Data:
            writeMarkerAndCount(0x40, value.dataValue()->size());
            out_.insert(out_.end(), value.dataValue()->begin(), value.dataValue()->end());
            break;
        case Value::Type::Array:
            writeMarkerAndCount(0xA0, object.references.size());
            for (uint64_t reference : object.references)
                writeBigEndian(reference, referenceSize_);
            break;
        case Value::Type::Dictionary:
            writeMarkerAndCount(0xD0, object.references.size() / 2);
            for (uint64_t reference : object.references)
                writeBigEndian(reference, referenceSize_);
            break;
        default:
            break;
    }
}
