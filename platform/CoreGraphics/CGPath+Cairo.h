#pragma once

#include <cairo.h>

#include "CoreGraphics/CGPath.h"

// Replays the path into a cairo context's current path, in its user space.
// Quadratic curves become the equivalent cubic ones.
void CGPathAppendToCairo(const CGPath& path, cairo_t* cr);
