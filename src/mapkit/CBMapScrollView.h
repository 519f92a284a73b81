#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CoreLocation/CLLocationCoordinate2D.h"
#include "Foundation/Value.h"
#include "UIKit/UIScrollView.h"
#include "location/CBLocationManagerDelegate.h"
#include "mapkit/CBAnnotation.h"
#include "mapkit/CBMapOrnamentationFrameManager.h"
#include "mapkit/CBMapScrollViewDelegate.h"

class CBAnnotationCalloutView;
class CBAnnotationView;
class CBAnnotationsManager;
class CBBoundingBox;
class CBGeoObject;
class CBGeoPathObject;
class CBGeoSearchResult;
class CBGeoTag;
class CBLocationManager;
class NSPredicate;
class CBMapMagnifier;
class CBUserLocation;
class UIBarButtonItem;
class CBGeoDataManager;
class CBOpenMap;
class NSNotificationObserver;
class CBGeoDataSource;
class CBGeoElement;
class CBVectorDataSource;
class CBImageDataSource;
class CBGeoRelation;
class CBGeoStyle;
class CBPathDataSource;
class CBGeoDisplayManager;
class CBMapProjection;
class CBMapProjector;
class CBMapScaleView;
class CBMapView;
class CALayer;
class UIGestureRecognizer;

