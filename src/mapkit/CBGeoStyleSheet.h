#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Foundation/Value.h"
#include "mapkit/CBGeoStyle.h"

class CBGeoElement;

// One parsed map style: per element type and zoom level, the style to draw
// with. A style defined at zoom z serves z and every zoom up to the next
// defined one; nothing exists below a type's lowest zoom.
//
// Property list (dictionary at the root): "baseMap" (background style),
// "bridgebase" (optional, drawn under bridges), "tags" (type id as a decimal
// string -> zoom as a decimal string -> style dictionary) and
// "buildingTypeID" (the type whose styles are also the building styles).
//
// Lookups write memo entries into the sheet's tables, so a sheet is used by
// one thread; each drawing thread takes its own copy (the styles themselves
// are shared).
class CBGeoStyleSheet {
  public:
    using ZoomTable = std::map<long, std::shared_ptr<CBGeoStyle>>;

    // initWithStylePlist: nullopt means the default plist. A plist that
    // cannot be read or is not a style (missing file, malformed, wrong root)
    // is logged and the default style is read instead; when the default
    // itself is unreadable the sheet is empty but for the default bridge style.
    // Images are picked for screenScale ("@2x" files for 2); nullopt takes the
    // main screen's (on the main thread).
    explicit CBGeoStyleSheet(const std::optional<std::string>& plistPath = std::nullopt,
                             std::optional<CGFloat> screenScale = std::nullopt);
    // initWithStyleSheet: a copy for another thread; nullptr gives a sheet
    // without any style.
    static std::shared_ptr<CBGeoStyleSheet> createWithStyleSheet(
        const std::shared_ptr<CBGeoStyleSheet>& sheet);

    // The parsed sheet of a plist for a screen scale, parsed once while
    // anyone holds it. Nobody changes a parsed sheet: threads draw from
    // their copies (createWithStyleSheet). Any thread.
    static std::shared_ptr<CBGeoStyleSheet> sharedStyleSheetForPlistPathAtScale(
        const std::string& path, CGFloat screenScale);

    // "Quillmere.bundle/mapStyle/defaultMapStyle.plist" of the main bundle.
    static std::optional<std::string> defaultStylePlistPath();

    // Parses a whole plist into this sheet; false (logged) when it is not
    // a readable style, leaving the sheet as it was.
    bool parseStyleFromPlist(const std::string& path);
    // A style from one style dictionary; nullptr for a missing or
    // non-dictionary value.
    std::shared_ptr<CBGeoStyle> geoStyleFromDictionary(const Value* dictionary);
    // An image beside the plist, preferring the screen scale's "@3x"/"@2x" file.
    std::shared_ptr<const CBGeoStyleImage> imageForFileName(const std::string& fileName) const;

    std::shared_ptr<CBGeoStyle> styleForTypeIDAtNativeZoomLevel(std::optional<int64_t> typeID,
                                                                long zoom);
    std::shared_ptr<CBGeoStyle> styleForBuildingsAtNativeZoomLevel(long zoom);
    // The styles of the ids found at the zoom, in order; nullopt for nil ids.
    std::optional<std::vector<std::shared_ptr<CBGeoStyle>>>
    arrayOfStylesForTypeIDsAtNativeZoomLevel(const std::optional<std::vector<int64_t>>& typeIDs,
                                             long zoom);
    // Is the element drawn at the zoom: a building when the zoom has a
    // building style, any element when one of its style ids has a style.
    bool hasStyleForElementAtNativeZoomLevel(const std::shared_ptr<CBGeoElement>& element,
                                             long zoom);
    // The same over what it reads of the element.
    bool hasStyleForStyleIDsIsBuildingAtNativeZoomLevel(const std::vector<int64_t>& styleIDs,
                                                        bool isBuilding, long zoom);

    const std::shared_ptr<CBGeoStyle>& baseMapStyle() const { return baseMapStyle_; }
    const std::shared_ptr<CBGeoStyle>& bridgeBaseStyle() const { return bridgeBaseStyle_; }
    const std::optional<std::string>& currentPlistPath() const { return currentPlistPath_; }
    const std::unordered_map<int64_t, ZoomTable>& styleForTypeInZoomDict() const {
        return styleForTypeInZoomDict_;
    }
    const ZoomTable& baseBuildingStyles() const { return baseBuildingStyles_; }

    // The type table, one line per type and zoom.
    std::string debugDescription() const;

  private:
    // The copy made by createWithStyleSheet; an empty sheet for nullptr.
    explicit CBGeoStyleSheet(const CBGeoStyleSheet* sheet);

    static std::shared_ptr<CBGeoStyle> lookUp(ZoomTable& table, long zoom, long lowest);

    std::unordered_map<int64_t, ZoomTable> styleForTypeInZoomDict_;
    std::shared_ptr<CBGeoStyle> baseMapStyle_;
    std::shared_ptr<CBGeoStyle> bridgeBaseStyle_;
    ZoomTable baseBuildingStyles_;
    std::optional<std::string> currentPlistPath_;
    CGFloat screenScale_ = 1;
    mutable std::map<std::string, std::shared_ptr<const CBGeoStyleImage>> images_;  // by file name
};

using CBGeoStyleSheetRef = std::shared_ptr<CBGeoStyleSheet>;
