#include "CoreGraphics/CGBoxBlur.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// Rounded division of a window's sum by the window's length, as a multiply
// and shift. Exact while the sum times
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

// One row of a pass down the columns: the window's sums take in the row
// entering, give the row's means, then let go of the row leaving.
void stepRow(uint8_t* __restrict out, uint32_t* __restrict sums, const uint8_t* entering,
             const uint8_t* leaving, size_t count, const WindowMean& mean) {
    for (size_t x = 0; x < count; ++x) {
        const uint32_t sum = sums[x] + entering[x];
        out[x] = mean(sum);
        sums[x] = sum - leaving[x];
    }
}

#if defined(__x86_64__)

#define CG_AVX2 __attribute__((target("avx2")))

// stepRow eight samples at a time. The mean divides in single precision:
// a sum below 2^24 is exact there, and a quotient short of a whole number
// by at least 1 / length never rounds up to it, so the means are the same.
CG_AVX2 void stepRowAVX2(uint8_t* out, uint32_t* sums, const uint8_t* entering,
                         const uint8_t* leaving, size_t count, const WindowMean& mean) {
    const __m256 length = _mm256_set1_ps(float(mean.length));
    const __m256i half = _mm256_set1_epi32(int(mean.half));
    const __m256i firstDwords = _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0);
    size_t x = 0;
    for (; x + 8 <= count; x += 8) {
        auto* at = reinterpret_cast<__m256i*>(sums + x);
        __m256i sum = _mm256_add_epi32(
            _mm256_loadu_si256(at),
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(entering + x))));
        __m256i means = _mm256_cvttps_epi32(
            _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(sum, half)), length));
        // Down to bytes: each half of the register packs its four means
        // into its first four bytes.
        means = _mm256_packus_epi32(means, means);
        means = _mm256_packus_epi16(means, means);
        means = _mm256_permutevar8x32_epi32(means, firstDwords);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm256_castsi256_si128(means));
        sum = _mm256_sub_epi32(
            sum,
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(leaving + x))));
        _mm256_storeu_si256(at, sum);
    }
    stepRow(out + x, sums + x, entering + x, leaving + x, count - x, mean);
}

bool hasAVX2() {
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported;
}

#endif

// One box pass down every column at once, row after row, so that memory is
// read in order: a running sum per byte of a row. The copy keeps the rows
// as they were before the pass, and a row of zeros after them for the
// window's parts beyond the edges.
void boxColumns(uint8_t* pixels, size_t rowBytes, size_t height, size_t stride, size_t radius,
                const WindowMean& mean, std::vector<uint8_t>& copy, std::vector<uint32_t>& sums) {
    copy.resize(rowBytes * (height + 1));
    for (size_t y = 0; y < height; ++y) {
        std::memcpy(copy.data() + y * rowBytes, pixels + y * stride, rowBytes);
    }
    const uint8_t* zeros = copy.data() + height * rowBytes;
    std::memset(copy.data() + height * rowBytes, 0, rowBytes);
    sums.assign(rowBytes, 0);
    for (size_t y = 0; y < radius && y < height; ++y) {
        const uint8_t* row = copy.data() + y * rowBytes;
        for (size_t x = 0; x < rowBytes; ++x) {
            sums[x] += row[x];
        }
    }
#if defined(__x86_64__)
    const bool wide = mean.exact && hasAVX2();
#endif
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* entering =
            y + radius < height ? copy.data() + (y + radius) * rowBytes : zeros;
        const uint8_t* leaving = y >= radius ? copy.data() + (y - radius) * rowBytes : zeros;
#if defined(__x86_64__)
        if (wide) {
            stepRowAVX2(pixels + y * stride, sums.data(), entering, leaving, rowBytes, mean);
            continue;
        }
#endif
        stepRow(pixels + y * stride, sums.data(), entering, leaving, rowBytes, mean);
    }
}

#if defined(__x86_64__)

