#pragma once

#include <memory>

#include "UIKit/UIControl.h"
#include "app/CBNearbyMapInfo.h"

class UILabel;

// A button beyond the map's edge that names a neighbouring map: an arrow
// towards it, its name and its distance.
class CBMapSwitcherButton : public UIControl {
  public:
    static constexpr CGFloat kWidth = 72;
    static constexpr CGFloat kHeight = 62;

    // Builds the button with its labels (a view cannot add subviews while
    // it is being constructed).
    static std::shared_ptr<CBMapSwitcherButton> create(CBNearbyMapInfo info);
    explicit CBMapSwitcherButton(CBNearbyMapInfo info);

    const CBNearbyMapInfo& info() const { return info_; }
    // The arrow of an ornamentation direction.
    static const char* arrowForDirection(unsigned direction);

    void layoutSubviews() override;

  protected:
    void stateDidChange() override;

  private:
    CBNearbyMapInfo info_;
    std::shared_ptr<UILabel> arrowLabel_;
    std::shared_ptr<UILabel> nameLabel_;
    std::shared_ptr<UILabel> distanceLabel_;
};
