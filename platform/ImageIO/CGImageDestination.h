#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "CoreGraphics/CGImage.h"

// Options of one added image.
struct CGImageDestinationProperties {
    // kCGImageDestinationLossyCompressionQuality: 0 (smallest) to 1 (best);
    // JPEG only. Absent: 0.75.
    std::optional<CGFloat> lossyCompressionQuality;
};

// Writes one image as PNG or JPEG into bytes or a file.
class CGImageDestination {
  public:
    // nullptr for a type other than kUTTypePNG and kUTTypeJPEG or a count
    // other than 1. The data is filled by finalize().
    static std::shared_ptr<CGImageDestination> createWithData(std::vector<uint8_t>* data,
                                                              const std::string& type,
                                                              size_t count = 1);
    // The file is written atomically by finalize().
    static std::shared_ptr<CGImageDestination> createWithURL(const std::string& path,
                                                             const std::string& type,
                                                             size_t count = 1);

    void addImage(CGImageRef image, const CGImageDestinationProperties& properties = {});
    // Encodes and writes; false (logged) without an image or when encoding or
    // writing fails. A destination finalises once.
    bool finalize();

    CGImageDestination(std::vector<uint8_t>* data, std::string path, std::string type);

  private:
    std::vector<uint8_t>* data_;
    std::string path_;
    std::string type_;
    CGImageRef image_;
    CGImageDestinationProperties properties_;
    bool finalized_ = false;
};
