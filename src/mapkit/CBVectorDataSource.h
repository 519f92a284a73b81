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

class CBElementPathCache;
class CBGeoContextLease;
class CBGeoElement;
class CBGeoMapTile;
class CBGeoStyle;
class CBGeoStyleImage;
class CBGeoStyleSheet;
class CBMapProjector;
class CBPointPath;
class CBTilePathBatch;
class CGContext;

// Draws the vector map of the open package into a tile: from the disk tile
// cache when it holds the tile, else from the geo database (climbing to the
// parent quad key when a tile is missing), rendering cacheable zooms into the
// cache on the way. Everything a tile needs comes with its request; the
// display manager that owns the source keeps the disk cache. Icons and
// important labels avoid each other across all tiles of a zoom level through
// the collision memory, the only state shared between the worker threads
// that draw tiles at once.
class CBVectorDataSource : public CBGeoDataSource {
  public:
    using ElementLayers = std::vector<CBGeoDisplayManager::ElementsByStyle>;
    // Elements of the tiles around a tile, drawn into it for their icons and
    // labels only.
    using BorrowedElements = std::unordered_set<const CBGeoElement*>;

    explicit CBVectorDataSource(std::weak_ptr<CBGeoDisplayManager> manager);

    std::shared_ptr<CBGeoDisplayManager> manager() const { return manager_.lock(); }

    void resetCollisionDetectionMemory();
    void coordinateSystemChanged() override { resetCollisionDetectionMemory(); }

    // The element's points in the owner's map, made (with its path) when it
    // has none yet. For callers outside the tile road, which projects into
    // its per-tile cache instead.
    std::shared_ptr<CBPointPath> pointPathForElement(CBGeoElement& element);

    void drawTileRequestInContext(const CBTileRequest& request, CGContext& context) override;

    static void drawCachedTileInContextAndRectAtScale(const CGImage& image, CGContext& context,
                                                      const CGRect& rect, float scale);
    // Fills the request's tile with the style of the map tile's fill type.
    static void drawFillForMapTileAtZoomlevelAndScaleInRectAndContext(CBGeoMapTile& tile,
                                                                      const CBTileRequest& request,
                                                                      CGContext& context);
    // The request's tile bound for the disk cache, the fills of the map
    // tiles under its elements; nullptr when no bitmap can be made.
    CGImageRef newMapImageWithElementLayersInRectAtScaleAndZoomlevel(
        ElementLayers& layers, const CBTileRequest& request, CBElementPathCache& paths,
        const BorrowedElements& borrowed = {},
        const std::vector<std::shared_ptr<CBGeoMapTile>>& fills = {});
    // The tile of the owner's map at its zoom's scale (its request made by
    // the display manager).
    bool cachedTileAvailableForXYZ(int x, int y, int z);
    // Renders one tile into the disk cache unless it is cached, missing or
    // only a fill.
    void prerenderXYZ(int x, int y, int z);
    bool cachedTileAvailableForTileRequest(const CBTileRequest& request);
    void prerenderTileRequest(const CBTileRequest& request);

    // Paints the layers: geometry passes per layer, z-index group and phase,
    // then arrows, icons and labels on top. Borrowed elements get icons and
    // labels only. Overlays of one style go in object order, so that
    // neighbouring tiles settle overlapping labels alike.
    void drawObjectsAtZoomlevelAndScaleInContext(ElementLayers& layers,
                                                 const CBTileRequest& request,
                                                 CBElementPathCache& paths, CGContext& context,
                                                 const BorrowedElements& borrowed = {});
    // The layers of the tiles, with the elements of the eight tiles around
    // quadKey whose icon or label is anchored within half a tile of the
    // request's rectangle added as borrowed: a label crossing the edge then
    // shows whole on both sides. nullopt for no tiles.
    std::optional<ElementLayers> layersForTilesAroundQuadKeyInRect(
        const std::vector<std::shared_ptr<CBGeoMapTile>>& tiles, int64_t quadKey,
        const CBTileRequest& request, const CBGeoContextLease& lease, BorrowedElements& borrowed);

