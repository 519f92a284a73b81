#include "Foundation/XMLPropertyListReader.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "Foundation/PropertyListText.h"

namespace {

bool isSpace(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string trimmed(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isSpace(static_cast<uint8_t>(text[begin])))
        ++begin;
    while (end > begin && isSpace(static_cast<uint8_t>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

// Decimal or 0x-prefixed hexadecimal, optionally signed. Values above
// INT64_MAX that fit 64 unsigned bits become reals, as in the binary form.
std::optional<Value> parseInteger(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    const bool negative = text[0] == '-';
    size_t start = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    int base = 10;
    if (text.size() > start + 2 && text[start] == '0' &&
        (text[start + 1] == 'x' || text[start + 1] == 'X')) {
        base = 16;
        start += 2;
    }
    if (start >= text.size())
        return std::nullopt;
    uint64_t magnitude = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data() + start, end, magnitude, base);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    if (negative) {
        if (magnitude > uint64_t{1} << 63)
            return std::nullopt;
        return Value(static_cast<int64_t>(0 - magnitude));
    }
    if (magnitude > static_cast<uint64_t>(INT64_MAX))
        return Value(static_cast<double>(magnitude));
    return Value(static_cast<int64_t>(magnitude));
}

std::optional<double> parseReal(std::string text) {
    if (!text.empty() && text[0] == '+')
        text.erase(0, 1);
    if (text.empty())
        return std::nullopt;
    double value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error == std::errc::result_out_of_range) {
        // Too large or too small for a double: the nearest representable end.
        return text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    }
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<Value> XMLPropertyListReader::read(const Value::Data& data, std::string* reason) {
    XMLPropertyListReader reader(data);
    std::optional<Value> result = reader.readDocument();
    if (!result && reason)
        *reason = reader.reason_;
    return result;
}

bool XMLPropertyListReader::fail(const std::string& reason) {
    if (reason_.empty())
        reason_ = reason + " near byte " + std::to_string(position_);
    return false;
}

bool XMLPropertyListReader::startsWith(const char* prefix) const {
    const size_t length = std::strlen(prefix);
    return data_.size() - position_ >= length &&
           std::memcmp(data_.data() + position_, prefix, length) == 0;
}

bool XMLPropertyListReader::skipPast(const char* terminator) {
    const size_t length = std::strlen(terminator);
    while (data_.size() - position_ >= length) {
        if (std::memcmp(data_.data() + position_, terminator, length) == 0) {
            position_ += length;
            return true;
        }
        ++position_;
    }
    return fail(std::string("missing ") + terminator);
}

bool XMLPropertyListReader::skipDoctype() {
    // Brackets of an internal subset and quoted strings may hold '>'; their
    // declarations are skipped, never applied.
    char quote = 0;
    int brackets = 0;
    while (position_ < data_.size()) {
        const char c = static_cast<char>(data_[position_++]);
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            return true;
        }
    }
    return fail("unterminated document type");
}

std::optional<XMLPropertyListReader::Tag> XMLPropertyListReader::readTag() {
    // position_ is just after '<'.
    Tag tag;
    if (position_ < data_.size() && data_[position_] == '/') {
        tag.closing = true;
        ++position_;
    }
    while (position_ < data_.size()) {
        const uint8_t c = data_[position_];
        if (isSpace(c) || c == '>' || c == '/')
            break;
        tag.name += static_cast<char>(c);
        ++position_;
    }
    if (tag.name.empty()) {
        fail("bad tag");
        return std::nullopt;
    }
    char quote = 0;
    while (position_ < data_.size()) {
        const char c = static_cast<char>(data_[position_++]);
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            tag.empty = position_ >= 2 && data_[position_ - 2] == '/';
            if (tag.closing && tag.empty)
                break;
            return tag;
        } else if (c == '<') {
            break;
        }
    }
    fail("unterminated tag <" + tag.name + ">");
    return std::nullopt;
}

std::optional<XMLPropertyListReader::Tag> XMLPropertyListReader::nextTag() {
    while (true) {
        while (position_ < data_.size() && isSpace(data_[position_]))
            ++position_;
        if (position_ >= data_.size()) {
            fail("unexpected end");
            return std::nullopt;
        }
        if (data_[position_] != '<') {
            fail("unexpected text");
            return std::nullopt;
        }
        if (startsWith("<!--")) {
            position_ += 4;
            if (!skipPast("-->"))
                return std::nullopt;
        } else if (startsWith("<?")) {
            position_ += 2;
            if (!skipPast("?>"))
                return std::nullopt;
        } else if (startsWith("<!DOCTYPE")) {
            position_ += 9;
            if (!skipDoctype())
                return std::nullopt;
        } else if (startsWith("<!")) {
            fail("unexpected declaration");
            return std::nullopt;
        } else {
            ++position_;
            return readTag();
        }
    }
}

bool XMLPropertyListReader::expectClosing(const std::string& name) {
    std::optional<Tag> tag = nextTag();
    if (!tag)
        return false;
    if (!tag->closing || tag->name != name)
        return fail("expected </" + name + ">");
    return true;
}

std::optional<Value> XMLPropertyListReader::readDocument() {
    // Text is UTF-8; malformed bytes would reach keys and strings unchecked.
    if (!PropertyListText::isValidUTF8(data_.data(), data_.size())) {
        fail("malformed UTF-8");
        return std::nullopt;
    }
    if (startsWith("\xEF\xBB\xBF"))
        position_ += 3;
    std::optional<Tag> tag = nextTag();
    if (!tag)
        return std::nullopt;
    if (tag->closing) {
        fail("unexpected closing tag");
        return std::nullopt;
    }
    std::optional<Value> result;
    if (tag->name == "plist") {
        if (tag->empty) {
            fail("empty property list");
            return std::nullopt;
        }
        std::optional<Tag> inner = nextTag();
        if (!inner || inner->closing) {
            fail("empty property list");
            return std::nullopt;
        }
        result = readValue(*inner, 1);
        if (!result || !expectClosing("plist"))
            return std::nullopt;
    } else {
        result = readValue(*tag, 1);
        if (!result)
            return std::nullopt;
    }
    // Only whitespace, comments and processing instructions may follow.
    while (true) {
        while (position_ < data_.size() && isSpace(data_[position_]))
            ++position_;
        if (position_ >= data_.size())
            return result;
        if (startsWith("<!--")) {
            position_ += 4;
            if (!skipPast("-->"))
                return std::nullopt;
        } else if (startsWith("<?")) {
            position_ += 2;
            if (!skipPast("?>"))
                return std::nullopt;
        } else {
            fail("content after the property list");
            return std::nullopt;
        }
    }
}

bool XMLPropertyListReader::decodeEntity(std::string& text) {
    // position_ is just after '&'.
    const size_t start = position_;
    while (position_ < data_.size() && data_[position_] != ';' && position_ - start < 12)
        ++position_;
    if (position_ >= data_.size() || data_[position_] != ';')
        return fail("bad entity");
    const std::string name(data_.begin() + static_cast<std::ptrdiff_t>(start),
                           data_.begin() + static_cast<std::ptrdiff_t>(position_));
    ++position_;
    if (name == "lt") {
        text += '<';
    } else if (name == "gt") {
        text += '>';
    } else if (name == "amp") {
        text += '&';
    } else if (name == "quot") {
        text += '"';
    } else if (name == "apos") {
        text += '\'';
    } else if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const char* begin = name.data() + (hex ? 2 : 1);
        const char* end = name.data() + name.size();
        uint32_t code = 0;
        auto [stop, error] = std::from_chars(begin, end, code, hex ? 16 : 10);
        if (begin == end || error != std::errc() || stop != end || code == 0 || code > 0x10FFFF ||
            (code >= 0xD800 && code < 0xE000))
            return fail("bad character reference");
        PropertyListText::appendUTF8(text, code);
    } else {
        return fail("unknown entity &" + name + ";");
    }
    return true;
}

