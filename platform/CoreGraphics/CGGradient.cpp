#include "CoreGraphics/CGGradient.h"

#include <algorithm>

std::optional<CGGradient> CGGradient::createWithColors(const std::vector<CGColor>& colors,
                                                       const std::vector<CGFloat>& locations) {
    if (colors.empty() || (!locations.empty() && locations.size() != colors.size())) {
        return std::nullopt;
    }
    CGGradient gradient;
    for (size_t i = 0; i < colors.size(); ++i) {
        CGFloat location = 0;
        if (!locations.empty()) {
            location = locations[i];
        } else if (colors.size() > 1) {
            location = CGFloat(i) / CGFloat(colors.size() - 1);
        }
        if (!(location >= 0 && location <= 1)) {
            return std::nullopt;
        }
        gradient.stops_.push_back({location, colors[i]});
    }
    std::stable_sort(gradient.stops_.begin(), gradient.stops_.end(),
                     [](const Stop& a, const Stop& b) { return a.location < b.location; });
    return gradient;
}

std::optional<CGGradient> CGGradient::createWithColorComponents(
    const std::vector<CGFloat>& components, const std::vector<CGFloat>& locations,
    size_t componentsPerColor) {
    if ((componentsPerColor != 4 && componentsPerColor != 2) ||
        components.size() % componentsPerColor != 0) {
        return std::nullopt;
    }
    std::vector<CGColor> colors;
    for (size_t i = 0; i < components.size(); i += componentsPerColor) {
        if (componentsPerColor == 4) {
            colors.push_back(CGColorCreateGenericRGB(components[i], components[i + 1],
                                                     components[i + 2], components[i + 3]));
        } else {
            colors.push_back(CGColorCreateGenericGray(components[i], components[i + 1]));
        }
    }
    return createWithColors(colors, locations);
}
