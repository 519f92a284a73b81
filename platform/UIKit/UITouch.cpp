#include "UIKit/UITouch.h"

#include <algorithm>

#include "UIKit/UIEvent.h"
#include "UIKit/UIView.h"

CGPoint UITouch::locationInView(const std::shared_ptr<UIView>& view) const {
    return view ? view->convertPointFromView(location_, nullptr) : location_;
}

CGPoint UITouch::previousLocationInView(const std::shared_ptr<UIView>& view) const {
    return view ? view->convertPointFromView(previous_, nullptr) : previous_;
}

void UITouch::setWindowLocation(CGPoint point) {
    previous_ = phase_ == UITouchPhaseBegan ? point : location_;
    location_ = point;
}

std::vector<std::shared_ptr<UIGestureRecognizer>> UITouch::gestureRecognizers() const {
    std::vector<std::shared_ptr<UIGestureRecognizer>> result;
    for (const auto& weak : recognizers_) {
        if (auto r = weak.lock()) {
            result.push_back(r);
        }
    }
    return result;
}

void UITouch::removeGestureRecognizer(const UIGestureRecognizer* recognizer) {
    std::erase_if(recognizers_, [&](const std::weak_ptr<UIGestureRecognizer>& weak) {
        auto r = weak.lock();
        return !r || r.get() == recognizer;
    });
}

UITouchSet UIEvent::touchesForView(const std::shared_ptr<UIView>& view) const {
    UITouchSet result;
    for (const auto& touch : touches_) {
        if (touch->view() == view) {
            result.push_back(touch);
        }
    }
    return result;
}
