#include "mapkit/CBGeoStyleSheet.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include "CBGeoData/CBGeoElement.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "ImageIO/CGImageSource.h"
#include "UIKit/UIScreen.h"
#include "uiadditions/UIColor+ZORuzUvuCategory.h"

namespace {

constexpr long kLowestBuildingZoom = 6;

// A number object's integerValue of a key: the leading integer, 0 for none.
long long integerOfKey(const std::string& key) {
    return std::strtoll(key.c_str(), nullptr, 10);
}

std::shared_ptr<CBGeoStyle> defaultBridgeBaseStyle() {
    auto style = std::make_shared<CBGeoStyle>();
    style->setStrokeColor(CGColorCreateGenericGray(1, 1));
    style->setCasingColor(CGColorCreateGenericGray(0, 1));
    return style;
}

std::optional<CGColor> colorOf(const Value::Dictionary& dictionary, const char* key) {
    auto found = dictionary.find(key);
    if (found == dictionary.end())
        return std::nullopt;
    const std::string* text = found->second.stringValue();
    const std::optional<UIColor> color = text ? cbColorWithHexString(*text) : std::nullopt;
    return color ? std::optional(color->CGColor()) : std::nullopt;
}

std::optional<CGFloat> numberOf(const Value::Dictionary& dictionary, const char* key) {
    auto found = dictionary.find(key);
    if (found == dictionary.end())
        return std::nullopt;
    return found->second.doubleValue();
}

std::optional<CGFloat> positiveNumberOf(const Value::Dictionary& dictionary, const char* key) {
    std::optional<CGFloat> number = numberOf(dictionary, key);
    return number && float(*number) > 0 ? number : std::nullopt;
}

std::optional<bool> boolOf(const Value::Dictionary& dictionary, const char* key) {
    auto found = dictionary.find(key);
    return found == dictionary.end() ? std::nullopt : found->second.boolValue();
}

std::optional<std::vector<CGFloat>> numbersOf(const Value::Dictionary& dictionary,
                                              const char* key) {
    auto found = dictionary.find(key);
    if (found == dictionary.end() || !found->second.arrayValue())
        return std::nullopt;
    std::vector<CGFloat> numbers;
    for (const Value& item : *found->second.arrayValue()) {
        if (auto number = item.doubleValue())
            numbers.push_back(*number);
    }
    return numbers;
}

const std::string* stringOf(const Value::Dictionary& dictionary, const char* key) {
    auto found = dictionary.find(key);
    return found == dictionary.end() ? nullptr : found->second.stringValue();
}

// "icon.png" with "@2x" before the extension.
std::string withScaleSuffix(const std::string& name, const char* suffix) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

}  // namespace

CBGeoStyleSheet::CBGeoStyleSheet(const std::optional<std::string>& plistPath,
                                 std::optional<CGFloat> screenScale)
    : screenScale_(screenScale ? *screenScale : UIScreen::mainScreen()->scale()) {
    const std::optional<std::string> defaultPath = defaultStylePlistPath();
    const std::optional<std::string> path = plistPath ? plistPath : defaultPath;
    if (path && parseStyleFromPlist(*path))
        return;
    if (defaultPath && path != defaultPath) {
        NSLogWithLevel(NSLogLevel::Error, "CBGeoStyleSheet: drawing with the default style %s",
                       defaultPath->c_str());
        if (parseStyleFromPlist(*defaultPath))
            return;
    }
    NSLogWithLevel(NSLogLevel::Error, "CBGeoStyleSheet: no readable style; the map has no styles");
    bridgeBaseStyle_ = defaultBridgeBaseStyle();
}

CBGeoStyleSheet::CBGeoStyleSheet(const CBGeoStyleSheet* sheet) {
    if (!sheet)
        return;
    styleForTypeInZoomDict_ = sheet->styleForTypeInZoomDict_;
    baseBuildingStyles_ = sheet->baseBuildingStyles_;
    baseMapStyle_ = sheet->baseMapStyle_;
    bridgeBaseStyle_ = sheet->bridgeBaseStyle_;
    currentPlistPath_ = sheet->currentPlistPath_;
    screenScale_ = sheet->screenScale_;
}

