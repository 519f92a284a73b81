#pragma once

#include <cmath>

#include "CoreGraphics/CGContext.h"

namespace bench {

// A 512x512 tile with the kinds of content a city map has: land, a park, a
// river, blocks of buildings and cased roads, so codecs and caches see
// realistic pixels.
inline CGImageRef cityLikeTile() {
    auto c = CGContext::createBitmapContext(512, 512);
    c->setRGBFillColor(0.95, 0.94, 0.91, 1);
    c->fillRect(CGRectMake(0, 0, 512, 512));
    c->setRGBFillColor(0.78, 0.9, 0.7, 1);
    c->fillEllipseInRect(CGRectMake(300, 280, 180, 140));
    c->setRGBStrokeColor(0.62, 0.78, 0.92, 1);
    c->setLineWidth(28);
    c->setLineCap(kCGLineCapRound);
    c->moveToPoint(-10, 120);
    c->addCurveToPoint(150, 60, 260, 260, 522, 200);
    c->strokePath();
    c->setRGBFillColor(0.85, 0.82, 0.78, 1);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x)
            c->fillRect(CGRectMake(12 + x * 34 + (y % 3), 262 + y * 30, 24 + (x * 7 % 9), 20));
    }
    // Each road: a grey casing, then its lighter fill.
    for (int i = 0; i < 14; ++i) {
        const CGFloat a = i * 0.45;
        for (int pass = 0; pass < 2; ++pass) {
            c->beginPath();
            c->moveToPoint(256 + 300 * std::cos(a), 256 + 300 * std::sin(a));
            c->addLineToPoint(256 - 300 * std::cos(a + 0.3), 256 - 300 * std::sin(a + 0.3));
            if (pass == 0)
                c->setRGBStrokeColor(0.6, 0.6, 0.6, 1);
            else
                c->setRGBStrokeColor(1, 0.96, 0.8, 1);
            c->setLineWidth(pass == 0 ? 9 : 6);
            c->strokePath();
        }
    }
    return c->createImage();
}

}  // namespace bench
