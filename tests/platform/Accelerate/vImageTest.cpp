#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Accelerate/vImage.h"

namespace {

struct Image {
    size_t width, height;
    std::vector<uint8_t> bytes;
    Image(size_t w, size_t h) : width(w), height(h), bytes(w * h * 4, 0) {}
    vImage_Buffer buffer() { return {bytes.data(), height, width, width * 4}; }
    uint8_t* at(size_t x, size_t y) { return &bytes[(y * width + x) * 4]; }
};

}  // namespace

TEST(vImageTest, BoxConvolveAveragesEveryChannel) {
    Image src(5, 1), dst(5, 1);
    for (int c = 0; c < 4; ++c) {
        src.at(2, 0)[c] = uint8_t(90 + c * 30);
    }
    auto s = src.buffer(), d = dst.buffer();
    ASSERT_EQ(vImageBoxConvolve_ARGB8888(&s, &d, nullptr, 0, 0, 1, 3, nullptr, kvImageEdgeExtend),
              kvImageNoError);
    EXPECT_EQ(dst.at(1, 0)[0], 30);
    EXPECT_EQ(dst.at(2, 0)[3], 60);  // 180 / 3, alpha blurred like colour
    EXPECT_EQ(dst.at(3, 0)[1], 40);
    EXPECT_EQ(dst.at(0, 0)[0], 0);
}

TEST(vImageTest, EdgeModesTreatOutsideSamplesDifferently) {
    Image src(3, 3), dst(3, 3);
    for (size_t y = 0; y < 3; ++y) {
        for (size_t x = 0; x < 3; ++x) {
            std::fill_n(src.at(x, y), 4, uint8_t(90));
        }
    }
    auto s = src.buffer(), d = dst.buffer();
    ASSERT_EQ(vImageBoxConvolve_ARGB8888(&s, &d, nullptr, 0, 0, 3, 3, nullptr, kvImageEdgeExtend),
              kvImageNoError);
    EXPECT_EQ(dst.at(0, 0)[0], 90);  // a flat image stays flat
    const Pixel_8888 black = {0, 0, 0, 0};
    ASSERT_EQ(
        vImageBoxConvolve_ARGB8888(&s, &d, nullptr, 0, 0, 3, 3, black, kvImageBackgroundColorFill),
        kvImageNoError);
    EXPECT_EQ(dst.at(0, 0)[0], 40);  // 4 of 9 samples inside
    EXPECT_EQ(dst.at(1, 1)[0], 90);
    ASSERT_EQ(
        vImageBoxConvolve_ARGB8888(&s, &d, nullptr, 0, 0, 3, 3, nullptr, kvImageTruncateKernel),
        kvImageNoError);
    EXPECT_EQ(dst.at(0, 0)[0], 90);
    src.at(1, 1)[0] = 0;
    ASSERT_EQ(vImageBoxConvolve_ARGB8888(&s, &d, nullptr, 0, 0, 3, 3, nullptr, kvImageCopyInPlace),
              kvImageNoError);
    EXPECT_EQ(dst.at(0, 0)[0], 90);  // copied: its box leaves the image
    EXPECT_EQ(dst.at(1, 1)[0], 80);
}

TEST(vImageTest, BoxConvolveRejectsBadArguments) {
    Image src(4, 4), dst(4, 4), small(2, 2);
    auto s = src.buffer(), d = dst.buffer(), sm = small.buffer();
    EXPECT_EQ(vImageBoxConvolve_ARGB8888(&s, &d, nullptr, 0, 0, 3, 4, nullptr, kvImageEdgeExtend),
              kvImageInvalidKernelSize);
    EXPECT_EQ(vImageBoxConvolve_ARGB8888(&s, &d, nullptr, 0, 0, 3, 3, nullptr, kvImageNoFlags),
              kvImageInvalidParameter);
    EXPECT_EQ(vImageBoxConvolve_ARGB8888(&s, &d, nullptr, 1, 0, 3, 3, nullptr, kvImageEdgeExtend),
              kvImageRoiLargerThanInputBuffer);
    EXPECT_EQ(vImageBoxConvolve_ARGB8888(&s, &sm, nullptr, 2, 2, 3, 3, nullptr, kvImageEdgeExtend),
              kvImageNoError);
    EXPECT_EQ(
        vImageBoxConvolve_ARGB8888(nullptr, &d, nullptr, 0, 0, 3, 3, nullptr, kvImageEdgeExtend),
        kvImageNullPointerArgument);
    EXPECT_EQ(vImageBoxConvolve_ARGB8888(&s, &d, nullptr, 0, 0, 9, 9, nullptr,
                                         kvImageEdgeExtend | kvImageGetTempBufferSize),
              0);
}

