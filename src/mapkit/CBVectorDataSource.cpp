#include "mapkit/CBVectorDataSource.h"

#include <algorithm>
#include <filesystem>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CoreGraphics/CGContext.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBGeoStyleSheet.h"
#include "mapkit/CBVectorMapView.h"

CBVectorDataSource::CBVectorDataSource(std::weak_ptr<CBGeoDisplayManager> manager,
                                       std::weak_ptr<CBVectorMapView> mapView)
    : manager_(std::move(manager)), mapView_(std::move(mapView)) {}

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

CGFloat CBVectorDataSource::screenRelativeScale(float scale) {
    CGFloat screen = UIScreen::mainScreen()->scale();
    return screen > 0 ? scale / screen : scale;
}

std::shared_ptr<CBPointPath> CBVectorDataSource::pointPathForElement(CBGeoElement& element) const {
    if (!element.pointPath()) {
        if (auto map = mapView())
            map->calculatePointPathAndCGPathRefForGeoPathObject(true, true, element);
    }
    return element.pointPath();
}

std::optional<CBVectorDataSource::TileIdentifiers> CBVectorDataSource::identifiersForXYZ(
    int x, int y, int z) const {
    auto quadKey = CBGeoDataManager::quadKeyForTileXYZ(x, y, z);
    auto owner = manager();
    auto map = mapView();
    if (!quadKey || !owner || !map)
        return std::nullopt;
    TileIdentifiers ids;
    ids.quadKey = *quadKey;
    ids.quadKeyString = std::to_string(*quadKey);
    if (auto path = owner->currentStylePlistPath())
        ids.styleId = std::filesystem::path(*path).stem().string();
    // The cache keeps one folder per store: the store file's name.
    ids.storeId = std::filesystem::path(map->currentMapStorePath()).filename().string();
    return ids;
}

void CBVectorDataSource::drawDataSourceInMapInRectForXYZAtScaleInContext(
    const std::shared_ptr<CBMapScrollView>&, const CGRect& rect, int x, int y, int z, float scale,
    CGContext& context) {
    auto ids = identifiersForXYZ(x, y, z);
    if (!ids)
        return;
    auto owner = manager();
    auto map = mapView();
    if (!owner || !map)
        return;
    auto cache = owner->diskCache();
    if (cache) {
        if (auto image = cache->newTileImageForQuadKeyStringInStoreIdWithStyleId(
                ids->quadKeyString, ids->storeId, ids->styleId)) {
            drawCachedTileInContextAndRectAtScale(*image, context, rect, scale);
            return;
        }
    }

    std::vector<int64_t> quadKeys{ids->quadKey};
    auto tiles = owner->getMapTilesForQuadKeys(quadKeys);
    bool fallback = false;
    if (!tiles || tiles->empty()) {
        fallback = true;
        while (auto parent = CBGeoDataManager::parentQuadKeyForQuadKey(quadKeys[0])) {
            quadKeys[0] = *parent;
            tiles = owner->getRefetchedMapTilesForQuadKeys(quadKeys);
            if (tiles && !tiles->empty())
                break;
        }
    }
    std::vector<std::shared_ptr<CBGeoMapTile>> fetched;
    if (tiles)
        fetched = std::move(*tiles);

    bool allFilled = true;
    for (const auto& tile : fetched) {
        if (tile->fillTypeID())
            drawFillForMapTileAtZoomlevelAndScaleInRectAndContext(*tile, z, scale, rect, context);
        else
            allFilled = false;
    }

    // A tile missing from the package (deeper than its deepest level, or
    // left out) borrows its ancestor's elements, clipped to the tile; such
    // tiles are drawn live and never cached, as they are not the tile's own.
    if (!allFilled) {
        BorrowedElements borrowed;
        if (auto layers = layersForTilesAroundQuadKeyInRect(fetched, quadKeys[0], rect, borrowed)) {
            if (fallback || !cache || cache->lastCachedZoomlevel() < z) {
                context.saveGState();
                context.clipToRect(rect);
                drawObjectsAtZoomlevelAndScaleInContext(*layers, z, scale, context, borrowed);
                context.restoreGState();
            } else if (auto image = newMapImageWithElementLayersInRectAtScaleAndZoomlevel(
                           *layers, rect, scale, z, borrowed)) {
                context.drawImage(rect, *image);
                cache->addTileImageForQuadKeyStringInStoreIdWithStyleId(image, ids->quadKeyString,
                                                                        ids->storeId, ids->styleId);
            }
        }
    }
    if (auto data = map->dataManager())
        data->unlockContextForCurrentThread();
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
    const std::vector<int64_t>& quadKeys, int zoom,
    std::vector<CBOverlayAnchorCache::Anchor>& anchors) {
    auto owner = manager();
    auto sheet = owner ? owner->styleSheetForCurrentThread() : nullptr;
    auto rows = sheet ? owner->getElementAnchorsForQuadKeys(quadKeys) : std::nullopt;
    if (!rows)
        return;
    // Rows come key by key in the order asked; a key without rows (a tile
    // beyond the package's edge, or with nothing anchored) is known empty.
    auto row = rows->begin();
    for (int64_t key : quadKeys) {
        std::vector<CBOverlayAnchorCache::Anchor> found;
        for (; row != rows->end() && row->quadKey == key; ++row) {
            if (isOverlayAnchor(*row, zoom, *sheet))
                found.push_back({row->objectID, row->coordinate});
        }
        anchors.insert(anchors.end(), found.begin(), found.end());
        overlayAnchors_.setAnchorsForQuadKey(key, std::move(found));
    }
}

