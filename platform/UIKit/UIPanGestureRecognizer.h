#pragma once

#include <deque>

#include "UIKit/UIGestureRecognizer.h"

// A continuous gesture: fingers moving more than 10 points begin it; each
// move changes it; lifting the last finger ends it. Translation is the
// centroid's movement since touch-down, kept continuous when fingers are
// added or lifted.
class UIPanGestureRecognizer : public UIGestureRecognizer {
  public:
    using UIGestureRecognizer::UIGestureRecognizer;

    size_t minimumNumberOfTouches() const { return minimumTouches_; }
    void setMinimumNumberOfTouches(size_t n) { minimumTouches_ = n > 0 ? n : 1; }
    size_t maximumNumberOfTouches() const { return maximumTouches_; }
    void setMaximumNumberOfTouches(size_t n) { maximumTouches_ = n; }

    // In view's coordinate system (the window's for nullptr).
    CGPoint translationInView(const std::shared_ptr<UIView>& view) const;
    void setTranslationInView(CGPoint translation, const std::shared_ptr<UIView>& view);
    // Points per second over the last tenth of a second.
    CGPoint velocityInView(const std::shared_ptr<UIView>& view) const;

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;

    static constexpr CGFloat kHysteresis = 10;

  private:
    struct Sample {
        double time;
        CGPoint translation;
    };
    CGPoint windowTranslation() const;
    void rebase(size_t excluding);
    CGPoint centroid(size_t excluding) const;
    CGPoint toView(CGPoint vector, const std::shared_ptr<UIView>& view) const;

    size_t minimumTouches_ = 1;
    size_t maximumTouches_ = size_t(-1);
    CGPoint origin_{};
    bool tracking_ = false;
    std::deque<Sample> samples_;
};
