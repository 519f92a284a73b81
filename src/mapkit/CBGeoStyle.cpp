#include "mapkit/CBGeoStyle.h"

#include <cmath>
#include <cstdio>

#include "uiadditions/UIColor+ZORuzUvuCategory.h"

// The lazy fill never holds the style's own lock while it asks the parent, so
// a chain of styles is walked without nested locks. Field is an optional value
// or a pointer: empty until set here or filled from the parent.
template <class Field, class Getter>
Field CBGeoStyle::inherited(Field& field, Getter getter) {
    std::shared_ptr<CBGeoStyle> parent;
    {
        std::lock_guard lock(mutex_);
        if (field)
            return field;
        parent = parentStyle_;
    }
    if (!parent)
        return Field{};
    Field answer = getter(*parent);
    if (!answer)
        return Field{};
    std::lock_guard lock(mutex_);
    if (!field)
        field = answer;
    return field;
}

// A value that always answers: the own or inherited one, else the fallback,
// which is then kept.
template <class T, class Getter>
T CBGeoStyle::inheritedOr(std::optional<T>& field, Getter getter, T fallback) {
    std::optional<T> value =
        inherited(field, [&](CBGeoStyle& p) { return std::optional<T>(getter(p)); });
    if (value)
        return *value;
    std::lock_guard lock(mutex_);
    if (!field)
        field = fallback;
    return *field;
}

template <class T>
void CBGeoStyle::store(std::optional<T>& field, std::optional<T> value) {
    std::lock_guard lock(mutex_);
    field = std::move(value);
}

std::shared_ptr<CBGeoStyle> CBGeoStyle::parentStyle() const {
    std::lock_guard lock(mutex_);
    return parentStyle_;
}

void CBGeoStyle::setParentStyle(std::shared_ptr<CBGeoStyle> style) {
    std::lock_guard lock(mutex_);
    parentStyle_ = std::move(style);
}

#define KV_STYLE_SUBSTYLE(getter, setter, field)                                     \
    std::shared_ptr<CBGeoStyle> CBGeoStyle::getter() {                               \
        return inherited(field, [](CBGeoStyle& parent) { return parent.getter(); }); \
    }                                                                                \
    void CBGeoStyle::setter(std::shared_ptr<CBGeoStyle> style) {                     \
        std::lock_guard lock(mutex_);                                                \
        field = std::move(style);                                                    \
    }

#define KV_STYLE_IMAGE(getter, setter, field)                                        \
    std::shared_ptr<const CBGeoStyleImage> CBGeoStyle::getter() {                    \
        return inherited(field, [](CBGeoStyle& parent) { return parent.getter(); }); \
    }                                                                                \
    void CBGeoStyle::setter(std::shared_ptr<const CBGeoStyleImage> image) {          \
        std::lock_guard lock(mutex_);                                                \
        field = std::move(image);                                                    \
    }

#define KV_STYLE_VALUE(type, getter, setter, field)                        \
    std::optional<type> CBGeoStyle::getter() {                             \
        return inherited(field, [](CBGeoStyle& p) { return p.getter(); }); \
    }                                                                      \
    void CBGeoStyle::setter(std::optional<type> value) {                   \
        store(field, std::move(value));                                    \
    }

KV_STYLE_SUBSTYLE(secondaryStyle, setSecondaryStyle, secondaryStyle_)
KV_STYLE_SUBSTYLE(areaStyle, setAreaStyle, areaStyle_)
KV_STYLE_SUBSTYLE(buildingStyle, setBuildingStyle, buildingStyle_)
KV_STYLE_SUBSTYLE(refLabelStyle, setRefLabelStyle, refLabelStyle_)
KV_STYLE_IMAGE(fillPatternImage, setFillPatternImage, fillPatternImage_)
KV_STYLE_IMAGE(icon, setIcon, icon_)
KV_STYLE_VALUE(CGColor, strokeColor, setStrokeColor, strokeColor_)
KV_STYLE_VALUE(CGColor, casingColor, setCasingColor, casingColor_)
KV_STYLE_VALUE(CGColor, fillColor, setFillColor, fillColor_)
KV_STYLE_VALUE(CGColor, textColor, setTextColor, textColor_)
KV_STYLE_VALUE(CGColor, textCasingColor, setTextCasingColor, textCasingColor_)
KV_STYLE_VALUE(CGColor, onewayColor, setOnewayColor, onewayColor_)
KV_STYLE_VALUE(std::vector<CGFloat>, strokeDashes, setStrokeDashes, strokeDashes_)
KV_STYLE_VALUE(std::vector<CGFloat>, casingDashes, setCasingDashes, casingDashes_)
KV_STYLE_VALUE(CGFloat, strokeWidth, setStrokeWidth, strokeWidth_)
KV_STYLE_VALUE(CGFloat, casingWidth, setCasingWidth, casingWidth_)
KV_STYLE_VALUE(CGFloat, fillOpacity, setFillOpacity, fillOpacity_)
KV_STYLE_VALUE(bool, textPlacementCentered, setTextPlacementCentered, textPlacementCentered_)
KV_STYLE_VALUE(CGFloat, fontSize, setFontSize, fontSize_)
KV_STYLE_VALUE(CGFloat, textCasingWidth, setTextCasingWidth, textCasingWidth_)
KV_STYLE_VALUE(CGFloat, labelSpacing, setLabelSpacing, labelSpacing_)
KV_STYLE_VALUE(std::string, fontFamily, setFontFamily, fontFamily_)
KV_STYLE_VALUE(CGFloat, textOffset, setTextOffset, textOffset_)

