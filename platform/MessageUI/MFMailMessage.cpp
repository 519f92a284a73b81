#include "MessageUI/MFMailMessage.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>

#include "Foundation/NSSafeFileName.h"
#include "Foundation/NSUUID.h"
#include "Foundation/PropertyListText.h"

namespace {

constexpr const char* kCRLF = "\r\n";

std::string oneLine(const std::string& text) {
    std::string line = text;
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return line;
}

bool isPrintableASCII(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x7F;
    });
}

std::string base64Lines(const Value::Data& data) {
    const std::string encoded = PropertyListText::encodeBase64(data);
    std::string out;
    for (size_t i = 0; i < encoded.size(); i += 76)
        out += encoded.substr(i, 76) + kCRLF;
    return out;
}

std::string base64Lines(const std::string& text) {
    return base64Lines(Value::Data(text.begin(), text.end()));
}

// An address list; a display name outside ASCII ("Jörg <j@x.org>") is encoded.
std::string addressList(const std::vector<std::string>& addresses) {
    std::string out;
    for (const auto& raw : addresses) {
        std::string address = oneLine(raw);
        const size_t angle = address.find('<');
        if (angle != std::string::npos && angle > 0 &&
            !isPrintableASCII(address.substr(0, angle))) {
            std::string name = address.substr(0, angle);
            while (!name.empty() && name.back() == ' ')
                name.pop_back();
            address = MFMailMessageWriter::encodeHeaderText(name) + " " + address.substr(angle);
        }
        if (!out.empty())
            out += ",\r\n ";
        out += address;
    }
    return out;
}

std::string rfc5322Date(const NSDate& date) {
    const time_t seconds = time_t(date.timeIntervalSince1970());
    struct tm utc;
    gmtime_r(&seconds, &utc);
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", days[utc.tm_wday],
             utc.tm_mday, months[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
             utc.tm_sec);
    return text;
}

// A MIME parameter: quoted when ASCII, RFC 2231 percent-encoded UTF-8 otherwise.
std::string parameter(const std::string& name, const std::string& value) {
    if (isPrintableASCII(value)) {
        std::string quoted;
        for (char c : value) {
            if (c == '"' || c == '\\')
                quoted += '\\';
            quoted += c;
        }
        return name + "=\"" + quoted + "\"";
    }
    std::string encoded = name + "*=UTF-8''";
    static const char* hex = "0123456789ABCDEF";
    for (unsigned char c : value) {
        if (std::isalnum(c) || c == '.' || c == '-' || c == '_') {
            encoded += char(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 15];
        }
    }
    return encoded;
}

std::string textPart(const std::string& subtype, const std::string& text) {
    return std::string("Content-Type: text/") + subtype + "; charset=UTF-8" + kCRLF +
           "Content-Transfer-Encoding: base64" + kCRLF + kCRLF + base64Lines(text);
}

std::string multipart(const std::string& subtype, const std::vector<std::string>& parts) {
    const std::string boundary = "=_kelvara_" + NSUUID().UUIDString();
    std::string out =
        "Content-Type: multipart/" + subtype + "; boundary=\"" + boundary + "\"" + kCRLF + kCRLF;
    for (const auto& part : parts)
        out += "--" + boundary + kCRLF + part + kCRLF;
    return out + "--" + boundary + "--" + kCRLF;
}

bool startsCaseless(const std::string& text, size_t at, const char* word) {
    for (size_t i = 0; word[i]; ++i)
        if (at + i >= text.size() ||
            std::tolower(static_cast<unsigned char>(text[at + i])) != word[i])
            return false;
    return true;
}

}  // namespace

