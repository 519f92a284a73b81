#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "UIKit/UIView.h"
#include "app/CBNearbyMapInfo.h"

class CBMapSwitcherButton;

// The frame beyond one edge or corner of the map: a band that says "the map
// ends here", holding a switcher button for each neighbouring map that lies
// that way. It hangs outside the map by its anchor point; the ornamentation
// frame manager stretches an edge's band along the visible part of the edge.
class CBMapEdgeOrnamentView : public UIView {
  public:
    using SwitchAction = std::function<void(const CBNearbyMapInfo&)>;
    // How far the band reaches beyond the map.
    static constexpr CGFloat kThickness = 76;

    // The band with a switcher for each neighbour, as many as it holds.
    static std::shared_ptr<CBMapEdgeOrnamentView> create(
        unsigned direction, const std::vector<CBNearbyMapInfo>& neighbours, SwitchAction action);
    explicit CBMapEdgeOrnamentView(unsigned direction);

    unsigned direction() const { return direction_; }
    const std::vector<std::shared_ptr<CBMapSwitcherButton>>& switchers() const {
        return switchers_;
    }
    // How many neighbours an edge's band and a corner's band name.
    static size_t capacityForDirection(unsigned direction);

    void layoutSubviews() override;
    void drawRect(const CGRect& rect) override;

  private:
    unsigned direction_;
    std::vector<std::shared_ptr<CBMapSwitcherButton>> switchers_;
};