std::shared_ptr<CBGeoStyleSheet> CBGeoStyleSheet::createWithStyleSheet(
    const std::shared_ptr<CBGeoStyleSheet>& sheet) {
    return std::shared_ptr<CBGeoStyleSheet>(new CBGeoStyleSheet(sheet.get()));
}

std::shared_ptr<CBGeoStyleSheet> CBGeoStyleSheet::sharedStyleSheetForPlistPathAtScale(
    const std::string& path, CGFloat screenScale) {
    static std::mutex mutex;
    static std::map<std::pair<std::string, CGFloat>, std::weak_ptr<CBGeoStyleSheet>> sheets;
    std::lock_guard lock(mutex);
    std::erase_if(sheets, [](const auto& entry) { return entry.second.expired(); });
    auto& entry = sheets[{path, screenScale}];
    auto sheet = entry.lock();
    if (!sheet) {
        sheet = std::make_shared<CBGeoStyleSheet>(path, screenScale);
        entry = sheet;
    }
    return sheet;
}

std::optional<std::string> CBGeoStyleSheet::defaultStylePlistPath() {
    return NSBundle::mainBundle()->pathForResource("defaultMapStyle", "plist",
                                                   "Quillmere.bundle/mapStyle");
}

bool CBGeoStyleSheet::parseStyleFromPlist(const std::string& path) {
    NSError error;
    std::optional<Value> plist =
        NSPropertyListSerialization::propertyListWithContentsOfFile(path, &error);
    if (!plist) {
        NSLogWithLevel(NSLogLevel::Error, "CBGeoStyleSheet: cannot read the style %s: %s",
                       path.c_str(), error.localizedDescription().c_str());
        return false;
    }
    const Value::Dictionary* root = plist->dictionaryValue();
    const Value* tags = plist->get("tags");
    if (!root || (tags && !tags->dictionaryValue())) {
        NSLogWithLevel(NSLogLevel::Error,
                       "CBGeoStyleSheet: %s is not a map style (it needs a dictionary at the root "
                       "and a dictionary under \"tags\")",
                       path.c_str());
        return false;
    }

    currentPlistPath_ = path;
    images_.clear();
    std::unordered_map<int64_t, ZoomTable> types;
    ZoomTable buildings;
    std::optional<int64_t> buildingTypeID;
    if (const Value* building = plist->get("buildingTypeID"))
        buildingTypeID = building->integerValue();

    for (const auto& [typeKey, zooms] : tags ? *tags->dictionaryValue() : Value::Dictionary{}) {
        const Value::Dictionary* zoomDictionary = zooms.dictionaryValue();
        if (!zoomDictionary) {
            NSLogWithLevel(NSLogLevel::Warning,
                           "CBGeoStyleSheet: type %s of %s is not a dictionary", typeKey.c_str(),
                           path.c_str());
            continue;
        }
        const int64_t typeID = integerOfKey(typeKey);
        ZoomTable& table = types[typeID];
        std::vector<std::pair<long, const Value*>> entries;
        for (const auto& [zoomKey, entry] : *zoomDictionary)
            entries.emplace_back(long(integerOfKey(zoomKey)), &entry);
        std::stable_sort(entries.begin(), entries.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });

        std::shared_ptr<CBGeoStyle> previous;
        for (const auto& [zoom, entry] : entries) {
            std::shared_ptr<CBGeoStyle> style = geoStyleFromDictionary(entry);
            if (!style)
                continue;
            style->setParentStyle(previous);
            if (auto area = geoStyleFromDictionary(entry->get("area"))) {
                if (previous)
                    area->setParentStyle(previous->areaStyle());
                style->setAreaStyle(area);
            }
            if (auto building = geoStyleFromDictionary(entry->get("building"))) {
                if (previous)
                    building->setParentStyle(previous->buildingStyle());
                style->setBuildingStyle(building);
            }
            if (auto refLabel = geoStyleFromDictionary(entry->get("refLabel")))
                style->setRefLabelStyle(refLabel);
            if (auto secondary = geoStyleFromDictionary(entry->get("secondary")))
                style->setSecondaryStyle(secondary);
            table[zoom] = style;
            if (buildingTypeID == typeID)
                buildings[zoom] = style;
            previous = style;
        }
    }

    std::shared_ptr<CBGeoStyle> baseMap = geoStyleFromDictionary(plist->get("baseMap"));
    std::shared_ptr<CBGeoStyle> bridgeBase = geoStyleFromDictionary(plist->get("bridgebase"));
    styleForTypeInZoomDict_ = std::move(types);
    baseBuildingStyles_ = std::move(buildings);
    baseMapStyle_ = baseMap;
    bridgeBaseStyle_ = bridgeBase ? bridgeBase : defaultBridgeBaseStyle();
    return true;
}

