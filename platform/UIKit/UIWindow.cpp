#include "UIKit/UIWindow.h"

#include <algorithm>

#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UIMenuController.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIViewController.h"

UIWindow::UIWindow(const CGRect& frame) : UIView(frame) {}

UIWindow::UIWindow() : UIWindow(UIScreen::mainScreen()->bounds()) {}

UIWindow::~UIWindow() {
    if (auto application = UIApplication::existingApplication()) {
        application->removeWindow(this);
    }
}

void UIWindow::makeKeyWindow() {
    UIApplication::sharedApplication()->setKeyWindow(
        std::static_pointer_cast<UIWindow>(shared_from_this()));
}

void UIWindow::makeKeyAndVisible() {
    makeKeyWindow();
    setHidden(false);
    layer()->setNeedsLayout();
}

bool UIWindow::isKeyWindow() const {
    return UIApplication::sharedApplication()->keyWindow().get() == this;
}

void UIWindow::setRootViewController(std::shared_ptr<UIViewController> controller) {
    if (root_ == controller) {
        return;
    }
    if (root_ && root_->isViewLoaded()) {
        root_->view()->removeFromSuperview();
    }
    root_ = std::move(controller);
    if (!root_) {
        return;
    }
    std::shared_ptr<UIView> view = root_->view();
    view->setFrame(bounds());
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    root_->viewWillAppear(false);
    insertSubviewAtIndex(view, 0);
    root_->viewDidAppear(false);
}

std::shared_ptr<UIResponder> UIWindow::nextResponder() const {
    return UIApplication::sharedApplication();
}

void UIWindow::layoutAndDisplayIfNeeded() {
    layoutIfNeeded();
    layer()->displayTreeIfNeeded();
}

void UIWindow::drawInContext(CGContext& context, bool synchronous) {
    if (synchronous) {
        layer()->renderInContext(context);
    } else {
        layer()->compositeInContext(context);
    }
}

CGImageRef UIWindow::renderImage(CGFloat scale) {
    if (scale <= 0) {
        scale = UIScreen::mainScreen()->scale();
    }
    layoutAndDisplayIfNeeded();
    const CGSize size = bounds().size;
    auto context = CGContext::createBitmapContext(size_t(std::ceil(size.width * scale)),
                                                  size_t(std::ceil(size.height * scale)));
    if (!context) {
        return nullptr;
    }
    // The bitmap context is y-up; views draw y-down.
    context->translateCTM(0, size.height * scale);
    context->scaleCTM(scale, -scale);
    drawInContext(*context, true);
    return context->createImage();
}

// Touch delivery.

namespace {

bool isDelayedByRecognizers(const UITouch& touch) {
    for (const auto& r : touch.gestureRecognizers()) {
        if (r->delaysTouchesBegan() && r->state() == UIGestureRecognizerStatePossible &&
            r->isTracking()) {
            return true;
        }
    }
    return false;
}

bool receivesTouch(UIGestureRecognizer& recognizer, UITouch& touch) {
    auto d = recognizer.delegate();
    return recognizer.isEnabled() &&
           (!d || d->gestureRecognizerShouldReceiveTouch(recognizer, touch));
}

}  // namespace

void UIWindow::sendEvent(UIEvent& event) {
    deliver(event, [&](UITouch& touch) {
        std::shared_ptr<UIView> hit = hitTest(touch.windowLocation(), &event);
        touch.setView(hit);
        UIMenuController::sharedMenuController()->touchBeganOnView(hit);
        std::vector<std::weak_ptr<UIGestureRecognizer>> recognizers;
        for (std::shared_ptr<UIView> v = hit; v; v = v->superview()) {
            for (const auto& r : v->gestureRecognizers()) {
                if (receivesTouch(*r, touch)) {
                    recognizers.push_back(r);
                }
            }
        }
        touch.setGestureRecognizers(std::move(recognizers));
    });
}

void UIWindow::sendEventToGestureRecognizer(
    UIEvent& event, const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    deliver(event, [&](UITouch& touch) {
        touch.setView(recognizer->view());
        touch.setDeliversToView(false);
        std::vector<std::weak_ptr<UIGestureRecognizer>> recognizers;
        if (receivesTouch(*recognizer, touch)) {
            recognizers.push_back(recognizer);
        }
        touch.setGestureRecognizers(std::move(recognizers));
    });
}

