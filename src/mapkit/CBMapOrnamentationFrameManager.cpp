#include "mapkit/CBMapOrnamentationFrameManager.h"

#include <algorithm>

#include "QuartzCore/CALayer.h"
#include "UIKit/UIScrollView.h"

namespace {

// Edges before the corners that join them, clockwise from the top.
constexpr unsigned kLayoutOrder[] = {1, 3, 2, 6, 4, 12, 8, 9};

// The centre of the visible window along one axis, kept inside the content.
CGFloat visibleCentre(CGFloat offset, CGFloat content, CGFloat visible) {
    if (visible > content)
        return content / 2;
    return std::clamp(offset, CGFloat(0), content - visible) + visible / 2;
}

}  // namespace

CGPoint CBMapOrnamentationAnchorPointForDirection(unsigned direction) {
    switch (direction) {
        case 1:
            return {0.5, 1.0};
        case 2:
            return {0.0, 0.5};
        case 4:
            return {0.5, 0.0};
        case 8:
            return {1.0, 0.5};
        case 3:
            return {0.0, 1.0};
        case 6:
            return {0.0, 0.0};
        case 12:
            return {1.0, 0.0};
        case 9:
            return {1.0, 1.0};
        default:
            return {0.5, 0.5};
    }
}

unsigned CBMapOrnamentationVisibleDirections(const std::shared_ptr<UIScrollView>& scrollView,
                                             CGFloat top, CGFloat left, CGFloat bottom,
                                             CGFloat right) {
    CGPoint offset = scrollView ? scrollView->contentOffset() : CGPoint{};
    CGSize content = scrollView ? scrollView->contentSize() : CGSize{};
    CGSize visible = scrollView ? scrollView->bounds().size : CGSize{};
    unsigned directions = 0;
    if (offset.x < left)
        directions |= CBMapOrnamentationDirectionLeft;
    if (offset.y < top)
        directions |= CBMapOrnamentationDirectionTop;
    if (offset.y > content.height - visible.height - bottom)
        directions |= CBMapOrnamentationDirectionBottom;
    if (offset.x > content.width - visible.width - right)
        directions |= CBMapOrnamentationDirectionRight;
    return directions;
}

CGPoint CBMapOrnamentationPositionForDirection(unsigned direction,
                                               const std::shared_ptr<UIScrollView>& scrollView) {
    CGPoint offset = scrollView ? scrollView->contentOffset() : CGPoint{};
    CGSize content = scrollView ? scrollView->contentSize() : CGSize{};
    CGSize visible = scrollView ? scrollView->bounds().size : CGSize{};
    CGFloat x = visibleCentre(offset.x, content.width, visible.width);
    CGFloat y = visibleCentre(offset.y, content.height, visible.height);
    switch (direction) {
        case 1:
            return {x, 0};
        case 2:
            return {content.width, y};
        case 4:
            return {x, content.height};
        case 8:
            return {0, y};
        case 3:
            return {content.width, 0};
        case 6:
            return {content.width, content.height};
        case 12:
            return {0, content.height};
        default:
            return {0, 0};
    }
}

CBMapOrnamentationFrameManager::CBMapOrnamentationFrameManager(
    std::weak_ptr<UIScrollView> mapScrollView,
    std::weak_ptr<CBMapOrnamentationFrameManagerDelegate> delegate)
    : mapScrollView_(std::move(mapScrollView)), delegate_(std::move(delegate)) {}

std::map<unsigned, std::vector<std::shared_ptr<UIView>>>
CBMapOrnamentationFrameManager::viewsForDirections() const {
    std::lock_guard lock(mutex_);
    return viewsForDirections_;
}

UIEdgeInsets CBMapOrnamentationFrameManager::edgeInsets() const {
    std::lock_guard lock(mutex_);
    return edgeInsets_;
}

void CBMapOrnamentationFrameManager::setEdgeInsets(const UIEdgeInsets& insets) {
    std::lock_guard lock(mutex_);
    edgeInsets_ = insets;
}

void CBMapOrnamentationFrameManager::reloadData() {
    std::map<unsigned, std::vector<std::shared_ptr<UIView>>> old;
    {
        std::lock_guard lock(mutex_);
        old.swap(viewsForDirections_);
    }
    for (const auto& [direction, views] : old)
        for (const auto& view : views)
            view->removeFromSuperview();
    layoutOrnamentationFrame();
}

void CBMapOrnamentationFrameManager::layoutOrnamentationFrame() {
    auto scrollView = mapScrollView();
    UIEdgeInsets insets = edgeInsets();
    unsigned within = CBMapOrnamentationVisibleDirections(scrollView, insets.top, insets.left,
                                                          insets.bottom, insets.right);
    for (unsigned direction : kLayoutOrder) {
        std::vector<std::shared_ptr<UIView>> views;
        {
            std::lock_guard lock(mutex_);
            auto it = viewsForDirections_.find(direction);
            if (it != viewsForDirections_.end())
                views = it->second;
        }
        if (views.empty()) {
            if (auto d = delegate()) {
                auto answer = d->mapOrnamentationFrameManagerViewsForDirection(*this, direction);
                if (answer && !answer->empty()) {
                    // A null entry is the delegate's mistake; it is left out.
                    std::erase(*answer, nullptr);
                    views = *answer;
                    std::lock_guard lock(mutex_);
                    viewsForDirections_[direction] = views;
                }
            }
        }
        if (views.empty())
            continue;
        layoutOrnamentationFrameViewsForDirection(views, direction);
        bool shown = (within & direction) == direction;
        for (const auto& view : views)
            view->setHidden(!shown);
    }
}

void CBMapOrnamentationFrameManager::layoutOrnamentationFrameViewsForDirection(
    const std::vector<std::shared_ptr<UIView>>& views, unsigned direction) {
    auto scrollView = mapScrollView();
    if (!scrollView)
        return;
    CGPoint position = CBMapOrnamentationPositionForDirection(direction, scrollView);
    CGSize visible = scrollView->bounds().size;
    CGSize content = scrollView->contentSize();
    for (const auto& view : views) {
        if (!view)
            continue;
        CGRect bounds = view->bounds();
        if (direction == CBMapOrnamentationDirectionTop ||
            direction == CBMapOrnamentationDirectionBottom)
            bounds.size.width = std::min(visible.width, content.width);
        else if (direction == CBMapOrnamentationDirectionRight ||
                 direction == CBMapOrnamentationDirectionLeft)
            bounds.size.height = std::min(visible.height, content.height);
        view->setBounds(bounds);
        view->setCenter(position);
        if (!view->superview()) {
            scrollView->addSubview(view);
            view->layer()->removeAllAnimations();
        }
    }
}
