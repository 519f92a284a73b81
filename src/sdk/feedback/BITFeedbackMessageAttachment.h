#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "CoreGraphics/CGGeometry.h"
#include "Foundation/Value.h"
#include "QuickLook/QLPreviewItem.h"

class UIImage;

// A file attached to a feedback message. Its bytes live in one file of the
// attachments folder in the SDK settings folder; one that came from the
// service has no file until its source URL was downloaded (replaceData).
class BITFeedbackMessageAttachment : public QLPreviewItem {
  public:
    BITFeedbackMessageAttachment();  // creates the attachments folder when missing

    // A local attachment, stored at once, named after the current date.
    static BITFeedbackMessageAttachment attachmentWithDataContentType(
        const Value::Data& data, const std::string& contentType);

    // The coding keys "contentType", "filename", "originalFilename", "url".
    Value encode() const;
    static BITFeedbackMessageAttachment decode(const Value& coded);

    // Keeps the bytes and writes them atomically to possibleFilename().
    void setData(const Value::Data& data);
    // The bytes, read from the file when not in memory; empty when none.
    const Value::Data& data();
    // A download replaces the stored file; thumbnails of the old one go.
    void replaceData(const Value::Data& data);
    bool needsLoadingFromURL() const;
    bool isImage() const;
    // file:// URL of the stored file; "" when there is none.
    std::string localURL() const;
    // The path this attachment's bytes go to, chosen once: a new UUID with the
    // extension of the content type when one is known.
    const std::string& possibleFilename() const;
    // The stored image, or for other files (and images that do not decode)
    // the SDK's document icon.
    std::shared_ptr<UIImage> imageRepresentation();
    // imageRepresentation fitted into size at the screen's scale, kept per
    // size until the data changes; nullptr without an image.
    std::shared_ptr<UIImage> thumbnailWithSize(CGSize size);

    // The stored file; for one still on the service where its download goes;
    // else the SDK's placeholder picture.
    std::optional<NSURL> previewItemURL() const override;
    std::string previewItemTitle() const override { return originalFilename_.value_or(""); }
    // Removes the stored file, only when it lies in the attachments folder.
    void deleteContents();

    static std::string attachmentsFolder();

    const std::optional<int64_t>& identifier() const { return identifier_; }
    void setIdentifier(std::optional<int64_t> identifier) { identifier_ = identifier; }
    const std::optional<std::string>& originalFilename() const { return originalFilename_; }
    void setOriginalFilename(std::optional<std::string> name) {
        originalFilename_ = std::move(name);
    }
    const std::optional<std::string>& contentType() const { return contentType_; }
    void setContentType(std::optional<std::string> type) { contentType_ = std::move(type); }
    const std::optional<std::string>& sourceURL() const { return sourceURL_; }
    void setSourceURL(std::optional<std::string> url) { sourceURL_ = std::move(url); }
    const std::optional<std::string>& filename() const { return filename_; }
    bool isLoading() const { return isLoading_; }
    // The bytes as loaded so far (data() loads them from the file).
    const Value::Data& internalData() const { return internalData_; }
    // The thumbnails made so far, by width and height.
    const std::map<std::pair<CGFloat, CGFloat>, std::shared_ptr<UIImage>>&
    thumbnailRepresentations() const {
        return thumbnailRepresentations_;
    }
    void setLoading(bool loading) { isLoading_ = loading; }

  private:
    mutable std::string tempFilename_;
    bool isLoading_ = false;
    std::optional<int64_t> identifier_;
    std::optional<std::string> originalFilename_;
    std::optional<std::string> contentType_;
    std::optional<std::string> sourceURL_;
    Value::Data internalData_;
    std::optional<std::string> filename_;
    std::map<std::pair<CGFloat, CGFloat>, std::shared_ptr<UIImage>> thumbnailRepresentations_;
};