std::optional<std::string> XMLPropertyListReader::readText(const Tag& tag) {
    std::string text;
    if (tag.empty)
        return text;
    while (position_ < data_.size()) {
        const uint8_t c = data_[position_];
        if (c == '&') {
            ++position_;
            if (!decodeEntity(text))
                return std::nullopt;
        } else if (c != '<') {
            text += static_cast<char>(c);
            ++position_;
        } else if (startsWith("<![CDATA[")) {
            position_ += 9;
            const size_t start = position_;
            if (!skipPast("]]>"))
                return std::nullopt;
            text.append(data_.begin() + static_cast<std::ptrdiff_t>(start),
                        data_.begin() + static_cast<std::ptrdiff_t>(position_ - 3));
        } else if (startsWith("<!--")) {
            position_ += 4;
            if (!skipPast("-->"))
                return std::nullopt;
        } else {
            ++position_;
            std::optional<Tag> closing = readTag();
            if (!closing)
                return std::nullopt;
            if (!closing->closing || closing->name != tag.name) {
                fail("unexpected tag <" + closing->name + "> in <" + tag.name + ">");
                return std::nullopt;
            }
            return text;
        }
    }
    fail("unterminated <" + tag.name + ">");
    return std::nullopt;
}

std::optional<Value> XMLPropertyListReader::readValue(const Tag& tag, size_t depth) {
    if (depth > kMaximumDepth) {
        fail("nested too deeply");
        return std::nullopt;
    }
    if (tag.closing) {
        fail("unexpected </" + tag.name + ">");
        return std::nullopt;
    }
    const std::string& name = tag.name;
    if (name == "array") {
        if (tag.empty)
            return Value(Value::Array{});
        return readArray(depth);
    }
    if (name == "dict") {
        if (tag.empty)
            return Value(Value::Dictionary{});
        return readDictionary(depth);
    }
    if (name == "true" || name == "false") {
        if (!tag.empty) {
            std::optional<std::string> text = readText(tag);
            if (!text || !trimmed(*text).empty()) {
                fail("content in <" + name + ">");
                return std::nullopt;
            }
        }
        return Value(name == "true");
    }
    std::optional<std::string> text = readText(tag);
    if (!text)
        return std::nullopt;
    std::optional<Value> result;
    if (name == "string") {
        result = Value(std::move(*text));
    } else if (name == "integer") {
        result = parseInteger(trimmed(*text));
    } else if (name == "real") {
        if (std::optional<double> real = parseReal(trimmed(*text)))
            result = Value(*real);
    } else if (name == "data") {
        if (std::optional<Value::Data> bytes = PropertyListText::decodeBase64(*text))
            result = Value(std::move(*bytes));
    } else if (name == "date") {
        if (std::optional<NSDate> date = PropertyListText::parseISO8601(trimmed(*text)))
            result = Value(*date);
    } else {
        fail("unknown element <" + name + ">");
        return std::nullopt;
    }
    if (!result)
        fail("bad <" + name + "> value");
    return result;
}

