#pragma once

#include <functional>
#include <memory>

#include "UIKit/UIView.h"

class UIGestureRecognizer;
class UITouch;
class UIViewController;

// The root of a view tree shown on the screen. The key window receives the
// host's touches (sendEvent) and is drawn each frame: layout pass, display
// pass, then the layer tree composited into the host's surface.
class UIWindow : public UIView {
  public:
    explicit UIWindow(const CGRect& frame);
    UIWindow();
    ~UIWindow() override;

    void makeKeyAndVisible();
    void makeKeyWindow();
    bool isKeyWindow() const;
    CGFloat windowLevel() const { return windowLevel_; }
    void setWindowLevel(CGFloat level) { windowLevel_ = level; }

    const std::shared_ptr<UIViewController>& rootViewController() const { return root_; }
    // Puts the controller's view in the window, filling it.
    void setRootViewController(std::shared_ptr<UIViewController> controller);

    // Touch delivery: gesture recognisers of the hit view and its ancestors
    // see touches first; the views get them unless a recogniser cancels them.
    virtual void sendEvent(UIEvent& event);
    // Touch delivery past hit testing: the touches go to recognizer alone,
    // wherever they lie, and never to a view's own touch handling. The host's
    // wheel pinches the view under the pointer this way, so a finger beside
    // it, over a button, starts nothing there.
    void sendEventToGestureRecognizer(UIEvent& event,
                                      const std::shared_ptr<UIGestureRecognizer>& recognizer);

    std::shared_ptr<UIResponder> nextResponder() const override;
    // The first responder when it is this window or one of its views.
    std::shared_ptr<UIResponder> firstResponder() const;

    // One frame's layout and display passes.
    void layoutAndDisplayIfNeeded();
    // The window drawn into context (user space in points, y down). synchronous
    // draws every tile of tiled layers now; otherwise tiled layers show what is
    // ready and ask for the rest (the host's frames).
    void drawInContext(CGContext& context, bool synchronous);
    // The window as an image at a scale (0: the screen's), after layout and
    // display; tiles drawn synchronously.
    CGImageRef renderImage(CGFloat scale = 0);

  private:
    // route gives each began touch its view and recognisers.
    void deliver(UIEvent& event, const std::function<void(UITouch&)>& route);
    void deliverToRecognizers(UIEvent& event, UITouchPhase phase, const UITouchSet& touches);
    void deliverToViews(UIEvent& event, UITouchPhase phase, const UITouchSet& touches);

    std::shared_ptr<UIViewController> root_;
    CGFloat windowLevel_ = 0;
};
