#include "Host/HostWheelTarget.h"

#include <algorithm>

#include "UIKit/UIPinchGestureRecognizer.h"
#include "UIKit/UIPopoverView.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIWindow.h"

namespace {

// Nothing: no view on the way took the notch, so it may go on beneath.
// Outwards: a scroll view that cannot take it was met; it goes on only to the
// views enclosing that scroll view, as a drag on it would.
enum class Search { Nothing, Outwards, Covered, Found };

// Whether view takes the notch (Found, target filled), passes it outwards (a
// scroll view that cannot take it) or lets it through (Nothing).
Search answer(const std::shared_ptr<UIView>& view, HostWheelTarget& target) {
    if (auto scroll = std::dynamic_pointer_cast<UIScrollView>(view)) {
        // The scroll view's own answer to a pinch: a zoom range and a view to zoom.
        const auto& pinch = scroll->pinchGestureRecognizer();
        if (pinch && pinch->isEnabled() && scroll->gestureRecognizerShouldBegin(*pinch)) {
            target.pinch = pinch;
            return Search::Found;
        }
        if (scroll->isScrollEnabled() &&
            scroll->maximumContentOffset().y > scroll->minimumContentOffset().y) {
            target.scrollView = scroll;
            return Search::Found;
        }
        return Search::Outwards;
    }
    for (const auto& recognizer : view->gestureRecognizers()) {
        if (recognizer->isEnabled() &&
            dynamic_cast<UIPinchGestureRecognizer*>(recognizer.get()) != nullptr) {
            target.pinch = recognizer;
            return Search::Found;
        }
    }
    return Search::Nothing;
}

// From view up to last (inclusive), each view and then, until a scroll view
// was met, what lies beneath it in its superview, topmost first.
Search search(std::shared_ptr<UIView> view, const UIView* last, CGPoint point,
              HostWheelTarget& target) {
    bool outwards = false;
    for (; view; view = view->superview()) {
        const Search own = answer(view, target);
        if (own == Search::Found) {
            return own;
        }
        outwards = outwards || own == Search::Outwards;
        // A screen covers what lies behind it, and so does the shade of a
        // popover, which takes every touch outside the popover's box.
        if (view->viewController() || dynamic_cast<UIPopoverView*>(view.get()) != nullptr) {
            return Search::Covered;
        }
        std::shared_ptr<UIView> parent = view->superview();
        // So does a modal view (an alert, an action sheet, the dimming
        // behind a form sheet): it lies over the whole window and takes
        // every touch outside its box, which then reaches nothing beneath.
        if (parent && dynamic_cast<UIWindow*>(parent.get()) != nullptr &&
            CGRectContainsRect(view->frame(), parent->bounds())) {
            return Search::Covered;
        }
        if (view.get() == last || !parent) {
            break;
        }
        if (outwards) {
            continue;
        }
        const auto& siblings = parent->subviews();
        auto below = std::find(siblings.rbegin(), siblings.rend(), view);
        for (auto it = below == siblings.rend() ? below : std::next(below); it != siblings.rend();
             ++it) {
            const std::shared_ptr<UIView>& sibling = *it;
            std::shared_ptr<UIView> hit =
                sibling->hitTest(sibling->convertPointFromView(point, nullptr), nullptr);
            if (!hit) {
                continue;
            }
            const Search beneath = search(hit, sibling.get(), point, target);
            if (beneath == Search::Outwards) {
                outwards = true;
                break;
            }
            if (beneath != Search::Nothing) {
                return beneath;
            }
        }
    }
    return outwards ? Search::Outwards : Search::Nothing;
}

}  // namespace

HostWheelTarget HostWheelTargetAtPoint(UIWindow& window, CGPoint point) {
    HostWheelTarget target;
    if (!CGRectContainsPoint(window.bounds(), point)) {
        return target;
    }
    if (std::shared_ptr<UIView> hit = window.hitTest(point, nullptr)) {
        search(hit, nullptr, point, target);
    }
    return target;
}
