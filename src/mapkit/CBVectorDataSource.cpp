#include "mapkit/CBVectorDataSource.h"

#include <algorithm>

#include "CBGeoData/CBGeoContextLease.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreGraphics/CGContext.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBElementPathCache.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBGeoStyleSheet.h"
#include "mapkit/CBMapProjector.h"

CBVectorDataSource::CBVectorDataSource(std::weak_ptr<CBGeoDisplayManager> manager)
    : manager_(std::move(manager)) {}

bool CBVectorDataSource::CollisionMemory::collides(int zoom, const std::string& key,
                                                   const CGRect& rect) {
    std::lock_guard guard(lock);
    auto& drawnRects = rects[zoom];
    auto& drawnElements = elements[zoom];
    if (!drawnElements.contains(key)) {
        for (const CGRect& drawn : drawnRects) {
            if (boxesOverlap(drawn, rect))
                return true;
        }
    }
    drawnRects.push_back(CGRectInset(rect, -2, -2));
    drawnElements.insert(key);
    return false;
}

void CBVectorDataSource::CollisionMemory::clear() {
    std::lock_guard guard(lock);
    rects.clear();
    elements.clear();
}

std::shared_ptr<CBDiskTileCache> CBVectorDataSource::diskCache() const {
    auto owner = manager();
    return owner ? owner->diskCache() : nullptr;
}

void CBVectorDataSource::drawTileRequestInContext(const CBTileRequest& request,
                                                  CGContext& context) {
    auto quadKey = CBGeoDataManager::quadKeyForTileXYZ(request.x, request.y, request.zoom);
    if (!quadKey || !request.projector || !request.styleSheet)
        return;
    const std::string quadKeyString = std::to_string(*quadKey);
    auto cache = diskCache();
    if (cache) {
        if (auto image = cache->newTileImageForQuadKeyStringInStoreIdWithStyleId(
                quadKeyString, request.storeIdentifier, request.styleIdentifier)) {
            drawCachedTileInContextAndRectAtScale(*image, context, request.rect, request.scale);
            return;
        }
    }

    // The thread's context stays in use until the tile is drawn.
    CBGeoContextLease lease = request.dataManager
                                  ? request.dataManager->leaseContextForCurrentThread()
                                  : CBGeoContextLease();
    std::vector<int64_t> quadKeys{*quadKey};
    auto tiles = lease.mapTilesForQuadKeys(quadKeys);
    bool fallback = false;
    if (!tiles || tiles->empty()) {
        fallback = true;
        while (auto parent = CBGeoDataManager::parentQuadKeyForQuadKey(quadKeys[0])) {
            quadKeys[0] = *parent;
            tiles = lease.mapTilesForQuadKeys(quadKeys, true);
            if (tiles && !tiles->empty())
                break;
        }
    }
    std::vector<std::shared_ptr<CBGeoMapTile>> fetched;
    if (tiles)
        fetched = std::move(*tiles);

    // Fills first; elements over them unless the fills are all there is.
    bool fillOnly = true;
    for (const auto& tile : fetched) {
        if (tile->fillTypeID())
            drawFillForMapTileAtZoomlevelAndScaleInRectAndContext(*tile, request, context);
        fillOnly = fillOnly && tile->isFillOnly();
    }
    if (fillOnly)
        return;

    // A tile missing from the package (deeper than its deepest level, or
    // left out) borrows its ancestor's elements, clipped to the tile; such
    // tiles are drawn live and never cached, as they are not the tile's own.
    BorrowedElements borrowed;
    auto layers = layersForTilesAroundQuadKeyInRect(fetched, quadKeys[0], request, lease, borrowed);
    if (!layers)
        return;
    CBElementPathCache paths(*request.projector);
    if (fallback || !cache || cache->lastCachedZoomlevel() < request.zoom) {
        context.saveGState();
        context.clipToRect(request.rect);
        drawObjectsAtZoomlevelAndScaleInContext(*layers, request, paths, context, borrowed);
        context.restoreGState();
    } else if (auto image = newMapImageWithElementLayersInRectAtScaleAndZoomlevel(
                   *layers, request, paths, borrowed, fetched)) {
        context.drawImage(request.rect, *image);
        cache->addTileImageForQuadKeyStringInStoreIdWithStyleId(
            image, quadKeyString, request.storeIdentifier, request.styleIdentifier);
    }
}

bool CBVectorDataSource::isOverlayAnchor(const CBGeoElementAnchor& anchor, int zoom,
                                         CBGeoStyleSheet& sheet) {
    if (anchor.named)
        return true;
    for (uint8_t i = 0; i < anchor.styleIdCount; ++i) {
        auto style = sheet.styleForTypeIDAtNativeZoomLevel(anchor.styleIds[i], zoom);
        if (style && style->icon())
            return true;
    }
    return false;
}

