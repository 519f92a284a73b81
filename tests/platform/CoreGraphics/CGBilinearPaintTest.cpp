#include "CoreGraphics/CGBilinearPaint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

Surface makeSurface(cairo_format_t format, int w, int h) {
    return Surface(cairo_image_surface_create(format, w, h), cairo_surface_destroy);
}

// Stripes, a translucent disc, a hole and an opaque edge: everything a
// filter can get wrong, with the image's own edges where it ends.
Surface makeImage() {
    Surface image = makeSurface(CAIRO_FORMAT_ARGB32, 150, 100);
    cairo_t* cr = cairo_create(image.get());
    cairo_set_source_rgba(cr, 0.9, 0.8, 0.7, 0.8);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.2, 0.5, 0.3);
    for (int i = 0; i < 15; ++i) {
        cairo_rectangle(cr, i * 10, i * 5, 3, 30);
    }
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 0, 0, 1, 0.3);
    cairo_arc(cr, 75, 50, 30, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_rectangle(cr, 0, 0, 150, 2);
    cairo_fill(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_rectangle(cr, 10, 70, 30, 20);
    cairo_fill(cr);
    cairo_destroy(cr);
    return image;
}

// A target half opaque blue, half transparent.
Surface makeTarget(cairo_format_t format = CAIRO_FORMAT_ARGB32) {
    Surface target = makeSurface(format, 240, 200);
    cairo_t* cr = cairo_create(target.get());
    cairo_set_source_rgb(cr, 0.3, 0.6, 0.9);
    cairo_rectangle(cr, 60, 0, 180, 200);
    cairo_fill(cr);
    cairo_destroy(cr);
    return target;
}

// The largest difference in a channel between two surfaces of one size.
int largestDifference(cairo_surface_t* a, cairo_surface_t* b) {
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    const int w = cairo_image_surface_get_width(a), h = cairo_image_surface_get_height(a);
    const int stride = cairo_image_surface_get_stride(a);
    int largest = 0;
    for (int y = 0; y < h; ++y) {
        const unsigned char* p = cairo_image_surface_get_data(a) + y * stride;
        const unsigned char* q = cairo_image_surface_get_data(b) + y * stride;
        for (int i = 0; i < w * 4; ++i) {
            largest = std::max(largest, std::abs(int(p[i]) - int(q[i])));
        }
    }
    return largest;
}

bool sameSurfaces(cairo_surface_t* a, cairo_surface_t* b) {
    return largestDifference(a, b) == 0;
}

void writeOnFailure(cairo_surface_t* surface, const std::string& name) {
    if (::testing::Test::HasFailure()) {
        cairo_surface_write_to_png(surface, ("CGBilinearPaintTest." + name + ".png").c_str());
    }
}

using Drawing = std::function<void(cairo_t*)>;

// Paints the image at (x, y) after `setup` once through cairo's bilinear
// filter and once through ours; expects both to look the same.
void expectLikeCairo(const Drawing& setup, double x, double y, const std::string& name) {
    Surface image = makeImage();
    Surface expected = makeTarget();
    Surface actual = makeTarget();
    cairo_t* cr = cairo_create(expected.get());
    setup(cr);
    cairo_set_source_surface(cr, image.get(), x, y);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_paint(cr);
    cairo_destroy(cr);
    cr = cairo_create(actual.get());
    setup(cr);
    EXPECT_TRUE(CGPaintImageSurfaceBilinear(cr, image.get(), x, y)) << name;
    cairo_destroy(cr);
    // Cairo weighs with 7 bits, we with 8.
    EXPECT_LE(largestDifference(expected.get(), actual.get()), 4) << name;
    writeOnFailure(actual.get(), name);
}

TEST(CGBilinearPaintTest, LooksLikeCairosBilinearFilterTurnedScaledAndMoved) {
    for (double degrees : {0.0, 3.0, 30.0, 45.0, 90.0, 137.0, 180.0, 300.0}) {
        expectLikeCairo(
            [&](cairo_t* cr) {
                cairo_translate(cr, 120.25, 95.5);
                cairo_rotate(cr, degrees * M_PI / 180);
            },
            -75.3, -50.8, "turned-" + std::to_string(int(degrees)));
    }
    expectLikeCairo(
        [](cairo_t* cr) {
            cairo_translate(cr, 20, 10);
            cairo_scale(cr, 1.3, 1.7);
            cairo_rotate(cr, 0.3);
        },
        0, 0, "scaled");
    expectLikeCairo([](cairo_t* cr) { cairo_scale(cr, 1, -1); }, 40.5, -150.5, "flipped");
}

TEST(CGBilinearPaintTest, DrawsOnlyInsideTheClipAndIntoGroupsWhereTheyLie) {
    const auto turned = [](cairo_t* cr) {
        cairo_translate(cr, 120, 100);
        cairo_rotate(cr, 0.4);
    };
    // Two rectangles of whole pixels.
    expectLikeCairo(
        [&](cairo_t* cr) {
            cairo_rectangle(cr, 10, 20, 100, 50);
            cairo_rectangle(cr, 130, 90, 60, 100);
            cairo_clip(cr);
            turned(cr);
        },
        -75, -50, "clipped");
    // A group covers only its clip, so its pixels are offset from the
    // target's.
    Surface image = makeImage();
    Surface expected = makeTarget();
    Surface actual = makeTarget();
    for (cairo_surface_t* target : {expected.get(), actual.get()}) {
        cairo_t* cr = cairo_create(target);
        cairo_rectangle(cr, 50, 40, 150, 120);
        cairo_clip(cr);
        cairo_push_group(cr);
        turned(cr);
        if (target == actual.get()) {
            EXPECT_TRUE(CGPaintImageSurfaceBilinear(cr, image.get(), -75, -50));
        } else {
            cairo_set_source_surface(cr, image.get(), -75, -50);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
            cairo_paint(cr);
        }
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, 0.7);
        cairo_destroy(cr);
    }
    EXPECT_LE(largestDifference(expected.get(), actual.get()), 4);
    writeOnFailure(actual.get(), "group");
}

