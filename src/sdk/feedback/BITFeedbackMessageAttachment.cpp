#include "sdk/feedback/BITFeedbackMessageAttachment.h"

#include <filesystem>
#include <map>

#include "Foundation/NSData+Files.h"
#include "Foundation/NSDateFormatter.h"
#include "Foundation/NSFileManager.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaHelper.h"

namespace {

// The file-name extension of a MIME type; "" for types without a known one.
std::string extensionForContentType(const std::optional<std::string>& contentType) {
    static const std::map<std::string, std::string> extensions = {
        {"image/jpeg", "jpg"},     {"image/jpg", "jpg"},   {"image/png", "png"},
        {"image/gif", "gif"},      {"image/webp", "webp"}, {"application/pdf", "pdf"},
        {"text/plain", "txt"},     {"text/html", "html"},  {"application/json", "json"},
        {"application/zip", "zip"}};
    if (!contentType)
        return {};
    const std::string type = contentType->substr(0, contentType->find(';'));
    const auto found = extensions.find(type);
    return found == extensions.end() ? std::string() : found->second;
}

// Whether `path` names a file directly inside the attachments folder (a
// stored archive could name any path).
bool insideAttachmentsFolder(const std::string& path) {
    std::error_code error;
    const auto folder =
        std::filesystem::weakly_canonical(BITFeedbackMessageAttachment::attachmentsFolder(), error);
    const auto file = std::filesystem::weakly_canonical(path, error);
    return !error && file.parent_path() == folder && file.filename() != "." &&
           file.filename() != "..";
}

}  // namespace

BITFeedbackMessageAttachment::BITFeedbackMessageAttachment() {
    const std::string folder = attachmentsFolder();
    const auto files = NSFileManager::defaultManager();
    if (!files->fileExistsAtPath(folder))
        files->createDirectoryAtPathWithIntermediateDirectories(folder, true);
}

std::string BITFeedbackMessageAttachment::attachmentsFolder() {
    return bit_settingsDir() + "/attachments";
}

BITFeedbackMessageAttachment BITFeedbackMessageAttachment::attachmentWithData(
    const Value::Data& data, const std::string& contentType) {
    BITFeedbackMessageAttachment attachment;
    attachment.contentType_ = contentType;
    attachment.setData(data);
    attachment.originalFilename_ =
        "Attachment: " +
        NSDateFormatter::localizedStringFromDateDateStyleTimeStyle(
            NSDate::date(), NSDateFormatterStyle::ShortStyle, NSDateFormatterStyle::ShortStyle);
    return attachment;
}

Value BITFeedbackMessageAttachment::encode() const {
    Value::Dictionary coded;
    if (contentType_)
        coded["contentType"] = *contentType_;
    if (filename_)
        coded["filename"] = *filename_;
    if (originalFilename_)
        coded["originalFilename"] = *originalFilename_;
    if (sourceURL_)
        coded["url"] = *sourceURL_;
    return coded;
}

BITFeedbackMessageAttachment BITFeedbackMessageAttachment::decode(const Value& coded) {
    BITFeedbackMessageAttachment attachment;
    const auto text = [&coded](const char* key) -> std::optional<std::string> {
        const Value* value = coded.get(key);
        const std::string* string = value ? value->stringValue() : nullptr;
        return string ? std::optional(*string) : std::nullopt;
    };
    attachment.contentType_ = text("contentType");
    attachment.filename_ = text("filename");
    attachment.originalFilename_ = text("originalFilename");
    attachment.sourceURL_ = text("url");
    return attachment;
}

void BITFeedbackMessageAttachment::setData(const Value::Data& data) {
    internalData_ = data;
    filename_ = possibleFilename();
    writeDataToFile(internalData_, *filename_, true);
}

const Value::Data& BITFeedbackMessageAttachment::data() {
    if (internalData_.empty() && filename_) {
        if (auto stored = dataWithContentsOfFile(*filename_))
            internalData_ = std::move(*stored);
    }
    return internalData_;
}

bool BITFeedbackMessageAttachment::needsLoadingFromURL() const {
    return sourceURL_ && localURL().empty();
}

bool BITFeedbackMessageAttachment::isImage() const {
    return !contentType_ || contentType_->find("image") != std::string::npos;
}

std::string BITFeedbackMessageAttachment::localURL() const {
    if (filename_ && NSFileManager::defaultManager()->fileExistsAtPath(*filename_))
        return "file://" + *filename_;
    return {};
}

const std::string& BITFeedbackMessageAttachment::possibleFilename() {
    if (tempFilename_.empty()) {
        tempFilename_ = attachmentsFolder() + "/" + bit_UUID();
        if (const std::string extension = extensionForContentType(contentType_); !extension.empty())
            tempFilename_ += "." + extension;
    }
    return tempFilename_;
}

void BITFeedbackMessageAttachment::deleteContents() {
    if (!filename_)
        return;
    if (insideAttachmentsFolder(*filename_))
        NSFileManager::defaultManager()->removeItemAtPath(*filename_);
    filename_.reset();
}
