#pragma once

#include <memory>

#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UIView.h"

class CBMapScrollView;
class ZELInteractiveMapScaleRulerView;
class ZELTwoFingerPanGestureRecognizer;

// The measuring overlay a map screen lays over its map: two fingers resting
// on the map bring up a ruler between them with the distance they span. While
// the ruler shows, the overlay takes the map's gestures away.
class ZELInteractiveMapScaleView : public UIView, public UIGestureRecognizerDelegate {
  public:
    static std::shared_ptr<ZELInteractiveMapScaleView> create(
        const CGRect& frame, const std::shared_ptr<CBMapScrollView>& mapScrollView);
    explicit ZELInteractiveMapScaleView(const CGRect& frame);
    ~ZELInteractiveMapScaleView() override;

    std::shared_ptr<CBMapScrollView> mapScrollView() const { return mapScrollView_.lock(); }
    std::shared_ptr<ZELInteractiveMapScaleRulerView> rulerView() const { return rulerView_.lock(); }
    const std::shared_ptr<ZELTwoFingerPanGestureRecognizer>& twoFingerPangestureRecognizer() const {
        return recognizer_;
    }
    // Hiding gives the map its gestures back; showing takes them away.
    void setHidden(bool hidden);
    void setMapUserInteractionEnabled(bool enabled);
    void gestureAction(UIGestureRecognizer& recognizer);
    // The distance in metres between two points of the overlay.
    double distanceBetweenPoints(CGPoint a, CGPoint b) const;

    bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
        UIGestureRecognizer&, UIGestureRecognizer&) override {
        return true;
    }

  private:
    void setUp(const std::shared_ptr<CBMapScrollView>& mapScrollView);

    std::weak_ptr<CBMapScrollView> mapScrollView_;
    std::weak_ptr<ZELInteractiveMapScaleRulerView> rulerView_;
    std::shared_ptr<ZELTwoFingerPanGestureRecognizer> recognizer_;
};
