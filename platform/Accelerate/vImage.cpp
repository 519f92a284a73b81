#include "Accelerate/vImage.h"

#include <algorithm>
#include <vector>

namespace {

bool validBuffer(const vImage_Buffer* b) {
    return b != nullptr && b->data != nullptr && b->rowBytes >= b->width * 4;
}

const uint8_t* pixelOf(const vImage_Buffer* b, size_t x, size_t y) {
    return static_cast<const uint8_t*>(b->data) + y * b->rowBytes + x * 4;
}

uint8_t* pixelOf(const vImage_Buffer* b, size_t x, size_t y, bool) {
    return static_cast<uint8_t*>(b->data) + y * b->rowBytes + x * 4;
}

int32_t roundedDivide(int64_t value, int32_t divisor) {
    // Round half away from zero, for either sign.
    const int64_t half = std::abs(int64_t(divisor)) / 2;
    const int64_t q = value >= 0 ? (value + half) / divisor : (value - half) / divisor;
    return int32_t(std::clamp<int64_t>(q, INT32_MIN, INT32_MAX));
}

}  // namespace

vImage_Error vImageBoxConvolve_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                        void* /*tempBuffer*/, vImagePixelCount srcOffsetToROI_X,
                                        vImagePixelCount srcOffsetToROI_Y, uint32_t kernelHeight,
                                        uint32_t kernelWidth, const Pixel_8888 backgroundColor,
                                        vImage_Flags flags) {
    if (flags & kvImageGetTempBufferSize) {
        return 0;
    }
    if (!validBuffer(src) || !validBuffer(dest)) {
        return kvImageNullPointerArgument;
    }
    if (kernelWidth % 2 == 0 || kernelHeight % 2 == 0) {
        return kvImageInvalidKernelSize;
    }
    if (srcOffsetToROI_X + dest->width > src->width ||
        srcOffsetToROI_Y + dest->height > src->height) {
        return kvImageRoiLargerThanInputBuffer;
    }
    const int modes = ((flags & kvImageEdgeExtend) != 0) + ((flags & kvImageCopyInPlace) != 0) +
                      ((flags & kvImageBackgroundColorFill) != 0) +
                      ((flags & kvImageTruncateKernel) != 0);
    if (modes != 1) {
        return kvImageInvalidParameter;
    }
    if (flags & kvImageBackgroundColorFill && backgroundColor == nullptr) {
        return kvImageNullPointerArgument;
    }
    const long rx = long(kernelWidth / 2), ry = long(kernelHeight / 2);
    const long w = long(src->width), h = long(src->height);
    const long outW = long(dest->width), outH = long(dest->height);
    const long ox = long(srcOffsetToROI_X), oy = long(srcOffsetToROI_Y);
    if (outW == 0 || outH == 0) {
        return kvImageNoError;
    }

    // Horizontal sums for every source row the output needs, then vertical
    // sums of those: each output pixel is the sum over its whole box, rounded once.
    const long rowFrom = std::max(0L, oy - ry), rowTo = std::min(h, oy + outH + ry);
    std::vector<uint32_t> rows(size_t(rowTo - rowFrom) * size_t(outW) * 4);
    std::vector<uint32_t> counts(static_cast<size_t>(outW));
    for (long y = rowFrom; y < rowTo; ++y) {
        for (long x = 0; x < outW; ++x) {
            uint32_t sum[4] = {0, 0, 0, 0};
            uint32_t count = 0;
            for (long k = -rx; k <= rx; ++k) {
                long sx = ox + x + k;
                const uint8_t* p = nullptr;
                if (sx >= 0 && sx < w) {
                    p = pixelOf(src, size_t(sx), size_t(y));
                } else if (flags & kvImageEdgeExtend) {
                    p = pixelOf(src, size_t(std::clamp(sx, 0L, w - 1)), size_t(y));
                } else if (flags & kvImageBackgroundColorFill) {
                    p = backgroundColor;
                }
                if (p != nullptr) {
                    for (int c = 0; c < 4; ++c) {
                        sum[c] += p[c];
                    }
                    ++count;
                }
            }
            std::copy(sum, sum + 4, rows.begin() + ((y - rowFrom) * outW + x) * 4);
            counts[size_t(x)] = count;
        }
    }
    for (long y = 0; y < outH; ++y) {
        for (long x = 0; x < outW; ++x) {
            uint8_t* out = pixelOf(dest, size_t(x), size_t(y), true);
            const long sx = ox + x, sy = oy + y;
            if ((flags & kvImageCopyInPlace) &&
                (sx - rx < 0 || sx + rx >= w || sy - ry < 0 || sy + ry >= h)) {
                std::copy_n(pixelOf(src, size_t(sx), size_t(sy)), 4, out);
                continue;
            }
            uint64_t sum[4] = {0, 0, 0, 0};
            uint64_t count = 0;
            for (long k = -ry; k <= ry; ++k) {
                long row = sy + k;
                const uint32_t* s = nullptr;
                uint64_t rowCount = counts[size_t(x)];
                if (row >= 0 && row < h) {
                    s = &rows[size_t(((row - rowFrom) * outW + x) * 4)];
                } else if (flags & kvImageEdgeExtend) {
                    row = std::clamp(row, 0L, h - 1);
                    s = &rows[size_t(((row - rowFrom) * outW + x) * 4)];
                } else if (flags & kvImageBackgroundColorFill) {
                    for (int c = 0; c < 4; ++c) {
                        sum[c] += uint64_t(backgroundColor[c]) * kernelWidth;
                    }
                    count += kernelWidth;
                    continue;
                }
                if (s != nullptr) {
                    for (int c = 0; c < 4; ++c) {
                        sum[c] += s[c];
                    }
                    count += rowCount;
                }
            }
            for (int c = 0; c < 4; ++c) {
                out[c] = count == 0 ? 0 : uint8_t((sum[c] + count / 2) / count);
            }
        }
    }
    return kvImageNoError;
}

vImage_Error vImageMatrixMultiply_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                           const int16_t matrix[16], int32_t divisor,
                                           const int16_t* preBias, const int32_t* postBias,
                                           vImage_Flags /*flags*/) {
    if (!validBuffer(src) || !validBuffer(dest) || matrix == nullptr) {
        return kvImageNullPointerArgument;
    }
    if (src->width != dest->width || src->height != dest->height) {
        return kvImageBufferSizeMismatch;
    }
    if (divisor == 0) {
        return kvImageInvalidParameter;
    }
    for (size_t y = 0; y < src->height; ++y) {
        for (size_t x = 0; x < src->width; ++x) {
            const uint8_t* in = pixelOf(src, x, y);
            int64_t p[4];
            for (int i = 0; i < 4; ++i) {
                p[i] = int64_t(in[i]) + (preBias ? preBias[i] : 0);
            }
            uint8_t result[4];
            for (int j = 0; j < 4; ++j) {
                int64_t sum = 0;
                for (int i = 0; i < 4; ++i) {
                    sum += p[i] * matrix[i * 4 + j];
                }
                const int64_t v =
                    int64_t(roundedDivide(sum, divisor)) + (postBias ? postBias[j] : 0);
                result[j] = uint8_t(std::clamp<int64_t>(v, 0, 255));
            }
            std::copy_n(result, 4, pixelOf(dest, x, y, true));
        }
    }
    return kvImageNoError;
}
