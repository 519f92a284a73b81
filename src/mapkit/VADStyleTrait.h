#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UIColor.h"

// The look of a masked icon. Unset colours draw nothing of their part; an
// icon with neither a colour nor gradient colours is filled black.
struct VADMaskedIconStyle {
    std::optional<UIColor> color;
    std::optional<UIColor> highlightedColor;  // unset: the normal fill
    std::vector<UIColor> gradientColors;      // top to bottom; wins over color
    std::optional<UIColor> outerGlowColor;
    CGFloat outerGlowRadius = 0;  // points
    std::optional<UIColor> innerGlowColor;
    CGFloat innerGlowRadius = 0;  // points

    bool operator==(const VADMaskedIconStyle&) const = default;
};

// A set of style values for widgets of one style protocol; a widget takes
// every value of a trait of its own protocol, the unset ones included.
class VADStyleTrait {
  public:
    static constexpr const char* kMaskedIconStyle = "VADMaskedIconStyle";

    explicit VADStyleTrait(std::string styleProtocol) : styleProtocol_(std::move(styleProtocol)) {}
    // A masked-icon trait: the colour, and white when highlighted.
    static std::shared_ptr<VADStyleTrait> iconTraitWithColor(const UIColor& color);

    const std::string& styleProtocol() const { return styleProtocol_; }
    const VADMaskedIconStyle& iconStyle() const { return iconStyle_; }

    const std::optional<UIColor>& color() const { return iconStyle_.color; }
    void setColor(std::optional<UIColor> color) { iconStyle_.color = std::move(color); }
    const std::optional<UIColor>& highlightedColor() const { return iconStyle_.highlightedColor; }
    void setHighlightedColor(std::optional<UIColor> color) {
        iconStyle_.highlightedColor = std::move(color);
    }
    void setGradientColors(std::vector<UIColor> colors) {
        iconStyle_.gradientColors = std::move(colors);
    }
    void setOuterGlowColor(std::optional<UIColor> color) {
        iconStyle_.outerGlowColor = std::move(color);
    }
    void setOuterGlowRadius(CGFloat radius) { iconStyle_.outerGlowRadius = radius; }
    void setInnerGlowColor(std::optional<UIColor> color) {
        iconStyle_.innerGlowColor = std::move(color);
    }
    void setInnerGlowRadius(CGFloat radius) { iconStyle_.innerGlowRadius = radius; }

  private:
    std::string styleProtocol_;
    VADMaskedIconStyle iconStyle_;
};
