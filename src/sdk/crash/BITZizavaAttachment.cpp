#include "sdk/crash/BITZizavaAttachment.h"

#include <utility>

#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"

BITZizavaAttachment::BITZizavaAttachment(std::optional<std::string> filename,
                                         std::optional<Value::Data> zizavaAttachmentData,
                                         std::optional<std::string> contentType)
    : filename_(std::move(filename)),
      data_(std::move(zizavaAttachmentData)),
      contentType_(contentType ? std::move(contentType)
                               : std::optional<std::string>("application/octet-stream")) {}

BITZizavaAttachment::BITZizavaAttachment(Decoded, std::optional<std::string> filename,
                                         std::optional<Value::Data> data,
                                         std::optional<std::string> contentType)
    : filename_(std::move(filename)),
      data_(std::move(data)),
      contentType_(std::move(contentType)) {}

Value::Dictionary BITZizavaAttachment::encodeWithCoder() const {
    Value::Dictionary coder;
    if (filename_) {
        coder["filename"] = *filename_;
    }
    if (data_) {
        coder["data"] = *data_;
    }
    // A property list has no null: an absent content type is left out.
    if (contentType_) {
        coder["contentType"] = *contentType_;
    }
    return coder;
}

std::shared_ptr<BITZizavaAttachment> BITZizavaAttachment::createWithCoder(const Value& coder) {
    if (coder.dictionaryValue() == nullptr) {
        return nullptr;
    }
    auto text = [&](const char* key) -> std::optional<std::string> {
        const Value* value = coder.get(key);
        return value != nullptr && value->stringValue() != nullptr
                   ? std::optional<std::string>(*value->stringValue())
                   : std::nullopt;
    };
    const Value* data = coder.get("data");
    std::optional<Value::Data> bytes;
    if (data != nullptr && data->dataValue() != nullptr) {
        bytes = *data->dataValue();
    }
    return std::shared_ptr<BITZizavaAttachment>(new BITZizavaAttachment(
        Decoded{}, text("filename"), std::move(bytes), text("contentType")));
}

Value::Data BITZizavaAttachment::archivedData() const {
    return NSPropertyListSerialization::dataWithPropertyList(
               encodeWithCoder(), NSPropertyListSerialization::Format::Binary)
        .value_or(Value::Data());
}

std::shared_ptr<BITZizavaAttachment> BITZizavaAttachment::createWithArchivedData(
    const Value::Data& data, NSError* error) {
    std::optional<Value> plist =
        NSPropertyListSerialization::propertyListWithData(data, nullptr, error);
    if (!plist) {
        NSLogWithLevel(NSLogLevel::Error, "Could not read the attachment archive");
        return nullptr;
    }
    auto attachment = createWithCoder(*plist);
    if (attachment == nullptr) {
        NSError::setCocoaError(error, NSError::NSPropertyListReadCorruptError,
                               "The attachment archive is not a dictionary");
    }
    return attachment;
}
