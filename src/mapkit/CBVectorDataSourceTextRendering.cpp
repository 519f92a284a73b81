// Map labels: point labels (possibly broken into lines), names repeated
// straight along long segments or bent glyph by glyph along a line, with an
// optional outline under the glyphs.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBPointPath.h"
#include "CoreGraphics/CGContext.h"
#include "CoreText/CTFont.h"
#include "CoreText/CTLine.h"
#include "CoreText/CTRun.h"
#include "CoreText/NSAttributedString.h"
#include "UIKit/UIFont.h"
#include "mapkit/CBElementPathCache.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/CBVectorDataSource.h"
#include "uiadditions/NSString+ZELDrawingSizeCache.h"

namespace {

constexpr const char* kDefaultFontFamily = "Helvetica-Bold";
constexpr const char* kLineBreakCharacters = " -;,";

struct StraightPosition {
    CGFloat x, y, angle, sign;
};

std::string fontFamily(CBGeoStyle& style) {
    auto family = style.fontFamily();
    return family && !family->empty() ? *family : kDefaultFontFamily;
}

// Fonts and laid-out labels are kept per thread (each tile worker has its
// own): the same names in the same styles come back tile after tile.
constexpr size_t kCachedLabels = 128;

std::shared_ptr<UIFont> labelFont(const std::string& family, CGFloat size) {
    thread_local std::map<std::pair<std::string, CGFloat>, std::shared_ptr<UIFont>> fonts;
    auto& font = fonts[{family, size}];
    if (!font)
        font = family.empty() ? UIFont::systemFontOfSize(size)
                              : UIFont::fontWithNameSize(family, size);
    return font;
}

std::shared_ptr<const CTFont> labelCTFont(const std::string& family, CGFloat size) {
    thread_local std::map<std::pair<std::string, CGFloat>, std::shared_ptr<const CTFont>> fonts;
    auto& font = fonts[{family, size}];
    if (!font)
        font = CTFont::createWithName(family, size);
    return font;
}

std::optional<NSAttributedString> CBCreateLabelAttributedString(const std::string& text,
                                                                CBGeoStyle& style, CGFloat s) {
    auto color = style.textColor();
    if (text.empty() || !color)
        return std::nullopt;
    CTStringAttributes attributes;
    attributes.font = labelCTFont(fontFamily(style), std::round(style.fontSize().value_or(0) / s));
    attributes.foregroundColor = *color;
    return NSAttributedString(text, attributes);
}

// Sets the outline attributes on the string itself: make the fill line first.
CTLineRef CBCreateLabelCasingLine(NSAttributedString* string, size_t length, CBGeoStyle& style) {
    if (!string || length == 0)
        return nullptr;
    auto casingColor = style.textCasingColor();
    auto casingWidth = style.textCasingWidth();
    if (!casingColor) {
        casingColor = style.strokeColor();
        if (!casingWidth || !casingColor)
            return nullptr;
    }
    CTStringAttributes outline;
    outline.strokeWidth = casingWidth ? *casingWidth * 100 : 25;
    outline.strokeColor = *casingColor;
    string->addAttributes(outline, CFRange{0, long(string->length())});
    return CTLine::createWithAttributedString(*string);
}

CGFloat directedAngle(CGFloat angle, CGFloat sign) {
    return sign < 0 ? angle + M_PI : angle;
}

void CBDrawLabelLines(const CTLine& fill, const CTLine* casing, CGFloat x, CGFloat y, CGFloat angle,
                      CGFloat sign, CGContext& context) {
    context.saveGState();
    context.setAlpha(1.0);
    context.translateCTM(x, y);
    context.scaleCTM(1, -1);
    context.setTextMatrix(CGAffineTransformIdentity);
    context.rotateCTM(-directedAngle(angle, sign));
    if (casing) {
        context.setTextPosition(0, 0);
        casing->draw(context);
    }
    context.setTextPosition(0, 0);
    fill.draw(context);
    context.restoreGState();
}

void CBDrawLabelLinesCentered(const CTLine& fill, const CTLine* casing, CGFloat width,
                              CGFloat height, CGFloat x, CGFloat y, CGFloat angle, CGFloat sign,
                              CGFloat baselineOffset, CGContext& context) {
    const CGFloat theta = directedAngle(angle, sign);
    const CGFloat off = height / 2 - baselineOffset;
    CBDrawLabelLines(fill, casing, x - off * std::sin(theta) - width / 2 * std::cos(theta),
                     y + off * std::cos(theta) - width / 2 * std::sin(theta), angle, sign, context);
}

// One label's lines: the fill line and, when the style has an outline, the
// casing line.
struct LabelLines {
    CTLineRef fill;
    CTLineRef casing;
};

void appendColor(std::string& key, const std::optional<CGColor>& color) {
    if (!color) {
        key += "-|";
        return;
    }
    const CGColor& c = *color;
    for (CGFloat component : {c.red, c.green, c.blue, c.alpha})
        key += std::to_string(component) + ",";
    key += "|";
}

// What a label's lines depend on.
std::string labelKey(const std::string& text, CBGeoStyle& style, CGFloat s) {
    std::string key = text + "|" + fontFamily(style) + "|" +
                      std::to_string(std::round(style.fontSize().value_or(0) / s)) + "|" +
                      std::to_string(style.textCasingWidth().value_or(-1)) + "|";
    appendColor(key, style.textColor());
    appendColor(key, style.textCasingColor());
    appendColor(key, style.strokeColor());
    return key;
}

std::optional<LabelLines> makeLines(const std::string& text, CBGeoStyle& style, CGFloat s) {
    thread_local std::unordered_map<std::string, std::optional<LabelLines>> made;
    const std::string key = labelKey(text, style, s);
    if (auto known = made.find(key); known != made.end())
        return known->second;
    if (made.size() >= kCachedLabels)
        made.clear();
    auto& lines = made[key];
    auto string = CBCreateLabelAttributedString(text, style, s);
    if (!string)
        return lines;
    LabelLines laid;
    laid.fill = CTLine::createWithAttributedString(*string);
    if (!laid.fill || laid.fill->glyphCount() == 0)
        return lines;
    laid.casing = CBCreateLabelCasingLine(&*string, string->length(), style);
    lines = laid;
    return lines;
}

// The box of a width x height label centred on (x, y) and turned by angle.
CGRect rotatedBox(CGFloat x, CGFloat y, CGFloat width, CGFloat height, CGFloat angle) {
    const CGFloat c = std::abs(std::cos(angle)), s = std::abs(std::sin(angle));
    const CGFloat w = width * c + height * s, h = width * s + height * c;
    return CGRectMake(x - w / 2, y - h / 2, w, h);
}

// Claims the box for a label unless an earlier label of the tile has it.
// A label taken into account (it may still keep others away) but lying
// wholly outside the tile is not laid out at all.
bool showsInContext(const CGRect& box, const CGContext& context) {
    return CGRectIntersectsRect(CGRectInset(box, -2, -2), context.getClipBoundingBox());
}

bool claim(std::vector<CGRect>& labelRects, const CGRect& box) {
    for (const CGRect& drawn : labelRects) {
        if (CBVectorDataSource::boxesOverlap(drawn, box))
            return false;
    }
    labelRects.push_back(box);
    return true;
}

bool CBDrawLabelAlongPath(const LabelLines& lines, const std::vector<CGPoint>& pathPoints,
                          CGFloat pathLength, CGFloat textWidth, CGFloat textHeight, CGFloat offset,
                          std::vector<CGRect>& labelRects, CGContext& context) {
    const size_t glyphCount = lines.fill->glyphCount();
    if (glyphCount == 0 || pathPoints.size() < 2)
        return false;
    std::vector<CGFloat> advances;
    for (const auto& run : lines.fill->glyphRuns()) {
        for (const CGSize& advance : run->advances())
            advances.push_back(advance.width);
    }
    if (advances.empty())
        return false;
    std::vector<CGPoint> points = pathPoints;
    if (!(points.front().x < points.back().x))
        std::reverse(points.begin(), points.end());

    const CGFloat start = (pathLength - textWidth) / 2;
    const CGFloat q = 0.25 * textHeight - offset;
    std::vector<CGPoint> positions;
    std::vector<CGFloat> angles;
    CGFloat distance = start;
    size_t segment = 1;
    CGFloat segmentStart = 0;  // distance of points[segment - 1]
    for (size_t i = 0; i < advances.size(); ++i) {
        if (i > 0)
            distance += advances[i];
        while (segment + 1 < points.size()) {
            CGFloat length = std::hypot(points[segment].x - points[segment - 1].x,
                                        points[segment].y - points[segment - 1].y);
            if (distance <= segmentStart + length)
                break;
            segmentStart += length;
            ++segment;
        }
        const CGPoint p = points[segment - 1], next = points[segment];
        CGFloat length = std::hypot(next.x - p.x, next.y - p.y);
        CGPoint u =
            length > 0 ? CGPoint{(next.x - p.x) / length, (next.y - p.y) / length} : CGPoint{1, 0};
        angles.push_back(std::atan2(u.y, u.x));
        if (distance < 0) {
            positions.push_back(points.front());
            continue;
        }
        const CGFloat along = distance - segmentStart;
        positions.push_back(CGPoint{p.x + along * u.x - q * u.y, p.y + along * u.y + q * u.x});
    }

    CGFloat mean = 0;
    for (CGFloat angle : angles)
        mean += angle;
    mean /= angles.size();
    CGFloat spread = 0;
    if (angles.size() > 1) {
        for (CGFloat angle : angles)
            spread += (angle - mean) * (angle - mean);
        spread = std::sqrt(spread / (angles.size() - 1));
    }
    if (spread > 0.3)
        return false;
    CGRect box = CGRectNull;
    for (const CGPoint& position : positions)
        box = CGRectUnion(box, CGRectInset(CGRectMake(position.x, position.y, 0, 0),
                                           -textHeight / 2, -textHeight / 2));
    if (!claim(labelRects, box))
        return false;
    if (spread < 0.08) {
        CBDrawLabelLines(*lines.fill, lines.casing.get(), positions[0].x, positions[0].y, mean, 1,
                         context);
        return true;
    }

    for (const CTLine* line : {lines.casing.get(), lines.fill.get()}) {
        if (!line || line->glyphRuns().empty())
            continue;
        const auto& run = line->glyphRuns().front();
        const size_t count = std::min(run->glyphCount(), positions.size());
        CGFloat sumAdvances = 0;  // advances of glyphs 1 ... i
        for (size_t i = 0; i < count; ++i) {
            if (i > 0)
                sumAdvances += run->advances()[i].width;
            context.saveGState();
            context.translateCTM(positions[i].x, positions[i].y);
            context.scaleCTM(1, -1);
            context.rotateCTM(-angles[i]);
            context.setTextMatrix(run->textMatrix());
            const CGFloat shift = -(run->advances()[0].width / 2 + sumAdvances);
            context.setTextPosition(shift, 0);
            run->draw(context, CFRange{long(i), 1});
            context.restoreGState();
        }
    }
    return true;
}

}  // namespace