std::shared_ptr<CBGeoStyle> CBGeoStyleSheet::geoStyleFromDictionary(const Value* value) {
    const Value::Dictionary* dictionary = value ? value->dictionaryValue() : nullptr;
    if (!dictionary)
        return nullptr;
    const Value::Dictionary& d = *dictionary;
    auto style = std::make_shared<CBGeoStyle>();
    style->setCasingColor(colorOf(d, "casingColor"));
    style->setStrokeColor(colorOf(d, "strokeColor"));
    style->setTextColor(colorOf(d, "textColor"));
    style->setOnewayColor(colorOf(d, "onewayColor"));
    style->setTextCasingColor(colorOf(d, "textCasingColor"));
    style->setFillColor(colorOf(d, "fillColor"));
    if (const std::string* icon = stringOf(d, "iconPath"))
        style->setIcon(imageForFileName(*icon));
    if (const std::string* pattern = stringOf(d, "fillPatternImage"))
        style->setFillPatternImage(imageForFileName(*pattern));
    style->setStrokeWidth(positiveNumberOf(d, "strokeWidth"));
    style->setCasingWidth(positiveNumberOf(d, "casingWidth"));
    style->setTextCasingWidth(positiveNumberOf(d, "textCasingWidth"));
    style->setLabelSpacing(positiveNumberOf(d, "labelSpacing"));
    if (const std::string* placement = stringOf(d, "text-placement");
        placement && !placement->empty())
        style->setTextPlacementCentered(*placement == "centered");
    style->setFillOpacity(numberOf(d, "fillOpacity"));
    style->setStrokeOpacity(numberOf(d, "strokeOpacity"));
    style->setStrokeDashes(numbersOf(d, "dashes"));
    style->setCasingDashes(numbersOf(d, "casingDashes"));
    if (auto zIndex = d.find("zIndex"); zIndex != d.end())
        style->setZIndex(zIndex->second.integerValue());
    style->setHidden(boolOf(d, "hidden"));
    style->setFontSize(numberOf(d, "fontSize"));
    style->setTextOffset(numberOf(d, "textOffset"));
    style->setTextPlacementImportant(boolOf(d, "text-placement-important"));
    if (const std::string* family = stringOf(d, "font-family"))
        style->setFontFamily(*family);
    if (const std::string* cap = stringOf(d, "line-cap")) {
        if (*cap == "butt")
            style->setLineCap(CBGeoStyle::kLineCapButt);
        else if (*cap == "square")
            style->setLineCap(CBGeoStyle::kLineCapSquare);
    }
    return style;
}

