#include "UIKit/UIView.h"

#include <algorithm>
#include <cmath>

#include "Foundation/NSLog.h"
#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIMenuController.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWindow.h"

namespace {

thread_local bool baseDrawRectCalled = false;

}  // namespace

UIView::UIView(const CGRect& frame, std::shared_ptr<CALayer> layer)
    : layer_(layer ? std::move(layer) : std::make_shared<CALayer>()) {
    layer_->setContentsScale(UIScreen::mainScreen()->scale());
    const CGRect f = CGRectStandardize(frame);
    layer_->setBounds({CGPointZero, f.size});
    layer_->setPosition({f.origin.x + f.size.width / 2, f.origin.y + f.size.height / 2});
    layer_->setNeedsDisplay();
}

UIView::~UIView() {
    layer_->setDelegate({});
    for (const auto& recognizer : gestureRecognizers_) {
        recognizer->setView(nullptr);
    }
}

void UIView::connectLayer() const {
    if (layerConnected_) {
        return;
    }
    // Not possible in the constructor: the view is not yet owned by a shared_ptr.
    auto self = std::const_pointer_cast<UIView>(
        std::static_pointer_cast<const UIView>(weak_from_this().lock()));
    if (self) {
        layer_->setDelegate(std::static_pointer_cast<CALayerDelegate>(self));
        layerConnected_ = true;
    }
}

const std::shared_ptr<CALayer>& UIView::layer() const {
    connectLayer();
    return layer_;
}

// Geometry.

CGRect UIView::frame() const {
    return layer_->frame();
}

void UIView::setFrame(const CGRect& frame) {
    connectLayer();
    const CGRect f = CGRectStandardize(frame);
    const CGPoint anchor = layer_->anchorPoint();
    setCenter({f.origin.x + anchor.x * f.size.width, f.origin.y + anchor.y * f.size.height});
    CGRect b = bounds();
    b.size = f.size;
    setBounds(b);
}

void UIView::setBounds(const CGRect& bounds) {
    connectLayer();
    const CGSize oldSize = layer_->bounds().size;
    layer_->setBounds(CGRectStandardize(bounds));
    if (oldSize != layer_->bounds().size) {
        if (drawsContent_ != 0) {
            layer_->setNeedsDisplay();
        }
        resizeSubviewsWithOldSize(oldSize);
        setNeedsLayout();
        frameCompanions();
    }
}

void UIView::setCenter(CGPoint center) {
    connectLayer();
    layer_->setPosition(center);
    frameCompanions();
}

void UIView::setTransform(const CGAffineTransform& transform) {
    connectLayer();
    layer_->setTransform(transform);
}

void UIView::setContentScaleFactor(CGFloat scale) {
    layer_->setContentsScale(scale);
}

void UIView::resizeSubviewsWithOldSize(CGSize oldSize) {
    if (!autoresizesSubviews_) {
        return;
    }
    const CGSize newSize = bounds().size;
    const CGFloat dw = newSize.width - oldSize.width, dh = newSize.height - oldSize.height;
    for (const auto& view : subviews_) {
        const unsigned mask = view->autoresizingMask_;
        if (mask == UIViewAutoresizingNone) {
            continue;
        }
        // The change is shared among the flexible parts in proportion to their size.
        auto distribute = [](CGFloat delta, bool flexLead, bool flexSize, bool flexTrail,
                             CGFloat lead, CGFloat size, CGFloat trail, CGFloat* newLead,
                             CGFloat* newSize) {
            CGFloat total = (flexLead ? lead : 0) + (flexSize ? size : 0) + (flexTrail ? trail : 0);
            const int count = int(flexLead) + int(flexSize) + int(flexTrail);
            *newLead = lead;
            *newSize = size;
            if (count == 0) {
                return;
            }
            if (total <= 0) {
                *newLead += flexLead ? delta / count : 0;
                *newSize += flexSize ? delta / count : 0;
                return;
            }
            *newLead += flexLead ? delta * lead / total : 0;
            *newSize += flexSize ? delta * size / total : 0;
        };
        CGRect f = view->frame();
        CGFloat x, w, y, h;
        distribute(dw, mask & UIViewAutoresizingFlexibleLeftMargin,
                   mask & UIViewAutoresizingFlexibleWidth,
                   mask & UIViewAutoresizingFlexibleRightMargin, f.origin.x, f.size.width,
                   oldSize.width - CGRectGetMaxX(f), &x, &w);
        distribute(dh, mask & UIViewAutoresizingFlexibleTopMargin,
                   mask & UIViewAutoresizingFlexibleHeight,
                   mask & UIViewAutoresizingFlexibleBottomMargin, f.origin.y, f.size.height,
                   oldSize.height - CGRectGetMaxY(f), &y, &h);
        view->setFrame(CGRectMake(x, y, std::max(0.0, w), std::max(0.0, h)));
    }
}

