#include "sdk/crash/BITCrashReportXML.h"

#include <cstdint>

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";

bool allowedInXML(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Decodes one UTF-8 sequence at `i`; answers its length, or 0 when the bytes
// there are not well-formed UTF-8 (overlong forms and surrogates included).
size_t decodeUTF8(const std::string& text, size_t i, uint32_t* codePoint) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    size_t length = 0;
    uint32_t c = 0;
    if (lead < 0x80)
        return *codePoint = lead, 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, c = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, c = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, c = lead & 0x07;
    else
        return 0;
    if (i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    *codePoint = c;
    return length;
}

// Copies the text, replacing what XML 1.0 forbids; `escape` writes the
// characters that need an entity.
template <typename Escape>
std::string sanitized(const std::string& text, Escape escape) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        uint32_t c = 0;
        const size_t length = decodeUTF8(text, i, &c);
        if (length == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        if (!allowedInXML(c))
            out += kReplacement;
        else if (!escape(c, out))
            out.append(text, i, length);
        i += length;
    }
    return out;
}

}  // namespace

std::string bit_xmlEscapedText(const std::string& text) {
    return sanitized(text, [](uint32_t c, std::string& out) {
        switch (c) {
            case '&':
                out += "&amp;";
                return true;
            case '<':
                out += "&lt;";
                return true;
            case '>':
                out += "&gt;";
                return true;
            case '"':
                out += "&quot;";
                return true;
            case '\'':
                out += "&apos;";
                return true;
            default:
                return false;
        }
    });
}

std::string bit_xmlCDATAText(const std::string& text) {
    std::string clean = sanitized(text, [](uint32_t, std::string&) { return false; });
    // The section ends after "]]" and a new one starts before ">".
    const std::string end = "]]>";
    const std::string split = "]]]]><![CDATA[>";
    for (size_t at = clean.find(end); at != std::string::npos;
         at = clean.find(end, at + split.size()))
        clean.replace(at, end.size(), split);
    return clean;
}

std::string bit_crashUUIDElement(const std::string& type, const std::string& arch,
                                 const std::string& uuid) {
    return "<uuid type=\"" + bit_xmlEscapedText(type) + "\" arch=\"" + bit_xmlEscapedText(arch) +
           "\">" + bit_xmlEscapedText(uuid) + "</uuid>";
}

std::string bit_crashReportXML(const BITCrashReportXMLValues& v) {
    enum Kind { Text, CDATA, Markup };
    const struct {
        const char* name;
        const std::string& value;
        Kind kind;
    } elements[] = {
        {"applicationname", v.applicationName, CDATA},
        {"uuids", v.uuids, Markup},
        {"bundleidentifier", v.bundleIdentifier, Text},
        {"systemversion", v.systemVersion, Text},
        {"platform", v.platform, Text},
        {"senderversion", v.senderVersion, Text},
        {"versionstring", v.versionString, Text},
        {"version", v.version, Text},
        {"uuid", v.uuid, Text},
        {"log", v.log, CDATA},
        {"userid", v.userID, Text},
        {"username", v.userName, Text},
        {"contact", v.contact, Text},
        {"installstring", v.installString, Text},
        {"description", v.description, CDATA},
    };
    std::string xml = "<crashes><crash>";
    for (const auto& element : elements) {
        xml += std::string("<") + element.name + ">";
        if (element.kind == CDATA)
            xml += "<![CDATA[" + bit_xmlCDATAText(element.value) + "]]>";
        else if (element.kind == Text)
            xml += bit_xmlEscapedText(element.value);
        else
            xml += element.value;
        xml += std::string("</") + element.name + ">";
    }
    xml += "</crash></crashes>";
    return xml;
}
