#include <gtest/gtest.h>

#include <unistd.h>

#include <png.h>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <cstdio>
#include <cstdlib>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "CoreGraphics/CGContext.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"
#include "ImageIO/JPEGCodec.h"
#include "ImageIO/PNGCodec.h"

namespace {

// A 16x16 picture with a gradient, a half-transparent band and a clear corner.
CGImageRef testImage(bool opaque) {
    auto c = CGContext::createBitmapContext(
        16, 16, opaque ? kCGImageAlphaNoneSkipFirst : kCGImageAlphaPremultipliedFirst);
    auto gradient = CGGradient::createWithColorComponents({1, 0, 0, 1, 0, 0.5, 1, 1});
    c->drawLinearGradient(*gradient, {0, 0}, {16, 0}, 3);
    c->setRGBFillColor(0.2, 0.9, 0.4, 0.5);
    c->setBlendMode(kCGBlendModeCopy);
    c->fillRect(CGRectMake(0, 4, 16, 4));
    c->clearRect(CGRectMake(12, 12, 4, 4));
    return c->createImage();
}

std::vector<uint8_t> encode(const CGImageRef& image, const char* type,
                            std::optional<CGFloat> quality = std::nullopt) {
    std::vector<uint8_t> data;
    auto dest = CGImageDestination::createWithData(&data, type);
    EXPECT_TRUE(dest);
    dest->addImage(image, {quality});
    EXPECT_TRUE(dest->finalize());
    return data;
}

CGImageRef decode(std::vector<uint8_t> data) {
    return CGImageSource::createWithData(std::move(data))->createImageAtIndex(0);
}

int channel(uint32_t p, int shift) {
    return int((p >> shift) & 0xFF);
}

uint32_t crc32(const uint8_t* bytes, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
    }
    return ~crc;
}

void putBytes(std::vector<uint8_t>& out, std::initializer_list<int> bytes) {
    for (int b : bytes) {
        out.push_back(uint8_t(b));
    }
}

void putBE(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(uint8_t(v >> shift));
    }
}

}  // namespace

TEST(ImageCodecTest, PNGRoundTripKeepsPremultipliedPixels) {
    const CGImageRef original = testImage(false);
    const std::vector<uint8_t> png = encode(original, kUTTypePNG);
    EXPECT_EQ(CGImageSource::createWithData(png)->type(), kUTTypePNG);
    const CGImageRef back = decode(png);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->isOpaque());
    ASSERT_EQ(back->width(), 16u);
    ASSERT_EQ(back->height(), 16u);
    for (size_t y = 0; y < 16; ++y) {
        for (size_t x = 0; x < 16; ++x) {
            const uint32_t a = original->pixelAt(x, y), b = back->pixelAt(x, y);
            EXPECT_EQ(a >> 24, b >> 24);
            for (int shift : {0, 8, 16}) {
                // Un- and re-premultiplying may move a channel by one step.
                EXPECT_NEAR(channel(a, shift), channel(b, shift), 1) << x << "," << y;
            }
        }
    }
    // The clear corner stays clear and the band half transparent.
    EXPECT_EQ(back->pixelAt(14, 1), 0u);
    EXPECT_EQ(back->pixelAt(3, 9) >> 24, 128u);
}

TEST(ImageCodecTest, PNGStoresStraightAlpha) {
    // One pixel of premultiplied (128, 64, 0, 0): straight red is 128, not 64.
    const uint32_t pixel = 0x80400000u;
    auto image =
        CGImage::createWithARGB32(1, 1, 4, reinterpret_cast<const uint8_t*>(&pixel), false);
    const std::vector<uint8_t> png = encode(image, kUTTypePNG);
    png_image raw;
    std::memset(&raw, 0, sizeof raw);
    raw.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&raw, png.data(), png.size()));
    raw.format = PNG_FORMAT_RGBA;
    uint8_t rgba[4] = {};
    ASSERT_TRUE(png_image_finish_read(&raw, nullptr, rgba, 4, nullptr));
    EXPECT_EQ(rgba[0], 128);
    EXPECT_EQ(rgba[1], 0);
    EXPECT_EQ(rgba[3], 128);
    const CGImageRef back = decode(png);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixelAt(0, 0), pixel);
}

TEST(ImageCodecTest, OpaquePNGRoundTripIsExact) {
    const CGImageRef original = testImage(true);
    const CGImageRef back = decode(encode(original, kUTTypePNG));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isOpaque());
    for (size_t y = 0; y < 16; ++y) {
        for (size_t x = 0; x < 16; ++x) {
            EXPECT_EQ(original->pixelAt(x, y), back->pixelAt(x, y));
        }
    }
}

TEST(ImageCodecTest, JPEGRoundTripIsCloseAndQualityMatters) {
    const CGImageRef original = testImage(true);
    const std::vector<uint8_t> best = encode(original, kUTTypeJPEG, 1.0);
    const std::vector<uint8_t> worst = encode(original, kUTTypeJPEG, 0.0);
    EXPECT_LT(worst.size(), best.size());
    EXPECT_EQ(CGImageSource::createWithData(best)->type(), kUTTypeJPEG);
    const CGImageRef back = decode(best);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isOpaque());
    const uint32_t a = original->pixelAt(2, 14), b = back->pixelAt(2, 14);
    for (int shift : {0, 8, 16}) {
        EXPECT_NEAR(channel(a, shift), channel(b, shift), 12);
    }
    // Alpha is dropped: the clear corner comes back black and opaque.
    const uint32_t corner = back->pixelAt(14, 1);
    EXPECT_EQ(corner >> 24, 0xFFu);
    EXPECT_LT(channel(corner, 16) + channel(corner, 8) + channel(corner, 0), 30);
}

