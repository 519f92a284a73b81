#pragma once

#include <functional>
#include <memory>
#include <string>

#include "UIKit/UIView.h"

class UILabel;

// An end marker of the ruler: a translucent dot in the tint colour.
class ZELInteractiveMapScaleMarkerView : public UIView {
  public:
    static std::shared_ptr<ZELInteractiveMapScaleMarkerView> defaultMarkerView();
    explicit ZELInteractiveMapScaleMarkerView(const CGRect& frame);
    void tintColorDidChange() override { setNeedsDisplay(); }
    void drawRect(const CGRect& rect) override;
};

// The ruler's dashed line, with a gap in the middle for a centred label.
class ZELInteractiveMapScaleRulerAuxilaryView : public UIView {
  public:
    explicit ZELInteractiveMapScaleRulerAuxilaryView(const CGRect& frame);
    bool flipped() const { return flipped_; }
    void setFlipped(bool flag) { flipped_ = flag; }
    bool drawGapForLabel() const { return drawGapForLabel_; }
    void setDrawGapForLabel(bool flag) { drawGapForLabel_ = flag; }
    const UIColor& strokeColor() const { return strokeColor_; }
    void tintColorDidChange() override;
    void drawRect(const CGRect& rect) override;
    // The half length of the label's gap for a line of this extent.
    static CGFloat gapHalfLength(CGFloat dx, CGFloat dy);

  private:
    bool flipped_ = false;
    bool drawGapForLabel_ = true;
    UIColor strokeColor_;
};

// The measuring ruler between two fingers: a dashed line from corner to
// corner of its frame (lower-left to upper-right when flipped), a marker at
// each end and the distance label, all drawn markerOffset above the fingers.
class ZELInteractiveMapScaleRulerView : public UIView {
  public:
    using Completion = std::function<void()>;

    // The ruler with its line, markers and label.
    static std::shared_ptr<ZELInteractiveMapScaleRulerView> create(const CGRect& frame);
    explicit ZELInteractiveMapScaleRulerView(const CGRect& frame);

    bool flipped() const { return flipped_; }
    void setFlipped(bool flag);
    // Empty hides the label.
    void setDistanceLabelText(const std::string& text);
    void setHiddenAnimatedWithCompletionBlock(bool hidden, bool animated, Completion completion);
    // The plain view's hiding, without the ruler's fade or marker move.
    void weakSuperSetHidden(bool hidden);
    CGPoint markerOffset() const { return markerOffset_; }
    void setMarkerOffset(CGPoint offset) { markerOffset_ = offset; }
    float markerSize() const { return markerSize_; }

    bool isDistanceLabelCentered() const { return centered_; }
    bool isDistanceLabelPinnedToTop() const { return pinnedToTop_; }
    bool isDistanceLabelPinnedToTopLeft() const { return pinnedToTopLeft_; }
    const std::shared_ptr<UILabel>& distanceLabel() const { return distanceLabel_; }
    const std::shared_ptr<ZELInteractiveMapScaleMarkerView>& startMarker() const {
        return startMarker_;
    }
    const std::shared_ptr<ZELInteractiveMapScaleMarkerView>& endMarker() const {
        return endMarker_;
    }
    const std::shared_ptr<ZELInteractiveMapScaleRulerAuxilaryView>& auxView() const {
        return auxView_;
    }

    // The label's plate takes the tint colour.
    void tintColorDidChange() override;
    void layoutSubviews() override;
    void layoutMarkers();

  private:
    void setMarkerAutoresizing();

    bool centered_ = false;
    bool pinnedToTop_ = false;
    bool pinnedToTopLeft_ = false;
    bool flipped_ = false;
    std::shared_ptr<ZELInteractiveMapScaleMarkerView> startMarker_;
    std::shared_ptr<ZELInteractiveMapScaleMarkerView> endMarker_;
    float markerSize_ = 17;
    std::shared_ptr<UILabel> distanceLabel_;
    std::shared_ptr<ZELInteractiveMapScaleRulerAuxilaryView> auxView_;
    CGPoint markerOffset_{0, -65};
};