void CBVectorDataSource::learnOverlayAnchorsOfQuadKeys(
    const std::vector<int64_t>& quadKeys, int zoom, CBGeoStyleSheet& sheet,
    const CBGeoContextLease& lease, std::vector<CBOverlayAnchorCache::Anchor>& anchors) {
    auto rows = lease.elementAnchorsForQuadKeys(quadKeys);
    if (!rows)
        return;
    // Rows come key by key in the order asked; a key without rows (a tile
    // beyond the package's edge, or with nothing anchored) is known empty.
    auto row = rows->begin();
    for (int64_t key : quadKeys) {
        std::vector<CBOverlayAnchorCache::Anchor> found;
        for (; row != rows->end() && row->quadKey == key; ++row) {
            if (isOverlayAnchor(*row, zoom, sheet))
                found.push_back({row->objectID, row->coordinate});
        }
        anchors.insert(anchors.end(), found.begin(), found.end());
        overlayAnchors_.setAnchorsForQuadKey(key, std::move(found));
    }
}

std::optional<CBVectorDataSource::ElementLayers>
CBVectorDataSource::layersForTilesAroundQuadKeyInRect(
    const std::vector<std::shared_ptr<CBGeoMapTile>>& tiles, int64_t quadKey,
    const CBTileRequest& request, const CBGeoContextLease& lease, BorrowedElements& borrowed) {
    auto here = CBGeoDataManager::tileXYZForQuadKey(quadKey);
    auto context =
        tiles.empty() || !tiles.front() ? nullptr : tiles.front()->managedObjectContext();
    if (!here || !request.projector || !request.styleSheet || !context)
        return CBGeoDisplayManager::sortedElementsForMapTiles(tiles);
    const int zoom = here->z;
    std::vector<std::shared_ptr<CBGeoElement>> elements;
    std::unordered_set<NSManagedObjectID> own;
    for (const auto& tile : tiles) {
        for (const auto& element : tile->elements()) {
            if (element && own.insert(element->objectID()).second)
                elements.push_back(element);
        }
    }
    std::vector<CBOverlayAnchorCache::Anchor> anchors;
    std::vector<int64_t> missing;
    for (int64_t dy = -1; dy <= 1; ++dy) {
        for (int64_t dx = -1; dx <= 1; ++dx) {
            auto key = dx || dy
                           ? CBGeoDataManager::quadKeyForTileXYZ(here->x + dx, here->y + dy, zoom)
                           : std::nullopt;
            if (!key)
                continue;
            if (auto known = overlayAnchors_.anchorsForQuadKey(*key))
                anchors.insert(anchors.end(), known->begin(), known->end());
            else
                missing.push_back(*key);
        }
    }
    if (!missing.empty())
        learnOverlayAnchorsOfQuadKeys(missing, zoom, *request.styleSheet, lease, anchors);
    const CGRect& rect = request.rect;
    const CGRect reach = CGRectInset(rect, -rect.size.width / 2, -rect.size.height / 2);
    for (const auto& anchor : anchors) {
        if (own.count(anchor.objectID) ||
            !CGRectContainsPoint(reach, request.projector->offsetForCoordinate(anchor.coordinate)))
            continue;
        auto element =
            std::dynamic_pointer_cast<CBGeoElement>(context->objectWithID(anchor.objectID));
        if (!element || !borrowed.insert(element.get()).second)
            continue;
        elements.push_back(element);
    }
    return CBGeoDisplayManager::sortedElementsAtZoomlevel(elements, zoom);
}

std::shared_ptr<CBPointPath> CBVectorDataSource::pointPathForElement(CBGeoElement& element) {
    if (!element.pointPath())
        if (auto owner = manager())
            if (auto laidOut = owner->projector())
                laidOut->calculatePointPathAndCGPathRefForGeoPathObject(true, true, element);
    return element.pointPath();
}

void CBVectorDataSource::resetCollisionDetectionMemory() {
    icons_.clear();
    importantLabels_.clear();
    overlayAnchors_.removeAll();
}

void CBVectorDataSource::drawCachedTileInContextAndRectAtScale(const CGImage& image,
                                                               CGContext& context,
                                                               const CGRect& rect, float) {
    context.setInterpolationQuality(kCGInterpolationLow);
    context.drawImage(rect, image);
}

void CBVectorDataSource::tileImage(const CBGeoStyleImage& image, CGFloat divisor,
                                   CGContext& context) {
    if (!image.CGImage() || !(divisor > 0))
        return;
    CGSize size = image.size();
    CGRect tile =
        CGRectMake(0, 0, std::round(size.width / divisor), std::round(size.height / divisor));
    if (tile.size.width < 1 || tile.size.height < 1)
        return;
    context.drawTiledImage(tile, *image.CGImage());
}

