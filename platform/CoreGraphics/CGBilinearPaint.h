#pragma once

#include <cairo.h>

// Paints an ARGB32 image surface whose top-left corner lies at (x, y) in the
// user space of cr, through cr's transform, filtered bilinearly (outside the
// image counts as transparent), over what the target holds, within cr's
// clip. The pixels match cairo's bilinear filter to within 4 of 255 in a
// channel (its weights have 7 bits, these 8); cairo's general sampler costs
// about three times as much per pixel of a turned image, which is what this
// is for. Where the processor has AVX2, eight pixels go at a time.
//
// Draws nothing and answers false where it does not apply: a target that is
// not an ARGB32 image of device scale 1, another operator than OVER, a
// transform that cannot be inverted, or a clip that is not made of
// rectangles on whole device pixels. The caller then paints through cairo.
bool CGPaintImageSurfaceBilinear(cairo_t* cr, cairo_surface_t* image, double x, double y);
