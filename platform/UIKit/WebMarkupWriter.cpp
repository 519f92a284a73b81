#include "UIKit/WebMarkupWriter.h"

namespace {

// A name the tokenizer reads back as the same name: no spaces, "/", ">",
// "=", quotes or "<" (a name holding them was split differently anyway).
std::string cleanName(std::string_view name) {
    std::string out;
    for (const char c : name)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '/' && c != '>' &&
            c != '=' && c != '"' && c != '\'' && c != '<' && c != '\0')
            out += c;
    return out;
}

}  // namespace

void WebMarkupWriter::escaped(std::string_view text, bool attribute) {
    for (const char c : text) {
        if (c == '&' && texts_ == Texts::decoded)
            out_.append("&amp;");
        else if (c == '<' && !attribute)
            out_.append("&lt;");
        else if (c == '>' && !attribute)
            out_.append("&gt;");
        else if (c == '"' && attribute)
            out_.append("&quot;");
        else if (c != '\0')
            out_ += c;
    }
}

void WebMarkupWriter::startTag(std::string_view name, const Attributes& attributes,
                               bool selfClosing) {
    out_ += '<';
    out_.append(name);
    for (const auto& [key, value] : attributes) {
        const std::string clean = cleanName(key);
        if (clean.empty())
            continue;
        out_ += ' ';
        out_.append(clean);
        out_.append("=\"");
        escaped(value, true);
        out_ += '"';
    }
    out_.append(selfClosing ? "/>" : ">");
}

void WebMarkupWriter::endTag(std::string_view name) {
    out_.append("</");
    out_.append(name);
    out_ += '>';
}

void WebMarkupWriter::text(std::string_view text) {
    escaped(text, false);
}