std::optional<CBVectorDataSource::ElementLayers>
CBVectorDataSource::layersForTilesAroundQuadKeyInRect(
    const std::vector<std::shared_ptr<CBGeoMapTile>>& tiles, int64_t quadKey, const CGRect& rect,
    BorrowedElements& borrowed) {
    auto here = CBGeoDataManager::tileXYZForQuadKey(quadKey);
    auto owner = manager();
    auto map = mapView();
    auto context =
        tiles.empty() || !tiles.front() ? nullptr : tiles.front()->managedObjectContext();
    if (!here || !owner || !map || !context)
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
        learnOverlayAnchorsOfQuadKeys(missing, zoom, anchors);
    const CGRect reach = CGRectInset(rect, -rect.size.width / 2, -rect.size.height / 2);
    for (const auto& anchor : anchors) {
        if (own.count(anchor.objectID) ||
            !CGRectContainsPoint(reach, map->offsetForCoordinate(anchor.coordinate)))
            continue;
        auto element =
            std::dynamic_pointer_cast<CBGeoElement>(context->objectWithID(anchor.objectID));
        if (!element || !borrowed.insert(element.get()).second)
            continue;
        elements.push_back(element);
    }
    return CBGeoDisplayManager::sortedElementsAtZoomlevel(elements, zoom);
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

void CBVectorDataSource::tileImage(const UIImage& image, CGFloat divisor, CGContext& context) {
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
    CBGeoMapTile& tile, int zoom, float scale, const CGRect& rect, CGContext& context) {
    auto owner = manager();
    if (!owner)
        return;
    CGFloat s = screenRelativeScale(scale);
    auto style = owner->styleSheetForCurrentThread()->styleForTypeIDAtNativeZoomLevel(
        tile.fillTypeID(), zoom);
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
        context.setFillColorWithColor(fill->CGColor());
        context.fillRect(rect);
    } else {
        context.clipToRect(rect);
        tileImage(*pattern, s, context);
    }
    context.restoreGState();
}

CGImageRef CBVectorDataSource::newMapImageWithElementLayersInRectAtScaleAndZoomlevel(
    ElementLayers& layers, const CGRect& rect, float scale, int zoom,
    const BorrowedElements& borrowed) {
    auto owner = manager();
    auto map = mapView();
    if (!owner || !map || !(scale > 0))
        return nullptr;
    auto bitmap = CGContext::createBitmapContext(size_t(rect.size.width * scale),
                                                 size_t(rect.size.height * scale));
    if (!bitmap)
        return nullptr;
    bitmap->scaleCTM(scale, scale);
    bitmap->setShouldAntialias(true);
    bitmap->translateCTM(-rect.origin.x, -rect.origin.y);
    if (!map->cacheTransparentTileImages()) {
        if (auto base = owner->styleSheetForCurrentThread()->baseMapStyle()) {
            if (auto pattern = base->fillPatternImage()) {
                bitmap->saveGState();
                bitmap->clipToRect(rect);
                tileImage(*pattern, scale, *bitmap);
                bitmap->restoreGState();
            } else if (auto fill = base->fillColor()) {
                bitmap->setFillColorWithColor(fill->CGColor());
                bitmap->fillRect(rect);
            }
        }
    }
    drawObjectsAtZoomlevelAndScaleInContext(layers, zoom, scale, *bitmap, borrowed);
    return bitmap->createImage();
}

bool CBVectorDataSource::cachedTileAvailableForXYZ(int x, int y, int z) {
    auto ids = identifiersForXYZ(x, y, z);
    auto owner = manager();
    auto cache = ids && owner ? owner->diskCache() : nullptr;
    return cache && cache->cachedTileAvailableForQuadkeyInStoreIdWithStyleId(
                        ids->quadKeyString, ids->storeId, ids->styleId);
}

void CBVectorDataSource::prerenderXYZ(int x, int y, int z) {
    auto ids = identifiersForXYZ(x, y, z);
    if (!ids)
        return;
    auto owner = manager();
    auto map = mapView();
    auto cache = owner && map ? owner->diskCache() : nullptr;
    if (!cache || cache->cachedTileAvailableForQuadkeyInStoreIdWithStyleId(
                      ids->quadKeyString, ids->storeId, ids->styleId))
        return;
    auto tiles = owner->getMapTilesForQuadKeys({ids->quadKey});
    if (!tiles || tiles->empty())
        return;
    if (std::all_of(tiles->begin(), tiles->end(),
                    [](const auto& tile) { return tile->fillTypeID().has_value(); }))
        return;
    CGRect rect = map->rectForXYZ(x, y, z);
    BorrowedElements borrowed;
    auto layers = layersForTilesAroundQuadKeyInRect(*tiles, ids->quadKey, rect, borrowed);
    if (!layers)
        return;
    float scale = map->scaleForNativeZoomlevel(z);
    if (auto image = newMapImageWithElementLayersInRectAtScaleAndZoomlevel(*layers, rect, scale, z,
                                                                           borrowed))
        cache->addTileImageForQuadKeyStringInStoreIdWithStyleId(image, ids->quadKeyString,
                                                                ids->storeId, ids->styleId);
}
