#pragma once

#include <memory>

#include "UIKit/UICollectionViewFlowLayout.h"
#include "UIKit/UIDevice.h"

// The shelf's flow layout; the shelf sets its sizes from the metrics below.
class CBMapShelfFlowLayout : public UICollectionViewFlowLayout {};

// Cover size and spacing by device: a phone, a pad whose longer screen side
// is at most 1024 points, and a larger pad. The top and bottom insets are
// half the line spacing.
struct CBMapShelfLayoutMetrics {
    CGSize itemSize;
    CGFloat lineSpacing;
    CGFloat interitemSpacing;
    UIEdgeInsets sectionInset;

    static CBMapShelfLayoutMetrics forDevice(UIUserInterfaceIdiom idiom, CGFloat longerScreenSide);
    // One stripe of the background per row of covers.
    CGFloat rowHeight() const { return itemSize.height + lineSpacing; }
};

// The search bar's header above the covers.
inline constexpr CGFloat kCBMapShelfHeaderHeight = 44;
