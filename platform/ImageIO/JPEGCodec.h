#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "CoreGraphics/CGImage.h"

// JPEG through libjpeg-turbo. JPEG has no alpha: encoding drops it, which
// with premultiplied pixels lays the image over black.
class JPEGCodec {
  public:
    static bool isJPEG(const uint8_t* bytes, size_t size);
    // nullptr (logged) for malformed, truncated or oversized input.
    static CGImageRef decode(const uint8_t* bytes, size_t size);
    // quality from 0 (smallest) to 1 (best), clamped.
    static std::optional<std::vector<uint8_t>> encode(const CGImage& image, CGFloat quality);
};
