#pragma once

class UIViewController;

// The crash breadcrumb of the screen on show: every screen leaves its class
// name as it appears, so that a crash report of this run says where the user
// was.
class CBScreenBreadcrumb {
  public:
    static void screenAppeared(const UIViewController& screen);
};
