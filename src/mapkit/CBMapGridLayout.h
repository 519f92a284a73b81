#pragma once

#include <memory>
#include <optional>

#include "CoreGraphics/CGGeometry.h"

class CBBoundingBox;
class CBMapProjection;
class CBMapProjector;

// How a map box is laid out in a map view of a given size: the container is
// the box at zoom scale 1 (its tiles of the deepest level T points each), the
// zoom scales keep the box filling the view, and the tile grid around the box
// is aligned to whole tiles of the widest level those scales allow, so that
// every level of detail starts on a tile boundary. A map view applies it to
// its views; the tile-cache pre-fill lays a map out the same way with no view.
struct CBMapGridLayout {
    CGSize boxSize{};      // the container's size
    CGSize gridSize{};     // the content view's size: whole tiles around the box
    CGPoint gridOffset{};  // the content view's origin in the container (not positive)
    CGFloat minimumZoomScale = 1;
    CGFloat maximumZoomScale = 1;
    int minimumZoomLevel = 0;
    // The grid's corner and first column and row, with the projection.
    std::shared_ptr<const CBMapProjector> projector;

    static CBMapGridLayout layoutForBoundingBox(const CBBoundingBox& box,
                                                std::shared_ptr<CBMapProjection> projection,
                                                int maximumZoomLevel, CGFloat tileSize,
                                                CGSize viewSize, CGFloat screenScale);
    // The zoom scales of a map of mapSize points in the view: at most one
    // screen pixel per tile pixel, at least what fills the view.
    static void zoomScalesForMapSize(CGSize mapSize, CGSize viewSize, CGFloat screenScale,
                                     CGFloat& minimumZoomScale, CGFloat& maximumZoomScale);
};
