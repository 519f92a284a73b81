#pragma once

#include "mapkit/CBAnnotationView.h"

// The drawn map pin used when a screen supplies no view of its own: a
// needle whose foot stands on the coordinate, with a round coloured head.
class CBPinAnnotationView : public CBAnnotationView {
  public:
    static constexpr const char* kDefaultReuseIdentifier = "defaultPin";

    CBPinAnnotationView(CBAnnotationRef annotation, std::optional<std::string> reuseIdentifier);

    static UIColor defaultHeadColor();
    const UIColor& headColor() const { return headColor_; }
    // nullopt selects the default green.
    void setHeadColor(const std::optional<UIColor>& color);

    void drawRect(const CGRect& rect) override;

  private:
    UIColor headColor_;
};
