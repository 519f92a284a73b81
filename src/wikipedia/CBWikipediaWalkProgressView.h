#pragma once

#include <memory>
#include <vector>

#include "UIKit/UIColor.h"
#include "UIKit/UIView.h"

class CBWikipediaWalkProgressView;
class UIGestureRecognizer;

// The index of no stop (the phone's NSNotFound of a 32-bit index).
inline constexpr long kWalkStopNotFound = 2147483647;

// Told of the stop under the finger and of the stop where it was lifted.
class CBWikipediaWalkProgressViewDelegate {
  public:
    virtual ~CBWikipediaWalkProgressViewDelegate() = default;
    // index may be kWalkStopNotFound.
    virtual void walkProgressViewChangedHighlightedIndex(CBWikipediaWalkProgressView& view,
                                                         long index) = 0;
    // The stop under the lifted finger, or kWalkStopNotFound.
    virtual void walkProgressViewDidSelectIndex(CBWikipediaWalkProgressView& view, long index) = 0;
};

// A walk as a straight horizontal track with a round mark per stop, placed
// by its distance along the walk. The walked part of the track has one
// colour, the part ahead another; one stop may be the current one and one
// highlighted. Dragging along the track highlights the nearest stop, and
// lifting the finger selects it.
class CBWikipediaWalkProgressView : public UIView {
  public:
    // The slack above and below the view in which a touch still finds a stop.
    static constexpr CGFloat kTouchSlack = 30;

    explicit CBWikipediaWalkProgressView(const CGRect& frame = CGRectZero);
    // Made with its gestures (they hold the view weakly).
    static std::shared_ptr<CBWikipediaWalkProgressView> create(const CGRect& frame = CGRectZero);

    // Metres of each stop from the walk's start; the last is the track's length.
    const std::vector<double>& cumulatedDistancesForStops() const { return distances_; }
    void setCumulatedDistancesForStops(std::vector<double> distances);
    long indexOfCurrentStop() const { return indexOfCurrentStop_; }
    void setIndexOfCurrentStop(long index);
    long indexOfHighlightedStop() const { return indexOfHighlightedStop_; }
    // Tells the delegate when the index changes.
    void setIndexOfHighlightedStop(long index);
    // Share of the walk done, 0 to 1; negative while unknown.
    float progress() const { return progress_; }
    void setProgress(float progress);

    // Colours and widths show at the next redraw.
    const UIColor& trackColorCasing() const { return trackColorCasing_; }
    void setTrackColorCasing(const UIColor& color) { trackColorCasing_ = color; }
    const UIColor& trackColorAhead() const { return trackColorAhead_; }
    void setTrackColorAhead(const UIColor& color) { trackColorAhead_ = color; }
    const UIColor& trackColorBehind() const { return trackColorBehind_; }
    void setTrackColorBehind(const UIColor& color) { trackColorBehind_ = color; }
    const UIColor& stopColorNormal() const { return stopColorNormal_; }
    void setStopColorNormal(const UIColor& color) { stopColorNormal_ = color; }
    const UIColor& stopColorHighlighted() const { return stopColorHighlighted_; }
    void setStopColorHighlighted(const UIColor& color) { stopColorHighlighted_ = color; }
    const UIColor& stopColorSelected() const { return stopColorSelected_; }
    void setStopColorSelected(const UIColor& color) { stopColorSelected_ = color; }
    CGFloat pointRadius() const { return pointRadius_; }
    void setPointRadius(CGFloat radius) { pointRadius_ = radius; }
    CGFloat shadowRadiusTrack() const { return shadowRadiusTrack_; }
    void setShadowRadiusTrack(CGFloat radius) { shadowRadiusTrack_ = radius; }
    CGFloat trackWidth() const { return trackWidth_; }
    void setTrackWidth(CGFloat width) { trackWidth_ = width; }
    CGFloat trackCasingWidth() const { return trackCasingWidth_; }
    void setTrackCasingWidth(CGFloat width) { trackCasingWidth_ = width; }
    CGFloat shadowRadiusPoint() const { return shadowRadiusPoint_; }
    void setShadowRadiusPoint(CGFloat radius) { shadowRadiusPoint_ = radius; }

    // Weak: the walk screen owns the track.
    std::shared_ptr<CBWikipediaWalkProgressViewDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<CBWikipediaWalkProgressViewDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // Geometry in the view's coordinates: the track runs along lineRect's
    // middle, inset so that the stops and their shadows fit.
    CGRect lineRect() const;
    CGPoint startPoint() const;
    CGPoint endPoint() const;
    // The stop's centre; (0, 0) for an index that is no stop.
    CGPoint pointForIndex(long index) const;
    // The stop nearest the point along the track (the earlier on a tie);
    // kWalkStopNotFound beyond the slack, without stops, or when the last
    // distance is not a positive number.
    long indexAtPoint(CGPoint point) const;

    void handleGestureRecognizer(UIGestureRecognizer& recognizer);
    void drawRect(const CGRect& rect) override;

  private:
    void addGestures();
    // Whether stops can be placed: some, and a last distance above 0.
    bool placesStops() const;
    void drawTrack(const CGRect& clip, const UIColor& color) const;

    std::vector<double> distances_;
    long indexOfCurrentStop_ = kWalkStopNotFound;
    long indexOfHighlightedStop_ = kWalkStopNotFound;
    float progress_ = -1;
    UIColor trackColorCasing_;
    UIColor trackColorAhead_;
    UIColor trackColorBehind_;
    UIColor stopColorNormal_;
    UIColor stopColorHighlighted_;
    UIColor stopColorSelected_;
    CGFloat pointRadius_ = 7;
    CGFloat shadowRadiusTrack_ = 0;
    CGFloat trackWidth_ = 3;
    CGFloat trackCasingWidth_ = 22;
    CGFloat shadowRadiusPoint_ = 2;
    std::weak_ptr<CBWikipediaWalkProgressViewDelegate> delegate_;
};
