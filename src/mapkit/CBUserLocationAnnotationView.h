#pragma once

#include <memory>

#include "CoreLocation/CLHeading.h"
#include "mapkit/CBAnnotationView.h"

class CAShapeLayer;
class CBHeadingLayer;

// The user's position on the map: a white-ringed dot in the tint colour that
// breathes, a translucent accuracy disc sized to the map's scale, a pulse on
// each update and a heading cone.
class CBUserLocationAnnotationView : public CBAnnotationView {
  public:
    static constexpr const char* kReuseIdentifier = "userPosition";
    static constexpr CGFloat kMaximumAccuracyDiameter = 800;

    CBUserLocationAnnotationView(CBAnnotationRef annotation,
                                 std::optional<std::string> reuseIdentifier);

    double accuracy() const { return accuracy_; }
    // 0 or less hides the disc at once.
    void setAccuracy(double accuracy);
    void setPointAccuracyDiameterWithPointsPerKilometer(float pointsPerKilometer);
    // nullptr or an invalid reading hides the cone. A north-up map turns the
    // cone by the heading (plus the interface's offset); a map turned with
    // the heading keeps it pointing up.
    void setHeadingWithMapNorthOriented(const std::shared_ptr<CLHeading>& heading,
                                        bool northOriented);
    // One pulse at a time.
    void animateUpdate();
    // (Re)starts the breathing of a shown dot.
    void startUserDotAnimation();
    void updateWithColor(const UIColor& color);
    void tintColorDidChange() override;
    void setHidden(bool hidden);
    void layoutSubviews() override;

    const std::shared_ptr<CAShapeLayer>& accuracyCircleLayer() const { return accuracyCircle_; }
    const std::shared_ptr<CAShapeLayer>& updateIndicator() const { return updateIndicator_; }
    const std::shared_ptr<CBHeadingLayer>& headingAccuracyLayer() const { return heading_; }
    const std::shared_ptr<CAShapeLayer>& userOuterDot() const { return outerDot_; }
    const std::shared_ptr<CAShapeLayer>& userInnerDot() const { return innerDot_; }
    // Set by setAccuracy; the next resize of the disc animates and clears it.
    bool animateNextAccuracyChange() const { return animateNextAccuracyChange_; }

  private:
    std::shared_ptr<CAShapeLayer> accuracyCircle_;
    std::shared_ptr<CAShapeLayer> updateIndicator_;
    std::shared_ptr<CBHeadingLayer> heading_;
    bool animateNextAccuracyChange_ = false;
    std::shared_ptr<CAShapeLayer> outerDot_;
    std::shared_ptr<CAShapeLayer> innerDot_;
    double accuracy_ = 0;
};