// Appearance.

void UIView::setAlpha(CGFloat alpha) {
    connectLayer();
    layer_->setOpacity(float(std::clamp(alpha, 0.0, 1.0)));
}

void UIView::setHidden(bool hidden) {
    layer_->setHidden(hidden);
    for (const Companion& companion : companions_) {
        if (auto view = companion.view.lock()) {
            view->setHidden(hidden);
        }
    }
}

void UIView::setBackgroundColor(const std::optional<UIColor>& color) {
    connectLayer();
    backgroundColor_ = color;
    layer_->setBackgroundColor(color ? std::optional<CGColor>(color->CGColor()) : std::nullopt);
}

void UIView::setContentMode(UIViewContentMode mode) {
    contentMode_ = mode;
    static constexpr CAContentsGravity gravity[] = {
        CAContentsGravity::Resize,
        CAContentsGravity::ResizeAspect,
        CAContentsGravity::ResizeAspectFill,
        CAContentsGravity::Resize,
        CAContentsGravity::Center,
        CAContentsGravity::Top,
        CAContentsGravity::Bottom,
        CAContentsGravity::Left,
        CAContentsGravity::Right,
        CAContentsGravity::TopLeft,
        CAContentsGravity::TopRight,
        CAContentsGravity::BottomLeft,
        CAContentsGravity::BottomRight,
    };
    if (mode >= 0 && mode <= UIViewContentModeBottomRight) {
        layer_->setContentsGravity(gravity[mode]);
    }
    layer_->setNeedsDisplayOnBoundsChange(mode == UIViewContentModeRedraw);
}

UIColor UIView::tintColor() const {
    for (const UIView* view = this; view;) {
        if (view->tintColor_) {
            return *view->tintColor_;
        }
        auto parent = view->superview();
        view = parent.get();
    }
    return UIColor::colorWithRedGreenBlueAlpha(0, 122.0 / 255, 1, 1);
}

void UIView::setTintColor(const std::optional<UIColor>& color) {
    tintColor_ = color;
    propagateTintColorChange();
}

void UIView::propagateTintColorChange() {
    tintColorDidChange();
    for (const auto& view : subviews_) {
        if (!view->tintColor_) {
            view->propagateTintColorChange();
        }
    }
}

std::shared_ptr<UIView> UIView::viewWithTag(long tag) {
    if (tag_ == tag) {
        return std::static_pointer_cast<UIView>(shared_from_this());
    }
    for (const auto& view : subviews_) {
        if (auto found = view->viewWithTag(tag)) {
            return found;
        }
    }
    return nullptr;
}

// Hierarchy.

std::shared_ptr<UIWindow> UIView::window() const {
    const UIView* view = this;
    std::shared_ptr<UIView> parent;
    while ((parent = view->superview())) {
        view = parent.get();
    }
    if (auto window = dynamic_cast<const UIWindow*>(view)) {
        return std::const_pointer_cast<UIWindow>(
            std::static_pointer_cast<const UIWindow>(window->shared_from_this()));
    }
    return nullptr;
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
    insertSubviewAtIndex(view, subviews_.size());
}

