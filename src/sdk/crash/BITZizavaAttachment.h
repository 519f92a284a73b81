#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/NSError.h"
#include "Foundation/Value.h"

// A file sent with a crash report (and an item of a feedback message): file
// name, data and content type. Archived as a property-list dictionary with
// the keys "filename", "data" and "contentType".
class BITZizavaAttachment {
  public:
    // A missing content type becomes "application/octet-stream".
    BITZizavaAttachment(std::optional<std::string> filename,
                        std::optional<Value::Data> zizavaAttachmentData,
                        std::optional<std::string> contentType);
    virtual ~BITZizavaAttachment() = default;

    // The archive: "filename" and "data" only when present, "contentType" always.
    Value::Dictionary encodeWithCoder() const;
    // From an archive; a missing (or mistyped) key gives an absent value, the
    // content type included. nullptr when coder is not a dictionary.
    static std::shared_ptr<BITZizavaAttachment> createWithCoder(const Value& coder);

    // The archive as a binary property list, and back (nullptr and the
    // property list error for bytes that are not an archive).
    Value::Data archivedData() const;
    static std::shared_ptr<BITZizavaAttachment> createWithArchivedData(const Value::Data& data,
                                                                       NSError* error);

    const std::optional<std::string>& filename() const { return filename_; }
    const std::optional<Value::Data>& zizavaAttachmentData() const { return data_; }
    const std::optional<std::string>& contentType() const { return contentType_; }

  protected:
    struct Decoded {};
    BITZizavaAttachment(Decoded, std::optional<std::string> filename,
                        std::optional<Value::Data> data, std::optional<std::string> contentType);

  private:
    std::optional<std::string> filename_;
    std::optional<Value::Data> data_;
    std::optional<std::string> contentType_;
};

// The attachment the crash manager's delegate hands over for a report.
class BITCrashAttachment : public BITZizavaAttachment {
  public:
    BITCrashAttachment(std::optional<std::string> filename,
                       std::optional<Value::Data> crashAttachmentData,
                       std::optional<std::string> contentType)
        : BITZizavaAttachment(std::move(filename), std::move(crashAttachmentData),
                              std::move(contentType)) {}
};