#undef KV_STYLE_SUBSTYLE
#undef KV_STYLE_IMAGE
#undef KV_STYLE_VALUE

int CBGeoStyle::lineCap() const {
    std::lock_guard lock(mutex_);
    return lineCap_;
}

void CBGeoStyle::setLineCap(int cap) {
    std::lock_guard lock(mutex_);
    lineCap_ = cap;
}

namespace {

// The stored "no opacity" marker: a number whose integer value is -1.
constexpr CGFloat kNoOpacity = -1;

bool isNoOpacity(CGFloat value) {
    return std::trunc(value) == kNoOpacity;
}

}  // namespace

std::optional<CGFloat> CBGeoStyle::strokeOpacity() {
    std::optional<CGFloat> value =
        inherited(strokeOpacity_, [](CBGeoStyle& p) { return p.strokeOpacity(); });
    if (!value) {
        std::lock_guard lock(mutex_);
        if (!strokeOpacity_)
            strokeOpacity_ = kNoOpacity;
        value = strokeOpacity_;
    }
    if (isNoOpacity(*value))
        return std::nullopt;
    return value;
}

void CBGeoStyle::setStrokeOpacity(std::optional<CGFloat> opacity) {
    store(strokeOpacity_, opacity);
}

int64_t CBGeoStyle::zIndex() {
    return inheritedOr(
        zIndex_, [](CBGeoStyle& p) { return p.zIndex(); }, int64_t{0});
}

void CBGeoStyle::setZIndex(std::optional<int64_t> zIndex) {
    store(zIndex_, zIndex);
}

bool CBGeoStyle::hidden() {
    return inheritedOr(
        hidden_, [](CBGeoStyle& p) { return p.hidden(); }, false);
}

void CBGeoStyle::setHidden(std::optional<bool> hidden) {
    store(hidden_, hidden);
}

bool CBGeoStyle::textPlacementImportant() {
    return inheritedOr(
        textPlacementImportant_, [](CBGeoStyle& p) { return p.textPlacementImportant(); }, false);
}

void CBGeoStyle::setTextPlacementImportant(std::optional<bool> important) {
    store(textPlacementImportant_, important);
}

bool CBGeoStyle::requiresPathForDisplay() {
    if (casingColor() || strokeColor() || fillColor() || fillPatternImage())
        return true;
    std::shared_ptr<CBGeoStyle> area = areaStyle();
    return area && (area->casingColor() || area->strokeColor() || area->fillColor());
}

namespace {

std::string hexOrNil(const std::optional<CGColor>& color) {
    return color ? cbHexStringFromColor(UIColor::colorWithRedGreenBlueAlpha(
                       color->red, color->green, color->blue, color->alpha))
                 : "(null)";
}

std::string widthOrNil(const std::optional<CGFloat>& width) {
    if (!width)
        return "(null)";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", double(*width));
    return text;
}

}  // namespace

std::string CBGeoStyle::description() {
    std::string text = "<CBGeoStyle>\n";
    text += "  zIndex: " + std::to_string(zIndex()) + "\n";
    text += "  casingColor: " + hexOrNil(casingColor()) + "\n";
    text += "  strokeColor: " + hexOrNil(strokeColor()) + "\n";
    text += "  strokeWidth: " + widthOrNil(strokeWidth()) + "\n";
    text += "  casingWidth: " + widthOrNil(casingWidth()) + "\n";
    text += "  fillColor: " + hexOrNil(fillColor()) + "\n";
    text += std::string("  hidden: ") + (isHidden() ? "YES" : "NO") + "\n";
    std::shared_ptr<CBGeoStyle> area = areaStyle();
    text += "  areaStyle: " + (area ? area->description() : std::string("(null)")) + "\n";
    return text;
}
