// Painting the element layers of one tile: geometry passes, then arrows,
// icons and labels on top.
#include <algorithm>
#include <cmath>

#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBPointPath.h"
#include "CoreGraphics/CGContext.h"
#include "mapkit/CBElementPathCache.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBGeoStyleSheet.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/CBTilePathBatch.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

// From this zoom on bridges, tunnels and the style's own line caps show.
constexpr int kDetailZoomLevel = 15;

CGFloat pointPathLength(const CBPointPath& path) {
    CGFloat length = 0;
    const auto& points = path.points();
    for (size_t i = 1; i < points.size(); ++i)
        length += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
    return length;
}

bool pointPathIsLongerThan(const std::shared_ptr<CBPointPath>& path, CGFloat length) {
    return path && pointPathLength(*path) > length;
}

// The wider of the style's casing and stroke.
CGFloat bridgeWidth(CBGeoStyle& style) {
    return std::max(style.casingWidth().value_or(0), style.strokeWidth().value_or(0));
}

void strokeElement(CGContext& context, CBTilePathBatch& batch, const CGPath& path,
                   const CGColor& color, CGFloat width) {
    context.setStrokeColorWithColor(color);
    context.setLineWidth(width);
    batch.stroke(path);
}

}  // namespace

CBGeoStyle* CBVectorDataSource::getSubStyleOfStyleForArchitectureOfElement(CBGeoStyle& style,
                                                                           CBGeoElement& element) {
    if (element.isArchitectureType(CBGeoElement::kBuilding)) {
        if (auto building = style.buildingStyle())
            return building.get();
    }
    if (element.isArchitectureType(CBGeoElement::kArea)) {
        if (auto area = style.areaStyle())
            return area.get();
    }
    return &style;
}

void CBVectorDataSource::prepareContextWithStyleAndScaleForArchitectureOfElement(
    CGContext& context, CBGeoStyle& style, CGFloat s, CBGeoElement& element) {
    CGFloat width = style.strokeWidth().value_or(0);
    if (element.isArchitectureType(CBGeoElement::kTunnel) && width > 0) {
        context.setAlpha(0.75);
        context.setLineDash(0, {std::round(2 * width / s), std::round(0.5 * width / s)});
        context.setLineCap(kCGLineCapButt);
        return;
    }
    context.setAlpha(1.0);
    context.setLineDash(0, {});
    if (element.isArchitectureType(CBGeoElement::kBridge)) {
        context.setLineCap(kCGLineCapButt);
        return;
    }
    int cap = style.lineCap();
    if (cap == kCGLineCapButt || cap == kCGLineCapRound || cap == kCGLineCapSquare)
        context.setLineCap(static_cast<CGLineCap>(cap));
}

