#include "UIKit/WebTableSpans.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

std::string clamped(std::string_view value) {
    const std::string text(value);
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || number < 1)
        return "1";
    return std::to_string(std::min(number, kWebMaximumTableSpan));
}

}  // namespace

std::string WebClampTableSpans(std::string_view tag) {
    std::string out;
    size_t i = 0;
    // "<" and the element name pass unchanged.
    while (i < tag.size() && !isSpace(tag[i]) && tag[i] != '>' && (i == 0 || tag[i] != '/'))
        out += tag[i++];
    while (i < tag.size()) {
        const size_t nameStart = i;
        while (i < tag.size() && !isSpace(tag[i]) && tag[i] != '=' && tag[i] != '>' &&
               tag[i] != '/')
            ++i;
        const std::string name = lower(tag.substr(nameStart, i - nameStart));
        out.append(tag.substr(nameStart, i - nameStart));
        size_t spaces = i;
        while (spaces < tag.size() && isSpace(tag[spaces]))
            ++spaces;
        if (spaces >= tag.size() || tag[spaces] != '=') {
            if (i == nameStart)
                out += tag[i++];  // a space, "/", ">" or a stray character
            continue;
        }
        out.append(tag.substr(i, spaces + 1 - i));
        i = spaces + 1;
        while (i < tag.size() && isSpace(tag[i]))
            out += tag[i++];
        size_t valueStart = i, valueEnd;
        std::string quote;
        if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
            quote = tag[i];
            valueStart = i + 1;
            valueEnd = std::min(tag.find(tag[i], valueStart), tag.size());
            i = std::min(valueEnd + 1, tag.size());
        } else {
            while (i < tag.size() && !isSpace(tag[i]) && tag[i] != '>')
                ++i;
            valueEnd = i;
        }
        const std::string_view value = tag.substr(valueStart, valueEnd - valueStart);
        out += quote;
        out += (name == "rowspan" || name == "colspan") ? clamped(value) : std::string(value);
        out += quote;
    }
    return out;
}
