#include "UIKit/UIProgressView.h"

#include <algorithm>

UIProgressView::UIProgressView(UIProgressViewStyle style)
    : UIView(CGRectMake(0, 0, 100, 2)), style_(style), fill_(std::make_shared<UIView>()) {
    setBackgroundColor(UIColor::colorWithWhiteAlpha(0.72, 1));
}

UIProgressView::UIProgressView(const CGRect& frame) : UIProgressView() {
    setFrame(frame);
}

void UIProgressView::build() {
    if (!fill_->superview() && !weak_from_this().expired()) {
        addSubview(fill_);
    }
}

void UIProgressView::setProgress(float progress) {
    setProgressAnimated(progress, false);
}

void UIProgressView::setProgressAnimated(float progress, bool animated) {
    progress_ = std::clamp(progress, 0.0f, 1.0f);
    build();
    if (animated) {
        UIView::animateWithDurationAnimations(0.25, [this] { layoutSubviews(); });
    } else {
        setNeedsLayout();
    }
}

void UIProgressView::setProgressViewStyle(UIProgressViewStyle style) {
    style_ = style;
    setTrackTintColor(trackTint_);
}

void UIProgressView::setProgressTintColor(const std::optional<UIColor>& color) {
    progressTint_ = color;
    tintColorDidChange();
}

void UIProgressView::setTrackTintColor(const std::optional<UIColor>& color) {
    trackTint_ = color;
    setBackgroundColor(color ? *color
                             : (style_ == UIProgressViewStyleBar
                                    ? UIColor::clearColor()
                                    : UIColor::colorWithWhiteAlpha(0.72, 1)));
}

void UIProgressView::tintColorDidChange() {
    build();
    fill_->setBackgroundColor(progressTint_ ? *progressTint_ : tintColor());
}

CGSize UIProgressView::sizeThatFits(CGSize size) const {
    return {size.width > 0 ? size.width : bounds().size.width,
            style_ == UIProgressViewStyleBar ? 2.5 : 2.0};
}

void UIProgressView::layoutSubviews() {
    build();
    const CGRect b = bounds();
    fill_->setFrame(CGRectMake(0, 0, b.size.width * progress_, b.size.height));
    fill_->setBackgroundColor(progressTint_ ? *progressTint_ : tintColor());
}
