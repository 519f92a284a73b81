#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "CoreLocation/CLLocation.h"
#include "CoreLocation/CLLocationCoordinate2D.h"
#include "Foundation/NSError.h"
#include "mapkit/CBAnnotation.h"

class CBAnnotationCalloutView;
class CBAnnotationView;
class CBBoundingBox;
class CBGeoDataSource;
class CBMapScrollView;
class CBUserLocation;
class UIControl;
class UIView;

// What the map view tells the screen that shows it. Every message is
// optional; those whose answer matters return std::optional, where nullopt
// means "does not answer". Points are in the content view's coordinates.
class CBMapScrollViewDelegate {
  public:
    virtual ~CBMapScrollViewDelegate() = default;

    virtual void mapScrollViewGotSingleTapAtPointAndCoordinate(CBMapScrollView&, CGPoint,
                                                               CLLocationCoordinate2D) {}
    virtual void mapScrollViewGotDoubleTapAtPointAndCoordinate(CBMapScrollView&, CGPoint,
                                                               CLLocationCoordinate2D) {}
    virtual void mapScrollViewGotTwoFingerTapAtPointAndCoordinate(CBMapScrollView&, CGPoint,
                                                                  CLLocationCoordinate2D) {}
    virtual void mapScrollViewGotTapAndHoldAtPointAndCoordinate(CBMapScrollView&, CGPoint,
                                                                CLLocationCoordinate2D) {}
    virtual void mapScrollViewWillBeginDragging(CBMapScrollView&) {}
    virtual void mapScrollViewDidEndDragging(CBMapScrollView&) {}
    virtual std::optional<bool> mapScrollViewShouldZoomInAfterDoubleTapAt(CBMapScrollView&,
                                                                          CGPoint) {
        return std::nullopt;
    }
    virtual std::optional<bool> mapScrollViewShouldZoomOutAfterTwoFingerTapAt(CBMapScrollView&,
                                                                              CGPoint) {
        return std::nullopt;
    }
    virtual void mapScrollViewDidChangeBoundingBoxToAnimated(CBMapScrollView&,
                                                             const std::shared_ptr<CBBoundingBox>&,
                                                             bool) {}
    // Answers whether the delegate took the message (false: it does not
    // answer it, and the map keeps reporting until one does).
    virtual bool mapScrollViewDidChangeWiderBoundingBoxSignificantlyToAnimated(
        CBMapScrollView&, const std::shared_ptr<CBBoundingBox>&, bool) {
        return false;
    }
    virtual void mapScrollViewDidAddDataSourceAsOverlay(CBMapScrollView&,
                                                        const std::shared_ptr<CBGeoDataSource>&,
                                                        bool) {}
    virtual void mapScrollViewDidRemoveDataSourceWasOverlay(CBMapScrollView&,
                                                            const std::shared_ptr<CBGeoDataSource>&,
                                                            bool) {}
    virtual std::optional<std::vector<std::shared_ptr<UIView>>>
    mapScrollViewOrnamentationViewsForDirection(CBMapScrollView&, unsigned) {
        return std::nullopt;
    }

    // The user's position (the map view follows the location service).
    virtual void mapScrollViewStoppedCenteringOnUserLocation(CBMapScrollView&,
                                                             const std::shared_ptr<CLLocation>&) {}
    virtual void mapScrollViewDidChangeCenteringRotationStatus(CBMapScrollView&) {}
    virtual void mapScrollViewDidUpdateUserLocation(CBMapScrollView&,
                                                    const std::shared_ptr<CBUserLocation>&) {}
    // Answers whether the delegate took the message; the map tells it once per map.
    virtual bool mapScrollViewDidReceiveUserLocationOutSideOfMapBoundingBox(
        CBMapScrollView&, const std::shared_ptr<CBUserLocation>&,
        const std::shared_ptr<CBBoundingBox>&) {
        return false;
    }
    virtual void mapScrollViewDidReceiveLocationError(CBMapScrollView&, const NSError&) {}

    // Annotations. A view for an annotation needs a reuse identifier
    // (nullptr: the default pin).
    virtual std::shared_ptr<CBAnnotationView> mapScrollViewViewForAnnotation(
        CBMapScrollView&, const CBAnnotationRef&) {
        return nullptr;
    }
    // The views the layout pass after an add made.
    virtual void mapScrollViewDidAddAnnotationViews(
        CBMapScrollView&, const std::vector<std::shared_ptr<CBAnnotationView>>&) {}
    // control is nullptr for a tap on the bubble itself.
    virtual void mapScrollViewAnnotationViewCalloutAccessoryControlTapped(
        CBMapScrollView&, const std::shared_ptr<CBAnnotationView>&,
        const std::shared_ptr<CBAnnotationCalloutView>&, const std::shared_ptr<UIControl>&) {}
    // Among overlapping views: the one to select (nullptr: none; set discard
    // to swallow the tap), or nullopt when the delegate does not answer.
    virtual std::optional<std::shared_ptr<CBAnnotationView>>
    mapScrollViewAnnotationToSelectAmongCandidatesShouldDiscardTap(
        CBMapScrollView&, const std::vector<std::shared_ptr<CBAnnotationView>>&,
        bool& /*discard*/) {
        return std::nullopt;
    }
    virtual std::optional<bool> mapScrollViewShouldSelectAnnotation(CBMapScrollView&,
                                                                    const CBAnnotationRef&) {
        return std::nullopt;
    }
    // view is nullptr when the selection has no view on the map.
    virtual void mapScrollViewDidSelectAnnotationView(CBMapScrollView&,
                                                      const std::shared_ptr<CBAnnotationView>&) {}
    // Answers whether the delegate took the tap (false: the position is selected).
    virtual bool mapScrollViewDidTapUserAnnotationView(CBMapScrollView&,
                                                       const std::shared_ptr<CBAnnotationView>&) {
        return false;
    }
    virtual void mapScrollViewDidDeselectAnnotationView(CBMapScrollView&,
                                                        const std::shared_ptr<CBAnnotationView>&) {}

    // The loupe.
    virtual std::shared_ptr<UIControl> mapScrollViewControlForMagnifierWithAnnotation(
        CBMapScrollView&, const CBAnnotationRef&) {
        return nullptr;
    }
    // nullopt: the delegate does not answer; an answer of nullptr clears the loupe's place.
    virtual std::optional<CBAnnotationRef> mapScrollViewAnnotationForMagnificationAtCoordinate(
        CBMapScrollView&, CLLocationCoordinate2D) {
        return std::nullopt;
    }
    virtual void mapScrollViewTappedControlOfMagnifierWithAnnotation(
        CBMapScrollView&, const std::shared_ptr<UIControl>&, const CBAnnotationRef&) {}
};
