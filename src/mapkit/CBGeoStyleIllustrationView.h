#pragma once

#include <memory>

#include "UIKit/UIView.h"
#include "mapkit/CBGeoStyle.h"

// A swatch of one map style: a horizontal line through the middle for line
// styles, the whole rectangle for styles with a fill colour. Setting the
// style does not redraw; the owner calls setNeedsDisplay.
class CBGeoStyleIllustrationView : public UIView {
  public:
    using UIView::UIView;

    const std::shared_ptr<CBGeoStyle>& style() const { return style_; }
    void setStyle(const std::shared_ptr<CBGeoStyle>& style) { style_ = style; }

    void drawRect(const CGRect& rect) override;

  private:
    std::shared_ptr<CBGeoStyle> style_;
};
