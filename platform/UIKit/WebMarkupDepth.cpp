#include "UIKit/WebMarkupDepth.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "UIKit/WebTableSpans.h"

namespace {

bool isOneOf(const std::string& name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool isVoid(const std::string& name) {
    return isOneOf(
        name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param",
               "source", "track", "wbr", "basefont", "frame", "keygen"});
}

bool isRawText(const std::string& name) {
    return isOneOf(name, {"script", "style", "textarea", "title", "xmp", "plaintext"});
}

// Elements whose start closes an open one of the same name (up to a list or
// table boundary).
bool closesNamesake(const std::string& name) {
    return isOneOf(name,
                   {"p", "li", "dt", "dd", "option", "tr", "td", "th", "thead", "tbody", "tfoot"});
}

bool isBoundary(const std::string& name) {
    return isOneOf(name, {"ul", "ol", "dl", "table", "select", "div", "body"});
}

// A tag name at html[i] (after "<" or "</"), lower-cased.
std::string tagName(std::string_view html, size_t i) {
    std::string name;
    while (i < html.size() && (std::isalnum(static_cast<unsigned char>(html[i])) ||
                               html[i] == '-' || html[i] == ':')) {
        name += char(std::tolower(static_cast<unsigned char>(html[i])));
        ++i;
    }
    return name;
}

// The index just past the ">" that ends a tag starting at `from`, honouring
// quoted attribute values; html.size() when it never ends.
size_t tagEnd(std::string_view html, size_t from) {
    char quote = 0;
    for (size_t i = from; i < html.size(); ++i) {
        const char c = html[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return html.size();
}

size_t findCaseless(std::string_view html, std::string_view needle, size_t from) {
    auto it = std::search(html.begin() + std::min(from, html.size()), html.end(), needle.begin(),
                          needle.end(), [](char a, char b) {
                              return std::tolower(static_cast<unsigned char>(a)) ==
                                     std::tolower(static_cast<unsigned char>(b));
                          });
    return it == html.end() ? std::string_view::npos : size_t(it - html.begin());
}

}  // namespace

std::string WebLimitMarkupDepth(std::string_view html, size_t maxDepth) {
    std::string out;
    out.reserve(html.size());
    std::vector<std::string> open;
    std::vector<std::string> dropped;
    size_t i = 0;
    while (i < html.size()) {
        const size_t lt = html.find('<', i);
        if (lt == std::string_view::npos) {
            out.append(html.substr(i));
            break;
        }
        out.append(html.substr(i, lt - i));
        i = lt;
        if (html.substr(i).starts_with("<!--")) {
            const size_t close = html.find("-->", i + 4);
            const size_t end = close == std::string_view::npos ? html.size() : close + 3;
            out.append(html.substr(i, end - i));
            i = end;
            continue;
        }
        const bool closing = i + 1 < html.size() && html[i + 1] == '/';
        const std::string name = tagName(html, i + (closing ? 2 : 1));
        if (name.empty()) {
            // "<!DOCTYPE", "<?xml", or a lone "<": passed on as it is.
            const size_t end = (html.size() > i + 1 && (html[i + 1] == '!' || html[i + 1] == '?'))
                                   ? tagEnd(html, i + 1)
                                   : i + 1;
            out.append(html.substr(i, end - i));
            i = end;
            continue;
        }
        const size_t end = tagEnd(html, i + 1);
        const std::string_view tag = html.substr(i, end - i);
        i = end;
        if (closing) {
            auto it = std::find(open.rbegin(), open.rend(), name);
            if (it != open.rend()) {
                open.erase(std::next(it).base(), open.end());
                out.append(tag);
            } else if (auto d = std::find(dropped.rbegin(), dropped.rend(), name);
                       d != dropped.rend()) {
                dropped.erase(std::next(d).base());
            } else {
                out.append(tag);
            }
            continue;
        }
        const std::string emitted =
            name == "td" || name == "th" ? WebClampTableSpans(tag) : std::string(tag);
        const bool selfClosing = tag.size() >= 2 && tag[tag.size() - 2] == '/';
        if (isVoid(name) || selfClosing) {
            out.append(emitted);
            continue;
        }
        if (closesNamesake(name)) {
            for (size_t k = open.size(); k-- > 0;) {
                if (open[k] == name) {
                    open.resize(k);
                    break;
                }
                if (isBoundary(open[k]))
                    break;
            }
        }
        const bool tooDeep = open.size() >= maxDepth;
        if (tooDeep) {
            dropped.push_back(name);
        } else {
            open.push_back(name);
            out.append(emitted);
        }
        if (isRawText(name)) {
            // Raw text runs to its end tag, which then closes the element; a
            // dropped element's raw text goes with it.
            const size_t close = findCaseless(html, "</" + name, i);
            const size_t stop = close == std::string_view::npos ? html.size() : close;
            if (!tooDeep)
                out.append(html.substr(i, stop - i));
            i = stop;
        }
    }
    return out;
}
