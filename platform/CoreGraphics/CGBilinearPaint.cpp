#include "CoreGraphics/CGBilinearPaint.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// A premultiplied ARGB pixel spread over four 16-bit lanes (blue, red,
// green, alpha), so that one multiplication weighs every channel.
constexpr uint64_t kLanes = 0x00ff00ff00ff00ffULL;
constexpr uint64_t kLaneHalves = 0x0080008000800080ULL;

inline uint64_t spread(uint32_t pixel) {
    return (pixel & 0x00ff00ffU) | (uint64_t(pixel & 0xff00ff00U) << 24);
}

inline uint32_t gather(uint64_t lanes) {
    return uint32_t(lanes & 0x00ff00ffU) | uint32_t((lanes >> 24) & 0xff00ff00U);
}

struct Image {
    const unsigned char* data;
    long width;
    long height;
    size_t stride;

    const uint32_t* row(long y) const {
        return reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
    }
    uint32_t at(long x, long y) const {
        return x < 0 || y < 0 || x >= width || y >= height ? 0 : row(y)[x];
    }
};

// The four pixels from (x, y) to (x + 1, y + 1) weighed by the fractions fx
// and fy (of 256) of the way to the right and down.
inline uint32_t sample(const Image& image, long x, long y, unsigned fx, unsigned fy) {
    uint32_t p00, p01, p10, p11;
    if (x >= 0 && y >= 0 && x + 1 < image.width && y + 1 < image.height) {
        const uint32_t* top = image.row(y) + x;
        const uint32_t* bottom = image.row(y + 1) + x;
        p00 = top[0];
        p01 = top[1];
        p10 = bottom[0];
        p11 = bottom[1];
    } else {
        p00 = image.at(x, y);
        p01 = image.at(x + 1, y);
        p10 = image.at(x, y + 1);
        p11 = image.at(x + 1, y + 1);
    }
    // The weights add up to 256, so no lane exceeds 255 x 256.
    const unsigned w11 = (fx * fy + 128) >> 8;
    const unsigned w01 = fx - w11;
    const unsigned w10 = fy - w11;
    const unsigned w00 = 256 - fx - fy + w11;
    const uint64_t sum =
        spread(p00) * w00 + spread(p01) * w01 + spread(p10) * w10 + spread(p11) * w11;
    return gather(((sum + kLaneHalves) >> 8) & kLanes);
}

inline uint32_t over(uint32_t source, uint32_t destination) {
    const unsigned alpha = source >> 24;
    if (alpha == 255) {
        return source;
    }
    if (alpha == 0) {
        return destination;
    }
    // destination x (255 - alpha) / 255, rounded, in every lane.
    uint64_t t = spread(destination) * (255 - alpha) + kLaneHalves;
    t = ((t + ((t >> 8) & kLanes)) >> 8) & kLanes;
    return source + gather(t);
}

// One row of device pixels from image position (fu, fv), moving by (stepU,
// stepV) a pixel, in 16.16 fixed point.
void paintRow(const Image& source, uint32_t* out, long count, int64_t fu, int64_t fv, int64_t stepU,
              int64_t stepV) {
    for (long i = 0; i < count; ++i, fu += stepU, fv += stepV) {
        const uint32_t pixel = sample(source, long(fu >> 16), long(fv >> 16),
                                      unsigned(fu >> 8) & 0xff, unsigned(fv >> 8) & 0xff);
        if (pixel) {
            out[i] = over(pixel, out[i]);
        }
    }
}

#if defined(__x86_64__)

#define CG_AVX2 __attribute__((target("avx2")))

// Adds eight pixels weighed by their weights (of 256) to the sums of their
// blue and red, and green and alpha channels, in 16-bit lanes.
CG_AVX2 inline void weigh(__m256i pixels, __m256i weight, __m256i& rb, __m256i& ag) {
    const __m256i lanes = _mm256_set1_epi32(0x00ff00ff);
    const __m256i both = _mm256_or_si256(weight, _mm256_slli_epi32(weight, 16));
    rb = _mm256_add_epi16(rb, _mm256_mullo_epi16(_mm256_and_si256(pixels, lanes), both));
    ag = _mm256_add_epi16(
        ag, _mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi32(pixels, 8), lanes), both));
}

// Channels in 16-bit lanes times factor / 255, rounded (factor in both
// halves of each 32-bit lane).
CG_AVX2 inline __m256i scaled(__m256i channels, __m256i factor) {
    __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(channels, factor), _mm256_set1_epi16(0x80));
    t = _mm256_add_epi16(t, _mm256_srli_epi16(t, 8));
    return _mm256_srli_epi16(t, 8);
}

