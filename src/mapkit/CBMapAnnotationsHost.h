#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CoreLocation/CLLocationCoordinate2D.h"
#include "UIKit/UIGeometry.h"
#include "mapkit/CBAnnotation.h"

class CBAnnotationCalloutView;
class CBAnnotationView;
class CBAnnotationsManager;
class CBBoundingBox;
class CBGeoObject;
class CBMapMagnifier;
class CBMapScrollView;
class UIView;

// The annotations of one map view as its screens place them: adding them
// (centred: the map first zooms to show them), exchanging one set for
// another, the selection and its callout, and the loupe. The annotation
// layer (CBAnnotationsManager) keeps and lays out their views; the host holds
// its map weakly and shares the layer with it.
//
// Threads: main thread.
class CBMapAnnotationsHost : public std::enable_shared_from_this<CBMapAnnotationsHost> {
  public:
    CBMapAnnotationsHost(const std::shared_ptr<CBMapScrollView>& map,
                         std::shared_ptr<CBAnnotationsManager> layer);

    const std::shared_ptr<CBAnnotationsManager>& annotationsManager() const { return layer_; }
    std::vector<CBAnnotationRef> annotations() const;
    void addAnnotationCentered(const CBAnnotationRef& annotation, bool centered);
    void addAnnotationsCentered(const std::vector<CBAnnotationRef>& annotations, bool centered);
    void addAnnotationsCenteredIncludingLocations(
        const std::vector<CBAnnotationRef>& annotations, bool centered,
        const std::vector<CLLocationCoordinate2D>& locations);
    void removeAnnotation(const CBAnnotationRef& annotation);
    void removeAnnotations(const std::vector<CBAnnotationRef>& annotations);
    // Keeps the views of annotations in both sets, and the selection.
    void exchangeCurrentAnnotationsWithNewAnnotationsArray(
        const std::vector<CBAnnotationRef>& annotations);
    static std::shared_ptr<CBBoundingBox> boundingBoxForAnnotationsInArray(
        const std::vector<CBAnnotationRef>& annotations);
    void selectAnnotationAnimated(const CBAnnotationRef& annotation, bool animated);
    void deselectAnnotationAnimated(const CBAnnotationRef& annotation, bool animated);
    CBAnnotationRef selectedAnnotation() const;
    void updateSelectedAnnotation();
    std::shared_ptr<CBAnnotationView> dequeueReusableAnnotationViewWithIdentifier(
        const std::string& reuseIdentifier);
    void setAnnotionsHiddenAnimated(bool hidden, bool animated);
    std::shared_ptr<CBAnnotationView> existingViewForAnnotation(
        const CBAnnotationRef& annotation) const;
    std::shared_ptr<CBAnnotationCalloutView> currentCalloutView() const;
    // The room at the sides that a screen covers with controls of its own:
    // a callout stays clear of it, the map moving aside when a pin lies there.
    const UIEdgeInsets& calloutEdgeInsets() const { return calloutEdgeInsets_; }
    void setCalloutEdgeInsets(const UIEdgeInsets& insets) { calloutEdgeInsets_ = insets; }
    // Views a screen lays over parts of the map (its buttons). When a callout
    // appears, and when the map's size changes, the callout keeps clear of
    // those level with it and of those over its pin, narrower when it must
    // be, and the map moves aside once to make room; in between the map
    // moves only as the user moves it.
    const std::vector<std::weak_ptr<UIView>>& calloutObstacleViews() const {
        return calloutObstacleViews_;
    }
    void setCalloutObstacleViews(std::vector<std::weak_ptr<UIView>> views) {
        calloutObstacleViews_ = std::move(views);
    }

    // The loupe.
    void magnifyCoordinate(CLLocationCoordinate2D coordinate);
    // point from the top-left of the visible area.
    void magnifyPoint(CGPoint point);
    void hideMagnifier(bool animated);
    std::shared_ptr<CBMapMagnifier> magnifier() const;
    bool magnifierAllowsAnnotationCreation() const { return magnifierAllowsAnnotationCreation_; }
    void setMagnifierAllowsAnnotationCreation(bool flag) {
        magnifierAllowsAnnotationCreation_ = flag;
    }

  private:
    void showClosestObjectInMagnifier(const std::shared_ptr<CBGeoObject>& object,
                                      const std::shared_ptr<CBMapMagnifier>& magnifier);

    std::weak_ptr<CBMapScrollView> map_;
    std::shared_ptr<CBAnnotationsManager> layer_;
    UIEdgeInsets calloutEdgeInsets_{};
    std::vector<std::weak_ptr<UIView>> calloutObstacleViews_;
    bool magnifierAllowsAnnotationCreation_ = true;
};
