#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "QuartzCore/CALayer.h"

// A layer drawn in tiles, at several levels of detail, on worker threads.
//
// Level L (0 ... levelsOfDetail - 1) draws at scale 2^(levelsOfDetailBias - L)
// times the contents scale; a tile is tileSize pixels, so it covers tileSize /
// (scale x contentsScale) points. When composited, the layer picks the
// coarsest level at least as fine as the screen needs, shows the tiles of
// that level that are ready (fading them in over fadeDuration), stands in
// coarser or finer ready tiles for the rest, and asks the global queue to
// draw each missing visible tile: drawInContext (and so the delegate's
// drawLayerInContext) runs on a worker thread with a context whose transform
// maps the layer's points to the tile's pixels and whose clip is the tile.
// setNeedsDisplay drops every tile, setNeedsDisplayInRect those it touches;
// drawings under way for dropped tiles are discarded.
//
// renderInContext draws missing tiles at once on the calling thread.
class CATiledLayer : public CALayer {
  public:
    CATiledLayer();
    static std::shared_ptr<CATiledLayer> layer() { return std::make_shared<CATiledLayer>(); }

    // Seconds over which new tiles fade in; subclasses may answer 0.
    virtual double fadeDuration() const { return 0.25; }

    size_t levelsOfDetail() const { return levels_; }
    void setLevelsOfDetail(size_t levels);
    size_t levelsOfDetailBias() const { return bias_; }
    void setLevelsOfDetailBias(size_t bias);
    CGSize tileSize() const { return tileSize_; }
    void setTileSize(CGSize size);

    void setNeedsDisplay() override;
    void setNeedsDisplayInRect(const CGRect& rect) override;
    // Tiles are drawn on demand, not by the display pass.
    void display() override {}

    // The scale of the level that serves a screen scale (pixels per point
    // divided by the contents scale).
    CGFloat levelScaleForScreenScale(CGFloat scale) const;
    // For tests and diagnostics.
    size_t cachedTileCount() const;
    size_t pendingTileCount() const;

  protected:
    std::shared_ptr<CALayer> clone() const override;
    void drawOwnContent(CGContext& context, bool snapshot) override;

  private:
    using Key = std::tuple<int, long, long>;  // level, column, row
    struct Tile {
        std::shared_ptr<cairo_surface_t> surface;
        double arrival = 0;
        uint64_t lastUse = 0;
    };
    struct State {
        std::map<Key, Tile> tiles;
        std::set<Key> pending;
        uint64_t generation = 0;
        uint64_t frame = 0;
    };

    CGFloat scaleOfLevel(int level) const;
    CGRect tileRect(const Key& key) const;
    std::shared_ptr<cairo_surface_t> drawTile(const CGRect& rect, CGFloat scale);
    void requestTile(const Key& key);
    void paintTile(cairo_t* cr, const Key& key, const Tile& tile, double alpha) const;
    void evict();

    size_t levels_ = 1;
    size_t bias_ = 0;
    CGSize tileSize_{256, 256};
    std::shared_ptr<State> state_;
    // The layer a presentation copy was made from (draws its tiles).
    std::weak_ptr<CATiledLayer> model_;
};
