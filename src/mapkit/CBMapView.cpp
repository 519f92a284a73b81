#include "mapkit/CBMapView.h"

#include <cmath>

#include "Dispatch/DispatchQueue.h"
#include "QuartzCore/CATiledLayer.h"
#include "UIKit/UIGraphics.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/CBTileRequest.h"

namespace {

// The deepest level of a map view that is not laid out yet.
constexpr int kDefaultMaximumZoomLevel = 18;

}  // namespace

CBMapView::CBMapView(const CGRect& frame) : UIView(frame, std::make_shared<CATiledLayer>()) {
    setOpaque(true);
    layer()->setOpaque(true);
}

CBMapView::~CBMapView() {
    setManager(nullptr);
}

std::shared_ptr<CBGeoDisplayManager> CBMapView::manager() const {
    std::lock_guard lock(mutex_);
    return manager_;
}

void CBMapView::setManager(const std::shared_ptr<CBGeoDisplayManager>& manager) {
    std::shared_ptr<CBMapView> overlay;
    {
        std::lock_guard lock(mutex_);
        manager_ = manager;
        overlay = overLayLayer_;
    }
    if (overlay)
        overlay->setManager(manager);
}

std::shared_ptr<CBMapView> CBMapView::overLayLayer() const {
    std::lock_guard lock(mutex_);
    return overLayLayer_;
}

void CBMapView::loadOverlayLayerIfNeeded() {
    if (overLayLayer())
        return;
    auto overlay = std::make_shared<CBMapOverlayLayer>(bounds());
    overlay->setUserInteractionEnabled(false);
    overlay->setOffsetRowAndColumn(offsetRows_, offsetColumns_);
    auto own = std::static_pointer_cast<CATiledLayer>(layer());
    overlay->setLevelsOfDetail(zoomLevels_);
    overlay->setTileSize(own->tileSize());
    overlay->setManager(manager());
    {
        std::lock_guard lock(mutex_);
        overLayLayer_ = overlay;
    }
    addSubview(overlay);
}

void CBMapView::unloadOverlayLayer() {
    std::shared_ptr<CBMapView> overlay;
    {
        std::lock_guard lock(mutex_);
        overlay.swap(overLayLayer_);
    }
    if (overlay)
        overlay->removeFromSuperview();
}

void CBMapView::layoutSubviews() {
    if (auto overlay = overLayLayer())
        overlay->setFrame(bounds());
}

void CBMapView::setOffsetRowAndColumn(int row, int column) {
    offsetRows_ = row;
    offsetColumns_ = column;
    if (auto overlay = overLayLayer())
        overlay->setOffsetRowAndColumn(row, column);
}

void CBMapView::setLevelsOfDetail(int levels) {
    zoomLevels_ = std::max(levels, 1);
    applyLevelsOfDetail();
    if (auto overlay = overLayLayer())
        overlay->setLevelsOfDetail(levels);
}

void CBMapView::applyLevelsOfDetail() {
    // The tiled layer's level L draws 2^-L times its contents scale pixels
    // per point: at the screen's scale of 2 its level 0 is a zoom beyond the
    // maximum and each zoom level one level further down, so it needs one
    // level more to reach the minimum zoom.
    const int finer = std::max(0, static_cast<int>(std::lround(std::log2(contentScaleFactor()))));
    std::static_pointer_cast<CATiledLayer>(layer())->setLevelsOfDetail(
        static_cast<size_t>(zoomLevels_ + finer));
}

CGSize CBMapView::tileSize() const {
    return std::static_pointer_cast<CATiledLayer>(layer())->tileSize();
}

void CBMapView::setTileSize(CGSize size) {
    std::static_pointer_cast<CATiledLayer>(layer())->setTileSize(size);
}

void CBMapView::refresh() {
    layer()->setContents(nullptr);
    if (auto m = manager())
        m->coordinateSystemChanged();
    layer()->setNeedsDisplay();
}

