#include "UIKit/WebMarkupDepth.h"

#include <algorithm>
#include <string>
#include <vector>

#include "UIKit/WebMarkupWriter.h"

namespace {

bool isOneOf(const std::string& name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool isVoid(const std::string& name) {
    return isOneOf(
        name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param",
               "source", "track", "wbr", "basefont", "bgsound", "frame", "keygen"});
}

// Elements whose text runs to their end tag unparsed. noscript is not one:
// the parser reads it as markup.
bool isRawText(const std::string& name) {
    return isOneOf(
        name, {"script", "style", "xmp", "iframe", "noembed", "noframes", "title", "textarea"});
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

// Formatting elements the parser opens again after whatever closed them.
bool isFormatting(const std::string& name) {
    return isOneOf(name, {"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small",
                          "strike", "strong", "tt", "u"});
}

// Elements that end the reach of formatting opened inside them.
bool isMarker(const std::string& name) {
    return isOneOf(name, {"applet", "caption", "marquee", "object", "td", "th", "template"});
}

// Elements an end tag of another name does not reach past.
bool isSpecial(const std::string& name) {
    return isOneOf(
        name,
        {"address",  "applet",     "area",     "article",    "aside",    "base",     "basefont",
         "bgsound",  "blockquote", "body",     "br",         "button",   "caption",  "center",
         "col",      "colgroup",   "dd",       "details",    "dir",      "div",      "dl",
         "dt",       "embed",      "fieldset", "figcaption", "figure",   "footer",   "form",
         "frame",    "frameset",   "h1",       "h2",         "h3",       "h4",       "h5",
         "h6",       "head",       "header",   "hgroup",     "hr",       "html",     "iframe",
         "img",      "input",      "li",       "link",       "listing",  "main",     "marquee",
         "menu",     "meta",       "nav",      "noembed",    "noframes", "noscript", "object",
         "ol",       "p",          "param",    "plaintext",  "pre",      "script",   "section",
         "select",   "source",     "style",    "summary",    "table",    "tbody",    "td",
         "template", "textarea",   "tfoot",    "th",         "thead",    "title",    "tr",
         "track",    "ul",         "wbr",      "xmp",        "svg",      "math"});
}

// Elements past which an end tag for `target` finds nothing to close.
bool endsScope(const std::string& element, const std::string& target) {
    if (isOneOf(target, {"table", "tbody", "thead", "tfoot", "tr", "td", "th", "caption"}))
        return isOneOf(element, {"html", "table", "template"});
    if (isOneOf(element, {"html", "table", "td", "th", "caption", "applet", "marquee", "object",
                          "template", "svg", "math"}))
        return true;
    return (target == "li" && isOneOf(element, {"ol", "ul"})) ||
           (target == "p" && element == "button");
}

// An open element: its name and the bytes of its attributes, which the
// parser copies when it opens the element anew.
struct Open {
    std::string name;
    size_t attributeBytes = 0;
};

// What the parser makes anew after an end tag.
struct Reopened {
    size_t elements = 0;
    size_t attributeBytes = 0;
};

// Closes open[at] and everything above it. Formatting elements above it stay
// open (the parser reopens them where text follows) unless a marker above
// them closes as well. Answers what stays: the parser makes each anew.
Reopened closeFrom(std::vector<Open>& open, size_t at) {
    std::vector<Open> reopened;
    for (size_t k = open.size(); k-- > at + 1;) {
        if (isMarker(open[k].name))
            reopened.clear();
        else if (isFormatting(open[k].name))
            reopened.push_back(open[k]);
    }
    if (isMarker(open[at].name))
        reopened.clear();
    open.resize(at);
    open.insert(open.end(), reopened.rbegin(), reopened.rend());
    Reopened made{reopened.size(), 0};
    for (const Open& element : reopened)
        made.attributeBytes += element.attributeBytes;
    return made;
}

// Closes the open element of that name a start tag closes (up to a list or
// table boundary); answers what the parser makes anew.
Reopened closeNamesake(std::vector<Open>& open, const std::string& name) {
    for (size_t k = open.size(); k-- > 0;) {
        if (open[k].name == name)
            return closeFrom(open, k);
        if (isBoundary(open[k].name))
            break;
    }
    return {};
}

// The open element an end tag closes, as the parser finds it; npos when the
// parser ignores the tag.
size_t closedBy(const std::vector<Open>& open, const std::string& name) {
    for (size_t k = open.size(); k-- > 0;) {
        if (open[k].name == name)
            return k;
        if (endsScope(open[k].name, name) ||
            (!isSpecial(name) && !isFormatting(name) && isSpecial(open[k].name)))
            return std::string::npos;
    }
    return std::string::npos;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool startsCaseless(std::string_view text, size_t at, std::string_view prefix) {
    if (text.size() - std::min(at, text.size()) < prefix.size())
        return false;
    for (size_t k = 0; k < prefix.size(); ++k)
        if (asciiLower(text[at + k]) != prefix[k])
            return false;
    return true;
}

// The parser compares every attribute of a tag with the others.
constexpr size_t kMaximumAttributes = 256;

struct Tag {
    std::string name;
    WebMarkupWriter::Attributes attributes;
    bool selfClosing = false;

    size_t attributeBytes() const { return WebPageBudget::attributeBytes(attributes); }
};

// Reads a tag whose name starts at html[i], as the tokenizer does: the name
// runs to a space, "/" or ">"; quotes open a value only after "=". Returns
// the index past its ">", or npos when the markup ends inside it (the
// tokenizer then drops the tag).
size_t readTag(std::string_view html, size_t i, Tag& tag) {
    const size_t n = html.size();
    while (i < n && !isSpace(html[i]) && html[i] != '/' && html[i] != '>') {
        if (html[i] != '\0')
            tag.name += asciiLower(html[i]);
        ++i;
    }
    while (i < n) {
        const char c = html[i];
        if (isSpace(c)) {
            ++i;
        } else if (c == '>') {
            return i + 1;
        } else if (c == '/') {
            ++i;
            if (i < n && html[i] == '>') {
                tag.selfClosing = true;
                return i + 1;
            }
        } else {
            std::string name(1, asciiLower(c));
            ++i;
            while (i < n && !isSpace(html[i]) && html[i] != '/' && html[i] != '>' && html[i] != '=')
                name += asciiLower(html[i++]);
            size_t after = i;
            while (after < n && isSpace(html[after]))
                ++after;
            std::string value;
            if (after < n && html[after] == '=') {
                i = after + 1;
                while (i < n && isSpace(html[i]))
                    ++i;
                if (i < n && (html[i] == '"' || html[i] == '\'')) {
                    const size_t close = html.find(html[i], i + 1);
                    if (close == std::string_view::npos)
                        return std::string_view::npos;
                    value = html.substr(i + 1, close - i - 1);
                    i = close + 1;
                } else {
                    const size_t start = i;
                    while (i < n && !isSpace(html[i]) && html[i] != '>')
                        ++i;
                    value = html.substr(start, i - start);
                }
            }
            const bool repeated = std::any_of(tag.attributes.begin(), tag.attributes.end(),
                                              [&](const auto& a) { return a.first == name; });
            if (!repeated && tag.attributes.size() < kMaximumAttributes)
                tag.attributes.emplace_back(std::move(name), std::move(value));
        }
    }
    return std::string_view::npos;
}

// The index past the ">" that ends a comment-like construct from `from`.
size_t pastGreater(std::string_view html, size_t from) {
    const size_t close = html.find('>', from);
    return close == std::string_view::npos ? html.size() : close + 1;
}

// The index past a comment starting at html[i] == "<!--".
size_t pastComment(std::string_view html, size_t i) {
    const size_t body = i + 4;
    if (html.substr(body).starts_with(">"))
        return body + 1;
    if (html.substr(body).starts_with("->"))
        return body + 2;
    for (size_t k = body; k < html.size(); ++k) {
        if (html.substr(k).starts_with("-->"))
            return k + 3;
        if (html.substr(k).starts_with("--!>"))
            return k + 4;
    }
    return html.size();
}

// Where the text of a raw element ends: at "</name" followed by a space,
// "/" or ">", or at the end.
size_t rawTextEnd(std::string_view html, size_t from, const std::string& name) {
    for (size_t k = html.find("</", from); k != std::string_view::npos;
         k = html.find("</", k + 1)) {
        const size_t after = k + 2 + name.size();
        if (startsCaseless(html, k + 2, name) && (after == html.size() || isSpace(html[after]) ||
                                                  html[after] == '/' || html[after] == '>'))
            return k;
    }
    return html.size();
}

bool inForeignContent(const std::vector<Open>& open) {
    return std::any_of(open.begin(), open.end(), [](const Open& element) {
        return element.name == "svg" || element.name == "math";
    });
}

}  // namespace

std::string WebDeepMarkupCut(size_t maxDepth) {
    return "elements nested more than " + std::to_string(maxDepth) +
           " deep: their tags are left out, their text kept";
}

std::string WebLimitMarkupDepth(std::string_view html, size_t maxDepth, WebPageBudget& budget) {
    WebMarkupWriter out(WebMarkupWriter::Texts::asWritten);
    WebPageBudget::Tally tally = WebPageBudget::noteTally();
    std::vector<Open> open;
    // Writes as much of a text as the budget takes; false when it is cut.
    auto writeText = [&](std::string_view text, bool raw) {
        const size_t kept = budget.takeText(tally, text, open.size() + 1);
        if (raw)
            out.rawText(text.substr(0, kept));
        else
            out.text(text.substr(0, kept));
        return kept == text.size();
    };
    // Counts what the parser makes anew as elements it makes.
    auto takeReopened = [&](const Reopened& made) {
        return budget.takeElements(tally, made.elements, made.attributeBytes, open.size());
    };
    std::vector<std::string> dropped;
    bool anyContent = false;
    size_t i = 0;
    while (i < html.size() && !budget.stopped()) {
        const size_t lt = html.find('<', i);
        const std::string_view text = html.substr(i, lt == std::string_view::npos ? lt : lt - i);
        if (!writeText(text, false))
            break;
        anyContent =
            anyContent || std::any_of(text.begin(), text.end(), [](char c) { return !isSpace(c); });
        if (lt == std::string_view::npos)
            break;
        i = lt;
        const char next = i + 1 < html.size() ? html[i + 1] : '\0';
        if (next == '!') {
            if (html.substr(i).starts_with("<!--")) {
                i = pastComment(html, i);
            } else if (startsCaseless(html, i + 2, "doctype")) {
                if (!anyContent)
                    out.doctype();
                i = pastGreater(html, i);
            } else if (html.substr(i).starts_with("<![CDATA[") && inForeignContent(open)) {
                const size_t close = html.find("]]>", i + 9);
                const size_t stop = close == std::string_view::npos ? html.size() : close;
                if (!writeText(html.substr(i + 9, stop - i - 9), false))
                    break;
                i = std::min(html.size(), stop + 3);
            } else {
                i = pastGreater(html, i);
            }
            continue;
        }
        if (next == '?') {
            i = pastGreater(html, i);
            continue;
        }
        const bool closing = next == '/';
        if (closing && i + 2 < html.size() && !isAsciiAlpha(html[i + 2])) {
            // "</>" is nothing; "</" and anything else opens a bogus comment.
            i = pastGreater(html, i);
            continue;
        }
        if (!isAsciiAlpha(closing ? (i + 2 < html.size() ? html[i + 2] : '\0') : next)) {
            if (!writeText(closing ? "</" : "<", false))
                break;
            i += closing ? 2 : 1;
            continue;
        }
        Tag tag;
        const size_t end = readTag(html, i + (closing ? 2 : 1), tag);
        if (end == std::string_view::npos)
            break;
        i = end;
        anyContent = true;
        const std::string& name = tag.name;
        if (closing) {
            if (const size_t at = closedBy(open, name); at != std::string::npos) {
                // A formatting element's end leaves what it holds open.
                if (isFormatting(name))
                    open.erase(open.begin() + long(at));
                else if (!takeReopened(closeFrom(open, at)))
                    break;
                out.endTag(name);
            } else if (auto d = std::find(dropped.rbegin(), dropped.rend(), name);
                       d != dropped.rend()) {
                dropped.erase(std::next(d).base());
            } else {
                out.endTag(name);
            }
            continue;
        }
        const bool foreign = inForeignContent(open);
        const bool tooDeep = open.size() >= maxDepth;
        if (isVoid(name) || (tag.selfClosing && foreign)) {
            if (!budget.takeElements(tally, 1, tag.attributeBytes(), open.size() + 1))
                break;
            out.startTag(name, tag.attributes, tag.selfClosing && foreign);
            continue;
        }
        if (name == "plaintext") {
            // Everything after it is text.
            if (!tooDeep && budget.takeElements(tally, 1, tag.attributeBytes(), open.size() + 1)) {
                out.startTag(name, tag.attributes);
                writeText(html.substr(i), true);
            }
            break;
        }
        if (isRawText(name) && !foreign) {
            // Raw text runs to its end tag, which closes the element; a
            // dropped element's text goes with it, and so does a script's.
            const size_t stop = rawTextEnd(html, i, name);
            if (!tooDeep) {
                if (!budget.takeElements(tally, 1, tag.attributeBytes(), open.size() + 1))
                    break;
                out.startTag(name, tag.attributes);
                const bool whole = name == "script" || writeText(html.substr(i, stop - i), true);
                out.endTag(name);
                if (!whole)
                    break;
            }
            Tag endTag;
            const size_t past = stop < html.size() ? readTag(html, stop + 2, endTag) : stop;
            if (past == std::string_view::npos)
                break;
            i = past;
            continue;
        }
        if (closesNamesake(name) && !takeReopened(closeNamesake(open, name)))
            break;
        if (open.size() >= maxDepth) {
            if (dropped.empty())
                budget.cut(WebDeepMarkupCut(maxDepth), false);
            dropped.push_back(name);
        } else {
            if (!budget.takeElements(tally, 1, tag.attributeBytes(), open.size() + 1))
                break;
            open.push_back({name, tag.attributeBytes()});
            out.startTag(name, tag.attributes);
        }
    }
    return out.take();
}
