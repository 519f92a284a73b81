#pragma once

#include <cstddef>
#include <cstdint>

// Blurs an 8-bit alpha plane in place with `passes` box filters of 2 * radius
// + 1 samples per axis; three passes come close to a Gaussian. Outside the
// plane counts as transparent. Used for shadows.
void CGBoxBlurAlpha(uint8_t* pixels, size_t width, size_t height, size_t stride, size_t radius,
                    int passes);

// The same over every channel of interleaved pixels (ARGB32: 4 bytes a
// pixel), each channel blurred on its own.
void CGBoxBlurChannels(uint8_t* pixels, size_t width, size_t height, size_t stride,
                       size_t bytesPerPixel, size_t radius, int passes);

// The box radius whose three passes approximate a Gaussian of the given
// standard deviation.
size_t CGBoxBlurRadiusForSigma(double sigma);
