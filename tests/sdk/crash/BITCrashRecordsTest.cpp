// The crash details, meta data and attachments handed between the crash
// manager and its host.
#include <gtest/gtest.h>

#include "Foundation/NSPropertyListSerialization.h"
#include "sdk/crash/BITCrashDetails.h"
#include "sdk/crash/BITCrashMetaData.h"
#include "sdk/crash/BITZizavaAttachment.h"

namespace {

BITCrashDetails detailsWithSignal(std::optional<std::string> signal) {
    return BITCrashDetails("ID", "key", std::move(signal), std::nullopt, std::nullopt, std::nullopt,
                           NSDate::dateWithTimeIntervalSince1970(10), "6.1", "#1", "4.2", "42", 99);
}

TEST(BITCrashDetails, AppKillIsSigkillInAnyLetterCase) {
    EXPECT_TRUE(detailsWithSignal("SIGKILL").isAppKill());
    EXPECT_TRUE(detailsWithSignal("sigKill").isAppKill());
    EXPECT_FALSE(detailsWithSignal("SIGABRT").isAppKill());
    EXPECT_FALSE(detailsWithSignal(std::nullopt).isAppKill());
    BITCrashDetails details = detailsWithSignal("SIGSEGV");
    EXPECT_EQ(details.appBuild(), "42");
    EXPECT_EQ(details.appProcessIdentifier(), 99u);
    EXPECT_FALSE(details.exceptionName().has_value());
}

TEST(BITCrashMetaData, StartsEmptyAndKeepsItsOwnCopies) {
    BITCrashMetaData metaData;
    EXPECT_FALSE(metaData.userName().has_value());
    std::string name = "Ada";
    metaData.setUserName(name);
    name += " Lovelace";
    EXPECT_EQ(metaData.userName(), "Ada");
}

TEST(BITZizavaAttachment, MissingContentTypeIsOctetStreamAndSurvivesArchiving) {
    BITCrashAttachment attachment("log.txt", Value::Data{1, 2, 3}, std::nullopt);
    EXPECT_EQ(attachment.contentType(), "application/octet-stream");
    NSError error;
    auto back = BITZizavaAttachment::createWithArchivedData(attachment.archivedData(), &error);
    ASSERT_NE(back, nullptr) << error.localizedDescription();
    EXPECT_EQ(back->filename(), "log.txt");
    EXPECT_EQ(back->zizavaAttachmentData(), (Value::Data{1, 2, 3}));
    EXPECT_EQ(back->contentType(), "application/octet-stream");
}

TEST(BITZizavaAttachment, AbsentFileNameIsLeftOutOfTheArchive) {
    BITZizavaAttachment attachment(std::nullopt, Value::Data{}, "text/plain");
    Value::Dictionary coder = attachment.encodeWithCoder();
    EXPECT_EQ(coder.count("filename"), 0u);
    EXPECT_EQ(coder.at("contentType"), Value("text/plain"));
    auto back = BITZizavaAttachment::createWithCoder(coder);
    ASSERT_NE(back, nullptr);
    EXPECT_FALSE(back->filename().has_value());
    EXPECT_EQ(back->zizavaAttachmentData(), Value::Data{});
}

TEST(BITZizavaAttachment, ArchiveWithoutContentTypeDecodesWithoutOne) {
    auto back = BITZizavaAttachment::createWithCoder(Value(Value::Dictionary{{"filename", "a"}}));
    ASSERT_NE(back, nullptr);
    EXPECT_FALSE(back->contentType().has_value());
    EXPECT_FALSE(back->zizavaAttachmentData().has_value());
}

TEST(BITZizavaAttachment, BytesThatAreNoArchiveGiveNoAttachment) {
    NSError error;
    EXPECT_EQ(BITZizavaAttachment::createWithArchivedData(Value::Data{'x', 'y'}, &error), nullptr);
    EXPECT_FALSE(error.domain.empty());
    auto list = NSPropertyListSerialization::dataWithPropertyList(
        Value(Value::Array{1, 2}), NSPropertyListSerialization::Format::Binary);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(BITZizavaAttachment::createWithArchivedData(*list, &error), nullptr);
}

}  // namespace