void CBVectorDataSource::drawGeometryPhase(int phase, CBGeoElement& element, CBGeoStyle* subStyle,
                                           CBGeoStyle* buildingStyle, bool requiresPath, int zoom,
                                           CGFloat s, CBGeoStyleSheet& sheet,
                                           CBElementPathCache& paths, CBTilePathBatch& batch,
                                           CGContext& context) {
    // Read once: this runs for every element in every phase.
    const int64_t architecture = element.architecture().value_or(0);
    auto is = [architecture](int64_t mask) { return (architecture & mask) == mask; };
    const bool building = is(CBGeoElement::kBuilding);
    if (!building && !requiresPath)
        return;
    const bool detailed = zoom >= kDetailZoomLevel;
    const bool bridge = is(CBGeoElement::kBridge);
    if (phase == 2) {
        auto points = paths.pointPathForElement(element);
        auto path = paths.madePathForElement(element);
        if (detailed && bridge && subStyle && !subStyle->fillColor() &&
            pointPathIsLongerThan(points, std::round(5 / s)) && path) {
            auto base = sheet.bridgeBaseStyle();
            if (auto casing = base ? base->casingColor() : std::nullopt)
                strokeElement(context, batch, *path, *casing,
                              std::round((bridgeWidth(*subStyle) + 6) / s));
        }
        return;
    }
    // Drawn only when an earlier pass of the tile made the element's path.
    auto path = paths.madePathForElement(element);
    if (!path)
        return;
    CBGeoStyle& style = subStyle ? *subStyle : *buildingStyle;
    if (phase == 4) {
        if (is(CBGeoElement::kClosed)) {
            auto opacity = style.fillOpacity();
            if (!opacity && building && buildingStyle)
                opacity = buildingStyle->fillOpacity();
            if (opacity)
                context.setAlpha(*opacity);
            if (auto pattern = style.fillPatternImage()) {
                batch.flush();
                context.saveGState();
                context.addPath(*path);
                if (element.needsEOFill())
                    context.eoClip();
                else
                    context.clip();
                tileImage(*pattern, s, context);
                context.restoreGState();
            } else {
                auto fill = style.fillColor();
                if (!fill && building && buildingStyle)
                    fill = buildingStyle->fillColor();
                if (fill) {
                    context.setFillColorWithColor(*fill);
                    batch.fill(*path, element.needsEOFill());
                }
            }
            if (opacity)
                context.setAlpha(1.0);
        }
        if (detailed && bridge && !style.fillColor() &&
            pointPathIsLongerThan(paths.pointPathForElement(element), std::round(5 / s))) {
            auto base = sheet.bridgeBaseStyle();
            if (auto deck = base ? base->strokeColor() : std::nullopt)
                strokeElement(context, batch, *path, *deck,
                              std::round((bridgeWidth(style) + 4) / s));
        }
        auto casingColor = style.casingColor();
        auto casingWidth = style.casingWidth();
        if (casingColor && casingWidth) {
            auto opacity = style.strokeOpacity();
            if (!is(CBGeoElement::kTunnel)) {
                context.setLineDash(0, style.casingDashes().value_or(std::vector<CGFloat>{}));
                if (opacity)
                    context.setAlpha(*opacity);
            }
            strokeElement(context, batch, *path, *casingColor, std::round(*casingWidth / s));
            if (opacity)
                context.setAlpha(1.0);
        }
        return;
    }
    // Phase 5: strokes, then the secondary stroke.
    const bool tunnel = is(CBGeoElement::kTunnel);
    context.setAlpha(tunnel && detailed ? 0.75 : 1.0);
    CBGeoStyle* strokes[] = {&style, style.secondaryStyle().get()};
    for (CBGeoStyle* stroke : strokes) {
        if (!stroke)
            continue;
        if (!tunnel) {
            std::vector<CGFloat> dashes;
            for (CGFloat length : stroke->strokeDashes().value_or(std::vector<CGFloat>{}))
                dashes.push_back(std::round(length / s));
            context.setLineDash(0, dashes);
        }
        auto color = stroke->strokeColor();
        auto width = stroke->strokeWidth();
        if (building && buildingStyle) {
            if (!color)
                color = buildingStyle->strokeColor();
            if (!width)
                width = buildingStyle->strokeWidth();
        }
        if (!color)
            continue;
        auto opacity = stroke->strokeOpacity();
        if (opacity)
            context.setAlpha(*opacity);
        strokeElement(context, batch, *path, *color, std::round(width.value_or(0) / s));
        if (opacity)
            context.setAlpha(1.0);
    }
}