void UIView::insertSubviewAtIndex(const std::shared_ptr<UIView>& view, size_t index) {
    if (!view || view.get() == this || isDescendantOfView(view.get())) {
        NSLogWithLevel(NSLogLevel::Error, "UIView: cannot add a view to itself or its descendant");
        return;
    }
    connectLayer();
    view->connectLayer();
    auto self = std::static_pointer_cast<UIView>(shared_from_this());
    const std::shared_ptr<UIWindow> oldWindow = view->window();
    const std::shared_ptr<UIWindow> newWindow = window();
    if (view->superview().get() == this) {
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        const size_t at = size_t(it - subviews_.begin());
        subviews_.erase(it);
        if (at < index) {
            --index;
        }
        index = std::min(index, subviews_.size());
        subviews_.insert(subviews_.begin() + long(index), view);
        placeLayerOf(view);
        view->placeCompanions();
        return;
    }
    std::shared_ptr<UIView> keep = view;
    if (oldWindow != newWindow) {
        view->willMoveToWindow(newWindow);
    }
    view->willMoveToSuperview(self);
    if (auto old = view->superview()) {
        old->willRemoveSubview(view);
        std::erase(old->subviews_, view);
        old->setNeedsLayout();
    }
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + long(index), view);
    view->superview_ = self;
    placeLayerOf(view);
    if (oldWindow != newWindow) {
        view->moveToWindow(newWindow);
    }
    view->didMoveToSuperview();
    if (!view->tintColor_) {
        view->propagateTintColorChange();
    }
    didAddSubview(view);
    setNeedsLayout();
    view->placeCompanions();
}

void UIView::placeLayerOf(const std::shared_ptr<UIView>& view) {
    // A view's layer goes just below the layer of the next view above it, so
    // sublayers that belong to no view keep their places.
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    std::shared_ptr<CALayer> above = it + 1 != subviews_.end() ? (*(it + 1))->layer_ : nullptr;
    if (view->layer_->superlayer() == layer_) {
        view->layer_->removeFromSuperlayer();
    }
    if (above) {
        layer_->insertSublayerBelow(view->layer_, above);
    } else {
        layer_->addSublayer(view->layer_);
    }
}

void UIView::moveToWindow(const std::shared_ptr<UIWindow>& window) {
    // A responder leaving the screen cannot keep the keyboard's focus.
    if (!window && isFirstResponder()) {
        resignFirstResponder();
    }
    // Nor can the editing menu point at it.
    if (!window) {
        UIMenuController::sharedMenuController()->viewLeftWindow(*this);
    }
    for (const auto& view : subviews_) {
        view->willMoveToWindow(window);
        view->moveToWindow(window);
    }
    didMoveToWindow();
}

void UIView::insertSubviewBelowSubview(const std::shared_ptr<UIView>& view,
                                       const std::shared_ptr<UIView>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    insertSubviewAtIndex(view, it == subviews_.end() ? 0 : size_t(it - subviews_.begin()));
}

void UIView::insertSubviewAboveSubview(const std::shared_ptr<UIView>& view,
                                       const std::shared_ptr<UIView>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    insertSubviewAtIndex(
        view, it == subviews_.end() ? subviews_.size() : size_t(it - subviews_.begin()) + 1);
}

void UIView::removeFromSuperview() {
    std::shared_ptr<UIView> parent = superview();
    if (!parent) {
        return;
    }
    auto self = std::static_pointer_cast<UIView>(shared_from_this());
    const std::shared_ptr<UIWindow> oldWindow = window();
    parent->willRemoveSubview(self);
    if (oldWindow) {
        willMoveToWindow(nullptr);
    }
    willMoveToSuperview(nullptr);
    std::erase(parent->subviews_, self);
    superview_.reset();
    layer_->removeFromSuperlayer();
    if (isFirstResponder()) {
        resignFirstResponder();
    }
    if (oldWindow) {
        moveToWindow(nullptr);
    }
    didMoveToSuperview();
    parent->setNeedsLayout();
    for (const Companion& companion : std::vector(companions_)) {
        if (auto view = companion.view.lock()) {
            view->removeFromSuperview();
        }
    }
}

