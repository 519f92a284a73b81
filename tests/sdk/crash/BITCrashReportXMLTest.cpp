// The crash document stays well-formed, and every value comes back as it was
// given, whatever the user, the log or the description hold.
#include <gtest/gtest.h>

#include "XMLCheck.h"
#include "sdk/crash/BITCrashReportXML.h"

namespace {

BITCrashReportXMLValues sampleValues() {
    BITCrashReportXMLValues values;
    values.applicationName = "Kelvara";
    values.uuids = bit_crashUUIDElement("app", "x86_64", "0a1b");
    values.bundleIdentifier = "org.kelvara";
    values.systemVersion = "6.1.0";
    values.platform = "x86_64";
    values.senderVersion = "42";
    values.versionString = "1.0";
    values.version = "42";
    values.uuid = "UUID";
    values.log = "Thread 0 Crashed:\n0 kelvara crashInMapLayer + 12";
    values.installString = "anon";
    return values;
}

TEST(BITCrashReportXML, UserValuesWithMarkupCharactersComeBackIntact) {
    BITCrashReportXMLValues values = sampleValues();
    values.userName = "O'Brien & Co <x>";
    values.contact = "\"quoted\"@example.org";
    values.userID = "a>b";
    std::map<std::string, std::string> texts;
    ASSERT_EQ(parseXML(bit_crashReportXML(values), &texts), "");
    EXPECT_EQ(texts["username"], "O'Brien & Co <x>");
    EXPECT_EQ(texts["contact"], "\"quoted\"@example.org");
    EXPECT_EQ(texts["userid"], "a>b");
}

TEST(BITCrashReportXML, CDATAEndInLogAndDescriptionIsSplit) {
    BITCrashReportXMLValues values = sampleValues();
    values.log = "before ]]> after ]]>";
    values.description = "]]>]]>";
    const std::string xml = bit_crashReportXML(values);
    EXPECT_NE(xml.find("<log><![CDATA[before ]]]]><![CDATA[> after ]]]]><![CDATA[>]]></log>"),
              std::string::npos);
    std::map<std::string, std::string> texts;
    ASSERT_EQ(parseXML(xml, &texts), "");
    EXPECT_EQ(texts["log"], "before ]]> after ]]>");
    EXPECT_EQ(texts["description"], "]]>]]>");
}

TEST(BITCrashReportXML, CharactersXMLForbidsBecomeReplacementCharacters) {
    BITCrashReportXMLValues values = sampleValues();
    values.log = std::string("bell\x07 nul") + '\0' + " bad\xff\xfe utf8 \xed\xa0\x80 tab\tok";
    values.userName = "esc\x1b";
    std::map<std::string, std::string> texts;
    ASSERT_EQ(parseXML(bit_crashReportXML(values), &texts), "");
    EXPECT_EQ(texts["log"],
              "bell\xEF\xBF\xBD nul\xEF\xBF\xBD bad\xEF\xBF\xBD\xEF\xBF\xBD utf8 "
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD tab\tok");
    EXPECT_EQ(texts["username"], "esc\xEF\xBF\xBD");
}

TEST(BITCrashReportXML, UUIDAttributesAreEscaped) {
    const std::string element = bit_crashUUIDElement("app\"", "x<86>", "id&");
    EXPECT_EQ(element, "<uuid type=\"app&quot;\" arch=\"x&lt;86&gt;\">id&amp;</uuid>");
    EXPECT_EQ(parseXML(element), "");
}

}  // namespace
