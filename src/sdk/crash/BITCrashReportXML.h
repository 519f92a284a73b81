#pragma once

#include <string>

// The values of one crash report as the service reads them.
struct BITCrashReportXMLValues {
    std::string applicationName;
    std::string uuids;  // <uuid> elements, already markup (bit_crashUUIDElement)
    std::string bundleIdentifier;
    std::string systemVersion;
    std::string platform;
    std::string senderVersion;
    std::string versionString;
    std::string version;
    std::string uuid;
    std::string log;
    std::string userID;
    std::string userName;
    std::string contact;
    std::string installString;
    std::string description;
};

// The service's one-line document "<crashes><crash>...</crash></crashes>".
// Every value is made safe for XML 1.0: characters the standard forbids
// (control characters, bytes that are not UTF-8) become U+FFFD, plain values
// are escaped, and "]]>" inside a CDATA section is split across two sections.
std::string bit_crashReportXML(const BITCrashReportXMLValues& values);

// Text with &, <, >, " and ' escaped and forbidden characters replaced.
std::string bit_xmlEscapedText(const std::string& text);
// The inside of a CDATA section: forbidden characters replaced, "]]>" split.
std::string bit_xmlCDATAText(const std::string& text);
// <uuid type="..." arch="...">...</uuid> with every value escaped.
std::string bit_crashUUIDElement(const std::string& type, const std::string& arch,
                                 const std::string& uuid);
