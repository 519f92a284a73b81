#include "mapkit/CBMapScaleBar.h"

#include "mapkit/CBMapScaleView.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"

namespace {

constexpr double kScaleFadeDuration = 0.5;

}  // namespace

CBMapScaleBar::CBMapScaleBar(std::weak_ptr<CBMapScrollView> map) : map_(std::move(map)) {}

CBMapScaleBar::~CBMapScaleBar() {
    if (mapScaleView_)
        mapScaleView_->removeFromSuperview();
}

void CBMapScaleBar::setPointsPerKilometer(double pointsPerKilometer) {
    if (mapScaleView_)
        mapScaleView_->setPointsPerKilometer(static_cast<float>(pointsPerKilometer));
}

void CBMapScaleBar::setMapScaleHiddenAnimated(bool hidden, bool animated) {
    if (hidden && (!mapScaleView_ || (mapScaleView_->isHidden() && mapScaleView_->alpha() == 0)))
        return;
    if (!hidden && mapScaleView_ && !mapScaleView_->isHidden() && mapScaleView_->alpha() == 1 &&
        !mapScaleMeantHidden_)
        return;
    mapScaleMeantHidden_ = hidden;
    if (hidden && !animated) {
        mapScaleView_->removeFromSuperview();
        mapScaleView_ = nullptr;
        return;
    }
    auto map = map_.lock();
    auto parent = map ? map->superview() : nullptr;
    if (!hidden && !mapScaleView_) {
        if (!parent)
            return;
        mapScaleView_ = CBMapScaleView::create();
        bool top = mapScaleAtTop_;
        CGFloat y = top ? 5 : parent->bounds().size.height - 25;
        mapScaleView_->setFrame(CGRectMake(5, y, 100, 20));
        mapScaleView_->setAutoresizingMask(
            UIViewAutoresizingFlexibleRightMargin |
            (top ? UIViewAutoresizingFlexibleBottomMargin : UIViewAutoresizingFlexibleTopMargin));
        mapScaleView_->setHidden(true);
        mapScaleView_->setAlpha(0);
        parent->addSubview(mapScaleView_);
        if (map->visibleArea()->pointsPerKilometer() > 0)
            mapScaleView_->setPointsPerKilometer(
                static_cast<float>(map->visibleArea()->pointsPerKilometer()));
    }
    if (!hidden) {
        if (mapScaleView_->isHidden())
            mapScaleView_->setAlpha(0);
        mapScaleView_->setHidden(false);
    }
    mapScaleView_->setDisplayAtTop(mapScaleAtTop_);
    std::weak_ptr<CBMapScaleBar> weak = shared_from_this();
    std::weak_ptr<CBMapScaleView> weakBar = mapScaleView_;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        animated ? kScaleFadeDuration : 0, 0, UIViewAnimationOptionAllowUserInteraction,
        [weakBar, hidden] {
            if (auto bar = weakBar.lock())
                bar->setAlpha(hidden ? 0.0 : 1.0);
        },
        [weak, weakBar, hidden](bool) {
            auto scaleBar = weak.lock();
            auto bar = weakBar.lock();
            // A bar shown again while it faded stays.
            if (!hidden || !scaleBar || !bar || scaleBar->mapScaleView_ != bar ||
                !scaleBar->mapScaleMeantHidden_)
                return;
            bar->removeFromSuperview();
            scaleBar->mapScaleView_ = nullptr;
        });
}
