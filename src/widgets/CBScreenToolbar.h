#pragma once

#include <memory>

#include "CoreGraphics/CGGeometry.h"

class UIBarButtonItem;
class UIViewController;

// The bottom toolbar as the screens use it: a screen with items of its own
// shows its navigation controller's toolbar as it appears, one without hides
// it; the items are spaced with the two kinds of space.
class CBScreenToolbar {
  public:
    // Does nothing for a screen outside a navigation controller.
    static void setHidden(UIViewController& screen, bool hidden, bool animated);
    static std::shared_ptr<UIBarButtonItem> flexibleSpace();
    static std::shared_ptr<UIBarButtonItem> fixedSpace(CGFloat width);
};
