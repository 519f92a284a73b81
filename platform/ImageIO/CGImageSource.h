#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CoreGraphics/CGImage.h"

// Type identifiers of the image formats the stand-in reads and writes.
inline constexpr const char* kUTTypePNG = "public.png";
inline constexpr const char* kUTTypeJPEG = "public.jpeg";

// Reads images from encoded bytes (PNG or JPEG, told apart by content).
class CGImageSource {
  public:
    static std::shared_ptr<CGImageSource> createWithData(std::vector<uint8_t> data);
    // nullptr (logged) when the file cannot be read.
    static std::shared_ptr<CGImageSource> createWithURL(const std::string& path);

    // kUTTypePNG, kUTTypeJPEG, or empty for anything else.
    std::string type() const;
    // 1 for a PNG or JPEG stream, else 0.
    size_t count() const { return type().empty() ? 0 : 1; }
    // The decoded image; nullptr (logged) for a bad index or undecodable data.
    CGImageRef createImageAtIndex(size_t index) const;

    explicit CGImageSource(std::vector<uint8_t> data) : data_(std::move(data)) {}

  private:
    std::vector<uint8_t> data_;
};
