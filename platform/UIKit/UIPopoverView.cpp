#include "UIKit/UIPopoverView.h"

#include <algorithm>

#include "UIKit/UIGraphics.h"
#include "UIKit/UIPopoverController.h"
#include "UIKit/UITouch.h"

namespace {

// The white box with its arrow and a soft shadow.
class PopoverFrameView : public UIView {
  public:
    PopoverFrameView() {
        setBackgroundColor(UIColor::clearColor());
        setOpaque(false);
    }
    void setArrow(unsigned direction, CGFloat offset) {
        direction_ = direction;
        offset_ = offset;
        setNeedsDisplay();
    }
    void drawRect(const CGRect&) override {
        CGContextRef c = UIGraphicsGetCurrentContext();
        if (!c) {
            return;
        }
        constexpr CGFloat a = UIPopoverView::kArrowHeight, half = UIPopoverView::kArrowBase / 2;
        constexpr CGFloat r = UIPopoverView::kCornerRadius;
        const CGFloat inset = 6;  // room for the shadow
        CGRect box = CGRectInset(bounds(), inset, inset);
        switch (direction_) {
            case UIPopoverArrowDirectionUp:
                box.origin.y += a;
                box.size.height -= a;
                break;
            case UIPopoverArrowDirectionDown:
                box.size.height -= a;
                break;
            case UIPopoverArrowDirectionLeft:
                box.origin.x += a;
                box.size.width -= a;
                break;
            default:
                box.size.width -= a;
                break;
        }
        const CGFloat x0 = box.origin.x, y0 = box.origin.y;
        const CGFloat x1 = CGRectGetMaxX(box), y1 = CGRectGetMaxY(box);
        const CGFloat o = offset_;
        c->beginPath();
        c->moveToPoint(x0 + r, y0);
        if (direction_ == UIPopoverArrowDirectionUp) {
            c->addLines({{o - half, y0}, {o, y0 - a}, {o + half, y0}});
        }
        c->addArcToPoint(x1, y0, x1, y0 + r, r);
        if (direction_ == UIPopoverArrowDirectionRight) {
            c->addLines({{x1, o - half}, {x1 + a, o}, {x1, o + half}});
        }
        c->addArcToPoint(x1, y1, x1 - r, y1, r);
        if (direction_ == UIPopoverArrowDirectionDown) {
            c->addLines({{o + half, y1}, {o, y1 + a}, {o - half, y1}});
        }
        c->addArcToPoint(x0, y1, x0, y1 - r, r);
        if (direction_ == UIPopoverArrowDirectionLeft) {
            c->addLines({{x0, o + half}, {x0 - a, o}, {x0, o - half}});
        }
        c->addArcToPoint(x0, y0, x0 + r, y0, r);
        c->closePath();
        c->setShadowWithColor({0, 2}, 8, UIColor::colorWithWhiteAlpha(0, 0.35).CGColor());
        c->setFillColorWithColor(UIColor::colorWithWhiteAlpha(0.98, 1).CGColor());
        c->fillPath();
    }

  private:
    unsigned direction_ = UIPopoverArrowDirectionUp;
    CGFloat offset_ = 0;
};

constexpr CGFloat kShadowRoom = 6;

}  // namespace

UIPopoverView::UIPopoverView(const CGRect& frame, std::weak_ptr<UIPopoverController> controller)
    : UIView(frame), controller_(std::move(controller)) {
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    frameView_ = std::make_shared<PopoverFrameView>();
    container_ = std::make_shared<UIView>();
    container_->layer()->setCornerRadius(kCornerRadius);
    container_->setClipsToBounds(true);
}

void UIPopoverView::placeBox(const CGRect& box, unsigned direction, CGPoint tip,
                             const std::shared_ptr<UIView>& content) {
    box_ = box;
    CGRect outer = box;
    switch (direction) {
        case UIPopoverArrowDirectionUp:
            outer.origin.y -= kArrowHeight;
            outer.size.height += kArrowHeight;
            break;
        case UIPopoverArrowDirectionDown:
            outer.size.height += kArrowHeight;
            break;
        case UIPopoverArrowDirectionLeft:
            outer.origin.x -= kArrowHeight;
            outer.size.width += kArrowHeight;
            break;
        default:
            outer.size.width += kArrowHeight;
            break;
    }
    outer = CGRectInset(outer, -kShadowRoom, -kShadowRoom);
    frameView_->setFrame(outer);
    // The arrow stays clear of the rounded corners.
    const bool vertical =
        direction == UIPopoverArrowDirectionUp || direction == UIPopoverArrowDirectionDown;
    const CGFloat low = (vertical ? box.origin.x : box.origin.y) + kCornerRadius + kArrowBase / 2;
    const CGFloat high =
        (vertical ? CGRectGetMaxX(box) : CGRectGetMaxY(box)) - kCornerRadius - kArrowBase / 2;
    const CGFloat along = std::clamp(vertical ? tip.x : tip.y, low, std::max(low, high));
    static_cast<PopoverFrameView&>(*frameView_)
        .setArrow(direction, along - (vertical ? outer.origin.x : outer.origin.y));
    container_->setFrame(box);
    if (frameView_->superview().get() != this) {
        addSubview(frameView_);
        addSubview(container_);
    }
    if (content) {
        if (content->superview() != container_) {
            content->removeFromSuperview();
            container_->addSubview(content);
        }
        content->setFrame({CGPointZero, box.size});
    }
}

std::shared_ptr<UIView> UIPopoverView::hitTest(CGPoint point, UIEvent* event) {
    if (isHidden() || !isUserInteractionEnabled()) {
        return nullptr;
    }
    if (CGRectContainsPoint(box_, point)) {
        return UIView::hitTest(point, event);
    }
    if (auto controller = controller_.lock()) {
        auto self = std::static_pointer_cast<UIView>(shared_from_this());
        for (const auto& view : controller->passthroughViews()) {
            if (!view || !view->window()) {
                continue;
            }
            const CGPoint p = view->convertPointFromView(point, self);
            if (auto hit = view->hitTest(p, event)) {
                return hit;
            }
        }
    }
    return std::static_pointer_cast<UIView>(shared_from_this());
}

void UIPopoverView::touchesEnded(const UITouchSet& touches, UIEvent*) {
    // Touches in the box that its content leaves reach here too.
    if (touches.empty() ||
        CGRectContainsPoint(box_, touches.front()->locationInView(
                                      std::static_pointer_cast<UIView>(shared_from_this())))) {
        return;
    }
    if (auto controller = controller_.lock()) {
        controller->tapOutside();
    }
}
