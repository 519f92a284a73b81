#include "widgets/UIColor+KelvaraColors.h"

namespace KelvaraColors {

UIColor walkAccentColor() {
    return UIColor::colorWithRedGreenBlueAlpha(0.147, 0.496, 0.901, 1);
}

UIColor walkStopSelectionHighlightColor() {
    return UIColor::colorWithRedGreenBlueAlpha(0.728, 0.822, 0.999, 1);
}

UIColor walkStopFirst() {
    return UIColor::colorWithRedGreenBlueAlpha(0.331, 0.812, 0.323, 1);
}

UIColor walkStopLast() {
    return walkAccentColor();
}

std::optional<UIColor> pinColorBookmark() {
    return std::nullopt;
}

UIColor pinColorGuide() {
    return UIColor::colorWithRedGreenBlueAlpha(0.9804, 0.2235, 0.1843, 1);
}

}  // namespace KelvaraColors
