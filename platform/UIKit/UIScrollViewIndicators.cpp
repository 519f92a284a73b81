// The scroll indicators: layers of their own above the scroll view's
// subviews, placed in content coordinates so they stay at the edges.
#include <algorithm>

#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CALayer.h"
#include "QuartzCore/CATransaction.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIScrollView.h"

namespace {

constexpr CGFloat kThickness = 3;
// From the scroll view's edge, and from each end of the track.
constexpr CGFloat kMargin = 3;
constexpr CGFloat kMinimumLength = 36;
constexpr double kFlashDuration = 0.75;
// The share of the flash the bar shows fully before fading.
constexpr CGFloat kFadeStart = 0.67;

// Where a bar starts along its track and how long it is: as long as the
// visible share of the content, as far along as the offset is between its
// bounds.
std::pair<CGFloat, CGFloat> along(CGFloat offset, CGFloat min, CGFloat max, CGFloat visible,
                                  CGFloat content, CGFloat track) {
    const CGFloat length =
        std::min(track, std::max(kMinimumLength, track * visible / std::max(content, visible)));
    const CGFloat progress = max > min ? std::clamp((offset - min) / (max - min), 0.0, 1.0) : 0;
    return {progress * (track - length), length};
}

}  // namespace

void UIScrollView::flashScrollIndicators() {
    const CGPoint min = minimumContentOffset(), max = maximumContentOffset();
    auto flash = [&](std::shared_ptr<CALayer>& bar, bool shows) {
        if (!shows) {
            return;
        }
        if (!bar) {
            bar = CALayer::layer();
            bar->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.35).CGColor());
            bar->setCornerRadius(kThickness / 2);
        }
        CATransaction::begin();
        CATransaction::setDisableActions(true);
        bar->setOpacity(0);
        CATransaction::commit();
        auto fade = CAKeyframeAnimation::animationWithKeyPath("opacity");
        fade->setValues({CGFloat(1), CGFloat(1), CGFloat(0)});
        fade->setKeyTimes({0, kFadeStart, 1});
        fade->setDuration(kFlashDuration);
        bar->addAnimation(fade, "flash");
    };
    flash(verticalIndicator_, showsVertical_ && max.y > min.y);
    flash(horizontalIndicator_, showsHorizontal_ && max.x > min.x);
    layoutScrollIndicators();
}

void UIScrollView::layoutScrollIndicators() {
    if (!verticalIndicator_ && !horizontalIndicator_) {
        return;
    }
    const CGRect b = bounds();
    const CGPoint min = minimumContentOffset(), max = maximumContentOffset();
    const UIEdgeInsets in = indicatorInsets_;
    const CGFloat contentHeight = contentSize_.height + contentInset_.top + contentInset_.bottom;
    const CGFloat contentWidth = contentSize_.width + contentInset_.left + contentInset_.right;
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    auto place = [&](const std::shared_ptr<CALayer>& bar, const CGRect& frame) {
        if (!bar) {
            return;
        }
        bar->setFrame(frame);
        // Above the subviews, however many came since.
        if (layer()->sublayers().empty() || layer()->sublayers().back() != bar) {
            layer()->addSublayer(bar);
        }
    };
    const CGFloat trackHeight = b.size.height - in.top - in.bottom - 2 * kMargin;
    const auto [y, height] =
        along(b.origin.y, min.y, max.y, b.size.height, contentHeight, trackHeight);
    place(verticalIndicator_,
          {{CGRectGetMaxX(b) - in.right - kMargin - kThickness, b.origin.y + in.top + kMargin + y},
           {kThickness, height}});
    const CGFloat trackWidth = b.size.width - in.left - in.right - 2 * kMargin;
    const auto [x, width] = along(b.origin.x, min.x, max.x, b.size.width, contentWidth, trackWidth);
    place(horizontalIndicator_, {{b.origin.x + in.left + kMargin + x,
                                  CGRectGetMaxY(b) - in.bottom - kMargin - kThickness},
                                 {width, kThickness}});
    CATransaction::commit();
}
