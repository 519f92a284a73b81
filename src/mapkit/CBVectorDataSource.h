#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "CoreGraphics/CGImage.h"
#include "mapkit/CBGeoDataSource.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBOverlayAnchorCache.h"

class CBGeoElement;
class CBPointPath;
class UIImage;
class CBGeoMapTile;
class CBGeoStyle;
class CBGeoStyleSheet;
class CBTilePathBatch;
class CBVectorMapView;
class CGContext;

// Draws the vector map of the open package into a tile: from the disk tile
// cache when it holds the tile, else from the geo database (climbing to the
// parent quad key when a tile is missing), rendering cacheable zooms into the
// cache on the way. Icons and important labels avoid each other across all
// tiles of a zoom level through the collision memory, the only state shared
// between the worker threads that draw tiles at once.
class CBVectorDataSource : public CBGeoDataSource {
  public:
    using ElementLayers = std::vector<CBGeoDisplayManager::ElementsByStyle>;
    // Elements of the tiles around a tile, drawn into it for their icons and
    // labels only.
    using BorrowedElements = std::unordered_set<const CBGeoElement*>;

    CBVectorDataSource(std::weak_ptr<CBGeoDisplayManager> manager,
                       std::weak_ptr<CBVectorMapView> mapView);

    std::shared_ptr<CBGeoDisplayManager> manager() const { return manager_.lock(); }
    std::shared_ptr<CBVectorMapView> mapView() const { return mapView_.lock(); }

    void resetCollisionDetectionMemory();
    void coordinateSystemChanged() override { resetCollisionDetectionMemory(); }

    void drawDataSourceInMapInRectForXYZAtScaleInContext(
        const std::shared_ptr<CBMapScrollView>& map, const CGRect& rect, int x, int y, int z,
        float scale, CGContext& context) override;

    // The element's point path, made (with its CGPath) on first request.
    std::shared_ptr<CBPointPath> pointPathForElement(CBGeoElement& element) const;

    static void drawCachedTileInContextAndRectAtScale(const CGImage& image, CGContext& context,
                                                      const CGRect& rect, float scale);
    void drawFillForMapTileAtZoomlevelAndScaleInRectAndContext(CBGeoMapTile& tile, int zoom,
                                                               float scale, const CGRect& rect,
                                                               CGContext& context);
    // A tile bound for the disk cache; nullptr when no bitmap can be made.
    CGImageRef newMapImageWithElementLayersInRectAtScaleAndZoomlevel(
        ElementLayers& layers, const CGRect& rect, float scale, int zoom,
        const BorrowedElements& borrowed = {});
    bool cachedTileAvailableForXYZ(int x, int y, int z);
    // Renders one tile into the disk cache unless it is cached, missing or
    // only a fill.
    void prerenderXYZ(int x, int y, int z);

    // Paints the layers: geometry passes per layer, z-index group and phase,
    // then arrows, icons and labels on top. Borrowed elements get icons and
    // labels only. Overlays of one style go in object order, so that
    // neighbouring tiles settle overlapping labels alike.
    void drawObjectsAtZoomlevelAndScaleInContext(ElementLayers& layers, int zoom, float scale,
                                                 CGContext& context,
                                                 const BorrowedElements& borrowed = {});
    // The layers of the tiles, with the elements of the eight tiles around
    // quadKey whose icon or label is anchored within half a tile of rect
    // added as borrowed: a label crossing the edge then shows whole on both
    // sides. nullopt for no tiles.
    std::optional<ElementLayers> layersForTilesAroundQuadKeyInRect(
        const std::vector<std::shared_ptr<CBGeoMapTile>>& tiles, int64_t quadKey,
        const CGRect& rect, BorrowedElements& borrowed);

