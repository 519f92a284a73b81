#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "UIKit/UIColor.h"

// Colours of map styles and transit data: hexadecimal strings, HSV
// arithmetic and component access. The HSV operations read a colour's red,
// green and blue, so a grey works as the RGB colour of the same shade.

// "FF8000", " ff8000\n" or "0xff8000" (six hex digits after trimming and an
// optional 0x); nullopt for anything else, "#FF8000" included.
std::optional<UIColor> cbColorWithHexString(std::string_view text);
// "%02X%02X%02X" of red, green and blue.
std::string cbHexStringFromColor(const UIColor& color);

UIColor cbColorWithHueSaturationValueAlpha(CGFloat hue, CGFloat saturation, CGFloat value,
                                           CGFloat alpha);
// Each of hue, saturation and value multiplied (or increased) by its own
// factor, alpha kept; no clamping, no wrapping of the hue.
UIColor cbMultiplyHueSaturationValue(const UIColor& color, CGFloat hue, CGFloat saturation,
                                     CGFloat value);
UIColor cbAddHueSaturationValue(const UIColor& color, CGFloat hue, CGFloat saturation,
                                CGFloat value);
UIColor cbHighlight(const UIColor& color);  // saturation x 0.4, value x 1.2
UIColor cbShadow(const UIColor& color);     // saturation x 0.6, value x 0.6
UIColor copyCBWithAlpha(const UIColor& color, CGFloat alpha);

CGFloat cbHue(const UIColor& color);
CGFloat cbSaturation(const UIColor& color);
CGFloat cbValue(const UIColor& color);

CGColorSpaceModel cbColorSpaceModel(const UIColor& color);
// "kCGColorSpaceModelRGB" and so on; "Not a valid color space" for an unknown
// value.
std::string cbColorSpaceString(const UIColor& color);
std::string cbColorSpaceStringForModel(CGColorSpaceModel model);
bool canProvideRGBComponents(const UIColor& color);

// Red, green, blue of an RGB colour, the grey of a monochrome one; any other
// model is a programming error.
CGFloat cbRed(const UIColor& color);
CGFloat cbGreen(const UIColor& color);
CGFloat cbBlue(const UIColor& color);
CGFloat cbAlpha(const UIColor& color);
