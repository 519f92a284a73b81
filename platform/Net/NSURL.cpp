#include "Net/NSURL.h"

#include <algorithm>
#include <cctype>

namespace {

bool isUnreserved(unsigned char c) {
    return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

// Characters a URL may hold outside escapes: unreserved, gen-delims and sub-delims.
bool isURLCharacter(unsigned char c) {
    if (isUnreserved(c))
        return true;
    return std::string_view(":/?#[]@!$&'()*+,;=").find(static_cast<char>(c)) !=
           std::string_view::npos;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A "%" at `i` followed by two hexadecimal digits.
bool isEscapeAt(std::string_view text, size_t i) {
    return i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0;
}

bool hasOnlyURLCharacters(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            if (!isEscapeAt(text, i))
                return false;
            i += 2;
        } else if (!isURLCharacter(c)) {
            return false;
        }
    }
    return true;
}

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

bool isValidScheme(std::string_view scheme) {
    if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme[0])))
        return false;
    return std::all_of(scheme.begin(), scheme.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '+' || c == '-' || c == '.';
    });
}

}  // namespace

std::optional<NSURL> NSURL::URLWithString(std::string_view string) {
    if (string.empty() || !hasOnlyURLCharacters(string))
        return std::nullopt;
    const size_t colon = string.find(':');
    if (colon == std::string_view::npos || !isValidScheme(string.substr(0, colon)))
        return std::nullopt;
    NSURL url;
    url.scheme_ = lowered(string.substr(0, colon));
    std::string_view rest = string.substr(colon + 1);

    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const size_t end = rest.find_first_of("/?#");
        std::string_view authority = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
        if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
            url.user_ = std::string(authority.substr(0, at));
            authority.remove_prefix(at + 1);
        }
        std::string_view portText;
        if (authority.starts_with('[')) {
            const size_t close = authority.find(']');
            if (close == std::string_view::npos)
                return std::nullopt;
            url.host_ = lowered(authority.substr(1, close - 1));
            const std::string_view after = authority.substr(close + 1);
            if (!after.empty() && after[0] != ':')
                return std::nullopt;
            if (!after.empty())
                portText = after.substr(1);
        } else {
            const size_t portColon = authority.find(':');
            url.host_ = lowered(authority.substr(0, portColon));
            if (portColon != std::string_view::npos)
                portText = authority.substr(portColon + 1);
            if (url.host_.find_first_of("[]") != std::string::npos)
                return std::nullopt;
        }
        if (!portText.empty()) {
            if (portText.size() > 5 ||
                !std::all_of(portText.begin(), portText.end(),
                             [](unsigned char c) { return std::isdigit(c); }))
                return std::nullopt;
            const int port = std::stoi(std::string(portText));
            if (port > 65535)
                return std::nullopt;
            url.port_ = port;
        }
        url.hasAuthority_ = true;
        if ((url.scheme_ == "http" || url.scheme_ == "https") && url.host_.empty())
            return std::nullopt;
    }

    const size_t pathEnd = rest.find_first_of("?#");
    url.path_ = std::string(rest.substr(0, pathEnd));
    rest = pathEnd == std::string_view::npos ? std::string_view{} : rest.substr(pathEnd);
    if (rest.starts_with('?')) {
        const size_t hash = rest.find('#');
        url.query_ =
            std::string(rest.substr(1, hash == std::string_view::npos ? rest.npos : hash - 1));
        rest = hash == std::string_view::npos ? std::string_view{} : rest.substr(hash);
    }
    if (rest.starts_with('#'))
        url.fragment_ = std::string(rest.substr(1));
    url.compose();
    return url;
}

void NSURL::compose() {
    std::string text = scheme_ + ":";
    if (hasAuthority_) {
        text += "//";
        if (user_)
            text += *user_ + "@";
        text += host_.find(':') != std::string::npos ? "[" + host_ + "]" : host_;
        if (port_)
            text += ":" + std::to_string(*port_);
    }
    text += path_;
    if (query_)
        text += "?" + *query_;
    if (fragment_)
        text += "#" + *fragment_;
    absoluteString_ = std::move(text);
}

std::string NSURL::path() const {
    return percentDecode(path_).value_or(path_);
}

std::string NSURL::lastPathComponent() const {
    std::string_view path = path_;
    while (path.size() > 1 && path.ends_with('/'))
        path.remove_suffix(1);
    if (path == "/")
        return "/";
    const size_t slash = path.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return percentDecode(last).value_or(std::string(last));
}

NSURL NSURL::URLByAppendingPathComponent(std::string_view component) const {
    NSURL url = *this;
    std::string encoded;
    for (size_t i = 0; i < component.size(); ++i) {
        const char c = component[i];
        if ((c == '%' && isEscapeAt(component, i)) || c == '/' ||
            isUnreserved(static_cast<unsigned char>(c)) ||
            std::string_view("!$&'()*+,;=:@").find(c) != std::string_view::npos) {
            encoded += c;
        } else {
            encoded += percentEncode(std::string_view(&c, 1));
        }
    }
    if (url.path_.empty() || !url.path_.ends_with('/'))
        url.path_ += '/';
    url.path_ += encoded.starts_with('/') ? encoded.substr(1) : encoded;
    url.query_.reset();
    url.fragment_.reset();
    url.compose();
    return url;
}

std::string NSURL::percentEncode(std::string_view text, std::string_view allowed) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isUnreserved(byte) || (byte < 0x80 && allowed.find(c) != std::string_view::npos)) {
            result += c;
        } else {
            result += '%';
            result += digits[byte >> 4];
            result += digits[byte & 0x0F];
        }
    }
    return result;
}

std::optional<std::string> NSURL::percentDecode(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result += text[i];
            continue;
        }
        if (!isEscapeAt(text, i))
            return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        result += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return result;
}
