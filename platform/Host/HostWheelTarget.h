#pragma once

#include <memory>

#include "CoreGraphics/CGGeometry.h"

class UIGestureRecognizer;
class UIScrollView;
class UIWindow;

// What a wheel notch at a point of the window acts on: at most one of the two.
struct HostWheelTarget {
    // The pinch the notch turns: a zooming scroll view's, or one a view keeps
    // for itself.
    std::shared_ptr<UIGestureRecognizer> pinch;
    // The scroll view the notch scrolls up or down.
    std::shared_ptr<UIScrollView> scrollView;
};

// The view under the pointer and its superviews decide, innermost first: a
// scroll view that zooms, or a view with a pinch of its own, is pinched; a
// scroll view with content to scroll up or down is scrolled. One whose
// content fits (or that does not scroll) passes the notch only outwards, to
// the views enclosing it, as a drag on it goes to an enclosing scroll view and
// never to what lies beneath it; where none of them takes the notch, nothing
// moves. A view that takes no notch and is no scroll view (a button or a label
// floating over a map) lets it through to what lies beneath it in its
// superview, so the wheel over the map's buttons zooms the map; but a screen's
// root view, a popover's shade and a modal view over the whole window (an
// alert, an action sheet) never do: they cover what is behind them.
HostWheelTarget HostWheelTargetAtPoint(UIWindow& window, CGPoint point);
