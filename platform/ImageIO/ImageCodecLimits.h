#pragma once

#include <cstddef>

// Decoders refuse images beyond these before allocating anything, so a
// hostile header cannot ask for gigabytes.
inline constexpr size_t kImageDecodeMaxSide = 16384;
inline constexpr size_t kImageDecodeMaxPixels = size_t{1} << 26;

inline bool ImageDimensionsAcceptable(size_t width, size_t height) {
    return width > 0 && height > 0 && width <= kImageDecodeMaxSide &&
           height <= kImageDecodeMaxSide && width * height <= kImageDecodeMaxPixels;
}
