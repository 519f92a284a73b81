#include "uiadditions/UIColor+ZORuzUvuCategory.h"

#include <cctype>
#include <cstdio>

#include "Foundation/NSAssert.h"
#include "foundation/ZELColorConversion.h"

namespace {
constexpr const char* kFile = "uiadditions/UIColor+ZORuzUvuCategory";

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A pair that is not hexadecimal reads as 0.
int hexPair(std::string_view pair) {
    const int high = hexDigit(pair[0]);
    const int low = hexDigit(pair[1]);
    return high < 0 || low < 0 ? 0 : high * 16 + low;
}

ZELHSV hsvOf(const UIColor& color) {
    CGFloat r = 0, g = 0, b = 0;
    color.getRedGreenBlueAlpha(&r, &g, &b, nullptr);
    return ZELRGBToHSV(r, g, b);
}

int hexByte(CGFloat component) {
    if (!(component > 0))
        return 0;
    if (component > 1)
        return 255;
    return static_cast<int>(component * 255);
}

CGFloat rgbComponent(const UIColor& color, int index) {
    CGFloat rgb[3] = {0, 0, 0};
    NSAssert(color.getRedGreenBlueAlpha(&rgb[0], &rgb[1], &rgb[2], nullptr), kFile,
             "Must be a RGB color to use -red, -green, -blue");
    return rgb[index];
}
}  // namespace

std::optional<UIColor> cbColorWithHexString(std::string_view text) {
    auto isBlank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    std::string hex;
    for (char c : text)
        hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (hex.size() < 6)
        return std::nullopt;
    if (hex.starts_with("0X"))
        hex.erase(0, 2);
    if (hex.size() != 6)
        return std::nullopt;
    const std::string_view digits(hex);
    return UIColor::colorWithRedGreenBlueAlpha(hexPair(digits.substr(0, 2)) / 255.0,
                                               hexPair(digits.substr(2, 2)) / 255.0,
                                               hexPair(digits.substr(4, 2)) / 255.0, 1.0);
}

std::string cbHexStringFromColor(const UIColor& color) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", hexByte(cbRed(color)), hexByte(cbGreen(color)),
                  hexByte(cbBlue(color)));
    return text;
}

UIColor cbColorWithHueSaturationValueAlpha(CGFloat hue, CGFloat saturation, CGFloat value,
                                           CGFloat alpha) {
    const ZELRGB rgb = ZELHSVToRGB(hue, saturation, value);
    return UIColor::colorWithRedGreenBlueAlpha(rgb.red, rgb.green, rgb.blue, alpha);
}

UIColor cbMultiplyHueSaturationValue(const UIColor& color, CGFloat hue, CGFloat saturation,
                                     CGFloat value) {
    const ZELHSV hsv = hsvOf(color);
    return cbColorWithHueSaturationValueAlpha(hsv.hue * hue, hsv.saturation * saturation,
                                              hsv.value * value, color.alpha());
}

UIColor cbAddHueSaturationValue(const UIColor& color, CGFloat hue, CGFloat saturation,
                                CGFloat value) {
    const ZELHSV hsv = hsvOf(color);
    return cbColorWithHueSaturationValueAlpha(hsv.hue + hue, hsv.saturation + saturation,
                                              hsv.value + value, color.alpha());
}

UIColor cbHighlight(const UIColor& color) {
    return cbMultiplyHueSaturationValue(color, 1.0, 0.4, 1.2);
}

UIColor cbShadow(const UIColor& color) {
    return cbMultiplyHueSaturationValue(color, 1.0, 0.6, 0.6);
}

UIColor copyCBWithAlpha(const UIColor& color, CGFloat alpha) {
    CGFloat r = 0, g = 0, b = 0;
    color.getRedGreenBlueAlpha(&r, &g, &b, nullptr);
    return UIColor::colorWithRedGreenBlueAlpha(r, g, b, alpha);
}

CGFloat cbHue(const UIColor& color) {
    return hsvOf(color).hue;
}
CGFloat cbSaturation(const UIColor& color) {
    return hsvOf(color).saturation;
}
CGFloat cbValue(const UIColor& color) {
    return hsvOf(color).value;
}

CGColorSpaceModel cbColorSpaceModel(const UIColor& color) {
    return color.colorSpaceModel();
}

std::string cbColorSpaceString(const UIColor& color) {
    return cbColorSpaceStringForModel(color.colorSpaceModel());
}

std::string cbColorSpaceStringForModel(CGColorSpaceModel model) {
    switch (model) {
        case kCGColorSpaceModelUnknown:
            return "kCGColorSpaceModelUnknown";
        case kCGColorSpaceModelMonochrome:
            return "kCGColorSpaceModelMonochrome";
        case kCGColorSpaceModelRGB:
            return "kCGColorSpaceModelRGB";
        case kCGColorSpaceModelCMYK:
            return "kCGColorSpaceModelCMYK";
        case kCGColorSpaceModelLab:
            return "kCGColorSpaceModelLab";
        case kCGColorSpaceModelDeviceN:
            return "kCGColorSpaceModelDeviceN";
        case kCGColorSpaceModelIndexed:
            return "kCGColorSpaceModelIndexed";
        case kCGColorSpaceModelPattern:
            return "kCGColorSpaceModelPattern";
    }
    return "Not a valid color space";
}

bool canProvideRGBComponents(const UIColor& color) {
    return color.colorSpaceModel() == kCGColorSpaceModelRGB ||
           color.colorSpaceModel() == kCGColorSpaceModelMonochrome;
}

CGFloat cbRed(const UIColor& color) {
    return rgbComponent(color, 0);
}
CGFloat cbGreen(const UIColor& color) {
    return rgbComponent(color, 1);
}
CGFloat cbBlue(const UIColor& color) {
    return rgbComponent(color, 2);
}
CGFloat cbAlpha(const UIColor& color) {
    return color.alpha();
}
