#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGColor.h"
#include "CoreGraphics/CGGeometry.h"
#include "mapkit/CBGeoStyleImage.h"

// One drawing style of the map: how a kind of element is stroked, filled,
// labelled and ordered at one zoom level. A value left unset is taken from
// parentStyle (the same type at the next lower zoom the style sheet defines)
// on first read and kept, so later changes of the parent are not seen.
//
// Styles are shared by every thread's copy of a style sheet; the first reads
// fill values under a lock of the style, so concurrent readers are safe.
// Colours and images are Core Graphics values: the tile threads draw with
// them and touch nothing of the window toolkit.
class CBGeoStyle {
  public:
    // lineCap values, as the graphics layer numbers them.
    static constexpr int kLineCapButt = 0;
    static constexpr int kLineCapRound = 1;
    static constexpr int kLineCapSquare = 2;

    CBGeoStyle() = default;
    CBGeoStyle(const CBGeoStyle&) = delete;
    CBGeoStyle& operator=(const CBGeoStyle&) = delete;

    std::shared_ptr<CBGeoStyle> parentStyle() const;
    void setParentStyle(std::shared_ptr<CBGeoStyle> style);

    std::shared_ptr<CBGeoStyle> secondaryStyle();
    void setSecondaryStyle(std::shared_ptr<CBGeoStyle> style);
    std::shared_ptr<CBGeoStyle> areaStyle();
    void setAreaStyle(std::shared_ptr<CBGeoStyle> style);
    std::shared_ptr<CBGeoStyle> buildingStyle();
    void setBuildingStyle(std::shared_ptr<CBGeoStyle> style);
    std::shared_ptr<CBGeoStyle> refLabelStyle();
    void setRefLabelStyle(std::shared_ptr<CBGeoStyle> style);

    std::optional<CGColor> strokeColor();
    void setStrokeColor(std::optional<CGColor> color);
    std::optional<CGColor> casingColor();
    void setCasingColor(std::optional<CGColor> color);
    std::optional<CGColor> fillColor();
    void setFillColor(std::optional<CGColor> color);
    std::optional<CGColor> textColor();
    void setTextColor(std::optional<CGColor> color);
    std::optional<CGColor> textCasingColor();
    void setTextCasingColor(std::optional<CGColor> color);
    std::optional<CGColor> onewayColor();
    void setOnewayColor(std::optional<CGColor> color);

    std::shared_ptr<const CBGeoStyleImage> fillPatternImage();
    void setFillPatternImage(std::shared_ptr<const CBGeoStyleImage> image);
    std::shared_ptr<const CBGeoStyleImage> icon();
    void setIcon(std::shared_ptr<const CBGeoStyleImage> image);

    // Not inherited; round (1) unless the plist says otherwise.
    int lineCap() const;
    void setLineCap(int cap);

    std::optional<std::vector<CGFloat>> strokeDashes();
    void setStrokeDashes(std::optional<std::vector<CGFloat>> dashes);
    std::optional<std::vector<CGFloat>> casingDashes();
    void setCasingDashes(std::optional<std::vector<CGFloat>> dashes);

    std::optional<CGFloat> strokeWidth();
    void setStrokeWidth(std::optional<CGFloat> width);
    std::optional<CGFloat> casingWidth();
    void setCasingWidth(std::optional<CGFloat> width);
    // nil when unset along the whole chain or set to -1 ("no opacity").
    std::optional<CGFloat> strokeOpacity();
    void setStrokeOpacity(std::optional<CGFloat> opacity);
    std::optional<CGFloat> fillOpacity();
    void setFillOpacity(std::optional<CGFloat> opacity);
    std::optional<bool> textPlacementCentered();
    void setTextPlacementCentered(std::optional<bool> centered);
    std::optional<CGFloat> fontSize();
    void setFontSize(std::optional<CGFloat> size);
    std::optional<CGFloat> textCasingWidth();
    void setTextCasingWidth(std::optional<CGFloat> width);
    std::optional<CGFloat> labelSpacing();
    void setLabelSpacing(std::optional<CGFloat> spacing);
    std::optional<std::string> fontFamily();
    void setFontFamily(std::optional<std::string> family);
    std::optional<CGFloat> textOffset();
    void setTextOffset(std::optional<CGFloat> offset);

    // Never missing: 0 / NO when the whole chain leaves them out.
    int64_t zIndex();
    void setZIndex(std::optional<int64_t> zIndex);
    bool hidden();
    void setHidden(std::optional<bool> hidden);
    bool textPlacementImportant();
    void setTextPlacementImportant(std::optional<bool> important);

    bool isHidden() { return hidden(); }
    bool isTextPlacementImportant() { return textPlacementImportant(); }

    // Does drawing need the element's path: any line or fill colour, a fill
    // pattern, or a line or fill colour of the area style.
    bool requiresPathForDisplay();

    // Debug text: z-index, colours as hex, widths, hidden flag, area style.
    std::string description();

  private:
    template <class Field, class Getter>
    Field inherited(Field& field, Getter getter);
    template <class T, class Getter>
    T inheritedOr(std::optional<T>& field, Getter getter, T fallback);
    template <class T>
    void store(std::optional<T>& field, std::optional<T> value);

    mutable std::mutex mutex_;  // guards every field below
    std::shared_ptr<CBGeoStyle> parentStyle_;
    std::shared_ptr<CBGeoStyle> secondaryStyle_;
    std::shared_ptr<CBGeoStyle> areaStyle_;
    std::shared_ptr<CBGeoStyle> buildingStyle_;
    std::shared_ptr<CBGeoStyle> refLabelStyle_;
    std::optional<CGColor> strokeColor_;
    std::optional<CGColor> casingColor_;
    std::optional<CGColor> fillColor_;
    std::shared_ptr<const CBGeoStyleImage> fillPatternImage_;
    std::shared_ptr<const CBGeoStyleImage> icon_;
    std::optional<CGColor> textColor_;
    std::optional<CGColor> textCasingColor_;
    std::optional<CGColor> onewayColor_;
    int lineCap_ = kLineCapRound;
    std::optional<std::vector<CGFloat>> strokeDashes_;
    std::optional<std::vector<CGFloat>> casingDashes_;
    std::optional<CGFloat> strokeWidth_;
    std::optional<CGFloat> casingWidth_;
    std::optional<CGFloat> strokeOpacity_;
    std::optional<CGFloat> fillOpacity_;
    std::optional<bool> textPlacementCentered_;
    std::optional<CGFloat> fontSize_;
    std::optional<CGFloat> textCasingWidth_;
    std::optional<CGFloat> labelSpacing_;
    std::optional<std::string> fontFamily_;
    std::optional<bool> textPlacementImportant_;
    std::optional<CGFloat> textOffset_;
    std::optional<int64_t> zIndex_;
    std::optional<bool> hidden_;
};

using CBGeoStyleRef = std::shared_ptr<CBGeoStyle>;
