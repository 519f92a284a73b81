#include <algorithm>
#include <cctype>
#include <vector>

#include "Net/NSURL.h"

namespace {

struct Parts {
    std::optional<std::string> scheme, authority, query, fragment;
    std::string path;
};

bool isHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Encodes what a URL cannot hold; existing valid escapes stay.
std::string encodeLoosely(std::string_view text) {
    static const std::string_view allowed = "-._~:/?#[]@!$&'()*+,;=";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '%' && i + 2 < text.size() && isHex(text[i + 1]) && isHex(text[i + 2])) {
            out += '%';
        } else if (std::isalnum(c) || (c != '%' && allowed.find(char(c)) != std::string::npos)) {
            out += char(c);
        } else {
            static const char* digits = "0123456789ABCDEF";
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

std::string trimmed(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return std::string(text.substr(begin, end - begin));
}

// The generic syntax split of RFC 3986 appendix B, by hand: std::regex
// recurses per character and overflows the stack on long links.
Parts split(std::string_view text) {
    Parts parts;
    const size_t colon = text.find_first_of(":/?#");
    if (colon != std::string_view::npos && colon > 0 && text[colon] == ':' &&
        std::isalpha(static_cast<unsigned char>(text[0]))) {
        const std::string_view scheme = text.substr(0, colon);
        bool valid = true;
        for (const char c : scheme)
            valid = valid && (std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' ||
                              c == '.');
        if (valid) {
            parts.scheme = std::string(scheme);
            text.remove_prefix(colon + 1);
        }
    }
    if (text.starts_with("//")) {
        text.remove_prefix(2);
        const size_t end = std::min(text.find_first_of("/?#"), text.size());
        parts.authority = std::string(text.substr(0, end));
        text.remove_prefix(end);
    }
    const size_t hash = text.find('#');
    if (hash != std::string_view::npos) {
        parts.fragment = std::string(text.substr(hash + 1));
        text = text.substr(0, hash);
    }
    const size_t question = text.find('?');
    if (question != std::string_view::npos) {
        parts.query = std::string(text.substr(question + 1));
        text = text.substr(0, question);
    }
    parts.path = std::string(text);
    return parts;
}

std::string removeDotSegments(const std::string& path) {
    std::vector<std::string> out;
    size_t start = 0;
    const bool absolute = !path.empty() && path[0] == '/';
    if (absolute)
        start = 1;
    bool trailingSlash = false;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string segment = path.substr(start, end - start);
        trailingSlash = false;
        if (segment == "..") {
            if (!out.empty())
                out.pop_back();
            trailingSlash = true;
        } else if (segment == ".") {
            trailingSlash = true;
        } else {
            out.push_back(segment);
        }
        start = end + 1;
    }
    std::string result = absolute ? "/" : "";
    for (size_t i = 0; i < out.size(); ++i) {
        result += out[i];
        if (i + 1 < out.size())
            result += '/';
    }
    if (trailingSlash && !result.empty() && result.back() != '/')
        result += '/';
    return result;
}

}  // namespace

std::optional<NSURL> NSURL::URLWithStringRelativeToURL(std::string_view reference,
                                                       const NSURL& base) {
    const Parts r = split(encodeLoosely(trimmed(reference)));
    const Parts b = split(base.absoluteString());
    Parts t;
    if (r.scheme) {
        t = r;
        t.path = removeDotSegments(r.path);
    } else {
        if (r.authority) {
            t.authority = r.authority;
            t.path = removeDotSegments(r.path);
            t.query = r.query;
        } else {
            if (r.path.empty()) {
                t.path = b.path;
                t.query = r.query ? r.query : b.query;
            } else {
                if (r.path[0] == '/') {
                    t.path = removeDotSegments(r.path);
                } else if (b.authority && b.path.empty()) {
                    t.path = removeDotSegments("/" + r.path);
                } else {
                    const size_t slash = b.path.rfind('/');
                    const std::string directory =
                        slash == std::string::npos ? "" : b.path.substr(0, slash + 1);
                    t.path = removeDotSegments(directory + r.path);
                }
                t.query = r.query;
            }
            t.authority = b.authority;
        }
        t.scheme = b.scheme;
    }
    t.fragment = r.fragment;
    std::string text = t.scheme.value_or("") + ":";
    if (t.authority)
        text += "//" + *t.authority;
    text += t.path;
    if (t.query)
        text += "?" + *t.query;
    if (t.fragment)
        text += "#" + *t.fragment;
    return URLWithString(text);
}