std::string MFMailMessageWriter::encodeHeaderText(const std::string& raw) {
    const std::string text = oneLine(raw);
    if (isPrintableASCII(text))
        return text;
    // "=?UTF-8?B?" + base64 + "?=" stays within 75 characters with 45 bytes
    // of text (60 base64 characters); chunks end on a character boundary.
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.size(), start + 45);
        while (end < text.size() && end > start + 1 &&
               (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        if (!out.empty())
            out += "\r\n ";
        out +=
            "=?UTF-8?B?" +
            PropertyListText::encodeBase64(Value::Data(text.begin() + start, text.begin() + end)) +
            "?=";
        start = end;
    }
    return out;
}

std::string MFMailMessageWriter::safeFileName(const std::string& name) {
    return NSSafeFileName(name, "attachment");
}

std::string MFMailMessageWriter::plainTextOfHTML(const std::string& html) {
    std::string out;
    size_t i = 0;
    while (i < html.size()) {
        if (html[i] == '<') {
            for (const char* raw : {"script", "style"}) {
                if (startsCaseless(html, i + 1, raw)) {
                    const size_t close = html.find(std::string("</") + raw, i);
                    i = close == std::string::npos ? html.size() : close;
                    break;
                }
            }
            if (startsCaseless(html, i + 1, "br") || startsCaseless(html, i + 1, "/p") ||
                startsCaseless(html, i + 1, "/div") || startsCaseless(html, i + 1, "/li") ||
                startsCaseless(html, i + 1, "/h") || startsCaseless(html, i + 1, "/tr"))
                out += '\n';
            const size_t close = html.find('>', i);
            i = close == std::string::npos ? html.size() : close + 1;
            continue;
        }
        if (html[i] == '&') {
            static const std::pair<const char*, const char*> entities[] = {
                {"&amp;", "&"},   {"&lt;", "<"},  {"&gt;", ">"},
                {"&quot;", "\""}, {"&#39;", "'"}, {"&nbsp;", " "}};
            bool replaced = false;
            for (const auto& [entity, text] : entities) {
                if (html.compare(i, strlen(entity), entity) == 0) {
                    out += text;
                    i += strlen(entity);
                    replaced = true;
                    break;
                }
            }
            if (replaced)
                continue;
        }
        const char c = html[i++];
        if (c == '\n' || c == '\r' || c == '\t') {
            if (!out.empty() && out.back() != ' ' && out.back() != '\n')
                out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string MFMailMessageWriter::write(const MFMailMessage& message, const NSDate& date,
                                       const std::string& messageID) {
    std::string out;
    auto header = [&out](const char* name, const std::string& value) {
        out += std::string(name) + ": " + value + kCRLF;
    };
    if (!message.toRecipients.empty())
        header("To", addressList(message.toRecipients));
    if (!message.ccRecipients.empty())
        header("Cc", addressList(message.ccRecipients));
    if (!message.bccRecipients.empty())
        header("Bcc", addressList(message.bccRecipients));
    header("Subject", encodeHeaderText(message.subject));
    header("Date", rfc5322Date(date));
    header("Message-ID", "<" + oneLine(messageID) + ">");
    header("MIME-Version", "1.0");
    header("X-Unsent", "1");

    std::string body =
        message.bodyIsHTML
            ? multipart("alternative", {textPart("plain", plainTextOfHTML(message.body)),
                                        textPart("html", message.body)})
            : textPart("plain", message.body);
    if (message.attachments.empty())
        return out + body;
    std::vector<std::string> parts{body};
    for (const auto& attachment : message.attachments) {
        const std::string name = safeFileName(attachment.fileName);
        std::string mimeType = oneLine(attachment.mimeType);
        if (mimeType.find('/') == std::string::npos)
            mimeType = "application/octet-stream";
        parts.push_back("Content-Type: " + mimeType + "; " + parameter("name", name) + kCRLF +
                        "Content-Disposition: attachment; " + parameter("filename", name) + kCRLF +
                        "Content-Transfer-Encoding: base64" + kCRLF + kCRLF +
                        base64Lines(attachment.data));
    }
    return out + multipart("mixed", parts);
}
