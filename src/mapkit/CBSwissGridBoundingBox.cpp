#include "mapkit/CBSwissGridBoundingBox.h"

#include <algorithm>
#include <cstdio>

CBSwissGridBoundingBox CBSwissGridBoundingBox::boundingBoxWithCornerCorner(
    const CBSwissGridCoordinate& a, const CBSwissGridCoordinate& b) {
    CBSwissGridBoundingBox box;
    box.maxRechts = std::max(a.rechtsWert(), b.rechtsWert());
    box.minRechts = std::min(a.rechtsWert(), b.rechtsWert());
    box.maxHoch = std::max(a.hochWert(), b.hochWert());
    box.minHoch = std::min(a.hochWert(), b.hochWert());
    return box;
}

std::string CBSwissGridBoundingBox::description() const {
    char text[128];
    std::snprintf(text, sizeof text, "<CBSwissGridBoundingBox> %.2f,%.2f -> %.2f,%.2f", minRechts,
                  minHoch, maxRechts, maxHoch);
    return text;
}
