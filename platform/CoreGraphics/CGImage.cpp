#include "CoreGraphics/CGImage.h"

#include <cstring>

CGImage::CGImage(size_t width, size_t height, std::vector<uint32_t> pixels, bool opaque)
    : width_(width), height_(height), pixels_(std::move(pixels)), opaque_(opaque) {}

std::shared_ptr<CGImage> CGImage::createWithARGB32(size_t width, size_t height, size_t bytesPerRow,
                                                   const uint8_t* pixels, bool opaque) {
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
        width * height > kMaxPixels || bytesPerRow < width * 4 || pixels == nullptr) {
        return nullptr;
    }
    std::vector<uint32_t> copy(width * height);
    for (size_t y = 0; y < height; ++y) {
        std::memcpy(copy.data() + y * width, pixels + y * bytesPerRow, width * 4);
    }
    if (opaque) {
        for (uint32_t& p : copy) {
            p |= 0xFF000000u;
        }
    }
    return std::make_shared<CGImage>(width, height, std::move(copy), opaque);
}

std::shared_ptr<CGImage> CGImage::createWithImageInRect(const CGImage& image, const CGRect& rect) {
    const CGRect bounds = CGRectMake(0, 0, CGFloat(image.width_), CGFloat(image.height_));
    const CGRect part = CGRectIntersection(CGRectIntegral(rect), bounds);
    if (CGRectIsEmpty(part)) {
        return nullptr;
    }
    const size_t x = size_t(part.origin.x), y = size_t(part.origin.y);
    const size_t w = size_t(part.size.width), h = size_t(part.size.height);
    return createWithARGB32(w, h, image.bytesPerRow(),
                            image.data() + y * image.bytesPerRow() + x * 4, image.opaque_);
}

cairo_surface_t* CGImage::createCairoSurface() const {
    // cairo only reads a source surface, so handing it the const pixels is safe.
    auto* data = const_cast<unsigned char*>(reinterpret_cast<const unsigned char*>(pixels_.data()));
    return cairo_image_surface_create_for_data(data,
                                               opaque_ ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32,
                                               int(width_), int(height_), int(width_ * 4));
}