    // Labels (CBVectorDataSourceTextRendering.cpp). s is the
    // screen-relative scale. labelRects holds the boxes of the labels drawn
    // so far in the tile: a label meeting one of them is left out, so labels
    // never overlap within a tile.
    void drawLabelForElementWithStyleAtZoomlevelAndScaleInContext(CBGeoElement& element,
                                                                  CBGeoStyle& style, int zoom,
                                                                  CGFloat s,
                                                                  std::vector<CGRect>& labelRects,
                                                                  CGContext& context);
    bool drawNameForElementWithStyleAndScaleInContext(const std::string& name,
                                                      CBGeoElement& element, CBGeoStyle& style,
                                                      CGFloat s, std::vector<CGRect>& labelRects,
                                                      CGContext& context);
    // true when the rectangle meets an important label of another element
    // at the zoom; otherwise remembers it.
    bool checkForCollisionOfImportantLabelForElementAtZoomlevelWithRect(CBGeoElement& element,
                                                                        int zoom,
                                                                        const CGRect& rect);
    // The icon's rectangle when it was drawn; nullopt when it collided.
    std::optional<CGRect> drawIconOfWidthAndHeightForElementAtZoomlevelInContext(
        const UIImage& icon, CGFloat width, CGFloat height, CBGeoElement& element, int zoom,
        CGContext& context);

    // The screen-relative scale: scale / the main screen's scale.
    static CGFloat screenRelativeScale(float scale);
    // Whether two label or icon boxes (of positive size) share some area:
    // CGRectIntersectsRect without its normalising, as the boxes of a tile
    // and of a zoom level are compared pair by pair.
    static bool boxesOverlap(const CGRect& a, const CGRect& b) {
        return std::max(a.origin.x, b.origin.x) <
                   std::min(a.origin.x + a.size.width, b.origin.x + b.size.width) &&
               std::max(a.origin.y, b.origin.y) <
                   std::min(a.origin.y + a.size.height, b.origin.y + b.size.height);
    }

  private:
    struct CollisionMemory {
        std::mutex lock;
        std::map<int, std::vector<CGRect>> rects;
        std::map<int, std::set<std::string>> elements;
        bool collides(int zoom, const std::string& key, const CGRect& rect);
        void clear();
    };

    struct TileIdentifiers {
        int64_t quadKey = 0;
        std::string quadKeyString;
        std::string styleId;
        std::string storeId;
    };
    std::optional<TileIdentifiers> identifiersForXYZ(int x, int y, int z) const;
    // Whether the element lends its icon or label to the tiles around it: it
    // has a name, or one of its styles an icon at the zoom.
    static bool isOverlayAnchor(const CBGeoElementAnchor& anchor, int zoom, CBGeoStyleSheet& sheet);
    // Reads the anchors of the tiles from the store into the cache (an empty
    // list for a tile without any) and appends them to anchors.
    void learnOverlayAnchorsOfQuadKeys(const std::vector<int64_t>& quadKeys, int zoom,
                                       std::vector<CBOverlayAnchorCache::Anchor>& anchors);

    static CBGeoStyle* getSubStyleOfStyleForArchitectureOfElement(CBGeoStyle& style,
                                                                  CBGeoElement& element);
    static void prepareContextWithStyleAndScaleForArchitectureOfElement(CGContext& context,
                                                                        CBGeoStyle& style,
                                                                        CGFloat s,
                                                                        CBGeoElement& element);
    void drawOneWaySymbolForElementWithStyleAndScaleInContext(CBGeoElement& element,
                                                              CBGeoStyle& style, CGFloat s,
                                                              CGContext& context) const;
    // Strokes and plain fills go through batch, which takes the paint the
    // context holds at the time.
    void drawGeometryPhase(int phase, CBGeoElement& element, CBGeoStyle* subStyle,
                           CBGeoStyle* buildingStyle, bool requiresPath, int zoom, CGFloat s,
                           CBGeoStyleSheet& sheet, CBTilePathBatch& batch,
                           CGContext& context) const;
    static void tileImage(const UIImage& image, CGFloat divisor, CGContext& context);

    std::weak_ptr<CBGeoDisplayManager> manager_;
    std::weak_ptr<CBVectorMapView> mapView_;
    CollisionMemory icons_;
    CollisionMemory importantLabels_;
    CBOverlayAnchorCache overlayAnchors_;
    static constexpr int kDrawingPhases[] = {2, 4, 5};
};