bool CBVectorDataSource::checkForCollisionOfImportantLabelForElementAtZoomlevelWithRect(
    CBGeoElement& element, int zoom, const CGRect& rect) {
    return importantLabels_.collides(zoom, element.objectID().URIRepresentation(), rect);
}

void CBVectorDataSource::
    drawLabelForRefAlongElementAtZoomlevelAndScaleWithStyleAndPreviousLabelRectsInContext(
        const std::optional<std::string>&, CBGeoElement&, int, CGFloat, CBGeoStyle&,
        std::vector<CGRect>&, CGContext&) {}

void CBVectorDataSource::drawLabelForElementWithStyleAtZoomlevelAndScaleInContext(
    CBGeoElement& element, CBGeoStyle& style, int zoom, CGFloat s, std::vector<CGRect>& labelRects,
    CBElementPathCache& paths, CGContext& context) {
    auto name = element.name();
    if (!name || name->empty())
        return;
    auto points = paths.pointPathForElement(element);
    const bool important = style.isTextPlacementImportant();
    const bool pointLabel = style.textPlacementCentered().value_or(false) || important ||
                            (points && points->count() == 1) ||
                            element.isArchitectureType(CBGeoElement::kBuilding);
    if (!pointLabel) {
        drawNameForElementWithStyleAndScaleInContext(*name, element, style, s, labelRects, paths,
                                                     context);
        return;
    }
    auto font = labelFont(fontFamily(style), std::round(style.fontSize().value_or(0) / s));
    if (!font)
        return;
    const CGSize text = zelSizeWithFont(*name, font);
    CGFloat extent = 200;
    if (points && points->count() >= 2) {
        auto [low, high] =
            std::minmax_element(points->points().begin(), points->points().end(),
                                [](const CGPoint& a, const CGPoint& b) { return a.x < b.x; });
        extent = high->x - low->x;
    }
    if (!important && text.width * text.height > extent * extent)
        return;
    const CGFloat lineLimit = std::min(std::round(400 / s), 0.75 * extent);
    const CGPoint anchor = paths.projector().offsetForCoordinate(element.coordinate());

    if (text.width > lineLimit && !important) {
        std::vector<std::string> parts;
        std::vector<char> separators;
        size_t begin = 0;
        for (size_t i = 0; i <= name->size(); ++i) {
            if (i == name->size() || std::strchr(kLineBreakCharacters, (*name)[i])) {
                parts.push_back(name->substr(begin, i - begin));
                separators.push_back(i < name->size() ? (*name)[i] : '\0');
                begin = i + 1;
            }
        }
        if (parts.size() < 2)
            return;
        std::vector<std::string> lines;
        std::string current;
        CGFloat running = 0;
        for (size_t i = 0; i < parts.size(); ++i) {
            const CGFloat width = zelSizeWithFont(parts[i], font).width;
            if (width > lineLimit)
                return;
            if (running + width > 0.9 * lineLimit) {
                if (!current.empty())
                    lines.push_back(current);
                current.clear();
                running = 0;
            }
            current += parts[i];
            if (separators[i])
                current += separators[i];
            running += width;
        }
        if (running > 0)
            lines.push_back(current);
        if (lines.size() * text.height > lineLimit)
            return;
        CGFloat widest = 0;
        for (const auto& line : lines)
            widest = std::max(widest, zelSizeWithFont(line, font).width);
        const CGRect box =
            rotatedBox(anchor.x, anchor.y, widest, lines.size() * std::floor(text.height), 0);
        if (!claim(labelRects, box) || !showsInContext(box, context))
            return;
        CGFloat y = -CGFloat(lines.size() + 1) * std::floor(text.height) / 2;
        for (const auto& line : lines) {
            const CGSize size = zelSizeWithFont(line, font);
            y += std::floor(size.height);
            if (auto label = makeLines(line, style, s))
                CBDrawLabelLinesCentered(*label->fill, label->casing.get(), size.width, size.height,
                                         anchor.x, anchor.y + y, 0, 1, 0, context);
        }
        return;
    }

    const CGFloat o = std::round(style.textOffset().value_or(0) / s);
    if (important) {
        CGRect rect = CGRectMake(anchor.x - 0.65 * text.width, anchor.y - o - text.height,
                                 1.3 * text.width, 2 * text.height);
        if (checkForCollisionOfImportantLabelForElementAtZoomlevelWithRect(element, zoom, rect))
            return;
    }
    const CGRect box = rotatedBox(anchor.x, anchor.y - o, text.width, text.height, 0);
    if (!claim(labelRects, box) || !showsInContext(box, context))
        return;
    if (auto label = makeLines(*name, style, s))
        CBDrawLabelLinesCentered(*label->fill, label->casing.get(), text.width, text.height,
                                 anchor.x, anchor.y, 0, 1, o, context);
}

