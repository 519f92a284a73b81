// The map data's attribution, shown over the bottom of the map for a while
// each time the application becomes active.
#include "Foundation/NSBundle.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "app/CBMapViewController.h"
#include "mapkit/ZELInteractiveMapScaleView.h"

namespace {
constexpr double kShownFor = 7;
constexpr double kFadeDuration = 0.5;
constexpr CGFloat kMargin = 10;
constexpr CGFloat kHeight = 16;
// Above the scale bar along the bottom, left of the controls.
constexpr CGFloat kBottomRoom = 46;
constexpr CGFloat kControlsRoom = 60;
}  // namespace

void CBMapViewController::showMapDataAttribution() {
    if (!isViewLoaded() || !hasMap())
        return;
    if (!attributionLabel_) {
        attributionLabel_ = std::make_shared<UILabel>(CGRectZero);
        attributionLabel_->setText(NSLocalizedString("MapDataAttribution"));
        attributionLabel_->setFont(UIFont::systemFontOfSize(11));
        attributionLabel_->setTextColor(UIColor::darkGrayColor());
        attributionLabel_->setShadowColor(UIColor::whiteColor());
        attributionLabel_->setShadowOffset(CGSizeMake(0, 1));
        attributionLabel_->setBackgroundColor(UIColor::clearColor());
        attributionLabel_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                               UIViewAutoresizingFlexibleTopMargin);
        view()->insertSubviewAboveSubview(attributionLabel_, measuringRuler_);
    }
    const CGRect bounds = view()->bounds();
    attributionLabel_->setFrame(CGRectMake(kMargin, bounds.size.height - kBottomRoom - kHeight,
                                           bounds.size.width - kMargin - kControlsRoom, kHeight));
    attributionLabel_->setAlpha(1);
    attributionLabel_->setHidden(false);
    // A later showing starts the time anew.
    const unsigned showing = ++attributionShowing_;
    std::weak_ptr<UILabel> weakLabel = attributionLabel_;
    std::weak_ptr<CBMapViewController> weak =
        std::static_pointer_cast<CBMapViewController>(shared_from_this());
    // Timed by the frame clock, as the fade is.
    CAFrameClock::shared().performAfter(kShownFor, [weak, weakLabel, showing] {
        auto me = weak.lock();
        if (!me || me->attributionShowing_ != showing)
            return;
        UIView::animateWithDurationAnimationsCompletion(
            kFadeDuration,
            [weakLabel] {
                if (auto label = weakLabel.lock())
                    label->setAlpha(0);
            },
            [weakLabel](bool) {
                if (auto label = weakLabel.lock(); label && label->alpha() == 0)
                    label->setHidden(true);
            });
    });
}