// paintRow eight pixels at a time where all four neighbours of each lie in
// the image (the others go through paintRow); the same arithmetic in 16-bit
// lanes, so the pixels are the same.
CG_AVX2 void paintRowAVX2(const Image& source, uint32_t* out, long count, int64_t fu, int64_t fv,
                          int64_t stepU, int64_t stepV) {
    // Positions stay in 32-bit lanes only while they fit.
    const int64_t limit = int64_t(1) << 30;
    const int64_t endU = fu + stepU * count, endV = fv + stepV * count;
    if (std::abs(fu) >= limit || std::abs(fv) >= limit || std::abs(endU) >= limit ||
        std::abs(endV) >= limit || source.stride % 4 != 0 ||
        int64_t(source.stride / 4) * source.height >= limit) {
        paintRow(source, out, count, fu, fv, stepU, stepV);
        return;
    }
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i lanesU = _mm256_mullo_epi32(lane, _mm256_set1_epi32(int(stepU)));
    const __m256i lanesV = _mm256_mullo_epi32(lane, _mm256_set1_epi32(int(stepV)));
    const __m256i lastX = _mm256_set1_epi32(int(source.width - 1));
    const __m256i lastY = _mm256_set1_epi32(int(source.height - 1));
    const __m256i minusOne = _mm256_set1_epi32(-1);
    const __m256i rowPixels = _mm256_set1_epi32(int(source.stride / 4));
    const __m256i byteMask = _mm256_set1_epi32(0xff);
    const __m256i lanes = _mm256_set1_epi32(0x00ff00ff);
    const __m256i halves = _mm256_set1_epi16(0x80);
    const __m256i full = _mm256_set1_epi32(256);
    const auto* base = reinterpret_cast<const int*>(source.data);
    long i = 0;
    for (; i + 8 <= count; i += 8) {
        const int64_t u = fu + stepU * i, v = fv + stepV * i;
        const __m256i U = _mm256_add_epi32(_mm256_set1_epi32(int(u)), lanesU);
        const __m256i V = _mm256_add_epi32(_mm256_set1_epi32(int(v)), lanesV);
        const __m256i x = _mm256_srai_epi32(U, 16), y = _mm256_srai_epi32(V, 16);
        const __m256i inside = _mm256_and_si256(
            _mm256_and_si256(_mm256_cmpgt_epi32(x, minusOne), _mm256_cmpgt_epi32(lastX, x)),
            _mm256_and_si256(_mm256_cmpgt_epi32(y, minusOne), _mm256_cmpgt_epi32(lastY, y)));
        if (_mm256_movemask_epi8(inside) != -1) {
            paintRow(source, out + i, 8, u, v, stepU, stepV);
            continue;
        }
        const __m256i fx = _mm256_and_si256(_mm256_srai_epi32(U, 8), byteMask);
        const __m256i fy = _mm256_and_si256(_mm256_srai_epi32(V, 8), byteMask);
        const __m256i w11 = _mm256_srli_epi32(
            _mm256_add_epi32(_mm256_mullo_epi16(fx, fy), _mm256_set1_epi32(128)), 8);
        const __m256i w01 = _mm256_sub_epi32(fx, w11);
        const __m256i w10 = _mm256_sub_epi32(fy, w11);
        const __m256i w00 = _mm256_add_epi32(_mm256_sub_epi32(_mm256_sub_epi32(full, fx), fy), w11);
        const __m256i index = _mm256_add_epi32(_mm256_mullo_epi32(y, rowPixels), x);
        const __m256i below = _mm256_add_epi32(index, rowPixels);
        __m256i rb = _mm256_setzero_si256(), ag = _mm256_setzero_si256();
        weigh(_mm256_i32gather_epi32(base, index, 4), w00, rb, ag);
        weigh(_mm256_i32gather_epi32(base + 1, index, 4), w01, rb, ag);
        weigh(_mm256_i32gather_epi32(base, below, 4), w10, rb, ag);
        weigh(_mm256_i32gather_epi32(base + 1, below, 4), w11, rb, ag);
        rb = _mm256_srli_epi16(_mm256_add_epi16(rb, halves), 8);
        ag = _mm256_srli_epi16(_mm256_add_epi16(ag, halves), 8);
        const __m256i pixel = _mm256_or_si256(rb, _mm256_slli_epi32(ag, 8));
        auto* target = reinterpret_cast<__m256i*>(out + i);
        const __m256i alpha = _mm256_srli_epi32(pixel, 24);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, byteMask)) == -1) {
            _mm256_storeu_si256(target, pixel);
            continue;
        }
        // Over: destination x (255 - alpha) / 255, rounded, plus the pixel.
        const __m256i destination = _mm256_loadu_si256(target);
        const __m256i rest = _mm256_sub_epi32(byteMask, alpha);
        const __m256i both = _mm256_or_si256(rest, _mm256_slli_epi32(rest, 16));
        const __m256i kept = _mm256_or_si256(
            scaled(_mm256_and_si256(destination, lanes), both),
            _mm256_slli_epi32(
                scaled(_mm256_and_si256(_mm256_srli_epi32(destination, 8), lanes), both), 8));
        _mm256_storeu_si256(target, _mm256_add_epi32(pixel, kept));
    }
    paintRow(source, out + i, count - i, fu + stepU * i, fv + stepV * i, stepU, stepV);
}

bool hasAVX2() {
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported;
}

#endif

