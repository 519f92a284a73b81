#include "UIKit/WebFontFamilies.h"

#include <strings.h>

#include <algorithm>
#include <vector>

namespace {

constexpr const char* kSans = "Noto Sans";
constexpr const char* kSerif = "Noto Serif";
constexpr const char* kMono = "DejaVu Sans Mono";

struct Family {
    const char* name;
    const char* drawnWith;
};

// Generic families and the named ones pages ask for, by kind, then the
// project's own.
constexpr Family kFamilies[] = {
    {"sans-serif", kSans},
    {"system-ui", kSans},
    {"ui-sans-serif", kSans},
    {"-apple-system", kSans},
    {"cursive", kSans},
    {"fantasy", kSans},
    {"Helvetica Neue", kSans},
    {"Helvetica", kSans},
    {"Arial", kSans},
    {"Verdana", kSans},
    {"serif", kSerif},
    {"ui-serif", kSerif},
    {"Times", kSerif},
    {"Times New Roman", kSerif},
    {"Georgia", kSerif},
    {"monospace", kMono},
    {"ui-monospace", kMono},
    {"Courier", kMono},
    {"Courier New", kMono},
    {"Menlo", kMono},
    {"Monaco", kMono},
    {"Noto Sans", kSans},
    {"Noto Serif", kSerif},
    {"DejaVu Sans", "DejaVu Sans"},
    {"DejaVu Serif", "DejaVu Serif"},
    {"DejaVu Sans Mono", kMono},
};

std::string_view trimmed(std::string_view text) {
    const auto isSpaceOrQuote = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '"' || c == '\'';
    };
    while (!text.empty() && isSpaceOrQuote(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpaceOrQuote(text.back()))
        text.remove_suffix(1);
    return text;
}

const char* drawnWith(std::string_view name) {
    for (const Family& family : kFamilies) {
        if (std::string_view(family.name).size() == name.size() &&
            strncasecmp(family.name, name.data(), name.size()) == 0)
            return family.drawnWith;
    }
    return nullptr;
}

}  // namespace

std::string WebFontFamilies(std::string_view cssFamilies) {
    std::vector<const char*> chosen;
    while (!cssFamilies.empty()) {
        const size_t comma = std::min(cssFamilies.find(','), cssFamilies.size());
        const char* family = drawnWith(trimmed(cssFamilies.substr(0, comma)));
        if (family && std::find(chosen.begin(), chosen.end(), family) == chosen.end())
            chosen.push_back(family);
        cssFamilies.remove_prefix(std::min(comma + 1, cssFamilies.size()));
    }
    if (chosen.empty())
        return kSans;
    std::string families;
    for (const char* family : chosen)
        families += (families.empty() ? "" : ", ") + std::string(family);
    return families;
}
