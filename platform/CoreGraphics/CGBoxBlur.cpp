#include "CoreGraphics/CGBoxBlur.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Rounded division of a window's sum by the window's length, as a multiply
// and shift so that the loops below vectorise. Exact while the sum times
// the length stays below 2^32, which every window of 8-bit samples shorter
// than 4096 keeps; longer ones divide.
struct WindowMean {
    explicit WindowMean(size_t length)
        : length(uint32_t(length)),
          half(uint32_t(length / 2)),
          factor((uint64_t(1) << 32) / length + 1),
          exact(length < 4096) {}
    uint8_t operator()(uint32_t sum) const {
        return uint8_t(exact ? (uint64_t(sum + half) * factor) >> 32 : (sum + half) / length);
    }
    uint32_t length;
    uint32_t half;
    uint64_t factor;
    bool exact;
};

// One box pass over count samples spaced step apart, through scratch.
void boxLine(uint8_t* line, size_t count, size_t step, size_t radius, const WindowMean& mean,
             std::vector<uint8_t>& scratch) {
    scratch.resize(count);
    for (size_t i = 0; i < count; ++i) {
        scratch[i] = line[i * step];
    }
    uint32_t sum = 0;
    // Running sum over [i - radius, i + radius], zeros outside.
    for (size_t i = 0; i < radius && i < count; ++i) {
        sum += scratch[i];
    }
    for (size_t i = 0; i < count; ++i) {
        if (i + radius < count) {
            sum += scratch[i + radius];
        }
        line[i * step] = mean(sum);
        if (i >= radius) {
            sum -= scratch[i - radius];
        }
    }
}

// sum[x] += in[x] over a row, or -= with subtract; apart from each other, so
// the compiler may take several bytes at a time.
void addRow(uint32_t* __restrict sum, const uint8_t* __restrict in, size_t count, bool subtract) {
    if (subtract) {
        for (size_t x = 0; x < count; ++x) {
            sum[x] -= in[x];
        }
    } else {
        for (size_t x = 0; x < count; ++x) {
            sum[x] += in[x];
        }
    }
}

void meanRow(uint8_t* __restrict out, const uint32_t* __restrict sum, size_t count,
             const WindowMean& mean) {
    if (mean.exact) {
        const uint32_t half = mean.half;
        const uint64_t factor = mean.factor;
        for (size_t x = 0; x < count; ++x) {
            out[x] = uint8_t((uint64_t(sum[x] + half) * factor) >> 32);
        }
    } else {
        for (size_t x = 0; x < count; ++x) {
            out[x] = mean(sum[x]);
        }
    }
}

// One box pass down every column at once, row after row, so that memory is
// read in order: a running sum per byte of a row.
void boxColumns(uint8_t* pixels, size_t rowBytes, size_t height, size_t stride, size_t radius,
                const WindowMean& mean, std::vector<uint8_t>& copy, std::vector<uint32_t>& sums) {
    copy.resize(rowBytes * height);
    for (size_t y = 0; y < height; ++y) {
        std::memcpy(copy.data() + y * rowBytes, pixels + y * stride, rowBytes);
    }
    sums.assign(rowBytes, 0);
    for (size_t y = 0; y < radius && y < height; ++y) {
        addRow(sums.data(), copy.data() + y * rowBytes, rowBytes, false);
    }
    for (size_t y = 0; y < height; ++y) {
        if (y + radius < height) {
            addRow(sums.data(), copy.data() + (y + radius) * rowBytes, rowBytes, false);
        }
        meanRow(pixels + y * stride, sums.data(), rowBytes, mean);
        if (y >= radius) {
            addRow(sums.data(), copy.data() + (y - radius) * rowBytes, rowBytes, true);
        }
    }
}

}  // namespace

void CGBoxBlurAlpha(uint8_t* pixels, size_t width, size_t height, size_t stride, size_t radius,
                    int passes) {
    CGBoxBlurChannels(pixels, width, height, stride, 1, radius, passes);
}

void CGBoxBlurChannels(uint8_t* pixels, size_t width, size_t height, size_t stride,
                       size_t bytesPerPixel, size_t radius, int passes) {
    if (radius == 0 || width == 0 || height == 0 || bytesPerPixel == 0) {
        return;
    }
    const WindowMean mean(2 * radius + 1);
    std::vector<uint8_t> scratch;
    std::vector<uint32_t> sums;
    // The channels are independent: each pass blurs them all across, then all down.
    for (int pass = 0; pass < passes; ++pass) {
        for (size_t channel = 0; channel < bytesPerPixel; ++channel) {
            for (size_t y = 0; y < height; ++y) {
                boxLine(pixels + y * stride + channel, width, bytesPerPixel, radius, mean, scratch);
            }
        }
        boxColumns(pixels, width * bytesPerPixel, height, stride, radius, mean, scratch, sums);
    }
}

size_t CGBoxBlurRadiusForSigma(double sigma) {
    if (!(sigma > 0)) {
        return 0;
    }
    // Three boxes of width w have variance 3 (w^2 - 1) / 12.
    const double w = std::sqrt(4 * sigma * sigma + 1);
    return size_t(std::lround((w - 1) / 2));
}