TEST(vImageTest, MatrixMultiplyMixesChannelsWithRoundingAndClamping) {
    Image img(1, 1);
    img.at(0, 0)[0] = 100;
    img.at(0, 0)[1] = 50;
    img.at(0, 0)[2] = 200;
    img.at(0, 0)[3] = 255;
    // Channel 0 becomes the mean of channels 0 and 1; channel 2 doubles and
    // clamps; channel 1 goes negative and clamps to 0; channel 3 stays.
    const int16_t matrix[16] = {128, -256, 0,   0,  //
                                128, 0,    0,   0,  //
                                0,   0,    512, 0,  //
                                0,   0,    0,   256};
    auto b = img.buffer();
    ASSERT_EQ(vImageMatrixMultiply_ARGB8888(&b, &b, matrix, 256, nullptr, nullptr, 0),
              kvImageNoError);
    EXPECT_EQ(img.at(0, 0)[0], 75);
    EXPECT_EQ(img.at(0, 0)[1], 0);
    EXPECT_EQ(img.at(0, 0)[2], 255);
    EXPECT_EQ(img.at(0, 0)[3], 255);
    const int32_t post[4] = {5, 0, 0, 0};
    const int16_t pre[4] = {1, 0, 0, 0};
    const int16_t identity[16] = {256, 0, 0, 0, 0, 256, 0, 0, 0, 0, 256, 0, 0, 0, 0, 256};
    ASSERT_EQ(vImageMatrixMultiply_ARGB8888(&b, &b, identity, 256, pre, post, 0), kvImageNoError);
    EXPECT_EQ(img.at(0, 0)[0], 81);
    Image other(2, 1);
    auto o = other.buffer();
    EXPECT_EQ(vImageMatrixMultiply_ARGB8888(&b, &o, identity, 256, nullptr, nullptr, 0),
              kvImageBufferSizeMismatch);
    EXPECT_EQ(vImageMatrixMultiply_ARGB8888(&b, &b, identity, 0, nullptr, nullptr, 0),
              kvImageInvalidParameter);
}

TEST(vImageTest, SaturationZeroGivesLuminanceGrey) {
    // The image effects' saturation matrix at s = 0, channels in B, G, R, A order.
    const double s = 0;
    const double rows[4][4] = {{0.0722 + 0.9278 * s, 0.0722 - 0.0722 * s, 0.0722 - 0.0722 * s, 0},
                               {0.7152 - 0.7152 * s, 0.7152 + 0.2848 * s, 0.7152 - 0.7152 * s, 0},
                               {0.2126 - 0.2126 * s, 0.2126 - 0.2126 * s, 0.2126 + 0.7873 * s, 0},
                               {0, 0, 0, 1}};
    int16_t matrix[16];
    for (int i = 0; i < 16; ++i) {
        matrix[i] = int16_t(std::lround(rows[i / 4][i % 4] * 256));
    }
    Image img(1, 1);
    img.at(0, 0)[2] = 255;  // pure red
    img.at(0, 0)[3] = 255;
    auto b = img.buffer();
    ASSERT_EQ(vImageMatrixMultiply_ARGB8888(&b, &b, matrix, 256, nullptr, nullptr, 0),
              kvImageNoError);
    EXPECT_EQ(img.at(0, 0)[0], img.at(0, 0)[1]);
    EXPECT_EQ(img.at(0, 0)[1], img.at(0, 0)[2]);
    EXPECT_NEAR(img.at(0, 0)[0], 54, 1);  // 0.2126 * 255
}
