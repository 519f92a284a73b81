#include "uiadditions/UIView+ZELGeometry.h"

#include <cmath>

void resetFrameToSharpRect_zel(const std::shared_ptr<UIView>& view) {
    if (!view) {
        return;
    }
    const CGAffineTransform transform = view->transform();
    view->setTransform(CGAffineTransformIdentity);
    const CGRect f = view->frame();
    view->setFrame(CGRectMake(std::round(f.origin.x), std::round(f.origin.y),
                              std::round(f.size.width), std::round(f.size.height)));
    view->setTransform(transform);
}

void setSharpCenter_zel(const std::shared_ptr<UIView>& view, CGPoint center) {
    if (!view) {
        return;
    }
    view->setCenter(center);
    resetFrameToSharpRect_zel(view);
}

void setCenterY_zel(const std::shared_ptr<UIView>& view, CGFloat y) {
    if (view) {
        view->setCenter({view->center().x, y});
    }
}

void setShadowPathToBoundsWithEdgeCurlEffect(const std::shared_ptr<UIView>& view,
                                             const UIEdgeInsets& curl) {
    if (!view) {
        return;
    }
    const auto& layer = view->layer();
    const CGFloat r = layer->cornerRadius();
    const CGFloat w = view->bounds().size.width, h = view->bounds().size.height;
    CGPath path;
    path.moveToPoint({r, 0});
    path.addQuadCurveToPoint({w / 2, curl.top}, {w - r, 0});
    path.addQuadCurveToPoint({w, 0}, {w, r});
    path.addQuadCurveToPoint({w - curl.right, h / 2}, {w, h - r});
    path.addQuadCurveToPoint({w, h}, {w - r, h});
    path.addQuadCurveToPoint({w / 2, h - curl.bottom}, {r, h});
    path.addQuadCurveToPoint({0, h}, {0, h - r});
    path.addQuadCurveToPoint({curl.left, h / 2}, {0, r});
    path.addQuadCurveToPoint({0, 0}, {r, 0});
    layer->setShadowPath(path);
}

CGPoint ZELRectGetCenter(const CGRect& rect) {
    return {rect.origin.x + rect.size.width / 2, rect.origin.y + rect.size.height / 2};
}