void UIView::addCompanionViewWithInsets(const std::shared_ptr<UIView>& view,
                                        const UIEdgeInsets& insets) {
    if (!view || view.get() == this) {
        return;
    }
    auto it = std::find_if(companions_.begin(), companions_.end(), [&](const Companion& companion) {
        return companion.view.lock() == view;
    });
    if (it != companions_.end()) {
        it->insets = insets;
    } else {
        companions_.push_back({view, insets});
    }
    view->setHidden(isHidden());
    placeCompanions();
}

void UIView::removeCompanionView(const std::shared_ptr<UIView>& view) {
    std::erase_if(companions_, [&](const Companion& companion) {
        return companion.view.expired() || companion.view.lock() == view;
    });
    if (view) {
        view->removeFromSuperview();
    }
}

void UIView::placeCompanions() {
    if (companions_.empty()) {
        return;
    }
    frameCompanions();
    std::shared_ptr<UIView> parent = superview();
    std::shared_ptr<UIView> below = std::static_pointer_cast<UIView>(shared_from_this());
    // A copy: moving a companion calls out to code that may change the list.
    for (const Companion& companion : std::vector(companions_)) {
        std::shared_ptr<UIView> view = companion.view.lock();
        if (!view) {
            continue;
        }
        if (parent) {
            parent->insertSubviewAboveSubview(view, below);
        } else {
            view->removeFromSuperview();
        }
        below = view;
    }
}

void UIView::frameCompanions() {
    if (companions_.empty()) {
        return;
    }
    const CGRect f = frame();
    for (const Companion& companion : std::vector(companions_)) {
        if (auto view = companion.view.lock()) {
            view->setFrame(UIEdgeInsetsInsetRect(f, companion.insets));
        }
    }
}

void UIView::bringSubviewToFront(const std::shared_ptr<UIView>& view) {
    // Moving the front view again would ask for layout again: a cell that
    // brings its separator forward in layoutSubviews would lay out forever.
    if (view && view->superview().get() == this && subviews_.back() != view) {
        insertSubviewAtIndex(view, subviews_.size());
    }
}

void UIView::sendSubviewToBack(const std::shared_ptr<UIView>& view) {
    if (view && view->superview().get() == this && subviews_.front() != view) {
        insertSubviewAtIndex(view, 0);
    }
}

void UIView::exchangeSubviewAtIndexWithSubviewAtIndex(size_t a, size_t b) {
    if (a >= subviews_.size() || b >= subviews_.size() || a == b) {
        return;
    }
    std::swap(subviews_[a], subviews_[b]);
    placeLayerOf(subviews_[a]);
    placeLayerOf(subviews_[b]);
}

bool UIView::isDescendantOfView(const UIView* view) const {
    for (const UIView* v = this; v;) {
        if (v == view) {
            return true;
        }
        auto parent = v->superview();
        v = parent.get();
    }
    return false;
}

// Layout and drawing.

void UIView::setNeedsLayout() {
    layer_->setNeedsLayout();
}

void UIView::layoutIfNeeded() {
    connectLayer();
    layer_->layoutIfNeeded();
}

CGSize UIView::sizeThatFits(CGSize) const {
    return bounds().size;
}

void UIView::sizeToFit() {
    const CGSize size = sizeThatFits(bounds().size);
    CGRect f = frame();
    f.size = size;
    setFrame(f);
}

void UIView::setNeedsDisplay() {
    connectLayer();
    if (drawsContent_ == 0) {
        drawsContent_ = -1;  // the view may draw now (subclass state changed)
    }
    layer_->setNeedsDisplay();
}

void UIView::setNeedsDisplayInRect(const CGRect& rect) {
    connectLayer();
    layer_->setNeedsDisplayInRect(rect);
}

void UIView::drawRect(const CGRect&) {
    baseDrawRectCalled = true;
}

bool UIView::layerWantsDrawing(CALayer&) {
    return drawsContent_ != 0;
}

void UIView::drawLayerInContext(CALayer&, CGContext& context) {
    baseDrawRectCalled = false;
    // The context is not owned here; hand drawRect a non-owning pointer.
    UIGraphicsPushContext(CGContextRef(CGContextRef(), &context));
    drawRect(context.getClipBoundingBox());
    UIGraphicsPopContext();
    drawsContent_ = baseDrawRectCalled ? 0 : 1;
}

