#include <algorithm>
#include <cmath>
#include <numbers>

#include "UIKit/UITabBarItem.h"

namespace {

void star(CGContext& c, CGPoint centre, CGFloat outer) {
    const CGFloat inner = outer * 0.42;
    for (int i = 0; i < 10; ++i) {
        const CGFloat r = i % 2 ? inner : outer;
        const CGFloat a = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
        const CGFloat x = centre.x + r * std::cos(a), y = centre.y + r * std::sin(a);
        if (i == 0) {
            c.moveToPoint(x, y);
        } else {
            c.addLineToPoint(x, y);
        }
    }
    c.closePath();
    c.fillPath();
}

void clock(CGContext& c, CGPoint centre, CGFloat r) {
    c.strokeEllipseInRect({{centre.x - r, centre.y - r}, {2 * r, 2 * r}});
    c.beginPath();
    c.moveToPoint(centre.x, centre.y - r * 0.6);
    c.addLineToPoint(centre.x, centre.y);
    c.addLineToPoint(centre.x + r * 0.45, centre.y + r * 0.3);
    c.strokePath();
}

}  // namespace

void UITabBarItem::drawSystemGlyph(CGContext& c, UITabBarSystemItem item, const CGRect& rect,
                                   const UIColor& color) {
    c.saveGState();
    c.setFillColorWithColor(color.CGColor());
    c.setStrokeColorWithColor(color.CGColor());
    const CGFloat s = std::min(rect.size.width, rect.size.height);
    const CGFloat line = std::max<CGFloat>(1.5, s / 14);
    c.setLineWidth(line);
    c.setLineCap(kCGLineCapRound);
    c.setLineJoin(kCGLineJoinRound);
    const CGPoint m{CGRectGetMidX(rect), CGRectGetMidY(rect)};
    const CGFloat r = s / 2 - line;
    switch (item) {
        case UITabBarSystemItemMore:
            for (int i = -1; i <= 1; ++i) {
                c.fillEllipseInRect({{m.x + i * s / 3 - s / 12, m.y - s / 12}, {s / 6, s / 6}});
            }
            break;
        case UITabBarSystemItemFavorites:
        case UITabBarSystemItemFeatured:
        case UITabBarSystemItemTopRated:
            star(c, m, r);
            break;
        case UITabBarSystemItemRecents:
        case UITabBarSystemItemHistory:
        case UITabBarSystemItemMostRecent:
            clock(c, m, r);
            break;
        case UITabBarSystemItemContacts:
            c.fillEllipseInRect({{m.x - r * 0.4, m.y - r}, {r * 0.8, r * 0.8}});
            c.beginPath();
            c.addArc(m.x, m.y + r, r * 0.8, std::numbers::pi, 2 * std::numbers::pi, false);
            c.closePath();
            c.fillPath();
            break;
        case UITabBarSystemItemBookmarks:
            c.beginPath();
            c.addLines({{m.x - r * 0.6, m.y - r},
                        {m.x + r * 0.6, m.y - r},
                        {m.x + r * 0.6, m.y + r},
                        {m.x, m.y + r * 0.5},
                        {m.x - r * 0.6, m.y + r}});
            c.closePath();
            c.fillPath();
            break;
        case UITabBarSystemItemSearch:
            c.strokeEllipseInRect({{m.x - r, m.y - r}, {r * 1.3, r * 1.3}});
            c.strokeLineSegments({{m.x + r * 0.15, m.y + r * 0.15}, {m.x + r, m.y + r}});
            break;
        case UITabBarSystemItemDownloads:
            c.strokeLineSegments({{m.x, m.y - r}, {m.x, m.y + r * 0.5}});
            c.beginPath();
            c.addLines({{m.x - r * 0.5, m.y}, {m.x, m.y + r * 0.5}, {m.x + r * 0.5, m.y}});
            c.strokePath();
            c.strokeLineSegments({{m.x - r, m.y + r}, {m.x + r, m.y + r}});
            break;
        case UITabBarSystemItemMostViewed:
            for (int i = 0; i < 3; ++i) {
                const CGFloat h = r * (0.8 + 0.6 * i);
                c.fillRect({{m.x - r + i * r * 0.75, m.y + r - h}, {r * 0.5, h}});
            }
            break;
    }
    c.restoreGState();
}
