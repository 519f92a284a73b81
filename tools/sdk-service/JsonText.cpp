#include "JsonText.h"

namespace {

// The length of the UTF-8 sequence at `at`, or 0 when the bytes there are none.
size_t sequenceLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong form
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    return length;
}

}  // namespace

SharedBytes::Shared JsonText::make(MemoryBudget& budget,
                                   const std::function<void(JsonText&)>& write) {
    JsonText counted;
    write(counted);
    return SharedBytes::make(budget, counted.size(), [&write](std::string& text) {
        JsonText json(text);
        write(json);
    });
}

void JsonText::put(std::string_view text) {
    size_ += text.size();
    if (text_)
        text_->append(text);
}

JsonText& JsonText::raw(std::string_view text) {
    put(text);
    return *this;
}

JsonText& JsonText::string(std::string_view text) {
    static const char* const kDigits = "0123456789abcdef";
    put("\"");
    size_t plain = 0;  // start of the bytes that go out as they are
    for (size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const size_t length = sequenceLength(text, at);
        std::string_view escaped;
        char control[] = "\\u00XX";
        if (length == 0) {
            escaped = "\xEF\xBF\xBD";
        } else if (c == '"') {
            escaped = "\\\"";
        } else if (c == '\\') {
            escaped = "\\\\";
        } else if (c == '\b') {
            escaped = "\\b";
        } else if (c == '\f') {
            escaped = "\\f";
        } else if (c == '\n') {
            escaped = "\\n";
        } else if (c == '\r') {
            escaped = "\\r";
        } else if (c == '\t') {
            escaped = "\\t";
        } else if (c < 0x20) {
            control[4] = kDigits[c >> 4];
            control[5] = kDigits[c & 15];
            escaped = control;
        } else {
            at += length;
            continue;
        }
        put(text.substr(plain, at - plain));
        put(escaped);
        at += length == 0 ? 1 : length;
        plain = at;
    }
    put(text.substr(plain));
    put("\"");
    return *this;
}

JsonText& JsonText::stringOrNull(const std::optional<std::string>& text) {
    return text ? string(*text) : raw("null");
}

JsonText& JsonText::number(int64_t value) {
    return raw(std::to_string(value));
}
