#include "Foundation/StringsFileReader.h"

#include <cstring>

#include "Foundation/NSPropertyListSerialization.h"
#include "Foundation/PropertyListText.h"

namespace {

bool isWordCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("_$+/:.-", c) != nullptr;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<StringsFileReader::Table> tableFromPropertyList(const Value::Data& data,
                                                              std::string* reason) {
    std::optional<Value> plist = NSPropertyListSerialization::propertyListWithData(data);
    if (!plist || !plist->dictionaryValue()) {
        if (reason)
            *reason = "not a property list dictionary";
        return std::nullopt;
    }
    StringsFileReader::Table table;
    for (const auto& [key, value] : *plist->dictionaryValue()) {
        if (const std::string* text = value.stringValue())
            table[key] = *text;
    }
    return table;
}

}  // namespace

std::optional<StringsFileReader::Table> StringsFileReader::read(const Value::Data& data,
                                                                std::string* reason) {
    std::string text;
    if (data.size() >= 2 &&
        ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) {
        const bool bigEndian = data[0] == 0xFE;
        text = PropertyListText::utf16ToUTF8(data.data() + 2, (data.size() - 2) / 2, bigEndian);
    } else {
        const size_t skip =
            data.size() >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF ? 3 : 0;
        text.assign(data.begin() + static_cast<std::ptrdiff_t>(skip), data.end());
    }
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start != std::string::npos && text.compare(start, 1, "<") == 0) {
        return tableFromPropertyList(Value::Data(text.begin(), text.end()), reason);
    }
    if (text.compare(0, 6, "bplist") == 0)
        return tableFromPropertyList(data, reason);
    StringsFileReader reader(std::move(text));
    std::optional<Table> table = reader.readTable();
    if (!table && reason)
        *reason = reader.reason_;
    return table;
}

bool StringsFileReader::fail(const std::string& reason) {
    if (reason_.empty()) {
        size_t line = 1;
        for (size_t i = 0; i < position_ && i < text_.size(); ++i)
            line += text_[i] == '\n';
        reason_ = reason + " on line " + std::to_string(line);
    }
    return false;
}

bool StringsFileReader::skipSpaceAndComments() {
    while (position_ < text_.size()) {
        const char c = text_[position_];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++position_;
        } else if (text_.compare(position_, 2, "//") == 0) {
            const size_t end = text_.find('\n', position_);
            position_ = end == std::string::npos ? text_.size() : end + 1;
        } else if (text_.compare(position_, 2, "/*") == 0) {
            const size_t end = text_.find("*/", position_ + 2);
            if (end == std::string::npos)
                return fail("unterminated comment");
            position_ = end + 2;
        } else {
            break;
        }
    }
    return true;
}

bool StringsFileReader::readHexUnit(uint32_t& unit) {
    unit = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = position_ < text_.size() ? hexDigit(text_[position_]) : -1;
        if (digit < 0)
            return false;
        unit = unit * 16 + static_cast<uint32_t>(digit);
        ++position_;
    }
    return true;
}

bool StringsFileReader::readEscape(std::string& out) {
    // position_ is just after the backslash.
    if (position_ >= text_.size())
        return fail("unterminated escape");
    const char c = text_[position_++];
    switch (c) {
        case 'n':
            out += '\n';
            return true;
        case 't':
            out += '\t';
            return true;
        case 'r':
            out += '\r';
            return true;
        case 'U':
        case 'u': {
            uint32_t unit = 0;
            if (!readHexUnit(unit))
                return fail("bad \\U escape");
            const bool high = unit >= 0xD800 && unit < 0xDC00;
            if (high && position_ + 1 < text_.size() && text_[position_] == '\\' &&
                (text_[position_ + 1] == 'U' || text_[position_ + 1] == 'u')) {
                const size_t mark = position_;
                position_ += 2;
                uint32_t low = 0;
                if (readHexUnit(low) && low >= 0xDC00 && low < 0xE000) {
                    PropertyListText::appendUTF8(
                        out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                    return true;
                }
                position_ = mark;
            }
            // A lone surrogate cannot be UTF-8.
            if (unit >= 0xD800 && unit < 0xE000)
                unit = 0xFFFD;
            PropertyListText::appendUTF8(out, unit);
            return true;
        }
        default:
            // \" \\ and any other escaped character stand for themselves.
            out += c;
            return true;
    }
}

std::optional<std::string> StringsFileReader::readQuoted() {
    // position_ is just after the opening quote.
    std::string out;
    while (position_ < text_.size()) {
        const char c = text_[position_++];
        if (c == '"')
            return out;
        if (c == '\\') {
            if (!readEscape(out))
                return std::nullopt;
        } else {
            out += c;
        }
    }
    fail("unterminated string");
    return std::nullopt;
}

std::optional<std::string> StringsFileReader::readToken() {
    if (!skipSpaceAndComments())
        return std::nullopt;
    if (position_ >= text_.size()) {
        fail("unexpected end");
        return std::nullopt;
    }
    if (text_[position_] == '"') {
        ++position_;
        return readQuoted();
    }
    const size_t start = position_;
    while (position_ < text_.size() && isWordCharacter(text_[position_]))
        ++position_;
    if (position_ == start) {
        fail("unexpected character");
        return std::nullopt;
    }
    return text_.substr(start, position_ - start);
}

std::optional<StringsFileReader::Table> StringsFileReader::readTable() {
    Table table;
    while (true) {
        if (!skipSpaceAndComments())
            return std::nullopt;
        if (position_ >= text_.size())
            return table;
        std::optional<std::string> key = readToken();
        if (!key || !skipSpaceAndComments())
            return std::nullopt;
        std::string value = *key;
        if (position_ < text_.size() && text_[position_] == '=') {
            ++position_;
            std::optional<std::string> token = readToken();
            if (!token || !skipSpaceAndComments())
                return std::nullopt;
            value = std::move(*token);
        }
        if (position_ >= text_.size() || text_[position_] != ';') {
            fail("expected ';'");
            return std::nullopt;
        }
        ++position_;
        table.insert_or_assign(std::move(*key), std::move(value));
    }
}
