#pragma once

#include <cstdint>

// A glyph index in a font. Wider than the platform's 16 bits so that the
// shaper's ids pass through unchanged.
using CGGlyph = uint32_t;
