#include "foundation/ZELColorConversion.h"

#include <algorithm>
#include <cmath>

ZELHSV ZELRGBToHSV(CGFloat red, CGFloat green, CGFloat blue) {
    const CGFloat max = std::max({red, green, blue});
    const CGFloat min = std::min({red, green, blue});
    ZELHSV hsv;
    hsv.value = max;
    if (max == 0) {
        hsv.hue = -1;
        return hsv;
    }
    const CGFloat delta = max - min;
    hsv.saturation = delta / max;
    if (delta == 0)
        return hsv;  // a grey: hue 0 rather than 0 / 0
    CGFloat hue;
    if (red == max) {
        hue = (green - blue) / delta;
    } else if (green == max) {
        hue = 2 + (blue - red) / delta;
    } else {
        hue = 4 + (red - green) / delta;
    }
    hue *= 60;
    if (hue < 0)
        hue += 360;
    hsv.hue = hue;
    return hsv;
}

ZELRGB ZELHSVToRGB(CGFloat hue, CGFloat saturation, CGFloat value) {
    if (saturation == 0 || !std::isfinite(hue))
        return {value, value, value};
    // Hue is an angle: 360 is red again, and sums beyond the circle wrap.
    CGFloat wrapped = std::fmod(hue, 360.0);
    if (wrapped < 0)
        wrapped += 360;
    const CGFloat h = wrapped / 60;
    const CGFloat i = std::floor(h);
    const CGFloat f = h - i;
    const CGFloat p = value * (1 - saturation);
    const CGFloat q = value * (1 - saturation * f);
    const CGFloat t = value * (1 - saturation * (1 - f));
    if (i == 0)
        return {value, t, p};
    if (i == 1)
        return {q, value, p};
    if (i == 2)
        return {p, value, t};
    if (i == 3)
        return {p, q, value};
    if (i == 4)
        return {t, p, value};
    return {value, p, q};
}
