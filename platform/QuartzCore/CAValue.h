#pragma once

#include <optional>
#include <variant>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGColor.h"
#include "CoreGraphics/CGGeometry.h"

// A value an animation carries: a number, a point, a size, a rectangle, a
// transform or a colour.
using CAValue = std::variant<CGFloat, CGPoint, CGSize, CGRect, CGAffineTransform, CGColor>;

// The value t of the way from a to b (t may leave 0...1 for springs).
// Transforms are interpolated by their translation, scale and rotation;
// values of different kinds jump to b at the end.
CAValue CAValueInterpolate(const CAValue& a, const CAValue& b, CGFloat t);
// a + b, for additive and by-value animations; b when the kinds differ.
CAValue CAValueAdd(const CAValue& a, const CAValue& b);