std::shared_ptr<const CBGeoStyleImage> CBGeoStyleSheet::imageForFileName(
    const std::string& fileName) const {
    if (fileName.empty() || !currentPlistPath_)
        return nullptr;
    if (auto cached = images_.find(fileName); cached != images_.end())
        return cached->second;
    const std::string folder = std::filesystem::path(*currentPlistPath_).parent_path().string();
    const std::string base = (std::filesystem::path(folder) / fileName).lexically_normal().string();
    const CGFloat scale = screenScale_;
    // Each candidate with the pixels per point its name promises.
    std::vector<std::pair<std::string, CGFloat>> candidates;
    if (scale > 1) {
        if (scale >= 3)
            candidates.emplace_back(withScaleSuffix(base, "@3x"), 3);
        candidates.emplace_back(withScaleSuffix(base, "@2x"), 2);
    }
    candidates.emplace_back(base, 1);
    std::shared_ptr<const CBGeoStyleImage> image;
    for (const auto& [candidate, pixelsPerPoint] : candidates) {
        std::error_code ignored;
        if (!std::filesystem::is_regular_file(candidate, ignored))
            continue;
        auto source = CGImageSource::createWithURL(candidate);
        if (CGImageRef bitmap = source ? source->createImageAtIndex(0) : nullptr) {
            image = std::make_shared<CBGeoStyleImage>(bitmap, pixelsPerPoint);
            break;
        }
    }
    if (!image)
        NSLogWithLevel(NSLogLevel::Warning, "CBGeoStyleSheet: no image %s", base.c_str());
    images_[fileName] = image;
    return image;
}

std::shared_ptr<CBGeoStyle> CBGeoStyleSheet::lookUp(ZoomTable& table, long zoom, long lowest) {
    auto found = table.upper_bound(zoom);
    if (found == table.begin())
        return nullptr;
    --found;
    if (found->first < lowest)
        return nullptr;
    std::shared_ptr<CBGeoStyle> style = found->second;
    if (found->first != zoom)
        table.emplace(zoom, style);
    return style;
}

std::shared_ptr<CBGeoStyle> CBGeoStyleSheet::styleForTypeIDAtNativeZoomLevel(
    std::optional<int64_t> typeID, long zoom) {
    if (!typeID || zoom < 0)
        return nullptr;
    auto table = styleForTypeInZoomDict_.find(*typeID);
    if (table == styleForTypeInZoomDict_.end())
        return nullptr;
    return lookUp(table->second, zoom, 0);
}

std::shared_ptr<CBGeoStyle> CBGeoStyleSheet::styleForBuildingsAtNativeZoomLevel(long zoom) {
    if (zoom < kLowestBuildingZoom)
        return nullptr;
    return lookUp(baseBuildingStyles_, zoom, kLowestBuildingZoom);
}

std::optional<std::vector<std::shared_ptr<CBGeoStyle>>>
CBGeoStyleSheet::arrayOfStylesForTypeIDsAtNativeZoomLevel(
    const std::optional<std::vector<int64_t>>& typeIDs, long zoom) {
    if (!typeIDs)
        return std::nullopt;
    std::vector<std::shared_ptr<CBGeoStyle>> styles;
    for (int64_t typeID : *typeIDs) {
        if (auto style = styleForTypeIDAtNativeZoomLevel(typeID, zoom))
            styles.push_back(std::move(style));
    }
    return styles;
}

bool CBGeoStyleSheet::hasStyleForElementAtNativeZoomLevel(
    const std::shared_ptr<CBGeoElement>& element, long zoom) {
    if (!element)
        return false;
    return hasStyleForStyleIDsIsBuildingAtNativeZoomLevel(
        element->styleIds().value_or(std::vector<int64_t>{}), element->isBuilding(), zoom);
}

bool CBGeoStyleSheet::hasStyleForStyleIDsIsBuildingAtNativeZoomLevel(
    const std::vector<int64_t>& styleIDs, bool isBuilding, long zoom) {
    if (isBuilding && styleForBuildingsAtNativeZoomLevel(zoom))
        return true;
    return !arrayOfStylesForTypeIDsAtNativeZoomLevel(styleIDs, zoom)->empty();
}

std::string CBGeoStyleSheet::debugDescription() const {
    std::map<int64_t, const ZoomTable*> ordered;
    for (const auto& [typeID, table] : styleForTypeInZoomDict_)
        ordered[typeID] = &table;
    std::string text;
    for (const auto& [typeID, table] : ordered) {
        text += std::to_string(typeID) + ":";
        for (const auto& [zoom, style] : *table)
            text += " " + std::to_string(zoom) + "(z" + std::to_string(style->zIndex()) + ")";
        text += "\n";
    }
    return text;
}
