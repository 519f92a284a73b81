#include "mapkit/VADStyleTrait.h"

std::shared_ptr<VADStyleTrait> VADStyleTrait::iconTraitWithColor(const UIColor& color) {
    auto trait = std::make_shared<VADStyleTrait>(kMaskedIconStyle);
    trait->setColor(color);
    trait->setHighlightedColor(UIColor::whiteColor());
    return trait;
}