bool CBVectorDataSource::drawNameForElementWithStyleAndScaleInContext(
    const std::string& name, CBGeoElement& element, CBGeoStyle& style, CGFloat s,
    std::vector<CGRect>& labelRects, CBElementPathCache& paths, CGContext& context) {
    auto fontSize = style.fontSize();
    auto points = paths.pointPathForElement(element);
    if (name.empty() || !fontSize || !points || points->count() == 0)
        return false;
    auto font = labelFont("", std::round(*fontSize / s));
    const CGSize text = zelSizeWithFont(name, font);
    if (!(text.width > 0) || !(text.height > 0))
        return false;

    const auto& path = points->points();
    CGFloat total = 0;
    std::vector<StraightPosition> straight;
    for (size_t i = 1; i < path.size(); ++i) {
        const CGFloat dx = path[i].x - path[i - 1].x, dy = path[i].y - path[i - 1].y;
        const CGFloat d = std::hypot(dx, dy);
        total += d;
        const CGFloat r = d / text.width;
        if (r > 1.3) {
            const int k = int(std::floor(r / 5)) + 1;
            for (int j = 1; j <= k; ++j)
                straight.push_back({path[i - 1].x + dx * j / (k + 1),
                                    path[i - 1].y + dy * j / (k + 1), std::atan2(dy, dx),
                                    path[i].x > path[i - 1].x ? 1.0 : -1.0});
        }
    }
    const CGFloat strokeWidth = style.strokeWidth().value_or(0);
    const CGFloat margin = 2 * strokeWidth / s > 5 / s ? 2 * strokeWidth / s : 5 / s;
    CGFloat fit = (total - margin) / text.width;
    if (fit < 0.75)
        return false;

    const bool full = element.name() == name;
    const std::string shortName = CBGeoObject::shortenedNameForCurrentCountryFromString(name);
    const bool same = shortName == name;
    if (fit < 1.8 || straight.empty()) {
        if (full && !same &&
            drawNameForElementWithStyleAndScaleInContext(shortName, element, style, s, labelRects,
                                                         paths, context))
            return true;
        if (!same) {
            const CGFloat margin2 = 2 * strokeWidth / s > 20 / s ? 2 * strokeWidth / s : 20 / s;
            fit = (total - margin2) / zelSizeWithFont(shortName, font).width;
        }
        if (fit < 1.0 || (straight.empty() && !full))
            return false;
    }

    const CGFloat o = std::round(style.textOffset().value_or(0) / s);
    auto label = makeLines(name, style, s);
    if (!label)
        return false;
    if (!straight.empty()) {
        bool drawn = false;
        for (const auto& position : straight) {
            if (!claim(labelRects,
                       rotatedBox(position.x, position.y, text.width, text.height, position.angle)))
                continue;
            CBDrawLabelLinesCentered(*label->fill, label->casing.get(), text.width, text.height,
                                     position.x, position.y, position.angle, position.sign,
                                     0.25 * text.height + o, context);
            drawn = true;
        }
        return drawn;
    }
    if (fit >= 1.3 &&
        CBDrawLabelAlongPath(*label, path, total, text.width, text.height, o, labelRects, context))
        return true;
    auto shortLabel = makeLines(shortName, style, s);
    if (!shortLabel)
        return false;
    const CGSize shortSize = zelSizeWithFont(shortName, font);
    return CBDrawLabelAlongPath(*shortLabel, path, total, shortSize.width, shortSize.height, o,
                                labelRects, context);
}
