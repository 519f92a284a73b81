#include "ImageIO/PNGCodec.h"

#include <png.h>

#include <algorithm>
#include <cstring>

#include "Foundation/NSLog.h"
#include "ImageIO/ImageCodecLimits.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

}  // namespace

bool PNGCodec::isPNG(const uint8_t* bytes, size_t size) {
    return size >= sizeof kSignature && std::memcmp(bytes, kSignature, sizeof kSignature) == 0;
}

CGImageRef PNGCodec::decode(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr || !isPNG(bytes, size)) {
        NSLogWithLevel(NSLogLevel::Error, "PNG decode: not a PNG stream");
        return nullptr;
    }
    // The simplified API keeps libpng's longjmp error handling inside libpng.
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes, size)) {
        NSLogWithLevel(NSLogLevel::Error, "PNG decode: %s", image.message);
        png_image_free(&image);
        return nullptr;
    }
    if (!ImageDimensionsAcceptable(image.width, image.height)) {
        NSLogWithLevel(NSLogLevel::Error, "PNG decode: refusing %u x %u pixels", image.width,
                       image.height);
        png_image_free(&image);
        return nullptr;
    }
    const bool opaque = (image.format & PNG_FORMAT_FLAG_ALPHA) == 0;
    // BGRA bytes are the native-endian 0xAARRGGBB words on little-endian hosts.
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint32_t> pixels(size_t(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), int(image.width * 4), nullptr)) {
        NSLogWithLevel(NSLogLevel::Error, "PNG decode: %s", image.message);
        png_image_free(&image);
        return nullptr;
    }
    if (!opaque) {
        for (uint32_t& p : pixels) {
            const uint32_t a = p >> 24;
            if (a == 255) {
                continue;
            }
            auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
            p = (a << 24) | (mul((p >> 16) & 0xFF) << 16) | (mul((p >> 8) & 0xFF) << 8) |
                mul(p & 0xFF);
        }
    }
    return CGImage::createWithARGB32(image.width, image.height, size_t(image.width) * 4,
                                     reinterpret_cast<const uint8_t*>(pixels.data()), opaque);
}

std::optional<std::vector<uint8_t>> PNGCodec::encode(const CGImage& source) {
    const size_t width = source.width(), height = source.height();
    const bool opaque = source.isOpaque();
    const size_t channels = opaque ? 3 : 4;
    std::vector<uint8_t> straight(width * height * channels);
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            const uint32_t p = source.pixelAt(x, y);
            const uint32_t a = p >> 24;
            uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (!opaque && a != 255) {
                auto div = [a](uint32_t c) {
                    return a == 0 ? 0 : std::min(255u, (c * 255 + a / 2) / a);
                };
                r = div(r);
                g = div(g);
                b = div(b);
            }
            uint8_t* out = straight.data() + (y * width + x) * channels;
            out[0] = uint8_t(r);
            out[1] = uint8_t(g);
            out[2] = uint8_t(b);
            if (!opaque) {
                out[3] = uint8_t(a);
            }
        }
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = opaque ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
    // Faster, and on map tiles no larger than the default filtering.
    image.flags = PNG_IMAGE_FLAG_FAST;
    // One pass into a buffer of the worst-case size, instead of libpng's
    // measuring pass plus a writing pass.
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, straight.data(), 0, nullptr)) {
        NSLogWithLevel(NSLogLevel::Error, "PNG encode: %s", image.message);
        return std::nullopt;
    }
    out.resize(size);
    return out;
}
