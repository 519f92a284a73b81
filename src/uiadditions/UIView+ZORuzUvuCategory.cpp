#include "uiadditions/UIView+ZORuzUvuCategory.h"

#include "UIKit/UIScrollView.h"
#include "UIKit/UIViewController.h"

namespace {

void moveTo(const std::shared_ptr<UIView>& view, CGPoint origin) {
    CGRect frame = view->frame();
    frame.origin = origin;
    view->setFrame(frame);
}

void resizeTo(const std::shared_ptr<UIView>& view, CGSize size) {
    CGRect frame = view->frame();
    frame.size = size;
    view->setFrame(frame);
}

}  // namespace

CGFloat cbLeft(const std::shared_ptr<UIView>& view) {
    return view ? view->frame().origin.x : 0;
}

void setCbLeft(const std::shared_ptr<UIView>& view, CGFloat left) {
    if (view) {
        moveTo(view, {left, view->frame().origin.y});
    }
}

CGFloat cbTop(const std::shared_ptr<UIView>& view) {
    return view ? view->frame().origin.y : 0;
}

void setCbTop(const std::shared_ptr<UIView>& view, CGFloat top) {
    if (view) {
        moveTo(view, {view->frame().origin.x, top});
    }
}

CGFloat cbRight(const std::shared_ptr<UIView>& view) {
    return view ? CGRectGetMaxX(view->frame()) : 0;
}

void setCbRight(const std::shared_ptr<UIView>& view, CGFloat right) {
    if (view) {
        moveTo(view, {right - view->frame().size.width, view->frame().origin.y});
    }
}

CGFloat cbBottom(const std::shared_ptr<UIView>& view) {
    return view ? CGRectGetMaxY(view->frame()) : 0;
}

void setCbBottom(const std::shared_ptr<UIView>& view, CGFloat bottom) {
    if (view) {
        moveTo(view, {view->frame().origin.x, bottom - view->frame().size.height});
    }
}

CGFloat cbCenterX(const std::shared_ptr<UIView>& view) {
    return view ? view->center().x : 0;
}

void setCbCenterX(const std::shared_ptr<UIView>& view, CGFloat x) {
    if (view) {
        view->setCenter({x, view->center().y});
    }
}

CGFloat cbCenterY(const std::shared_ptr<UIView>& view) {
    return view ? view->center().y : 0;
}

void setCbCenterY(const std::shared_ptr<UIView>& view, CGFloat y) {
    if (view) {
        view->setCenter({view->center().x, y});
    }
}

CGFloat cbWidth(const std::shared_ptr<UIView>& view) {
    return view ? view->frame().size.width : 0;
}

void setCbWidth(const std::shared_ptr<UIView>& view, CGFloat width) {
    if (view) {
        resizeTo(view, {width, view->frame().size.height});
    }
}

CGFloat cbHeight(const std::shared_ptr<UIView>& view) {
    return view ? view->frame().size.height : 0;
}

void setCbHeight(const std::shared_ptr<UIView>& view, CGFloat height) {
    if (view) {
        resizeTo(view, {view->frame().size.width, height});
    }
}

CGPoint cbOrigin(const std::shared_ptr<UIView>& view) {
    return view ? view->frame().origin : CGPointZero;
}

void setCbOrigin(const std::shared_ptr<UIView>& view, CGPoint origin) {
    if (view) {
        moveTo(view, origin);
    }
}

CGSize cbSize(const std::shared_ptr<UIView>& view) {
    return view ? view->frame().size : CGSizeZero;
}

void setCbSize(const std::shared_ptr<UIView>& view, CGSize size) {
    if (view) {
        resizeTo(view, size);
    }
}

CGFloat cbScreenX(const std::shared_ptr<UIView>& view) {
    CGFloat x = 0;
    for (auto v = view; v; v = v->superview()) {
        x += cbLeft(v);
    }
    return x;
}

CGFloat cbScreenY(const std::shared_ptr<UIView>& view) {
    CGFloat y = 0;
    for (auto v = view; v; v = v->superview()) {
        y += cbTop(v);
    }
    return y;
}

CGFloat cbScreenViewX(const std::shared_ptr<UIView>& view) {
    CGFloat x = 0;
    for (auto v = view; v; v = v->superview()) {
        x += cbLeft(v);
        if (auto scroll = std::dynamic_pointer_cast<UIScrollView>(v)) {
            x -= scroll->contentOffset().x;
        }
    }
    return x;
}

CGFloat cbScreenViewY(const std::shared_ptr<UIView>& view) {
    CGFloat y = 0;
    for (auto v = view; v; v = v->superview()) {
        y += cbTop(v);
        if (auto scroll = std::dynamic_pointer_cast<UIScrollView>(v)) {
            y -= scroll->contentOffset().y;
        }
    }
    return y;
}

CGRect cbScreenFrame(const std::shared_ptr<UIView>& view) {
    return CGRectMake(cbScreenViewX(view), cbScreenViewY(view), cbWidth(view), cbHeight(view));
}

CGPoint cbOffsetFromView(const std::shared_ptr<UIView>& view,
                         const std::shared_ptr<UIView>& ancestor) {
    CGPoint offset{};
    for (auto v = view; v && v != ancestor; v = v->superview()) {
        offset.x += cbLeft(v);
        offset.y += cbTop(v);
    }
    return offset;
}

void cbRemoveAllSubviews(const std::shared_ptr<UIView>& view) {
    while (view && !view->subviews().empty()) {
        std::shared_ptr<UIView> last = view->subviews().back();
        last->removeFromSuperview();
    }
}

std::shared_ptr<UIViewController> cbViewController(const std::shared_ptr<UIView>& view) {
    for (auto v = view ? view->superview() : nullptr; v; v = v->superview()) {
        if (auto controller = std::dynamic_pointer_cast<UIViewController>(v->nextResponder())) {
            return controller;
        }
    }
    return nullptr;
}
