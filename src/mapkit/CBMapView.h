#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "UIKit/UIView.h"

class CBGeoDisplayManager;
class CBMapOverlayLayer;
class CBMapScrollView;
class CGContext;
struct CBTileRequest;

// The tiled content view of a map: its layer is a CATiledLayer whose worker
// threads call drawRect, which turns the dirty rectangle into tiles X/Y/Z,
// has the display manager gather each tile's request and draw its data
// sources from it. A tile whose content arrives later (a raster tile being
// loaded) is drawn again when it comes; the main thread draws tiles only for
// a snapshot, which shows them complete.
class CBMapView : public UIView {
  public:
    explicit CBMapView(const CGRect& frame = CGRectZero);
    ~CBMapView() override;

    std::shared_ptr<CBGeoDisplayManager> manager() const;
    void setManager(const std::shared_ptr<CBGeoDisplayManager>& manager);
    std::shared_ptr<CBMapScrollView> scrollView() const { return scrollView_.lock(); }
    void setScrollView(const std::weak_ptr<CBMapScrollView>& view) { scrollView_ = view; }

    int offsetColumns() const { return offsetColumns_; }
    int offsetRows() const { return offsetRows_; }
    void setOffsetRowAndColumn(int row, int column);
    // Zoom levels from the maximum down to the minimum, both included.
    int levelsOfDetail() const { return zoomLevels_; }
    void setLevelsOfDetail(int levels);
    bool fillBackground() const { return fillBackground_; }
    void setFillBackground(bool flag) { fillBackground_ = flag; }

    // The tile size of the tiled layer, in pixels.
    CGSize tileSize() const;
    void setTileSize(CGSize size);

    // The transparent view on top that draws the overlay data sources; it
    // exists only while there are overlays.
    std::shared_ptr<CBMapView> overLayLayer() const;
    void loadOverlayLayerIfNeeded();
    void unloadOverlayLayer();
    void layoutSubviews() override;

    // Clears the drawn tiles and tells the data sources that the coordinate system changed.
    void refresh();

    void setNeedsDisplay() override;
    void drawRect(const CGRect& rect) override;

    // Draws the data sources of one tile; the overlay variant draws the overlays.
    virtual void requestDrawingForDatasourcesInRectXYZAtScaleInContext(const CGRect& rect, int x,
                                                                       int y, int z, float scale,
                                                                       CGContext& context);

  protected:
    // The tile's request, with a way to draw the tile again when late
    // content arrives (none on the main thread: a snapshot waits for it).
    CBTileRequest tileRequest(CBGeoDisplayManager& manager, const CGRect& rect, int x, int y, int z,
                              float scale);

  private:
    void applyLevelsOfDetail();

    mutable std::mutex mutex_;
    std::shared_ptr<CBMapView> overLayLayer_;
    std::shared_ptr<CBGeoDisplayManager> manager_;
    std::weak_ptr<CBMapScrollView> scrollView_;
    std::atomic<int> offsetColumns_ = 0;
    std::atomic<int> offsetRows_ = 0;
    std::atomic<bool> fillBackground_ = true;
    int zoomLevels_ = 1;
};

// The overlay: the same tiled view, transparent, drawing the overlay data sources.
class CBMapOverlayLayer : public CBMapView {
  public:
    explicit CBMapOverlayLayer(const CGRect& frame = CGRectZero);
    void requestDrawingForDatasourcesInRectXYZAtScaleInContext(const CGRect& rect, int x, int y,
                                                               int z, float scale,
                                                               CGContext& context) override;
};