TEST(ImageCodecTest, DestinationsRejectUnknownTypesAndSecondUse) {
    std::vector<uint8_t> data;
    EXPECT_FALSE(CGImageDestination::createWithData(&data, "public.tiff"));
    EXPECT_FALSE(CGImageDestination::createWithData(&data, kUTTypePNG, 2));
    auto dest = CGImageDestination::createWithData(&data, kUTTypePNG);
    EXPECT_FALSE(dest->finalize());  // no image yet
    auto fresh = CGImageDestination::createWithData(&data, kUTTypePNG);
    fresh->addImage(testImage(false));
    EXPECT_TRUE(fresh->finalize());
    EXPECT_FALSE(fresh->finalize());
}

TEST(ImageCodecTest, FileRoundTrip) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("kv-imageio-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "tile").string();  // no extension, as tile files have
    auto dest = CGImageDestination::createWithURL(path, kUTTypeJPEG);
    dest->addImage(testImage(true), {0.9});
    ASSERT_TRUE(dest->finalize());
    auto source = CGImageSource::createWithURL(path);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->type(), kUTTypeJPEG);
    EXPECT_TRUE(source->createImageAtIndex(0));
    EXPECT_FALSE(source->createImageAtIndex(1));
    EXPECT_FALSE(CGImageSource::createWithURL((dir / "missing").string()));
    std::filesystem::remove_all(dir);
}

TEST(ImageCodecTest, CorruptAndTruncatedInputGivesNothing) {
    const std::vector<uint8_t> png = encode(testImage(false), kUTTypePNG);
    const std::vector<uint8_t> jpeg = encode(testImage(true), kUTTypeJPEG, 0.9);
    for (size_t keep : {size_t(4), size_t(9), size_t(40), png.size() / 2, png.size() - 13}) {
        EXPECT_FALSE(decode(std::vector<uint8_t>(png.begin(), png.begin() + keep))) << keep;
    }
    for (size_t keep : {size_t(3), size_t(20), jpeg.size() / 2, jpeg.size() - 2}) {
        EXPECT_FALSE(decode(std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + keep))) << keep;
    }
    // Garbage after valid signatures.
    std::vector<uint8_t> fakePNG(png.begin(), png.begin() + 8);
    fakePNG.resize(200, 0x5A);
    EXPECT_FALSE(decode(fakePNG));
    std::vector<uint8_t> fakeJPEG = {0xFF, 0xD8, 0xFF};
    fakeJPEG.resize(200, 0x11);
    EXPECT_FALSE(decode(fakeJPEG));
    // Flipped bits in the compressed PNG data fail the checksum.
    std::vector<uint8_t> flipped = png;
    flipped[flipped.size() / 2] ^= 0xFF;
    EXPECT_FALSE(decode(flipped));
    EXPECT_EQ(CGImageSource::createWithData({1, 2, 3})->count(), 0u);
    EXPECT_FALSE(decode({}));
}

TEST(ImageCodecTest, HugeDimensionsAreRefusedBeforeAllocating) {
    // A well-formed PNG header announcing 60000 x 60000 pixels and nothing more.
    std::vector<uint8_t> png;
    putBytes(png, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    putBE(png, 13);
    const size_t chunkStart = png.size();
    putBytes(png, {'I', 'H', 'D', 'R'});
    putBE(png, 60000);
    putBE(png, 60000);
    putBytes(png, {8, 6, 0, 0, 0});
    putBE(png, crc32(png.data() + chunkStart, png.size() - chunkStart));
    EXPECT_FALSE(PNGCodec::decode(png.data(), png.size()));

    // The same for a JPEG frame header: SOI, SOF0 with 60000 x 60000.
    const std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0xEA,
                                       0x60, 0xEA, 0x60, 0x03, 0x01, 0x22, 0x00, 0x02,
                                       0x11, 0x01, 0x03, 0x11, 0x01, 0xFF, 0xD9};
    EXPECT_FALSE(JPEGCodec::decode(jpeg.data(), jpeg.size()));
}

namespace {

// A grey JPEG of width x height written by libjpeg itself: a gradient
// across, one channel a pixel.
std::vector<uint8_t> greyJPEG(int width, int height) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&cinfo, &buffer, &length);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x)
        row[size_t(x)] = uint8_t(x * 255 / (width - 1));
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&cinfo, &line, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> data(buffer, buffer + length);
    std::free(buffer);
    return data;
}

}  // namespace

// The decoder's words go into the image as they come: every one must be
// opaque and in place, for colour and grey streams alike.
TEST(ImageCodecTest, DecodedJPEGPixelsAreOpaqueWordsForColourAndGrey) {
    const CGImageRef colour = decode(encode(testImage(true), kUTTypeJPEG, 0.9));
    ASSERT_TRUE(colour);
    const CGImageRef grey = decode(greyJPEG(21, 13));
    ASSERT_TRUE(grey);
    ASSERT_EQ(grey->width(), 21u);
    ASSERT_EQ(grey->height(), 13u);
    for (const CGImageRef& image : {colour, grey}) {
        EXPECT_TRUE(image->isOpaque());
        for (size_t y = 0; y < image->height(); ++y)
            for (size_t x = 0; x < image->width(); ++x)
                ASSERT_EQ(image->pixelAt(x, y) >> 24, 0xFFu) << x << "," << y;
    }
    for (size_t x : {0u, 10u, 20u}) {
        const uint32_t p = grey->pixelAt(x, 6);
        EXPECT_EQ(channel(p, 16), channel(p, 8));
        EXPECT_EQ(channel(p, 8), channel(p, 0));
        EXPECT_NEAR(channel(p, 0), int(x * 255 / 20), 3);
    }
}