void CBVectorDataSource::drawObjectsAtZoomlevelAndScaleInContext(ElementLayers& layers,
                                                                 const CBTileRequest& request,
                                                                 CBElementPathCache& paths,
                                                                 CGContext& context,
                                                                 const BorrowedElements& borrowed) {
    if (!request.styleSheet)
        return;
    const int zoom = request.zoom;
    context.saveGState();
    const CGFloat s = request.screenRelativeScale();
    CBGeoStyleSheet* sheet = request.styleSheet.get();
    context.setLineJoin(kCGLineJoinRound);
    context.setLineCap(kCGLineCapRound);
    // Shapes (label outlines among them; glyphs keep their font's smoothing)
    // are flat colour with long edges: coarse antialiasing keeps their look
    // at a fraction of the cost.
    context.setCoarseAntialiasing(true);
    std::vector<CGRect> labelRects;
    // The names of places (a town, a quarter) drawn so far: icons drawn
    // after them keep off them rather than cover their letters.
    std::vector<CGRect> placeNameRects;

    for (auto& layer : layers) {
        CBTilePathBatch batch(context);
        auto buildingStyle = sheet->styleForBuildingsAtNativeZoomLevel(zoom);
        std::map<int64_t, std::vector<int64_t>> groups;  // z-index -> ascending type ids
        for (auto& [typeID, elements] : layer) {
            auto style = sheet->styleForTypeIDAtNativeZoomLevel(typeID, zoom);
            if (!style)
                style = buildingStyle;
            if (!style)
                continue;
            if (style->buildingStyle())
                std::stable_partition(elements.begin(), elements.end(),
                                      [](const auto& element) { return !element->isBuilding(); });
            groups[style->zIndex()].push_back(typeID);
        }

        for (const auto& [zIndex, typeIDs] : groups) {
            for (int phase : kDrawingPhases) {
                for (int64_t typeID : typeIDs) {
                    auto style = sheet->styleForTypeIDAtNativeZoomLevel(typeID, zoom);
                    if (style && style->isHidden())
                        continue;
                    bool requiresPath = false;
                    if (style) {
                        auto secondary = style->secondaryStyle();
                        requiresPath = style->requiresPathForDisplay() ||
                                       (secondary && secondary->requiresPathForDisplay());
                    }
                    for (const auto& element : layer[typeID]) {
                        if (borrowed.count(element.get()))
                            continue;
                        CBGeoStyle* subStyle =
                            style ? getSubStyleOfStyleForArchitectureOfElement(*style, *element)
                                  : nullptr;
                        if (!subStyle && (phase == 2 || !element->isBuilding() || !buildingStyle))
                            continue;
                        if (zoom >= kDetailZoomLevel && subStyle)
                            prepareContextWithStyleAndScaleForArchitectureOfElement(
                                context, *subStyle, s, *element);
                        drawGeometryPhase(phase, *element, subStyle, buildingStyle.get(),
                                          requiresPath, zoom, s, *sheet, paths, batch, context);
                    }
                }
            }
        }
        batch.flush();

        // Overlay pass, from the top z-index down.
        for (auto group = groups.rbegin(); group != groups.rend(); ++group) {
            for (auto typeID = group->second.rbegin(); typeID != group->second.rend(); ++typeID) {
                auto style = sheet->styleForTypeIDAtNativeZoomLevel(*typeID, zoom);
                const bool onlyBuildings = !style;
                if (!style)
                    style = buildingStyle;
                if (!style || style->isHidden())
                    continue;
                auto icon = style->icon();
                const bool labelled = style->fontSize() && style->textColor();
                if (!icon && !style->onewayColor() && !labelled)
                    continue;
                CGFloat iconWidth = 0, iconHeight = 0;
                if (icon) {
                    iconWidth = std::round(icon->size().width / s);
                    iconHeight = std::round(icon->size().height / s);
                }
                auto opacity = style->fillOpacity();
                if (opacity)
                    context.setAlpha(*opacity);
                auto& elements = layer[*typeID];
                std::stable_sort(elements.begin(), elements.end(),
                                 [](const auto& a, const auto& b) {
                                     return a->objectID().primaryKey() < b->objectID().primaryKey();
                                 });
                for (const auto& element : elements) {
                    if (onlyBuildings && !element->isBuilding())
                        continue;
                    drawOneWaySymbolForElementWithStyleAtZoomlevelAndScaleInContext(
                        *element, *style, zoom, s, paths, context);
                    std::optional<CGRect> iconRect;
                    if (icon && (element->name() || !style->isTextPlacementImportant()))
                        iconRect = drawIconOfWidthAndHeightForElementAtZoomlevelInContext(
                            *icon, iconWidth, iconHeight, *element, zoom, paths.projector(),
                            placeNameRects, context);
                    CBGeoStyle* subStyle =
                        getSubStyleOfStyleForArchitectureOfElement(*style, *element);
                    context.setAlpha(1.0);
                    context.setLineDash(0, {});
                    const size_t labelsBefore = labelRects.size();
                    if (int(style->fontSize().value_or(0)) > 0 && style->textColor())
                        drawLabelForElementWithStyleAtZoomlevelAndScaleInContext(
                            *element, *subStyle, zoom, s, labelRects, paths, context);
                    drawLabelForRefAlongElementAtZoomlevelAndScaleWithStyleAndPreviousLabelRectsInContext(
                        element->ref(), *element, zoom, s, *subStyle, labelRects, context);
                    if (style->isTextPlacementImportant())
                        placeNameRects.insert(placeNameRects.end(),
                                              labelRects.begin() + std::ptrdiff_t(labelsBefore),
                                              labelRects.end());
                    // Later labels keep clear of the icon; the element's own
                    // label sits beside it.
                    if (iconRect)
                        labelRects.push_back(*iconRect);
                    if (opacity)
                        context.setAlpha(*opacity);
                }
                if (opacity)
                    context.setAlpha(1.0);
            }
        }
    }
    context.restoreGState();
}