// The pixels i of a row, from 0 to count, whose sample may touch the
// image: the position start + i * step (16.16) lies within a pixel of the
// image's 0...size, in [lo, hi). A pixel more each way is kept, since the
// pixels there sample nothing and are left as they are.
void spanTouching(int64_t start, int64_t step, long size, long count, long& lo, long& hi) {
    const double low = -65536.0 - double(start);
    const double high = double(int64_t(size) << 16) - double(start);
    if (step == 0) {
        if (low > 0 || high <= 0) {
            hi = lo;
        }
        return;
    }
    const double a = low / double(step), b = high / double(step);
    lo = std::max(lo, long(std::max(-1.0, std::floor(std::min(a, b)))) - 1);
    hi = std::min(hi, long(std::min(double(count) + 1, std::ceil(std::max(a, b)))) + 1);
}

bool isARGB32Image(cairo_surface_t* surface) {
    return cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE &&
           cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
}

}  // namespace

bool CGPaintImageSurfaceBilinear(cairo_t* cr, cairo_surface_t* image, double x, double y) {
    cairo_surface_t* target = cairo_get_group_target(cr);
    if (!isARGB32Image(target) || !isARGB32Image(image) ||
        cairo_get_operator(cr) != CAIRO_OPERATOR_OVER) {
        return false;
    }
    double scaleX, scaleY, offsetX, offsetY;
    cairo_surface_get_device_scale(target, &scaleX, &scaleY);
    cairo_surface_get_device_offset(target, &offsetX, &offsetY);
    if (scaleX != 1 || scaleY != 1 || offsetX != std::round(offsetX) ||
        offsetY != std::round(offsetY)) {
        return false;
    }
    // Device pixels to the image's pixels.
    cairo_matrix_t toImage;
    cairo_get_matrix(cr, &toImage);
    if (cairo_matrix_invert(&toImage) != CAIRO_STATUS_SUCCESS) {
        return false;
    }
    toImage.x0 -= x;
    toImage.y0 -= y;
    const long targetWidth = cairo_image_surface_get_width(target);
    const long targetHeight = cairo_image_surface_get_height(target);
    // The clip in device pixels, bounded by the target (without a clip of its
    // own, cairo cannot list the clip as rectangles).
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_rectangle(cr, -offsetX, -offsetY, double(targetWidth), double(targetHeight));
    cairo_clip(cr);
    cairo_rectangle_list_t* clip = cairo_copy_clip_rectangle_list(cr);
    cairo_restore(cr);
    if (clip->status != CAIRO_STATUS_SUCCESS) {
        cairo_rectangle_list_destroy(clip);
        return false;
    }
    for (int i = 0; i < clip->num_rectangles; ++i) {
        const cairo_rectangle_t& r = clip->rectangles[i];
        if (r.x != std::round(r.x) || r.y != std::round(r.y) || r.width != std::round(r.width) ||
            r.height != std::round(r.height)) {
            cairo_rectangle_list_destroy(clip);
            return false;
        }
    }
    cairo_surface_flush(target);
    cairo_surface_flush(image);
    const Image source{cairo_image_surface_get_data(image), cairo_image_surface_get_width(image),
                       cairo_image_surface_get_height(image),
                       size_t(cairo_image_surface_get_stride(image))};
    unsigned char* pixels = cairo_image_surface_get_data(target);
    const size_t stride = size_t(cairo_image_surface_get_stride(target));
    // Image positions in 16.16 fixed point along a row of device pixels.
    const auto fixed = [](double v) { return int64_t(std::llround(v * 65536)); };
    const int64_t stepU = fixed(toImage.xx), stepV = fixed(toImage.yx);
    for (int i = 0; i < clip->num_rectangles; ++i) {
        const cairo_rectangle_t& r = clip->rectangles[i];
        const long x0 = long(r.x), y0 = long(r.y);
        const long x1 = x0 + long(r.width), y1 = y0 + long(r.height);
        for (long row = y0; row < y1; ++row) {
            // The middle of the row's first pixel, less half a pixel: the
            // pixel whose middle lies up and left of it weighs most.
            double u = x0 + 0.5, v = row + 0.5;
            cairo_matrix_transform_point(&toImage, &u, &v);
            const int64_t fu = fixed(u - 0.5), fv = fixed(v - 0.5);
            // Only the part of the row the image lands on.
            long lo = 0, hi = x1 - x0;
            spanTouching(fu, stepU, source.width, x1 - x0, lo, hi);
            spanTouching(fv, stepV, source.height, x1 - x0, lo, hi);
            if (lo >= hi) {
                continue;
            }
            auto* out = reinterpret_cast<uint32_t*>(pixels + size_t(row + long(offsetY)) * stride) +
                        long(offsetX) + x0 + lo;
            const int64_t startU = fu + stepU * lo, startV = fv + stepV * lo;
#if defined(__x86_64__)
            if (hasAVX2()) {
                paintRowAVX2(source, out, hi - lo, startU, startV, stepU, stepV);
                continue;
            }
#endif
            paintRow(source, out, hi - lo, startU, startV, stepU, stepV);
        }
        cairo_surface_mark_dirty_rectangle(target, x0, y0, int(r.width), int(r.height));
    }
    cairo_rectangle_list_destroy(clip);
    return true;
}
