#include "shelf/CBMapShelfFlowLayout.h"

CBMapShelfLayoutMetrics CBMapShelfLayoutMetrics::forDevice(UIUserInterfaceIdiom idiom,
                                                           CGFloat longerScreenSide) {
    CBMapShelfLayoutMetrics metrics;
    CGFloat side = 12;
    if (idiom != UIUserInterfaceIdiomPad) {
        metrics.itemSize = CGSizeMake(90, 135);
        metrics.lineSpacing = 20;
        metrics.interitemSpacing = 10;
    } else if (longerScreenSide <= 1024) {
        metrics.itemSize = CGSizeMake(120, 160);
        metrics.lineSpacing = 44;
        metrics.interitemSpacing = 20;
        side = 30;
    } else {
        metrics.itemSize = CGSizeMake(160, 240);
        metrics.lineSpacing = 90;
        metrics.interitemSpacing = 40;
        side = 60;
    }
    metrics.sectionInset =
        UIEdgeInsets{metrics.lineSpacing / 2, side, metrics.lineSpacing / 2, side};
    return metrics;
}
