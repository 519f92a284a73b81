#pragma once

#include <optional>
#include <vector>

#include "CoreGraphics/CGColor.h"
#include "CoreGraphics/CGGeometry.h"

enum CGGradientDrawingOptions : unsigned {
    kCGGradientDrawsBeforeStartLocation = 1u << 0,
    kCGGradientDrawsAfterEndLocation = 1u << 1,
};

// Colour stops between locations 0 and 1, in device RGB.
class CGGradient {
  public:
    struct Stop {
        CGFloat location;
        CGColor color;
    };

    // components holds componentsPerColor values per colour: 4 (RGBA) or 2
    // (grey and alpha). Without locations the colours are spread evenly from 0
    // to 1. nullopt for a count that does not match, fewer than one colour, or
    // locations outside 0...1.
    static std::optional<CGGradient> createWithColorComponents(
        const std::vector<CGFloat>& components, const std::vector<CGFloat>& locations = {},
        size_t componentsPerColor = 4);
    static std::optional<CGGradient> createWithColors(const std::vector<CGColor>& colors,
                                                      const std::vector<CGFloat>& locations = {});

    // In ascending location order.
    const std::vector<Stop>& stops() const { return stops_; }

  private:
    std::vector<Stop> stops_;
};
