#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CoreLocation/CLLocationCoordinate2D.h"
#include "Foundation/NSRange.h"
#include "Foundation/Value.h"
#include "UIKit/UIScrollView.h"
#include "location/CBLocationManagerDelegate.h"
#include "mapkit/CBAnnotation.h"
#include "mapkit/CBMapOrnamentationFrameManager.h"
#include "mapkit/CBMapScrollViewDelegate.h"
#include "mapkit/CBMapTileCachePrefill.h"

class CBAnnotationCalloutView;
class CBAnnotationView;
class CBAnnotationsManager;
class CBMapAnnotationsHost;
class CBMapOverlays;
class CBMapUserLocationFollower;
class CBBoundingBox;
class CBGeoObject;
class CBGeoPathObject;
class CBGeoRelation;
class CBGeoStyle;
class CBMapMagnifier;
class CBMapProjection;
class CBMapScaleView;
class CBUserLocation;
class UIAlertView;
class UIBarButtonItem;
class CBGeoSearchResult;
class CBGeoTag;
class NSPredicate;
class CBGeoDataManager;
class CBOpenMap;
class NSNotificationObserver;
class CBGeoDataSource;
class CBGeoElement;
class CBVectorDataSource;
class CBImageDataSource;
class CBGeoDisplayManager;
class CBMapLayers;
class CBMapLayout;
class CBMapVisibleArea;
class CBMapScaleBar;
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

    // The laid-out map: its grid, zoom levels and coordinate conversions.
    const std::shared_ptr<CBMapLayout>& layout() const { return layout_; }
    // The layout's configuration, zoom levels, grid and offsets.
    void setMapBoundingBox(const std::shared_ptr<CBBoundingBox>& box);
    void setMapBoundingBoxForProjectionAndMaximumZoomlevel(
        const std::shared_ptr<CBBoundingBox>& box,
        const std::shared_ptr<CBMapProjection>& projection, int maximumZoomLevel);
    void configureForBoundingBox(const std::shared_ptr<CBBoundingBox>& box);
    void configureForMapSizeAndContainerSizeAndOffset(CGSize mapSize, CGSize containerSize,
                                                      CGPoint offset);
    void configureZoomForMapSize(CGSize size);
    std::shared_ptr<CBMapProjection> mapProjection() const;
    std::shared_ptr<CBBoundingBox> mapBoundingBox() const;
    int maximumZoomLevel() const;
    int nativeZoomLevelForScale(float scale) const;
    float scaleForNativeZoomlevel(int level) const;
    int nativeZoomLevel() const;
    int minimumZoomLevel() const;
    void setMaximumZoomLevel(int level);
    static double tileWidth();
    static double tileHeight();
    CGRect rectForXYZ(int x, int y, int z) const;
    int offsetColumnsForBoundingBox(const CBBoundingBox& box) const;
    int offsetRowsForBoundingBox(const CBBoundingBox& box) const;
    int lastColumnForBoundingBox(const CBBoundingBox& box) const;
    int lastRowForBoundingBox(const CBBoundingBox& box) const;
    CGPoint offsetForCoordinate(CLLocationCoordinate2D coordinate) const;
    CLLocationCoordinate2D coordinateAtOffset(CGPoint offset) const;
    CGRect rectForBoundingBox(const std::shared_ptr<CBBoundingBox>& box) const;
    float zoomScaleThatFitsBoundingBox(const std::shared_ptr<CBBoundingBox>& box) const;
    CGRect zoomRectForScaleWithCenter(float scale, CGPoint center) const;
    void reloadMapView();
    // The map engine's version from its bundle ("Quillmere.bundle/VERSION"),
    // or "error retriving version" when that is missing or empty.
    static std::string corvaneVersion();

    // Coordinates. pointForCoordinate answers in the scroll view's content
    // coordinates, coordinateAtPoint takes a point of the visible area.
    // Gives the object the drawing forms it lacks (points, path) in this
    // map's offsets; nothing while the map is not configured. Any thread.
    void calculatePointPathAndCGPathRefForGeoPathObject(bool wantPoints, bool wantPath,
                                                        CBGeoPathObject& object) const;
    CGPoint pointForCoordinate(CLLocationCoordinate2D coordinate) const;
    CLLocationCoordinate2D coordinateAtPoint(CGPoint point) const;
    bool zoomToBoundingBoxAnimated(const std::shared_ptr<CBBoundingBox>& box, bool animated);
    bool moveToCoordinateAnimated(CLLocationCoordinate2D coordinate, bool animated);

    // The visible and wider boxes, the scale and whether the state is saved.
    const std::shared_ptr<CBMapVisibleArea>& visibleArea() const { return visibleArea_; }
    void calculateVisibleBBox();
    void setWiderBBoxFromVisibleBBox();
    void setWiderBBoxFactor(double factor);
    std::shared_ptr<CBBoundingBox> visibleBBox() const;
    std::shared_ptr<CBBoundingBox> widerBBox() const;
    double widerBBoxFactor() const;
    CLLocationCoordinate2D visibleCenter() const;
    double pointsPerKilometer() const;
    bool savesState() const;
    void setSavesState(bool flag);

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
    // A zoom the user asks for in steps (the map screen's zoom buttons), to
    // `scale`, animated, about the middle of the view. Like the taps' zooms it
    // ends auto-zoom and holds location updates back until it ends. A step
    // that follows steps, with nothing else moving the map in between, stays
    // about the place the first step was about, also where the map's edge
    // kept the middle off it: steps out to the widest view and as many back
    // in return to the same place.
    void stepZoomToScale(CGFloat scale);

    // The user's position, centring and rotation with the heading.
    const std::shared_ptr<CBMapUserLocationFollower>& userLocationFollower() const {
        return userLocationFollower_;
    }
    // The follower's modes and position.
    bool showsUserLocation() const;
    void setShowsUserLocation(bool show);
    bool alwaysShowsUserHeading() const;
    void setAlwaysShowsUserHeading(bool show);
    bool centersOnUserLocation() const;
    void setCentersOnUserLocation(bool center);
    bool allowsRotation() const;
    void setAllowsRotation(bool allow);
    bool rotateToHeading() const;
    void setRotateToHeading(bool rotate);
    void setRotateToHeadingAndNotifyDelegate(bool rotate, bool notify);
    void toggleCentersOnUserLocationAndRotation();
    void stopLocationUsage();
    std::shared_ptr<UIBarButtonItem> barButtonItemForCurrentCenteringRotationStatus();
    std::shared_ptr<CBUserLocation> userLocation() const;
    void updateUserLocationToLocation(const std::shared_ptr<CLLocation>& location);
    std::shared_ptr<CBBoundingBox> zoomBoundingBoxForLocationUpdate(const CLLocation& location);
    // A new frame whose size the next layout takes as it is, without moving
    // the content to keep its centre (the square the map turns in).
    void setFrameWithoutRecentring(const CGRect& frame);

    // Annotations, their callout and the loupe.
    const std::shared_ptr<CBMapAnnotationsHost>& annotationsHost() const {
        return annotationsHost_;
    }
    // The host's annotations, selection, callout and loupe.
    std::vector<CBAnnotationRef> annotations() const;
    void addAnnotationCentered(const CBAnnotationRef& annotation, bool centered);
    void addAnnotationsCentered(const std::vector<CBAnnotationRef>& annotations, bool centered);
    void addAnnotationsCenteredIncludingLocations(
        const std::vector<CBAnnotationRef>& annotations, bool centered,
        const std::vector<CLLocationCoordinate2D>& locations);
    void removeAnnotation(const CBAnnotationRef& annotation);
    void removeAnnotations(const std::vector<CBAnnotationRef>& annotations);
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
    void magnifyCoordinate(CLLocationCoordinate2D coordinate);
    void magnifyPoint(CGPoint point);
    void hideMagnifier(bool animated);
    std::shared_ptr<CBMapMagnifier> magnifier() const;
    bool magnifierAllowsAnnotationCreation() const;
    void setMagnifierAllowsAnnotationCreation(bool flag);

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
    // The identifier of the stores (CBOpenMap's); nullopt for none.
    static std::optional<std::string> mapStorePathFromPathes(const std::vector<std::string>& paths);
    // Empty while no map is open.
    std::string currentMapStorePath() const;
    void setCurrentMapStorePath(const std::optional<std::string>& identifier);
    void resetMap();
    // nullopt saves and restores under "default", and only while savesState is set.
    void saveStateWithIdentifier(const std::optional<std::string>& identifier);
    bool restoreStateWithIdentifier(const std::optional<std::string>& identifier);
    // What CBMapViewSavedState keeps for a map.
    static std::optional<Value::Dictionary> persistentDictionaryForMapWithIdentifier(
        const std::optional<std::string>& identifier);
    static std::optional<int> persistentZoomlevelForMapWithIdentifier(
        const std::optional<std::string>& identifier);
    static std::shared_ptr<CBBoundingBox> persistentBoundingBoxForMapWithIdentifier(
        const std::optional<std::string>& identifier);
    // The geo data store of the shown map; nullptr while none is shown.
    std::shared_ptr<CBGeoDataManager> dataManager() const;
    void applicationDidMoveToBackground();
    void didMoveToSuperview() override;
    void willMoveToSuperview(const std::shared_ptr<UIView>& superview) override;

    // The vector layer, its style and the data sources over and under it.
    const std::shared_ptr<CBMapLayers>& layers() const { return layers_; }
    // Overlay data sources and the highlight.
    const std::shared_ptr<CBMapOverlays>& overlays() const { return overlays_; }
    // The layers' data sources and style.
    void addDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void removeDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void insertDatasourceAbove(const std::shared_ptr<CBGeoDataSource>& source,
                               const std::shared_ptr<CBGeoDataSource>& existing);
    void insertDatasourceBelow(const std::shared_ptr<CBGeoDataSource>& source,
                               const std::shared_ptr<CBGeoDataSource>& existing);
    std::shared_ptr<CBVectorDataSource> vectorDataSourceLayer() const;
    void removeVectorDataSource();
    bool changeStyleToStylePlist(const std::string& path);
    std::optional<std::string> currentStylePlistPath() const;
    void setupMapViewForCurrentMapBaseStyle();
    std::shared_ptr<CBImageDataSource> setupForThunderforestLayer();
    std::shared_ptr<CBImageDataSource> setupForThunderforestLayerWithBoundingBox(
        const std::shared_ptr<CBBoundingBox>& box);
    // The overlays' data sources and highlight.
    void addOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void removeOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void removeAllOverlayDatasources();
    void overlaysNeedDisplay();
    void resetOverlayContents();
    void setBackgroundColorForOverlay(const std::optional<UIColor>& color);
    void highlightObjectWithStyle(const std::shared_ptr<CBGeoObject>& object,
                                  const std::shared_ptr<CBGeoStyle>& style);
    void highlightRelationWithStyle(const std::shared_ptr<CBGeoRelation>& relation,
                                    const std::shared_ptr<CBGeoStyle>& style);
    void removeHighlight();
    void removeCheckerPattern();
    const std::shared_ptr<CALayer>& mapBackgroundLayer() const { return mapBackgroundLayer_; }

    // Scale bar and ornaments.
    const std::shared_ptr<CBMapScaleBar>& scaleBar() const { return scaleBar_; }
    void setMapScaleHiddenAnimated(bool hidden, bool animated);
    std::shared_ptr<CBMapScaleView> mapScaleView() const;
    bool mapScaleAtTop() const;
    void setMapScaleAtTop(bool flag);
    const std::shared_ptr<CBMapOrnamentationFrameManager>& ornamentationFrameManager() const {
        return ornamentationFrameManager_;
    }
    // How far beyond the visible area the ornaments are laid out already.
    void setOrnamentationFramePreloadInset(const UIEdgeInsets& insets);
    // Asks the map's delegate for the ornaments again.
    void reloadOrnamentationFrameData();

    // Renders the box's levels (the range's first level and count) into the
    // disk tile cache through this view's renderer and vector layer
    // (CBMapTileCachePrefill). Returns at once; the blocks run on the
    // calling queue. Without a map or a vector layer nothing is rendered and
    // the run reports that it is done.
    void populateCacheForBoundingBoxAndZoomlevelRangeWithProgressBlockAndCompletionBlock(
        const CBBoundingBox& box, NSRange zoomlevelRange,
        CBMapTileCachePrefill::ProgressBlock progress,
        CBMapTileCachePrefill::CompletionBlock completion);
    // Clearing this view's disk cache (CBMapTileCachePrefill).
    void clearDiskCache();
    void clearDiskCacheForStoreIdentifier(const std::string& storeId);
    void clearDiskCacheForStoreIdentifierSync(const std::string& storeId);
    void clearDiskCacheWithActivityAlertViewAndCompletionAlertView(
        const std::shared_ptr<UIAlertView>& activity,
        const std::shared_ptr<UIAlertView>& completion);
    bool cacheTransparentTileImages() const;
    void setCacheTransparentTileImages(bool transparent);
    // The next tile position of a running pre-fill resets its context.
    void didReceiveMemoryWarning();

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

    // CBLocationManagerDelegate: the follower's answers (the follower is
    // what the location service calls).
    void locationManagerDidUpdateToLocationFromLocation(
        CBLocationManager& manager, std::shared_ptr<CLLocation> newLocation,
        std::shared_ptr<CLLocation> oldLocation) override;
    void locationManagerDidUpdateHeading(CBLocationManager& manager,
                                         std::shared_ptr<CLHeading> heading) override;
    void locationManagerDidFailWithError(CBLocationManager& manager, const NSError& error) override;

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
    // Zooms by factor around the touch, or keeping the centre while centring.
    void zoomByFactorAround(float factor, CGPoint containerPoint);
    // Runs a move or zoom as if there were no content inset: the room beyond
    // the map's edges is there to drag to the neighbouring maps, so what the
    // view moves or zooms to itself stays inside the map.
    void insideTheMap(const std::function<void()>& move);
    // The point of the container at the middle of the view once the running
    // animation ends.
    CGPoint targetMiddleInContainer() const;

    std::shared_ptr<CBMapVisibleArea> visibleArea_;
    std::weak_ptr<CBMapScrollViewDelegate> mapDelegate_;
    std::shared_ptr<CBMapLayout> layout_;
    std::shared_ptr<CBGeoDisplayManager> displayManager_;
    // The annotation layer, fronted by the annotations host.
    std::shared_ptr<CBAnnotationsManager> annotationsManager_;
    std::shared_ptr<CBMapAnnotationsHost> annotationsHost_;
    std::shared_ptr<CBMapUserLocationFollower> userLocationFollower_;
    std::shared_ptr<CBMapOverlays> overlays_;
    bool animatedZooming_ = false;
    // The inset a pinch set aside, given back when it ends.
    std::optional<UIEdgeInsets> insetBeforePinch_;
    // Where zoom steps are about (container points), and the middle the last
    // one ends at: a step from there goes on about the same place.
    std::optional<CGPoint> stepCentre_;
    CGPoint stepLanding_{};
    std::shared_ptr<CBMapView> mapView_;
    std::shared_ptr<CBMapScaleBar> scaleBar_;
    float originalHeight_ = 0;
    float originalWidth_ = 0;
    std::shared_ptr<CBMapOrnamentationFrameManager> ornamentationFrameManager_;
    std::shared_ptr<UIView> mapContainerView_;
    std::shared_ptr<CALayer> mapBackgroundLayer_;
    std::shared_ptr<NSNotificationObserver> openMapObserver_;
    std::shared_ptr<CBMapLayers> layers_;
    mutable std::mutex storeMutex_;  // the open map and its identifier
    std::shared_ptr<CBOpenMap> openMap_;
    std::optional<std::string> currentMapStorePath_;
};