std::optional<Value> XMLPropertyListReader::readArray(size_t depth) {
    Value::Array array;
    while (true) {
        std::optional<Tag> tag = nextTag();
        if (!tag)
            return std::nullopt;
        if (tag->closing) {
            if (tag->name != "array") {
                fail("expected </array>");
                return std::nullopt;
            }
            return Value(std::move(array));
        }
        std::optional<Value> element = readValue(*tag, depth + 1);
        if (!element)
            return std::nullopt;
        array.push_back(std::move(*element));
    }
}

std::optional<Value> XMLPropertyListReader::readDictionary(size_t depth) {
    Value::Dictionary dictionary;
    while (true) {
        std::optional<Tag> tag = nextTag();
        if (!tag)
            return std::nullopt;
        if (tag->closing) {
            if (tag->name != "dict") {
                fail("expected </dict>");
                return std::nullopt;
            }
            return Value(std::move(dictionary));
        }
        if (tag->name != "key") {
            fail("expected <key>");
            return std::nullopt;
        }
        std::optional<std::string> key = readText(*tag);
        if (!key)
            return std::nullopt;
        std::optional<Tag> valueTag = nextTag();
        if (!valueTag)
            return std::nullopt;
        std::optional<Value> value = readValue(*valueTag, depth + 1);
        if (!value)
            return std::nullopt;
        dictionary.insert_or_assign(std::move(*key), std::move(*value));
    }
}
