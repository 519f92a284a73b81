#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

class CBBoundingBox;
class CBGeoDataSource;
class CBMapScrollView;
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
};
