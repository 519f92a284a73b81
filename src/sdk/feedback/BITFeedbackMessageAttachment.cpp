#include "sdk/feedback/BITFeedbackMessageAttachment.h"

#include <filesystem>
#include <map>

#include "Foundation/NSBundle.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSDateFormatter.h"
#include "Foundation/NSFileManager.h"
#include "Net/NSURL.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIScreen.h"
#include "sdk/BITImageHelpers.h"
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

std::optional<NSURL> fileURL(const std::string& path) {
    return NSURL::URLWithString("file://" + NSURL::percentEncode(path, "/"));
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

BITFeedbackMessageAttachment BITFeedbackMessageAttachment::attachmentWithDataContentType(
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

void BITFeedbackMessageAttachment::replaceData(const Value::Data& data) {
    setData(data);
    thumbnailRepresentations_.clear();
}

std::shared_ptr<UIImage> BITFeedbackMessageAttachment::imageRepresentation() {
    if (isImage() && filename_) {
        if (auto image = UIImage::imageWithData(data()))
            return image;
    }
    return bit_bundleImage("FeedbackDocument.png", "ZizavaSDKResources.bundle");
}

std::shared_ptr<UIImage> BITFeedbackMessageAttachment::thumbnailWithSize(CGSize size) {
    const auto key = std::pair(size.width, size.height);
    if (const auto cached = thumbnailRepresentations_.find(key);
        cached != thumbnailRepresentations_.end())
        return cached->second;
    const auto image = imageRepresentation();
    if (!image)
        return nullptr;
    const CGFloat screenScale = UIScreen::mainScreen()->scale();
    std::shared_ptr<UIImage> thumbnail;
    if (image->scale() == screenScale) {
        thumbnail = bit_scaledImage(image, size, true);
    } else {
        const auto scaled = bit_scaledImage(
            image, CGSizeMake(size.width * screenScale, size.height * screenScale), false);
        if (scaled)
            thumbnail = UIImage::imageWithCGImage(scaled->CGImage(), screenScale);
    }
    thumbnailRepresentations_[key] = thumbnail;
    return thumbnail;
}

std::optional<NSURL> BITFeedbackMessageAttachment::previewItemURL() const {
    if (!localURL().empty())
        return fileURL(*filename_);
    if (sourceURL_)
        return fileURL(possibleFilename());
    return fileURL(bit_resourceBundle()->resourcePath() + "/FeedbackPlaceholder.png");
}

const std::string& BITFeedbackMessageAttachment::possibleFilename() const {
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
