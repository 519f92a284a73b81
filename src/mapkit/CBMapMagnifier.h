#pragma once

#include <cstdint>
#include <memory>

#include "UIKit/UIGestureRecognizer.h"
#include "mapkit/CBAnnotationView.h"

class CBAnnotationCalloutView;
class CBMapView;
class UIControl;
class UIImageView;
class UIPanGestureRecognizer;
class UITapGestureRecognizer;

// The loupe: a round lens floating over the map that shows an enlarged
// picture of the map under its centre, follows one finger, and names the
// place under it in an embedded callout with an optional control. The view's
// centre is the lens centre.
class CBMapMagnifier : public CBAnnotationView, public UIGestureRecognizerDelegate {
  public:
    static constexpr CGFloat kWidth = 250;
    static constexpr CGFloat kHeight = 210;
    static constexpr CGFloat kLensSide = 150;
    static constexpr const char* kFrameImageName = "Quillmere.bundle/images/magnifier";

    static std::shared_ptr<CBMapMagnifier> create();
    CBMapMagnifier();

    CLLocationCoordinate2D coordinate() const { return coordinate_; }
    void setCoordinate(CLLocationCoordinate2D coordinate) { coordinate_ = coordinate; }
    std::shared_ptr<CBMapView> mapView() const { return mapView_.lock(); }
    void setMapView(const std::shared_ptr<CBMapView>& view) { mapView_ = view; }
    const std::shared_ptr<CBAnnotationCalloutView>& calloutView() const { return calloutView_; }
    const std::shared_ptr<UIView>& magnifiedContent() const { return magnifiedContent_; }
    bool allowsAnnotationCreation() const { return allowsAnnotationCreation_; }
    void setAllowsAnnotationCreation(bool flag) { allowsAnnotationCreation_ = flag; }
    bool isAnimatingOut() const { return animatingOut_; }

    void setAnnotation(CBAnnotationRef annotation) override;
    // rect in the content view's own coordinates.
    void magnifyRect(const CGRect& rect);
    void magnifyCurrentPosition();
    void setNewAnnotationForCurrentPositionFromDelegate(bool ask);
    void animateIn();
    void hide() { hideAnimated(true); }
    void hideAnimated(bool animated);
    void showContent();
    void hideContent();
    void handlePanGesture(UIGestureRecognizer& recognizer);
    void handleCalloutViewAccessory(const std::shared_ptr<UIControl>& control);

    // The closest-object search: every open, drag and hide starts a new
    // generation, and an answer is used only for the generation it was asked in.
    uint64_t beginClosestObjectRequest() { return ++generation_; }
    bool isCurrentClosestObjectRequest(uint64_t generation) const {
        return generation == generation_ && superview() && !animatingOut_;
    }

    void layoutSubviews() override;
    bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer&, UITouch& touch) override;

  private:
    void setUp();
    std::shared_ptr<CBMapMagnifier> self();

    std::shared_ptr<UIView> magnifiedContent_;
    CLLocationCoordinate2D coordinate_{};
    bool allowsAnnotationCreation_ = true;
    bool animatingOut_ = false;
    CGPoint lastTranslation_{};
    std::weak_ptr<CBMapView> mapView_;
    std::shared_ptr<CBAnnotationCalloutView> calloutView_;
    std::shared_ptr<UIImageView> magnifierImage_;
    std::shared_ptr<UIPanGestureRecognizer> pan_;
    std::shared_ptr<UITapGestureRecognizer> tap_;
    uint64_t generation_ = 0;
};
