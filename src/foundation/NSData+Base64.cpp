#include "foundation/NSData+Base64.h"

#include <array>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kBytesPerLine = 48;
constexpr int8_t kNotInAlphabet = -1;

constexpr std::array<int8_t, 256> makeDecodeTable() {
    std::array<int8_t, 256> table{};
    table.fill(kNotInAlphabet);
    for (int8_t i = 0; i < 64; ++i) {
        table[static_cast<uint8_t>(kAlphabet[i])] = i;
    }
    return table;
}

constexpr std::array<int8_t, 256> kDecodeTable = makeDecodeTable();

}  // namespace

Value::Data dataFromBase64String(const std::string& string) {
    Value::Data data;
    data.reserve(string.size() / 4 * 3 + 2);
    uint32_t unit = 0;
    int values = 0;
    for (const char character : string) {
        const auto byte = static_cast<uint8_t>(character);
        if (byte > 0x7f) {
            return {};
        }
        const int8_t value = kDecodeTable[byte];
        if (value == kNotInAlphabet) {
            continue;
        }
        unit = (unit << 6) | static_cast<uint32_t>(value);
        if (++values == 4) {
            data.push_back(static_cast<uint8_t>(unit >> 16));
            data.push_back(static_cast<uint8_t>(unit >> 8));
            data.push_back(static_cast<uint8_t>(unit));
            unit = 0;
            values = 0;
        }
    }
    // A last unit of three values gives two bytes, of two values one byte.
    if (values == 3) {
        data.push_back(static_cast<uint8_t>(unit >> 10));
        data.push_back(static_cast<uint8_t>(unit >> 2));
    } else if (values == 2) {
        data.push_back(static_cast<uint8_t>(unit >> 4));
    }
    return data;
}

std::string base64EncodedString(const Value::Data& data, bool breakLines) {
    const size_t groups = (data.size() + 2) / 3;
    std::string text;
    text.reserve(groups * 4 + (breakLines ? groups / 16 * 2 : 0));
    for (size_t i = 0; i < data.size(); i += 3) {
        if (breakLines && i > 0 && i % kBytesPerLine == 0) {
            text += "\r\n";
        }
        const size_t remaining = data.size() - i;
        const uint32_t group = (uint32_t{data[i]} << 16) |
                               (remaining > 1 ? uint32_t{data[i + 1]} << 8 : 0) |
                               (remaining > 2 ? uint32_t{data[i + 2]} : 0);
        text.push_back(kAlphabet[(group >> 18) & 0x3f]);
        text.push_back(kAlphabet[(group >> 12) & 0x3f]);
        text.push_back(remaining > 1 ? kAlphabet[(group >> 6) & 0x3f] : '=');
        text.push_back(remaining > 2 ? kAlphabet[group & 0x3f] : '=');
    }
    return text;
}

std::string base64EncodedStringBreakingLines(const Value::Data& data, bool breakLines) {
    return base64EncodedString(data, breakLines);
}