void CBMapView::setNeedsDisplay() {
    UIView::setNeedsDisplay();
    if (auto overlay = overLayLayer())
        overlay->setNeedsDisplay();
    // The tiled layer works in tile pixels: the view's own scale stays 1.
    if (contentScaleFactor() != 1.0) {
        setContentScaleFactor(1.0);
        applyLevelsOfDetail();
    }
}

void CBMapView::drawRect(const CGRect& rect) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    auto m = manager();
    if (!context || !m)
        return;
    // The context's transform carries the level of detail's scale.
    float scale = static_cast<float>(context->getCTM().a);
    if (!(scale > 0))
        return;
    context->clipToRect(rect);
    if (fillBackground_) {
        auto sheet = m->styleSheetForCurrentThread();
        auto base = sheet ? sheet->baseMapStyle() : nullptr;
        if (base) {
            auto pattern = base->fillPatternImage();
            if (pattern && pattern->CGImage()) {
                CGSize size = pattern->size();
                context->drawTiledImage(CGRectMake(0, 0, std::round(size.width / scale),
                                                   std::round(size.height / scale)),
                                        *pattern->CGImage());
            } else if (auto fill = base->fillColor()) {
                context->setFillColorWithColor(*fill);
                context->fillRect(rect);
            }
        }
    }
    auto projector = m->projector();
    const int z = projector
                      ? projector->nativeZoomLevelForScale(scale)
                      : static_cast<int>(std::round(std::log2(scale))) + kDefaultMaximumZoomLevel;
    CGSize tile = tileSize();
    float tw = static_cast<float>(tile.width) / scale;
    float th = static_cast<float>(tile.height) / scale;
    int c0 = static_cast<int>(std::floor(CGRectGetMinX(rect) / tw));
    int c1 = static_cast<int>(std::floor((CGRectGetMaxX(rect) - 1) / tw));
    int r0 = static_cast<int>(std::floor(CGRectGetMinY(rect) / th));
    int r1 = static_cast<int>(std::floor((CGRectGetMaxY(rect) - 1) / th));
    // The grid's offsets are whole tiles of the widest level, so these are integers.
    int firstX = static_cast<int>(scale * static_cast<float>(offsetColumns_));
    int firstY = static_cast<int>(scale * static_cast<float>(offsetRows_));
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            requestDrawingForDatasourcesInRectXYZAtScaleInContext(
                CGRectMake(c * tw, r * th, tw, th), firstX + c, firstY + r, z, scale, *context);
}

CBTileRequest CBMapView::tileRequest(CBGeoDisplayManager& manager, const CGRect& rect, int x, int y,
                                     int z, float scale) {
    CBTileRequest request = manager.tileRequestForRectXYZAtScale(rect, x, y, z, scale);
    if (!DispatchQueue::main()->isCurrent()) {
        std::weak_ptr<UIResponder> weak = weak_from_this();
        request.redraw = [weak, rect] {
            DispatchQueue::main()->async([weak, rect] {
                if (auto view = std::static_pointer_cast<CBMapView>(weak.lock()))
                    view->setNeedsDisplayInRect(rect);
            });
        };
    }
    return request;
}

void CBMapView::requestDrawingForDatasourcesInRectXYZAtScaleInContext(const CGRect& rect, int x,
                                                                      int y, int z, float scale,
                                                                      CGContext& context) {
    if (auto m = manager())
        m->drawDataSourcesForTileRequestInContext(tileRequest(*m, rect, x, y, z, scale), context);
}

CBMapOverlayLayer::CBMapOverlayLayer(const CGRect& frame) : CBMapView(frame) {
    setBackgroundColor(UIColor::clearColor());
    setFillBackground(false);
    setOpaque(false);
    layer()->setOpaque(false);
}

void CBMapOverlayLayer::requestDrawingForDatasourcesInRectXYZAtScaleInContext(const CGRect& rect,
                                                                              int x, int y, int z,
                                                                              float scale,
                                                                              CGContext& context) {
    auto m = manager();
    if (m && !m->overlayDataSources().empty())
        m->drawOverlayDataSourcesForTileRequestInContext(tileRequest(*m, rect, x, y, z, scale),
                                                         context);
}