void UIWindow::deliver(UIEvent& event, const std::function<void(UITouch&)>& route) {
    auto self = std::static_pointer_cast<UIWindow>(shared_from_this());
    if (UIApplication::sharedApplication()->isIgnoringInteractionEvents()) {
        return;
    }
    UITouchSet began, moved, ended, cancelled;
    for (const auto& touch : event.allTouches()) {
        switch (touch->phase()) {
            case UITouchPhaseBegan:
                touch->setWindow(self);
                route(*touch);
                began.push_back(touch);
                break;
            case UITouchPhaseMoved:
                moved.push_back(touch);
                break;
            case UITouchPhaseEnded:
                ended.push_back(touch);
                break;
            case UITouchPhaseCancelled:
                cancelled.push_back(touch);
                break;
            case UITouchPhaseStationary:
                break;
        }
    }
    deliverToRecognizers(event, UITouchPhaseBegan, began);
    deliverToRecognizers(event, UITouchPhaseMoved, moved);
    deliverToRecognizers(event, UITouchPhaseEnded, ended);
    deliverToRecognizers(event, UITouchPhaseCancelled, cancelled);
    deliverToViews(event, UITouchPhaseBegan, began);
    deliverToViews(event, UITouchPhaseMoved, moved);
    deliverToViews(event, UITouchPhaseEnded, ended);
    deliverToViews(event, UITouchPhaseCancelled, cancelled);
    for (const auto& touch : event.allTouches()) {
        for (const auto& r : touch->gestureRecognizers()) {
            r->resetIfFinished();
        }
    }
}

void UIWindow::deliverToRecognizers(UIEvent& event, UITouchPhase phase, const UITouchSet& touches) {
    if (touches.empty()) {
        return;
    }
    // Each recogniser gets its share of the touches in one call.
    std::vector<std::pair<std::shared_ptr<UIGestureRecognizer>, UITouchSet>> groups;
    for (const auto& touch : touches) {
        for (const auto& r : touch->gestureRecognizers()) {
            auto it = std::find_if(groups.begin(), groups.end(),
                                   [&](const auto& g) { return g.first == r; });
            if (it == groups.end()) {
                groups.push_back({r, {}});
                it = groups.end() - 1;
            }
            it->second.push_back(touch);
        }
    }
    for (auto& [recognizer, subset] : groups) {
        if (phase == UITouchPhaseBegan) {
            if (!recognizer->acceptsTouches()) {
                for (const auto& touch : subset) {
                    touch->removeGestureRecognizer(recognizer.get());
                }
                continue;
            }
            for (const auto& touch : subset) {
                recognizer->addTouch(touch);
            }
        }
        if (recognizer->acceptsTouches()) {
            switch (phase) {
                case UITouchPhaseBegan:
                    recognizer->touchesBegan(subset, &event);
                    break;
                case UITouchPhaseMoved:
                    recognizer->touchesMoved(subset, &event);
                    break;
                case UITouchPhaseEnded:
                    recognizer->touchesEnded(subset, &event);
                    break;
                case UITouchPhaseCancelled:
                    recognizer->touchesCancelled(subset, &event);
                    break;
                case UITouchPhaseStationary:
                    break;
            }
        }
        if (phase == UITouchPhaseEnded || phase == UITouchPhaseCancelled) {
            for (const auto& touch : subset) {
                recognizer->removeTouch(touch);
            }
        }
    }
}

void UIWindow::deliverToViews(UIEvent& event, UITouchPhase phase, const UITouchSet& touches) {
    for (const auto& touch : touches) {
        std::shared_ptr<UIView> view = touch->view();
        if (!view || !touch->deliversToView()) {
            continue;
        }
        if (!touch->viewTouchBegan()) {
            if (phase == UITouchPhaseCancelled || isDelayedByRecognizers(*touch)) {
                continue;
            }
            // Began now, or late once the delaying recognisers failed.
            touch->setViewTouchBegan(true);
            view->touchesBegan({touch}, &event);
            if (phase == UITouchPhaseBegan || !touch->deliversToView()) {
                continue;
            }
        }
        switch (phase) {
            case UITouchPhaseMoved:
                view->touchesMoved({touch}, &event);
                break;
            case UITouchPhaseEnded:
                view->touchesEnded({touch}, &event);
                break;
            case UITouchPhaseCancelled:
                view->touchesCancelled({touch}, &event);
                break;
            default:
                break;
        }
    }
}

std::shared_ptr<UIResponder> UIWindow::firstResponder() const {
    auto responder = UIResponder::currentFirstResponder();
    auto* view = dynamic_cast<UIView*>(responder.get());
    return view && (view == this || view->isDescendantOfView(this)) ? responder : nullptr;
}
