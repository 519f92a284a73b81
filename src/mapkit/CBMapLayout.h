#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "CoreGraphics/CGGeometry.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

class CBBoundingBox;
class CBGeoPathObject;
class CBMapProjection;
class CBMapProjector;
class CBMapScrollView;

// The laid-out map of one map view: its box, projection and deepest zoom
// level made a grid of tiles (CBMapGridLayout) and applied to the view's
// zoom scales and content; where coordinates land in its content view (the
// projector the renderer draws with), and the zoom levels of its scales.
// The layout holds its map weakly.
//
// Threads: configuration on the main thread; the projector, the grid's
// offsets and the conversions of coordinates to offsets from any thread.
class CBMapLayout {
  public:
    explicit CBMapLayout(std::weak_ptr<CBMapScrollView> map);

    // Lays out the box in the web Mercator projection down to level 18.
    void setMapBoundingBox(const std::shared_ptr<CBBoundingBox>& box);
    // nullptr for either: no map laid out.
    void setMapBoundingBoxForProjectionAndMaximumZoomlevel(
        const std::shared_ptr<CBBoundingBox>& box,
        const std::shared_ptr<CBMapProjection>& projection, int maximumZoomLevel);
    void configureForBoundingBox(const std::shared_ptr<CBBoundingBox>& box);
    void configureForMapSizeAndContainerSizeAndOffset(CGSize mapSize, CGSize containerSize,
                                                      CGPoint offset);
    void configureZoomForMapSize(CGSize size);

    std::shared_ptr<CBMapProjection> mapProjection() const;
    std::shared_ptr<CBBoundingBox> mapBoundingBox() const { return mapBoundingBox_; }
    int maximumZoomLevel() const { return maximumZoomlevel_; }
    int offsetCols() const { return offsetCols_; }
    int offsetRows() const { return offsetRows_; }
    CLLocationCoordinate2D mapCornerNorthWest() const;
    // nullptr while the map is not laid out.
    std::shared_ptr<const CBMapProjector> projector() const;

    // Zoom levels.
    int nativeZoomLevelForScale(float scale) const;
    float scaleForNativeZoomlevel(int level) const;
    int nativeZoomLevel() const;
    // The level a running zoom animation ends at, else nativeZoomLevel.
    int targetNativeZoomLevel() const;
    int minimumZoomLevel() const;
    // Limits zooming in to native level z; maximumZoomLevel stays.
    void setMaximumZoomLevel(int level);
    static double tileWidth();
    static double tileHeight();
    // The scale a zoom scale draws at: times the screen's scale.
    static float screenScale();

    // The grid and the content view's offsets.
    CGRect rectForXYZ(int x, int y, int z) const;
    int offsetColumnsForBoundingBox(const CBBoundingBox& box) const;
    int offsetRowsForBoundingBox(const CBBoundingBox& box) const;
    int lastColumnForBoundingBox(const CBBoundingBox& box) const;
    int lastRowForBoundingBox(const CBBoundingBox& box) const;
    CGPoint offsetForCoordinate(CLLocationCoordinate2D coordinate) const;
    CLLocationCoordinate2D coordinateAtOffset(CGPoint offset) const;
    // Gives the object the drawing forms it lacks (points, path) in the
    // grid's offsets; nothing while the map is not laid out.
    void calculatePointPathAndCGPathRefForGeoPathObject(bool wantPoints, bool wantPath,
                                                        CBGeoPathObject& object) const;

    // The box's rectangle in the container (the zooming view), clipped to
    // the map; CGRectZero outside it.
    CGRect rectForBoundingBox(const std::shared_ptr<CBBoundingBox>& box) const;
    float zoomScaleThatFitsBoundingBox(const std::shared_ptr<CBBoundingBox>& box) const;
    CGRect zoomRectForScaleWithCenter(float scale, CGPoint center) const;

  private:
    std::weak_ptr<CBMapScrollView> map_;
    std::shared_ptr<CBBoundingBox> mapBoundingBox_;
    std::atomic<int> offsetCols_ = 0;
    std::atomic<int> offsetRows_ = 0;
    std::atomic<int> maximumZoomlevel_ = 18;
    mutable std::mutex configMutex_;  // the projection and the projector
    std::shared_ptr<CBMapProjection> mapProjection_;
    std::shared_ptr<const CBMapProjector> projector_;
};
