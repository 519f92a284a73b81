#pragma once

#include <string>
#include <vector>

#include "Foundation/NSDate.h"
#include "Foundation/Value.h"

// A mail message as the composer holds it.
struct MFMailAttachment {
    Value::Data data;
    std::string mimeType;
    std::string fileName;  // as the caller gave it; made safe when written
};

struct MFMailMessage {
    std::vector<std::string> toRecipients, ccRecipients, bccRecipients;
    std::string subject;
    std::string body;
    bool bodyIsHTML = false;
    std::vector<MFMailAttachment> attachments;
};

// Writes messages as RFC 5322 / MIME text (CRLF line ends).
//
// Header texts outside ASCII become RFC 2047 encoded words (UTF-8, base64, at
// most 75 characters each, never splitting a character); line breaks in
// header values are replaced by spaces, so no caller's text can add a header.
// The body is text/plain, or for HTML multipart/alternative with a plain-text
// rendering and the HTML; with attachments everything goes into
// multipart/mixed, each attachment base64 with its (safe) file name. There is
// no From: the desktop's mail program adds its user as the sender
// ("X-Unsent: 1" tells it the message is a draft to send).
class MFMailMessageWriter {
  public:
    static std::string write(const MFMailMessage& message, const NSDate& date,
                             const std::string& messageID);

    // An RFC 2047 header text: as it is when printable ASCII, otherwise
    // encoded words separated by folding white space.
    static std::string encodeHeaderText(const std::string& text);
    // A name from outside as a plain file name (NSSafeFileName), "attachment"
    // when nothing is left: it can never leave the folder it is written into.
    static std::string safeFileName(const std::string& name);
    // The readable text of an HTML body, for the plain part.
    static std::string plainTextOfHTML(const std::string& html);
};
