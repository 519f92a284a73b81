#pragma once

#include <memory>

#include "UIKit/UIView.h"

class CBCoordinatePath;
class CBMapScrollView;
class CBWikipediaWalkProgressView;
class UILabel;

// The header of a walk's guide screen: a small map that takes no touches
// with the route drawn on it, the walk's title, its statistics line and a
// compact track of its stops. The guide screen fills the labels, gives the
// map its package and the stops' distances, and asks for the route.
class CBWikipediaWalkHeaderView : public UIView {
  public:
    // Its height: the map, the two lines and the track.
    static constexpr CGFloat kContentHeight = 224;

    // The header with its map and labels; the constructor alone leaves them out.
    static std::shared_ptr<CBWikipediaWalkHeaderView> create(const CGRect& frame);
    explicit CBWikipediaWalkHeaderView(const CGRect& frame) : UIView(frame) {}

    const std::shared_ptr<UIView>& mapContainerView() const { return mapContainerView_; }
    const std::shared_ptr<CBMapScrollView>& mapScrollView() const { return mapScrollView_; }
    const std::shared_ptr<UILabel>& labelTitle() const { return labelTitle_; }
    const std::shared_ptr<UILabel>& labelStats() const { return labelStats_; }
    // Below the statistics, untouchable, drawn flat in grey and white.
    const std::shared_ptr<CBWikipediaWalkProgressView>& walkProgressView() const {
        return walkProgressView_;
    }

    // Draws the route over the map and, on a later turn of the run loop,
    // frames it half as large again. A route without a place (no segment, or
    // no coordinate) is drawn but not framed.
    void highlightCoordinatePath(const std::shared_ptr<CBCoordinatePath>& path);

  private:
    void setupView();

    std::shared_ptr<UIView> mapContainerView_;
    std::shared_ptr<CBMapScrollView> mapScrollView_;
    std::shared_ptr<UILabel> labelTitle_;
    std::shared_ptr<UILabel> labelStats_;
    std::shared_ptr<CBWikipediaWalkProgressView> walkProgressView_;
};
