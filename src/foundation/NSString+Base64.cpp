#include "Foundation/NSString+PercentEncoding.h"
#include "foundation/NSString+Base64.h"

#include <algorithm>

#include "foundation/NSData+Base64.h"
#include "foundation/NSString+HashValue.h"

namespace {

bool isASCII(const std::string& string) {
    return std::all_of(string.begin(), string.end(),
                       [](char c) { return static_cast<uint8_t>(c) <= 0x7f; });
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool isUTF8(const std::string& string) {
    size_t i = 0;
    while (i < string.size()) {
        const auto lead = static_cast<uint8_t>(string[i]);
        size_t length;
        uint32_t codePoint;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2;
            codePoint = lead & 0x1f;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            codePoint = lead & 0x0f;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (string.size() - i < length) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            const auto continuation = static_cast<uint8_t>(string[i + k]);
            if ((continuation & 0xc0) != 0x80) {
                return false;
            }
            codePoint = (codePoint << 6) | (continuation & 0x3f);
        }
        const bool overlong =
            (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
        if (overlong || (codePoint >= 0xd800 && codePoint <= 0xdfff) || codePoint > 0x10ffff) {
            return false;
        }
        i += length;
    }
    return true;
}

}  // namespace

std::optional<std::string> base64EncodedString(const std::string& string, bool breakLines) {
    if (!isASCII(string)) {
        return std::nullopt;
    }
    return base64EncodedString(Value::Data(string.begin(), string.end()), breakLines);
}

std::optional<std::string> base64EncodedStringBreakingLines(const std::string& string,
                                                            bool breakLines) {
    return base64EncodedString(string, breakLines);
}

std::optional<std::string> stringFromBase64String(const std::string& string) {
    const Value::Data data = dataFromBase64String(string);
    std::string text(data.begin(), data.end());
    if (!isASCII(text)) {
        return std::nullopt;
    }
    return text;
}

std::string urlEncoded(const std::string& string) {
    return stringByAddingPercentEncodingForQueryValue(string);
}

std::optional<std::string> urlDecoded(const std::string& string) {
    std::string text;
    text.reserve(string.size());
    for (size_t i = 0; i < string.size(); ++i) {
        if (string[i] != '%') {
            text.push_back(string[i]);
            continue;
        }
        const int high = i + 2 < string.size() ? hexValue(string[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(string[i + 2]) : -1;
        if (low < 0) {
            return std::nullopt;
        }
        text.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    if (!isUTF8(text)) {
        return std::nullopt;
    }
    return text;
}

std::string urlSafeCacheFileName(const std::string& url) {
    constexpr size_t kMaximumFileNameLength = 255;
    std::string name = base64EncodedString(Value::Data(url.begin(), url.end()), false);
    while (!name.empty() && name.back() == '=')
        name.pop_back();
    std::replace(name.begin(), name.end(), '+', '-');
    std::replace(name.begin(), name.end(), '/', '_');
    if (name.size() > kMaximumFileNameLength)
        return "sha256." + sha256String(url);
    return name;
}
