#pragma once

#include <memory>

#include "CoreGraphics/CGGeometry.h"
#include "location/CBLocationManagerDelegate.h"

class CBBoundingBox;
class CBMapScrollView;
class CBUserLocation;
class UIBarButtonItem;

// The user's position on one map view: showing it, centring the map on it,
// turning the map with the heading, zooming to a fix's accuracy, and telling
// the map's delegate. It follows the shared location service unless another
// is set before the first use (tests). It holds its map weakly: without one
// it only switches the location service on and off.
//
// Threads: main thread.
class CBMapUserLocationFollower : public CBLocationManagerDelegate,
                                  public std::enable_shared_from_this<CBMapUserLocationFollower> {
  public:
    static std::shared_ptr<CBMapUserLocationFollower> create(std::weak_ptr<CBMapScrollView> map);
    explicit CBMapUserLocationFollower(std::weak_ptr<CBMapScrollView> map);
    ~CBMapUserLocationFollower() override;

    std::shared_ptr<CBLocationManager> locationManager() const { return locationManager_; }
    void setLocationManager(std::shared_ptr<CBLocationManager> manager);
    bool showsUserLocation() const { return showsUserLocation_; }
    void setShowsUserLocation(bool show);
    bool alwaysShowsUserHeading() const { return alwaysShowsUserHeading_; }
    void setAlwaysShowsUserHeading(bool show);
    bool centersOnUserLocation() const { return centersOnUserLocation_; }
    // Refused (and reported as a location error) while location access is denied.
    void setCentersOnUserLocation(bool center);
    bool allowsRotation() const { return allowsRotation_; }
    // Stores true only where a compass exists.
    void setAllowsRotation(bool allow);
    bool rotateToHeading() const { return rotateToHeading_; }
    void setRotateToHeading(bool rotate) { setRotateToHeadingAndNotifyDelegate(rotate, true); }
    void setRotateToHeadingAndNotifyDelegate(bool rotate, bool notify);
    // off -> centre -> centre and rotate -> off (rotation skipped where not allowed).
    void toggleCentersOnUserLocationAndRotation();
    void stopLocationUsage();
    std::shared_ptr<UIBarButtonItem> barButtonItemForCurrentCenteringRotationStatus();
    std::shared_ptr<CBUserLocation> userLocation() const;
    void updateUserLocationToLocation(const std::shared_ptr<CLLocation>& location);
    // The box a fix's accuracy asks to show, or nullptr when the current
    // zoom already fits it.
    std::shared_ptr<CBBoundingBox> zoomBoundingBoxForLocationUpdate(const CLLocation& location);
    float currentRotationAngle() const { return rotationAngle_; }

    // What the map view tells it: the user zoomed (centring no longer zooms
    // to a fix), a drag or zoom ended (the marker catches up with the last
    // fix), and a new map box (a user outside it is reported again).
    void userDidZoom() { autoZoomOnLocationUpdates_ = false; }
    void mapDidSettle();
    void mapBoundingBoxDidChange() { notifiedDelegateForOutOfBoundsLocation_ = false; }

    // CBLocationManagerDelegate.
    void locationManagerDidUpdateToLocationFromLocation(
        CBLocationManager& manager, std::shared_ptr<CLLocation> newLocation,
        std::shared_ptr<CLLocation> oldLocation) override;
    void locationManagerDidUpdateHeading(CBLocationManager&,
                                         std::shared_ptr<CLHeading> heading) override;
    void locationManagerDidFailWithError(CBLocationManager&, const NSError& error) override;

  private:
    // Turns the map to the heading in radians and the markers against it.
    void applyRotation(CBMapScrollView& map, float angle);

    std::weak_ptr<CBMapScrollView> map_;
    std::shared_ptr<CBLocationManager> locationManager_;
    std::shared_ptr<CLHeading> lastHeading_;
    bool showsUserLocation_ = false;
    bool centersOnUserLocation_ = false;
    bool rotateToHeading_ = false;
    bool alwaysShowsUserHeading_ = true;
    bool allowsRotation_ = false;
    bool firstRotation_ = false;
    bool autoZoomOnLocationUpdates_ = false;
    bool notifiedDelegateForOutOfBoundsLocation_ = false;
    float rotationAngle_ = 0;
    // The frame before the map was enlarged to turn.
    CGRect originalFrame_{};
};