TEST(CGBilinearPaintTest, LeavesToCairoWhatItCannotDrawAndTouchesNothing) {
    Surface image = makeImage();
    const auto declines = [&](const Drawing& setup, cairo_format_t format, const std::string& why) {
        Surface target = makeTarget(format);
        Surface untouched = makeTarget(format);
        cairo_t* cr = cairo_create(target.get());
        setup(cr);
        EXPECT_FALSE(CGPaintImageSurfaceBilinear(cr, image.get(), 0, 0)) << why;
        cairo_destroy(cr);
        EXPECT_TRUE(sameSurfaces(target.get(), untouched.get())) << why;
    };
    declines([](cairo_t*) {}, CAIRO_FORMAT_RGB24, "a target without alpha");
    declines([](cairo_t* cr) { cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE); },
             CAIRO_FORMAT_ARGB32, "another operator");
    declines([](cairo_t* cr) { cairo_scale(cr, 0, 1); }, CAIRO_FORMAT_ARGB32,
             "a transform without inverse");
    declines(
        [](cairo_t* cr) {
            cairo_rectangle(cr, 10.5, 10, 100, 100);
            cairo_clip(cr);
        },
        CAIRO_FORMAT_ARGB32, "a clip between pixels");
    declines(
        [](cairo_t* cr) {
            cairo_rotate(cr, 0.3);
            cairo_rectangle(cr, 10, 10, 100, 100);
            cairo_clip(cr);
        },
        CAIRO_FORMAT_ARGB32, "a turned clip");

    // A clip that leaves nothing is drawn: nothing.
    Surface target = makeTarget();
    Surface untouched = makeTarget();
    cairo_t* cr = cairo_create(target.get());
    cairo_rectangle(cr, 0, 0, 0, 0);
    cairo_clip(cr);
    EXPECT_TRUE(CGPaintImageSurfaceBilinear(cr, image.get(), 0, 0));
    cairo_destroy(cr);
    EXPECT_TRUE(sameSurfaces(target.get(), untouched.get()));
}

}  // namespace