    // Labels (CBVectorDataSourceTextRendering.cpp). s is the
    // screen-relative scale. labelRects holds the boxes of the labels drawn
    // so far in the tile: a label meeting one of them is left out, so labels
    // never overlap within a tile.
    void drawLabelForElementWithStyleAtZoomlevelAndScaleInContext(
        CBGeoElement& element, CBGeoStyle& style, int zoom, CGFloat s,
        std::vector<CGRect>& labelRects, CBElementPathCache& paths, CGContext& context);
    // Where a reference label (a road's number, "B 96") along the element
    // would go. Such labels are not drawn: the map names roads by their
    // names, so this does nothing.
    static void
    drawLabelForRefAlongElementAtZoomlevelAndScaleWithStyleAndPreviousLabelRectsInContext(
        const std::optional<std::string>& ref, CBGeoElement& element, int zoom, CGFloat s,
        CBGeoStyle& style, std::vector<CGRect>& previousLabelRects, CGContext& context);
    bool drawNameForElementWithStyleAndScaleInContext(const std::string& name,
                                                      CBGeoElement& element, CBGeoStyle& style,
                                                      CGFloat s, std::vector<CGRect>& labelRects,
                                                      CBElementPathCache& paths,
                                                      CGContext& context);
    // true when the rectangle meets an important label of another element
    // at the zoom; otherwise remembers it.
    bool checkForCollisionOfImportantLabelForElementAtZoomlevelWithRect(CBGeoElement& element,
                                                                        int zoom,
                                                                        const CGRect& rect);
    // The icon's rectangle when it was drawn; nullopt when it collided with
    // an icon of the zoom or with a place's name of the tile.
    std::optional<CGRect> drawIconOfWidthAndHeightForElementAtZoomlevelInContext(
        const CBGeoStyleImage& icon, CGFloat width, CGFloat height, CBGeoElement& element, int zoom,
        const CBMapProjector& projector, const std::vector<CGRect>& placeNameRects,
        CGContext& context);

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

    std::shared_ptr<CBDiskTileCache> diskCache() const;
    // Whether the element lends its icon or label to the tiles around it: it
    // has a name, or one of its styles an icon at the zoom.
    static bool isOverlayAnchor(const CBGeoElementAnchor& anchor, int zoom, CBGeoStyleSheet& sheet);
    // Reads the anchors of the tiles from the store into the cache (an empty
    // list for a tile without any) and appends them to anchors.
    void learnOverlayAnchorsOfQuadKeys(const std::vector<int64_t>& quadKeys, int zoom,
                                       CBGeoStyleSheet& sheet, const CBGeoContextLease& lease,
                                       std::vector<CBOverlayAnchorCache::Anchor>& anchors);

    static CBGeoStyle* getSubStyleOfStyleForArchitectureOfElement(CBGeoStyle& style,
                                                                  CBGeoElement& element);
    static void prepareContextWithStyleAndScaleForArchitectureOfElement(CGContext& context,
                                                                        CBGeoStyle& style,
                                                                        CGFloat s,
                                                                        CBGeoElement& element);
    // The arrows look the same at every zoom level.
    static void drawOneWaySymbolForElementWithStyleAtZoomlevelAndScaleInContext(
        CBGeoElement& element, CBGeoStyle& style, int zoom, CGFloat s, CBElementPathCache& paths,
        CGContext& context);
    // Strokes and plain fills go through batch, which takes the paint the
    // context holds at the time.
    static void drawGeometryPhase(int phase, CBGeoElement& element, CBGeoStyle* subStyle,
                                  CBGeoStyle* buildingStyle, bool requiresPath, int zoom, CGFloat s,
                                  CBGeoStyleSheet& sheet, CBElementPathCache& paths,
                                  CBTilePathBatch& batch, CGContext& context);
    static void tileImage(const CBGeoStyleImage& image, CGFloat divisor, CGContext& context);

    std::weak_ptr<CBGeoDisplayManager> manager_;
    CollisionMemory icons_;
    CollisionMemory importantLabels_;
    CBOverlayAnchorCache overlayAnchors_;
    static constexpr int kDrawingPhases[] = {2, 4, 5};
};