void CBVectorDataSource::drawFillForMapTileAtZoomlevelAndScaleInRectAndContext(
    CBGeoMapTile& tile, const CBTileRequest& request, CGContext& context) {
    if (!request.styleSheet)
        return;
    auto style =
        request.styleSheet->styleForTypeIDAtNativeZoomLevel(tile.fillTypeID(), request.zoom);
    if (!style)
        return;
    auto fill = style->fillColor();
    auto pattern = style->fillPatternImage();
    if (!fill && !pattern)
        return;
    context.saveGState();
    if (auto opacity = style->fillOpacity())
        context.setAlpha(*opacity);
    if (!pattern) {
        context.setFillColorWithColor(*fill);
        context.fillRect(request.rect);
    } else {
        context.clipToRect(request.rect);
        tileImage(*pattern, request.screenRelativeScale(), context);
    }
    context.restoreGState();
}

CGImageRef CBVectorDataSource::newMapImageWithElementLayersInRectAtScaleAndZoomlevel(
    ElementLayers& layers, const CBTileRequest& request, CBElementPathCache& paths,
    const BorrowedElements& borrowed, const std::vector<std::shared_ptr<CBGeoMapTile>>& fills) {
    const CGRect& rect = request.rect;
    const float scale = request.scale;
    if (!request.styleSheet || !(scale > 0))
        return nullptr;
    auto bitmap = CGContext::createBitmapContext(size_t(rect.size.width * scale),
                                                 size_t(rect.size.height * scale));
    if (!bitmap)
        return nullptr;
    bitmap->scaleCTM(scale, scale);
    bitmap->setShouldAntialias(true);
    bitmap->translateCTM(-rect.origin.x, -rect.origin.y);
    if (!request.transparentBackground) {
        if (auto base = request.styleSheet->baseMapStyle()) {
            if (auto pattern = base->fillPatternImage()) {
                bitmap->saveGState();
                bitmap->clipToRect(rect);
                tileImage(*pattern, scale, *bitmap);
                bitmap->restoreGState();
            } else if (auto fill = base->fillColor()) {
                bitmap->setFillColorWithColor(*fill);
                bitmap->fillRect(rect);
            }
        }
    }
    for (const auto& tile : fills) {
        if (tile->fillTypeID())
            drawFillForMapTileAtZoomlevelAndScaleInRectAndContext(*tile, request, *bitmap);
    }
    drawObjectsAtZoomlevelAndScaleInContext(layers, request, paths, *bitmap, borrowed);
    return bitmap->createImage();
}

bool CBVectorDataSource::cachedTileAvailableForXYZ(int x, int y, int z) {
    auto owner = manager();
    return owner && cachedTileAvailableForTileRequest(owner->tileRequestForXYZ(x, y, z));
}

void CBVectorDataSource::prerenderXYZ(int x, int y, int z) {
    if (auto owner = manager())
        prerenderTileRequest(owner->tileRequestForXYZ(x, y, z));
}

bool CBVectorDataSource::cachedTileAvailableForTileRequest(const CBTileRequest& request) {
    auto quadKey = CBGeoDataManager::quadKeyForTileXYZ(request.x, request.y, request.zoom);
    auto cache = quadKey ? diskCache() : nullptr;
    return cache && cache->cachedTileAvailableForQuadkeyInStoreIdWithStyleId(
                        std::to_string(*quadKey), request.storeIdentifier, request.styleIdentifier);
}

void CBVectorDataSource::prerenderTileRequest(const CBTileRequest& request) {
    auto quadKey = CBGeoDataManager::quadKeyForTileXYZ(request.x, request.y, request.zoom);
    auto cache = diskCache();
    if (!quadKey || !cache || !request.projector || !request.dataManager ||
        cachedTileAvailableForTileRequest(request))
        return;
    CBGeoContextLease lease = request.dataManager->leaseContextForCurrentThread();
    auto tiles = lease.mapTilesForQuadKeys({*quadKey});
    if (!tiles || tiles->empty())
        return;
    if (std::all_of(tiles->begin(), tiles->end(),
                    [](const auto& tile) { return tile->isFillOnly(); }))
        return;
    BorrowedElements borrowed;
    auto layers = layersForTilesAroundQuadKeyInRect(*tiles, *quadKey, request, lease, borrowed);
    if (!layers)
        return;
    CBElementPathCache paths(*request.projector);
    if (auto image = newMapImageWithElementLayersInRectAtScaleAndZoomlevel(*layers, request, paths,
                                                                           borrowed, *tiles))
        cache->addTileImageForQuadKeyStringInStoreIdWithStyleId(
            image, std::to_string(*quadKey), request.storeIdentifier, request.styleIdentifier);
}
