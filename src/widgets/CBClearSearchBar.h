#pragma once

#include <memory>

#include "UIKit/UISearchBar.h"

class UIActivityIndicatorView;

// A search bar that is clear behind its field, over a map or in a
// navigation bar, with a spinner at the field's right while a search runs:
// the map screen's, the catalogue's and the world map's.
class CBClearSearchBar : public UISearchBar {
  public:
    static std::shared_ptr<CBClearSearchBar> initWithBackground();
    explicit CBClearSearchBar(const CGRect& frame = CGRectMake(0, 0, 320, 44));

    bool isLoading() const { return loading_; }
    void setLoading(bool loading);
    void layoutSubviews() override;

  private:
    std::shared_ptr<UIActivityIndicatorView> spinner_;
    bool loading_ = false;
};