// Eight rows of eight bytes turned over their diagonal, through interleaving
// steps of one, two and four bytes.
void transposeBlock(const uint8_t* in, size_t inStride, uint8_t* out, size_t outStride) {
    __m128i rows[8];
    for (size_t i = 0; i < 8; ++i) {
        rows[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i * inStride));
    }
    const __m128i pairs01 = _mm_unpacklo_epi8(rows[0], rows[1]);
    const __m128i pairs23 = _mm_unpacklo_epi8(rows[2], rows[3]);
    const __m128i pairs45 = _mm_unpacklo_epi8(rows[4], rows[5]);
    const __m128i pairs67 = _mm_unpacklo_epi8(rows[6], rows[7]);
    const __m128i quads0123Low = _mm_unpacklo_epi16(pairs01, pairs23);
    const __m128i quads0123High = _mm_unpackhi_epi16(pairs01, pairs23);
    const __m128i quads4567Low = _mm_unpacklo_epi16(pairs45, pairs67);
    const __m128i quads4567High = _mm_unpackhi_epi16(pairs45, pairs67);
    const __m128i columns[4] = {_mm_unpacklo_epi32(quads0123Low, quads4567Low),
                                _mm_unpackhi_epi32(quads0123Low, quads4567Low),
                                _mm_unpacklo_epi32(quads0123High, quads4567High),
                                _mm_unpackhi_epi32(quads0123High, quads4567High)};
    for (size_t i = 0; i < 4; ++i) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * i * outStride), columns[i]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (2 * i + 1) * outStride),
                         _mm_unpackhi_epi64(columns[i], columns[i]));
    }
}

#endif

// Writes the plane of `rows` rows of `columns` elements of T turned over
// its diagonal: element (x, y) goes to (y, x). Tile by tile, so that both
// sides are read and written a cache line at a time.
template <class T>
void transpose(const uint8_t* in, size_t inStride, size_t columns, size_t rows, uint8_t* out,
               size_t outStride) {
    constexpr size_t kTile = 32;
    for (size_t y0 = 0; y0 < rows; y0 += kTile) {
        const size_t y1 = std::min(rows, y0 + kTile);
        for (size_t x0 = 0; x0 < columns; x0 += kTile) {
            const size_t x1 = std::min(columns, x0 + kTile);
            size_t y = y0;
#if defined(__x86_64__)
            if constexpr (sizeof(T) == 1) {
                for (; y + 8 <= y1; y += 8) {
                    size_t x = x0;
                    for (; x + 8 <= x1; x += 8) {
                        transposeBlock(in + y * inStride + x, inStride, out + x * outStride + y,
                                       outStride);
                    }
                    for (size_t row = y; row < y + 8; ++row) {
                        for (size_t column = x; column < x1; ++column) {
                            out[column * outStride + row] = in[row * inStride + column];
                        }
                    }
                }
            }
#endif
            for (; y < y1; ++y) {
                const T* from = reinterpret_cast<const T*>(in + y * inStride);
                for (size_t x = x0; x < x1; ++x) {
                    std::memcpy(out + x * outStride + y * sizeof(T), from + x, sizeof(T));
                }
            }
        }
    }
}

// Blurs across through the plane turned over, where the rows' samples lie
// down a column and every column goes at once: the pass down the columns
// vectorises, the one along a row cannot.
template <class T>
void boxRowsTurned(uint8_t* pixels, size_t width, size_t height, size_t stride, size_t radius,
                   const WindowMean& mean, std::vector<uint8_t>& turned, std::vector<uint8_t>& copy,
                   std::vector<uint32_t>& sums) {
    const size_t turnedStride = height * sizeof(T);
    turned.resize(turnedStride * width);
    transpose<T>(pixels, stride, width, height, turned.data(), turnedStride);
    boxColumns(turned.data(), turnedStride, width, turnedStride, radius, mean, copy, sums);
    transpose<T>(turned.data(), turnedStride, height, width, pixels, stride);
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
    std::vector<uint8_t> turned;
    std::vector<uint32_t> sums;
    // The channels are independent: each pass blurs them all across, then all down.
    for (int pass = 0; pass < passes; ++pass) {
        if (bytesPerPixel == 1) {
            boxRowsTurned<uint8_t>(pixels, width, height, stride, radius, mean, turned, scratch,
                                   sums);
        } else if (bytesPerPixel == 4) {
            boxRowsTurned<uint32_t>(pixels, width, height, stride, radius, mean, turned, scratch,
                                    sums);
        } else {
            for (size_t channel = 0; channel < bytesPerPixel; ++channel) {
                for (size_t y = 0; y < height; ++y) {
                    boxLine(pixels + y * stride + channel, width, bytesPerPixel, radius, mean,
                            scratch);
                }
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