void CBVectorDataSource::drawOneWaySymbolForElementWithStyleAtZoomlevelAndScaleInContext(
    CBGeoElement& element, CBGeoStyle& style, int, CGFloat s, CBElementPathCache& paths,
    CGContext& context) {
    auto oneway = element.oneway();
    auto color = style.onewayColor();
    if (!oneway || *oneway == 0 || !color || !element.isHighway())
        return;
    auto path = paths.pointPathForElement(element);
    if (!path || path->count() == 0)
        return;
    context.saveGState();
    context.setLineJoin(kCGLineJoinMiter);
    context.setLineDash(0, {});
    context.setStrokeColorWithColor(*color);
    context.setFillColorWithColor(*color);
    const CGFloat w = style.strokeWidth().value_or(0);
    const CGFloat a = std::round(2 * w / s);
    const CGFloat h = std::max(std::round(5 / s), 0.33 * a);
    const CGFloat b = std::round(std::max(0.25 * w, 2.0) / s);
    context.setLineWidth(std::round(std::max(0.2 * w, 1.0) / s));

    std::vector<CGPoint> points = path->points();
    if (*oneway != -1)
        std::reverse(points.begin(), points.end());
    bool first = true;
    for (size_t i = 1; i < points.size() && a > 0; ++i) {
        const CGPoint p = points[i - 1], q = points[i];
        const CGFloat length = std::hypot(q.x - p.x, q.y - p.y);
        if (!(length > 3 * a))
            continue;
        const CGPoint u{(q.x - p.x) / length, (q.y - p.y) / length};
        const CGPoint n{u.y, -u.x};
        const CGFloat d = std::max(std::min(0.05 * (length - a), 2 * a), std::round(w / s));
        const CGFloat t = first ? a + d : length - d;
        first = false;
        const CGPoint tip{p.x + t * u.x, p.y + t * u.y};
        const CGPoint base{tip.x - (a - h) * u.x, tip.y - (a - h) * u.y};
        const CGPoint rear{tip.x - a * u.x, tip.y - a * u.y};
        context.beginPath();
        context.moveToPoint(tip.x, tip.y);
        context.addLineToPoint(base.x, base.y);
        context.addLineToPoint(base.x + b * n.x, base.y + b * n.y);
        context.addLineToPoint(rear.x, rear.y);
        context.addLineToPoint(base.x - b * n.x, base.y - b * n.y);
        context.addLineToPoint(base.x, base.y);
        context.closePath();
        context.drawPath(kCGPathFillStroke);
    }
    context.restoreGState();
}

std::optional<CGRect> CBVectorDataSource::drawIconOfWidthAndHeightForElementAtZoomlevelInContext(
    const CBGeoStyleImage& icon, CGFloat width, CGFloat height, CBGeoElement& element, int zoom,
    const CBMapProjector& projector, const std::vector<CGRect>& placeNameRects,
    CGContext& context) {
    if (!icon.CGImage())
        return std::nullopt;
    // A line carries no point. Its offset would not be a number, and a
    // translation by it leaves the context unusable for the rest of the tile.
    const auto coordinate = element.coordinate();
    if (!CLLocationCoordinate2DIsValid(coordinate))
        return std::nullopt;
    const CGPoint centre = projector.offsetForCoordinate(coordinate);
    if (!std::isfinite(centre.x) || !std::isfinite(centre.y))
        return std::nullopt;
    const CGRect rect = CGRectMake(std::round(centre.x - width / 2),
                                   std::round(centre.y - height / 2), width, height);
    for (const CGRect& name : placeNameRects)
        if (boxesOverlap(name, rect))
            return std::nullopt;
    if (icons_.collides(zoom, element.objectID().URIRepresentation(), rect))
        return std::nullopt;
    // Images stand upright in a y-up space; tiles are y-down.
    context.saveGState();
    context.translateCTM(rect.origin.x, rect.origin.y + rect.size.height);
    context.scaleCTM(1, -1);
    context.drawImage(CGRectMake(0, 0, width, height), *icon.CGImage());
    context.restoreGState();
    return rect;
}
