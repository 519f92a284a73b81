// Masked icons at the phone's 2x scale: what a list row pays for its icon
// (the rendered normal and highlighted images of a tinted 24-point icon)
// and what the guide grid's ribbon pays to draw with its gradient and glows.
#include <benchmark/benchmark.h>

#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIScreen.h"
#include "mapkit/VADMaskedIconView.h"
#include "mapkit/VADStyleTrait.h"

namespace {

std::shared_ptr<UIImage> glyph() {
    UIGraphicsBeginImageContextWithOptions({24, 24}, false, 2);
    auto context = UIGraphicsGetCurrentContext();
    context->setGrayFillColor(0, 1);
    context->addEllipseInRect(CGRectMake(3, 2, 18, 18));
    context->addEllipseInRect(CGRectMake(8, 7, 8, 8));
    context->eoFillPath();
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

// A table row's icon: made, tinted, both images rendered.
void BM_RowIcon(benchmark::State& state) {
    UIScreen::mainScreen()->setScale(2);
    const auto image = glyph();
    const auto trait = VADStyleTrait::iconTraitWithColor(UIColor::darkGrayColor());
    for (auto _ : state) {
        auto icon = VADMaskedIconView::iconWithImage(image);
        icon->setTrait(*trait);
        benchmark::DoNotOptimize(icon->renderImage());
        benchmark::DoNotOptimize(icon->renderHighlightedImage());
    }
}
BENCHMARK(BM_RowIcon)->Unit(benchmark::kMicrosecond);

// The ribbon's look (gradient, outer and inner glow) rendered once.
void BM_RibbonImage(benchmark::State& state) {
    UIScreen::mainScreen()->setScale(2);
    auto icon = VADMaskedIconView::iconWithImage(glyph());
    icon->setGradientColors({UIColor::colorWithRedGreenBlueAlpha(0.215, 0.672, 0.278, 1),
                             UIColor::colorWithRedGreenBlueAlpha(0.159, 0.495, 0.213, 1)});
    icon->setOuterGlowColor(UIColor::colorWithWhiteAlpha(0, 0.5));
    icon->setOuterGlowRadius(1);
    icon->setInnerGlowColor(UIColor::colorWithWhiteAlpha(1, 0.5));
    icon->setInnerGlowRadius(1);
    for (auto _ : state)
        benchmark::DoNotOptimize(icon->renderImage());
}
BENCHMARK(BM_RibbonImage)->Unit(benchmark::kMicrosecond);

}  // namespace
