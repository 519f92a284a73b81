#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "CoreGraphics/CGImage.h"

// PNG through libpng. Pixels move between the images' premultiplied alpha
// and PNG's straight alpha on the way in and out.
class PNGCodec {
  public:
    static bool isPNG(const uint8_t* bytes, size_t size);
    // nullptr (logged) for malformed, truncated or oversized input.
    static CGImageRef decode(const uint8_t* bytes, size_t size);
    // RGBA, or RGB for an opaque image.
    static std::optional<std::vector<uint8_t>> encode(const CGImage& image);
};
