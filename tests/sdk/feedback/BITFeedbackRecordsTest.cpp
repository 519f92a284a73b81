#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Foundation/NSData+Files.h"
#include "Foundation/NSFileManager.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "sdk/feedback/BITFeedbackMessage.h"

namespace fs = std::filesystem;

namespace {

Value::Data bytes(const std::string& text) {
    return Value::Data(text.begin(), text.end());
}

}  // namespace

TEST(BITFeedbackRecords, MessageSurvivesItsCodingWithAttachments) {
    BITFeedbackMessage message;
    message.text = "Hello";
    message.email = "a@example.org";
    message.identifier = 42;
    message.status = BITFeedbackMessageStatusDelivered;
    message.userMessage = true;
    message.token = "0123456789abcdef0123456789abcdef";
    message.addAttachmentsObject(std::make_shared<BITFeedbackMessageAttachment>(
        BITFeedbackMessageAttachment::attachmentWithDataContentType(bytes("PNGDATA"),
                                                                    "image/png")));
    const auto decoded = BITFeedbackMessage::decode(message.encode());
    EXPECT_EQ(decoded->text, "Hello");
    EXPECT_EQ(decoded->email, "a@example.org");
    EXPECT_FALSE(decoded->name);
    EXPECT_EQ(decoded->identifier, 42);
    EXPECT_EQ(decoded->status, BITFeedbackMessageStatusDelivered);
    EXPECT_TRUE(decoded->userMessage);
    EXPECT_EQ(decoded->token, message.token);
    ASSERT_EQ(decoded->attachments.size(), 1u);
    const auto& attachment = decoded->attachments[0];
    EXPECT_EQ(attachment->contentType(), "image/png");
    EXPECT_EQ(fs::path(*attachment->filename()).extension(), ".png");
    EXPECT_EQ(attachment->data(), bytes("PNGDATA"));
    EXPECT_EQ(attachment->originalFilename()->rfind("Attachment: ", 0), 0u);
}

TEST(BITFeedbackRecords, AttachmentHoldsItsBytesAndTheThumbnailsMade) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(40, 30), true, 1);
    const auto png = UIImagePNGRepresentation(UIGraphicsGetImageFromCurrentImageContext());
    UIGraphicsEndImageContext();
    auto attachment = BITFeedbackMessageAttachment::attachmentWithDataContentType(png, "image/png");
    EXPECT_EQ(attachment.internalData(), attachment.data());
    EXPECT_TRUE(attachment.thumbnailRepresentations().empty());
    const auto thumbnail = attachment.thumbnailWithSize(CGSizeMake(20, 15));
    ASSERT_TRUE(thumbnail);
    ASSERT_EQ(attachment.thumbnailRepresentations().size(), 1u);
    EXPECT_EQ(attachment.thumbnailRepresentations().begin()->second, thumbnail);
    attachment.deleteContents();
}

TEST(BITFeedbackRecords, DecodingIgnoresValuesOfAnotherKind) {
    const Value coded = Value::Dictionary{
        {"text", 5}, {"id", "seven"}, {"status", 99}, {"attachments", "none"}, {"name", nullptr}};
    const auto message = BITFeedbackMessage::decode(coded);
    EXPECT_FALSE(message->text);
    EXPECT_FALSE(message->name);
    EXPECT_EQ(message->identifier, 0);
    EXPECT_EQ(message->status, BITFeedbackMessageStatusSendPending);
    EXPECT_TRUE(message->attachments.empty());
}

TEST(BITFeedbackRecords, AttachmentWhoseFileWentNeedsLoadingAgain) {
    auto attachment = BITFeedbackMessageAttachment::attachmentWithDataContentType(
        bytes("x"), "application/x-unknown");
    EXPECT_EQ(fs::path(*attachment.filename()).extension(), "");
    attachment.setSourceURL("http://127.0.0.1:1/file");
    auto decoded = BITFeedbackMessageAttachment::decode(attachment.encode());
    EXPECT_FALSE(decoded.needsLoadingFromURL());
    fs::remove(*attachment.filename());
    EXPECT_TRUE(decoded.needsLoadingFromURL());
    EXPECT_EQ(decoded.localURL(), "");
    EXPECT_TRUE(decoded.data().empty());
    EXPECT_FALSE(decoded.isImage());
    BITFeedbackMessageAttachment untyped;
    EXPECT_TRUE(untyped.isImage());
}

TEST(BITFeedbackRecords, DeletingContentsNeverTouchesAFileOutsideTheAttachmentsFolder) {
    const BITFeedbackMessageAttachment makesTheFolder;
    const std::string outside = BITFeedbackMessageAttachment::attachmentsFolder() + "/../keep.txt";
    ASSERT_TRUE(writeDataToFile(bytes("keep"), outside, true));
    const Value coded = Value::Dictionary{{"filename", outside}, {"contentType", "text/plain"}};
    auto hostile = BITFeedbackMessageAttachment::decode(coded);
    hostile.deleteContents();
    EXPECT_TRUE(fs::exists(outside));
    EXPECT_FALSE(hostile.filename());

    auto own =
        BITFeedbackMessageAttachment::attachmentWithDataContentType(bytes("gone"), "text/plain");
    const std::string path = *own.filename();
    own.deleteContents();
    EXPECT_FALSE(fs::exists(path));
}

TEST(BITFeedbackRecords, PreviewableAttachmentsAreImagesPdfAndText) {
    BITFeedbackMessage message;
    for (const char* type : {"image/jpeg", "application/pdf", "application/x-sh", "text/plain"}) {
        auto attachment = std::make_shared<BITFeedbackMessageAttachment>();
        attachment->setContentType(type);
        message.addAttachmentsObject(attachment);
    }
    const auto previewable = message.previewableAttachments();
    ASSERT_EQ(previewable.size(), 3u);
    EXPECT_EQ(previewable[2]->contentType(), "text/plain");
}
