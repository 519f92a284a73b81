#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIColor.h"

// A set of style values for widgets of one style protocol; a widget takes
// every value of a trait of its own protocol.
class VADStyleTrait {
  public:
    static constexpr const char* kMaskedIconStyle = "VADMaskedIconStyle";

    explicit VADStyleTrait(std::string styleProtocol) : styleProtocol_(std::move(styleProtocol)) {}
    // A masked-icon trait: the colour, and white when highlighted.
    static std::shared_ptr<VADStyleTrait> iconTraitWithColor(const UIColor& color);

    const std::string& styleProtocol() const { return styleProtocol_; }
    const std::optional<UIColor>& color() const { return color_; }
    void setColor(std::optional<UIColor> color) { color_ = std::move(color); }
    const std::optional<UIColor>& highlightedColor() const { return highlightedColor_; }
    void setHighlightedColor(std::optional<UIColor> color) { highlightedColor_ = std::move(color); }

  private:
    std::string styleProtocol_;
    std::optional<UIColor> color_;
    std::optional<UIColor> highlightedColor_;
};