// The map view: a scroll view whose zooming view (the container) holds the
// tiled content view. A bounding box, a projection and a maximum zoom level
// become a zoomable grid of tiles (CBMapGridLayout): at zoom scale 1 one tile
// of the maximum level measures tileWidth x tileHeight points; the grid is
// aligned to whole tiles of the minimum zoom level. Where coordinates land is
// the laid-out map's projector, which the view hands to its renderer (the
// display manager); the view's coordinate conversions ask the same projector.
//
// Threads: main thread. The tiles are drawn from the renderer's requests and
// read nothing of the view.
class CBMapScrollView : public UIScrollView,
                        public UIScrollViewDelegate,
                        public CBMapOrnamentationFrameManagerDelegate,
                        public CBLocationManagerDelegate {
  public:
    // Builds the view and sets it up (it hands itself out, so it cannot do so
    // in its constructor).
    static std::shared_ptr<CBMapScrollView> create(const CGRect& frame = CGRectZero);
    explicit CBMapScrollView(const CGRect& frame);
    ~CBMapScrollView() override;

    // Configuration.
    void setMapBoundingBox(const std::shared_ptr<CBBoundingBox>& box);
    void setMapBoundingBoxForProjectionAndMaximumZoomlevel(
        const std::shared_ptr<CBBoundingBox>& box,
        const std::shared_ptr<CBMapProjection>& projection, int maximumZoomLevel);
    void configureForBoundingBox(const std::shared_ptr<CBBoundingBox>& box);
    void configureForMapSizeAndContainerSizeAndOffset(CGSize mapSize, CGSize containerSize,
                                                      CGPoint offset);
    void configureZoomForMapSize(CGSize size);
    void reloadMapView();
    std::shared_ptr<CBMapProjection> mapProjection() const;
    std::shared_ptr<CBBoundingBox> mapBoundingBox() const { return mapBoundingBox_; }
    int maximumZoomLevel() const { return maximumZoomlevel_; }
    int offsetCols() const { return offsetCols_; }
    int offsetRows() const { return offsetRows_; }
    CLLocationCoordinate2D mapCornerNorthWest() const;
    // The laid-out map's projector; nullptr while the map is not configured.
    std::shared_ptr<const CBMapProjector> projector() const;

    // Zoom levels.
    int nativeZoomLevelForScale(float scale) const;
    float scaleForNativeZoomlevel(int level) const;
    int nativeZoomLevel() const;
    int minimumZoomLevel() const;
    // Limits zooming in to native level z; maximumZoomLevel stays.
    void setMaximumZoomLevel(int level);
    static double tileWidth();
    static double tileHeight();
    // The map engine's version from its bundle ("Quillmere.bundle/VERSION"),
    // or "error retriving version" when that is missing or empty.
    static std::string corvaneVersion();
    CGRect rectForXYZ(int x, int y, int z) const;
    int offsetColumnsForBoundingBox(const CBBoundingBox& box) const;
    int offsetRowsForBoundingBox(const CBBoundingBox& box) const;
    int lastColumnForBoundingBox(const CBBoundingBox& box) const;
    int lastRowForBoundingBox(const CBBoundingBox& box) const;

    // Coordinates. offsetForCoordinate and coordinateAtOffset work in the
    // content view; pointForCoordinate answers in the scroll view's content
    // coordinates, coordinateAtPoint takes a point of the visible area.
    CGPoint offsetForCoordinate(CLLocationCoordinate2D coordinate) const;
    CLLocationCoordinate2D coordinateAtOffset(CGPoint offset) const;
    // Gives the object the drawing forms it lacks (points, path) in this
    // map's offsets; nothing while the map is not configured. Any thread.
    void calculatePointPathAndCGPathRefForGeoPathObject(bool wantPoints, bool wantPath,
                                                        CBGeoPathObject& object) const;
    CGPoint pointForCoordinate(CLLocationCoordinate2D coordinate) const;
    CLLocationCoordinate2D coordinateAtPoint(CGPoint point) const;
    CGRect rectForBoundingBox(const std::shared_ptr<CBBoundingBox>& box) const;
    bool zoomToBoundingBoxAnimated(const std::shared_ptr<CBBoundingBox>& box, bool animated);
    float zoomScaleThatFitsBoundingBox(const std::shared_ptr<CBBoundingBox>& box) const;
    CGRect zoomRectForScaleWithCenter(float scale, CGPoint center) const;
    bool moveToCoordinateAnimated(CLLocationCoordinate2D coordinate, bool animated);

    void calculateVisibleBBox();
    void setWiderBBoxFromVisibleBBox();
    std::shared_ptr<CBBoundingBox> visibleBBox() const { return visibleBBox_; }
    std::shared_ptr<CBBoundingBox> widerBBox() const { return widerBBox_; }
    std::shared_ptr<CBBoundingBox> notifiedWiderBBox() const { return notifiedWiderBBox_; }
    double widerBBoxFactor() const { return widerBBoxFactor_; }
    void setWiderBBoxFactor(double factor);
    CLLocationCoordinate2D visibleCenter() const;
    double pointsPerKilometer() const { return pointsPerKilometer_; }

    // Delegate and gestures.
    std::shared_ptr<CBMapScrollViewDelegate> mapDelegate() const { return mapDelegate_.lock(); }
    void setMapDelegate(std::weak_ptr<CBMapScrollViewDelegate> delegate) {
        mapDelegate_ = std::move(delegate);
    }
    // The view stays its own scroll-view delegate; other delegates are ignored.
    void setDelegate(std::weak_ptr<UIScrollViewDelegate>) {}
    void handleSingleTapGesture(UIGestureRecognizer& recognizer);
    void handleDoubleTapGesture(UIGestureRecognizer& recognizer);
    void handleTwoFingerSingleTapGesture(UIGestureRecognizer& recognizer);
    void handleLongPressGesture(UIGestureRecognizer& recognizer);
    void notifyDelegateMapDidChangeBBoxAnimated(bool animated);
    bool isAnimatedZooming() const { return animatedZooming_; }

    // The user's position, centring and rotation with the heading. The map
    // follows the shared location service unless another is set before the
    // first use (tests).
    std::shared_ptr<CBLocationManager> locationManager() const;
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

    // CBLocationManagerDelegate.
    void locationManagerDidUpdateToLocationFromLocation(
        CBLocationManager& manager, std::shared_ptr<CLLocation> newLocation,
        std::shared_ptr<CLLocation> oldLocation) override;
    void locationManagerDidUpdateHeading(CBLocationManager&,
                                         std::shared_ptr<CLHeading> heading) override;
    void locationManagerDidFailWithError(CBLocationManager&, const NSError& error) override;

    // Annotations (the annotation layer does the work).
    const std::shared_ptr<CBAnnotationsManager>& annotationsManager() const {
        return annotationsManager_;
    }
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
    void setAnnotationsHiddenAnimated(bool hidden, bool animated);
    std::shared_ptr<CBAnnotationView> existingViewForAnnotation(
        const CBAnnotationRef& annotation) const;
    std::shared_ptr<CBAnnotationCalloutView> currentCalloutView() const;

    // Searches of the open map's data (its geo data manager does them). Without
    // an open map a search starts nothing and a completion hears of no hits.
    bool searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
        const std::string& text, bool includeAddresses, bool delayed,
        std::function<void(const std::vector<std::shared_ptr<CBGeoSearchResult>>&)> completion);
    void cancelSearchForObjectsMatchingString();
    void searchForClosestObjectToWithCompletionBlock(
        CLLocationCoordinate2D coordinate,
        std::function<void(const std::shared_ptr<CBGeoObject>&)> completion);
    void searchForObjectsInBBoxMatchingPredicateWithCompletionBlock(
        const std::shared_ptr<CBBoundingBox>& box, const std::shared_ptr<NSPredicate>& predicate,
        std::function<void(const std::vector<std::shared_ptr<CBGeoObject>>&)> completion);
    std::optional<std::vector<std::shared_ptr<CBGeoTag>>> tagsMatchingKeyAndAttribute(
        const std::optional<std::string>& key, const std::optional<std::string>& attribute);
    std::optional<std::vector<std::shared_ptr<CBGeoTag>>>
    tagsMatchingKeyAndAttributeAndRelationshipKeyPathsForPrefetching(
        const std::optional<std::string>& key, const std::optional<std::string>& attribute,
        const std::vector<std::string>& keyPaths);

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

    // The map shown: an open map (CBOpenMap), shared with every other view,
    // search and screen of the same stores. Its identifier keys the view's
    // saved state (CBMapViewSavedState). The box is the part of the map
    // laid out (nullptr: the box of its towns). false, showing no map, for
    // nullptr, a closed map or a map without a box. When the map is closed
    // under the view (its files deleted or replaced), the view opens its
    // stores again, or shows no map when they are gone.
    bool setOpenMap(const std::shared_ptr<CBOpenMap>& map,
                    const std::shared_ptr<CBBoundingBox>& box = nullptr);
    std::shared_ptr<CBOpenMap> openMap() const;
    // The same through the table of open maps: a map open elsewhere is shared.
    bool setMapWithStorePathAndBoundingBox(const std::string& path,
                                           const std::shared_ptr<CBBoundingBox>& box);
    bool setMapWithStorePathesAndBoundingBox(const std::vector<std::string>& paths,
                                             const std::shared_ptr<CBBoundingBox>& box);
    // CBOpenMap::identifierForStorePathes.
    static std::optional<std::string> mapStorePathFromPathes(const std::vector<std::string>& paths);
    // CBOpenMap::versionForStorePathes.
    static std::string mapStoreVersionFromPathes(const std::vector<std::string>& paths);
    // Empty while no map is open.
    std::string currentMapStorePath() const;
    void setCurrentMapStorePath(const std::optional<std::string>& identifier);
    void resetMap();
    // nullopt saves and restores under "default", and only while savesState is set.
    void saveStateWithIdentifier(const std::optional<std::string>& identifier);
    bool restoreStateWithIdentifier(const std::optional<std::string>& identifier);
    static std::optional<Value::Dictionary> persistentDictionaryForMapWithIdentifier(
        const std::optional<std::string>& identifier);
    static std::optional<int> persistentZoomlevelForMapWithIdentifier(
        const std::optional<std::string>& identifier);
    static std::shared_ptr<CBBoundingBox> persistentBoundingBoxForMapWithIdentifier(
        const std::optional<std::string>& identifier);
    // The online raster layer instead of map stores: the world (or the box)
    // from the neighbourhood tile service, zooming in no further than level 11.
    // The service's address is the user default "CBOnlineTileServiceHost"
    // ("host:port", 127.0.0.1:8091 when unset).
    std::shared_ptr<CBImageDataSource> setupForThunderforestLayerWithBoundingBox(
        const std::shared_ptr<CBBoundingBox>& box);
    static std::string onlineTileServiceURLPattern();
    static constexpr const char* kOnlineTileServiceKey = "5f3c9a0e7b2d4c18a6e9f01b3d7c5a42";
    bool savesState() const { return savesState_; }
    void setSavesState(bool flag) { savesState_ = flag; }
    // The geo data store of the shown map; nullptr while none is shown.
    std::shared_ptr<CBGeoDataManager> dataManager() const;
    // Kept by the renderer: tiles rendered for the cache without background.
    bool cacheTransparentTileImages() const;
    void setCacheTransparentTileImages(bool flag);
    const std::shared_ptr<CBVectorDataSource>& vectorDataSourceLayer() const {
        return vectorDataSourceLayer_;
    }
    void applicationDidMoveToBackground();
    void didMoveToSuperview() override;
    void willMoveToSuperview(const std::shared_ptr<UIView>& superview) override;

    // Data sources.
    void addDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void removeDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void insertDatasourceAbove(const std::shared_ptr<CBGeoDataSource>& source,
                               const std::shared_ptr<CBGeoDataSource>& existing);
    void insertDatasourceBelow(const std::shared_ptr<CBGeoDataSource>& source,
                               const std::shared_ptr<CBGeoDataSource>& existing);
    void addOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void removeOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void removeAllOverlayDatasources();
    // The map then shows only its other data sources (such as a raster layer).
    void removeVectorDataSource();
    void overlaysNeedDisplay();
    // The colour the overlay layer lays over the map (the transit mode dims
    // the map with it); nullopt: clear.
    void setBackgroundColorForOverlay(const std::optional<UIColor>& color);
    // Outlines an object or a relation over the map (blue unless a style is
    // given); one highlight at a time.
    void highlightObjectWithStyle(const std::shared_ptr<CBGeoObject>& object,
                                  const std::shared_ptr<CBGeoStyle>& style);
    void highlightRelationWithStyle(const std::shared_ptr<CBGeoRelation>& relation,
                                    const std::shared_ptr<CBGeoStyle>& style);
    void removeHighlight();
    const std::shared_ptr<CBPathDataSource>& hightLightDatasource() const {
        return hightLightDatasource_;
    }
    void resetOverlayContents();
    // Follows the style's base colours; reloads the map when the style changed.
    bool changeStyleToStylePlist(const std::string& path);
    std::optional<std::string> currentStylePlistPath() const;
    void setupMapViewForCurrentMapBaseStyle();
    void removeCheckerPattern();
    const std::shared_ptr<CALayer>& mapBackgroundLayer() const { return mapBackgroundLayer_; }

    // Scale bar and ornaments.
    void setMapScaleHiddenAnimated(bool hidden, bool animated);
    std::shared_ptr<CBMapScaleView> mapScaleView() const { return mapScaleView_; }
    bool mapScaleAtTop() const { return mapScaleAtTop_; }
    void setMapScaleAtTop(bool flag) { mapScaleAtTop_ = flag; }
    void setOrnamentationFramePreloadInset(const UIEdgeInsets& insets);
    void reloadOrnamentationFrameData();
    // The room at the sides that a screen covers with controls of its own:
    // a callout stays clear of it, the map moving aside when a pin lies there.
    const UIEdgeInsets& calloutEdgeInsets() const { return calloutEdgeInsets_; }
    void setCalloutEdgeInsets(const UIEdgeInsets& insets) { calloutEdgeInsets_ = insets; }
    const std::shared_ptr<CBMapOrnamentationFrameManager>& ornamentationFrameManager() const {
        return ornamentationFrameManager_;
    }

    // Parts.
    const std::shared_ptr<CBMapView>& mapView() const { return mapView_; }
    const std::shared_ptr<UIView>& mapContainerView() const { return mapContainerView_; }
    const std::shared_ptr<CBGeoDisplayManager>& displayManager() const { return displayManager_; }

    // UIKit.
    void setBounds(const CGRect& bounds) override;
    void setBackgroundColor(const std::optional<UIColor>& color) override;
    void layoutSubviews() override;

    // UIScrollViewDelegate.
    std::shared_ptr<UIView> viewForZoomingInScrollView(UIScrollView&) override;
    void scrollViewWillBeginDragging(UIScrollView&) override;
    void scrollViewDidEndDraggingWillDecelerate(UIScrollView&, bool decelerate) override;
    void scrollViewDidEndDecelerating(UIScrollView&) override;
    void scrollViewDidEndScrollingAnimation(UIScrollView&) override;
    void scrollViewDidScroll(UIScrollView&) override;
    void scrollViewWillBeginZoomingWithView(UIScrollView&, const std::shared_ptr<UIView>&) override;
    void scrollViewDidEndZoomingWithViewAtScale(UIScrollView&, const std::shared_ptr<UIView>&,
                                                CGFloat) override;
    void scrollViewDidZoom(UIScrollView&) override;

    // CBMapOrnamentationFrameManagerDelegate.
    std::optional<std::vector<std::shared_ptr<UIView>>>
    mapOrnamentationFrameManagerViewsForDirection(CBMapOrnamentationFrameManager&,
                                                  unsigned direction) override;

  private:
    void setupView();
    // Opens the closed map's stores again, or shows none when they are gone.
    void reopenClosedMap(const std::string& identifier);
    std::optional<std::string> currentIdentifier() const;
    void addMapView();
    void createGestureRecognizers();
    std::shared_ptr<CBMapScrollView> self();
    std::shared_ptr<const CBMapScrollView> self() const;
    // The scale a zoom scale draws at: times the screen's scale.
    static float screenScale();
    void setUpUserLocation();
    void notifyDelegateOfBoxes(CBMapScrollViewDelegate& delegate, bool animated);
    // Turns the map to the heading in radians and the markers against it.
    void applyRotation(float angle);
    void showClosestObjectInMagnifier(const std::shared_ptr<CBGeoObject>& object,
                                      const std::shared_ptr<CBMapMagnifier>& magnifier);
    // Zooms by factor around the touch, or keeping the centre while centring.
    void zoomByFactorAround(float factor, CGPoint containerPoint);

    std::shared_ptr<CBBoundingBox> visibleBBox_;
    std::shared_ptr<CBBoundingBox> widerBBox_;
    double widerBBoxFactor_ = 3.0;
    std::shared_ptr<CBBoundingBox> notifiedWiderBBox_;
    double pointsPerKilometer_ = 0;
    std::weak_ptr<CBMapScrollViewDelegate> mapDelegate_;
    std::shared_ptr<CBGeoDisplayManager> displayManager_;
    bool showsUserLocation_ = false;
    bool centersOnUserLocation_ = false;
    bool rotateToHeading_ = false;
    bool alwaysShowsUserHeading_ = false;
    bool allowsRotation_ = false;
    bool firstRotation_ = false;
    bool notifiedDelegateForOutOfBoundsLocation_ = false;
    bool magnifierAllowsAnnotationCreation_ = true;
    // The last request of the scale bar: a fade that ends after a newer
    // "show" must not take the bar away.
    bool mapScaleMeantHidden_ = true;
    float rotationAngle_ = 0;
    CGRect originalFrame_{};
    std::shared_ptr<CLHeading> lastHeading_;
    std::shared_ptr<CBLocationManager> locationManager_;
    std::shared_ptr<CBAnnotationsManager> annotationsManager_;
    bool animatedZooming_ = false;
    bool autoZoomOnLocationUpdates_ = false;
    std::shared_ptr<CBMapView> mapView_;
    std::shared_ptr<CBBoundingBox> mapBoundingBox_;
    std::atomic<int> offsetCols_ = 0;
    std::atomic<int> offsetRows_ = 0;
    std::atomic<int> maximumZoomlevel_ = 18;
    std::shared_ptr<CBMapScaleView> mapScaleView_;
    std::atomic<bool> mapScaleAtTop_ = false;
    float originalHeight_ = 0;
    float originalWidth_ = 0;
    std::shared_ptr<CBMapOrnamentationFrameManager> ornamentationFrameManager_;
    UIEdgeInsets calloutEdgeInsets_{};
    std::shared_ptr<UIView> mapContainerView_;
    std::shared_ptr<CALayer> mapBackgroundLayer_;
    std::shared_ptr<NSNotificationObserver> openMapObserver_;
    std::atomic<bool> savesState_ = true;
    std::shared_ptr<CBVectorDataSource> vectorDataSourceLayer_;
    std::shared_ptr<CBPathDataSource> hightLightDatasource_;
    mutable std::mutex storeMutex_;  // the open map and its identifier
    std::shared_ptr<CBOpenMap> openMap_;
    std::optional<std::string> currentMapStorePath_;

    mutable std::mutex configMutex_;  // the projection and the projector
    std::shared_ptr<CBMapProjection> mapProjection_;
    std::shared_ptr<const CBMapProjector> projector_;
};
