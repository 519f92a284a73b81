#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <cairo.h>

#include "CoreGraphics/CGGeometry.h"

// How the pixels of an image or bitmap context hold alpha, with Core
// Graphics' numbering. The stand-in keeps every image as 32-bit native-endian
// words 0xAARRGGBB (cairo's ARGB32): premultiplied first, or skip first for
// opaque pixels (alpha byte 0xFF).
enum CGImageAlphaInfo : uint32_t {
    kCGImageAlphaNone = 0,
    kCGImageAlphaPremultipliedLast = 1,
    kCGImageAlphaPremultipliedFirst = 2,
    kCGImageAlphaLast = 3,
    kCGImageAlphaFirst = 4,
    kCGImageAlphaNoneSkipLast = 5,
    kCGImageAlphaNoneSkipFirst = 6,
    kCGImageAlphaOnly = 7,
};

inline constexpr uint32_t kCGBitmapAlphaInfoMask = 0x1F;
inline constexpr uint32_t kCGBitmapByteOrder32Little = 2u << 12;

// An immutable bitmap: pixel dimensions only; the point size and scale belong
// to the image object that wraps it (UIImage).
class CGImage {
  public:
    // Largest side and pixel count an image may have; larger requests fail
    // instead of allocating.
    static constexpr size_t kMaxSide = 32767;
    static constexpr size_t kMaxPixels = size_t{1} << 28;

    // Copies rows of premultiplied 0xAARRGGBB words; opaque marks the pixels as
    // having no alpha. nullptr for a zero or too large size, a row length
    // below width * 4 or a null source.
    static std::shared_ptr<CGImage> createWithARGB32(size_t width, size_t height,
                                                     size_t bytesPerRow, const uint8_t* pixels,
                                                     bool opaque);
    // The part of image inside rect (pixels, rounded outwards to whole
    // pixels, clipped to the image); nullptr when nothing is left.
    static std::shared_ptr<CGImage> createWithImageInRect(const CGImage& image, const CGRect& rect);

    size_t width() const { return width_; }
    size_t height() const { return height_; }
    size_t bytesPerRow() const { return width_ * 4; }
    size_t bitsPerComponent() const { return 8; }
    size_t bitsPerPixel() const { return 32; }
    CGImageAlphaInfo alphaInfo() const {
        return opaque_ ? kCGImageAlphaNoneSkipFirst : kCGImageAlphaPremultipliedFirst;
    }
    bool isOpaque() const { return opaque_; }
    const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(pixels_.data()); }
    // The premultiplied 0xAARRGGBB word at column x, row y (row 0 on top).
    uint32_t pixelAt(size_t x, size_t y) const { return pixels_[y * width_ + x]; }

    // A cairo surface over the pixels, for drawing the image; the caller
    // destroys it and keeps the image alive meanwhile.
    cairo_surface_t* createCairoSurface() const;

    CGImage(size_t width, size_t height, std::vector<uint32_t> pixels, bool opaque);

  private:
    size_t width_;
    size_t height_;
    std::vector<uint32_t> pixels_;
    bool opaque_;
};

using CGImageRef = std::shared_ptr<CGImage>;
