// Build records from the service's update reply: values of the wrong kind
// count as missing, archives round-trip, and the display strings.
#include <gtest/gtest.h>

#include "../SdkTestSupport.h"
#include "Foundation/NSJSONSerialization.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/update/BITAppVersionMetaInfo.h"

namespace {

Value json(const std::string& text) {
    return *NSJSONSerialization::JSONObjectWithData(Value::Data(text.begin(), text.end()));
}

TEST(BITAppVersionMetaInfo, ReadsAVersionOfTheReply) {
    const auto info = BITAppVersionMetaInfo::appVersionMetaInfoFromDict(
        json(R"({"title":"Kelvara","version":"45","shortversion":"1.2","timestamp":1700000000,
                 "appsize":1572864,"notes":"<p>Faster</p>","mandatory":true,"id":7,
                 "minimum_os_version":"5.0","uuids":{"x86_64":"0a1b"}})"));
    EXPECT_TRUE(info->isValid());
    EXPECT_EQ(info->versionID, 7);
    EXPECT_TRUE(info->hasUUID(std::string("0a1b")));
    EXPECT_FALSE(info->hasUUID(std::string("0A1B")));
    EXPECT_FALSE(info->hasUUID(std::nullopt));
    EXPECT_EQ(info->sizeInMB(), "1.5 MB");
    EXPECT_EQ(info->mandatory, true);
    EXPECT_FALSE(info->dateString().empty());
}

TEST(BITAppVersionMetaInfo, ValuesOfTheWrongKindCountAsMissing) {
    const auto info = BITAppVersionMetaInfo::appVersionMetaInfoFromDict(
        json(R"({"title":17,"version":null,"shortversion":["1"],"timestamp":"soon",
                 "appsize":"big","notes":{"a":1},"mandatory":"yes","id":"seven",
                 "minimum_os_version":null,"uuids":{"x86_64":5,"arm64":"ff"}})"));
    EXPECT_FALSE(info->name);
    EXPECT_FALSE(info->version);
    EXPECT_FALSE(info->shortVersion);
    EXPECT_FALSE(info->date);
    EXPECT_FALSE(info->size);
    EXPECT_FALSE(info->notes);
    EXPECT_FALSE(info->mandatory);
    EXPECT_FALSE(info->versionID);
    EXPECT_FALSE(info->minOSVersion);
    EXPECT_EQ(info->uuids->size(), 1u);
    EXPECT_FALSE(info->isValid());
    // The display strings of such a record still format.
    EXPECT_EQ(info->sizeInMB(), "0 MB");
    EXPECT_EQ(info->notesOrEmptyString(), "");
    EXPECT_FALSE(info->versionString().empty());
}

TEST(BITAppVersionMetaInfo, ElementThatIsNotAnObjectGivesAnEmptyInvalidRecord) {
    const auto info = BITAppVersionMetaInfo::appVersionMetaInfoFromDict(json("[1]"));
    EXPECT_FALSE(info->isValid());
    EXPECT_FALSE(info->name);
}

TEST(BITAppVersionMetaInfo, ArchiveRoundTripsAndMissingFieldsNeverCompareEqual) {
    const auto info = BITAppVersionMetaInfo::appVersionMetaInfoFromDict(
        json(R"({"title":"Kelvara","version":"45","shortversion":"","timestamp":1700000000,
                 "appsize":10,"notes":"n","mandatory":false,"minimum_os_version":"5",
                 "uuids":{"x86_64":"0a1b"}})"));
    const auto copy = BITAppVersionMetaInfo::createWithCoder(Value(info->encodeWithCoder()));
    ASSERT_TRUE(copy);
    EXPECT_TRUE(info->isEqualToAppVersionMetaInfo(*copy));
    copy->notes.reset();
    EXPECT_FALSE(info->isEqualToAppVersionMetaInfo(*copy));
    // An empty marketing version gives the word and the bare build.
    EXPECT_EQ(info->versionString(), bit_localizedString("UpdateVersion") + " 45");
}

}  // namespace