void UIView::layoutSublayersOfLayer(CALayer&) {
    std::shared_ptr<UIViewController> controller = controller_.lock();
    if (controller) {
        controller->viewWillLayoutSubviews();
    }
    layoutSubviews();
    if (controller) {
        controller->viewDidLayoutSubviews();
    }
}

// Conversion and hit testing.

CGPoint UIView::convertPointToView(CGPoint point, const std::shared_ptr<UIView>& view) const {
    return layer_->convertPointToLayer(point, view ? view->layer_.get() : nullptr);
}

CGPoint UIView::convertPointFromView(CGPoint point, const std::shared_ptr<UIView>& view) const {
    return layer_->convertPointFromLayer(point, view ? view->layer_.get() : nullptr);
}

CGRect UIView::convertRectToView(const CGRect& rect, const std::shared_ptr<UIView>& view) const {
    return layer_->convertRectToLayer(rect, view ? view->layer_.get() : nullptr);
}

CGRect UIView::convertRectFromView(const CGRect& rect, const std::shared_ptr<UIView>& view) const {
    return layer_->convertRectFromLayer(rect, view ? view->layer_.get() : nullptr);
}

std::vector<UIVisibleText> UIView::visibleTexts() const {
    if (!accessibilityLabel_ || accessibilityLabel_->empty()) {
        return {};
    }
    return {{*accessibilityLabel_, bounds()}};
}

bool UIView::pointInside(CGPoint point, UIEvent*) const {
    return CGRectContainsPoint(bounds(), point);
}

std::shared_ptr<UIView> UIView::hitTest(CGPoint point, UIEvent* event) {
    if (!userInteractionEnabled_ || isHidden() || alpha() < 0.01 || !pointInside(point, event)) {
        return nullptr;
    }
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        const CGPoint local = (*it)->layer_->convertPointFromSuperlayer(point);
        if (auto hit = (*it)->hitTest(local, event)) {
            return hit;
        }
    }
    return std::static_pointer_cast<UIView>(shared_from_this());
}

// Gesture recognisers.

void UIView::addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    if (!recognizer) {
        return;
    }
    if (auto old = recognizer->view(); old && old.get() != this) {
        old->removeGestureRecognizer(recognizer);
    }
    if (std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer) ==
        gestureRecognizers_.end()) {
        gestureRecognizers_.push_back(recognizer);
    }
    recognizer->setView(std::static_pointer_cast<UIView>(shared_from_this()));
}

void UIView::removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    auto it = std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer);
    if (it != gestureRecognizers_.end()) {
        gestureRecognizers_.erase(it);
        recognizer->setView(nullptr);
    }
}

// Snapshots.

bool UIView::drawViewHierarchyInRectAfterScreenUpdates(const CGRect& rect, bool) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    const CGRect b = bounds();
    if (!context || b.size.width <= 0 || b.size.height <= 0) {
        return false;
    }
    layoutIfNeeded();
    layer_->displayTreeIfNeeded();
    context->saveGState();
    context->translateCTM(rect.origin.x, rect.origin.y);
    context->scaleCTM(rect.size.width / b.size.width, rect.size.height / b.size.height);
    layer_->renderInContext(*context);
    context->restoreGState();
    return true;
}

std::shared_ptr<UIImage> UIView::snapshotImage() {
    UIGraphicsBeginImageContextWithOptions(bounds().size, isOpaque(), 0);
    std::shared_ptr<UIImage> image;
    if (drawViewHierarchyInRectAfterScreenUpdates({CGPointZero, bounds().size}, true)) {
        image = UIGraphicsGetImageFromCurrentImageContext();
    }
    UIGraphicsEndImageContext();
    return image;
}

// Responder chain.

void UIView::setViewController(const std::shared_ptr<UIViewController>& controller) {
    controller_ = controller;
}

std::shared_ptr<UIResponder> UIView::nextResponder() const {
    if (auto controller = controller_.lock()) {
        return controller;
    }
    return superview();
}
