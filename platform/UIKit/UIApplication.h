#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "Foundation/Value.h"
#include "UIKit/UIInterfaceOrientation.h"
#include "UIKit/UIResponder.h"
#include "UIKit/UIStatusBarStyle.h"

// The application's life cycle as notification names.
inline constexpr const char* UIApplicationDidEnterBackgroundNotification =
    "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* UIApplicationWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* UIApplicationDidBecomeActiveNotification =
    "UIApplicationDidBecomeActiveNotification";
inline constexpr const char* UIApplicationWillResignActiveNotification =
    "UIApplicationWillResignActiveNotification";
inline constexpr const char* UIApplicationWillTerminateNotification =
    "UIApplicationWillTerminateNotification";
inline constexpr const char* UIApplicationDidReceiveMemoryWarningNotification =
    "UIApplicationDidReceiveMemoryWarningNotification";

inline constexpr const char* UIApplicationUserDidTakeScreenshotNotification =
    "UIApplicationUserDidTakeScreenshotNotification";
// Linux: the screenshot notification's user info names the PNG the host
// saved under this key (the phone keeps it in the photo library).
inline constexpr const char* UIApplicationScreenshotPathKey = "UIApplicationScreenshotPathKey";
inline constexpr const char* UIApplicationDidFinishLaunchingNotification =
    "UIApplicationDidFinishLaunchingNotification";

class UIApplication;
class UILocalNotification;
class UIWindow;

enum UIApplicationState : long {
    UIApplicationStateActive,
    UIApplicationStateInactive,
    UIApplicationStateBackground,
};

// What the application tells its delegate over its life.
class UIApplicationDelegate {
  public:
    virtual ~UIApplicationDelegate() = default;
    virtual bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value&) {
        return true;
    }
    virtual void applicationDidBecomeActive(UIApplication&) {}
    virtual void applicationWillResignActive(UIApplication&) {}
    virtual void applicationDidEnterBackground(UIApplication&) {}
    virtual void applicationWillEnterForeground(UIApplication&) {}
    virtual void applicationWillTerminate(UIApplication&) {}
    virtual void applicationDidReceiveMemoryWarning(UIApplication&) {}
    // A URL handed to the application; false when it does not take it.
    virtual bool applicationOpenURL(UIApplication&, const std::string&) { return false; }
    // The user chose a local notification of the application.
    virtual void applicationDidReceiveLocalNotification(UIApplication&,
                                                        const UILocalNotification&) {}
    // The window the delegate shows (the phone's window property).
    std::shared_ptr<UIWindow> window;
};

// The running application: its delegate, windows and state. Each life-cycle
// step calls the delegate, then posts the matching notification. Main thread.
class UIApplication : public UIResponder {
  public:
    static std::shared_ptr<UIApplication> sharedApplication();
    // The shared application unless it was never made or is being destroyed.
    static std::shared_ptr<UIApplication> existingApplication();

    const std::shared_ptr<UIApplicationDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<UIApplicationDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    std::shared_ptr<UIWindow> keyWindow() const { return keyWindow_.lock(); }
    std::vector<std::shared_ptr<UIWindow>> windows() const;
    // Called by UIWindow.
    void setKeyWindow(const std::shared_ptr<UIWindow>& window);
    void addWindow(const std::shared_ptr<UIWindow>& window);
    void removeWindow(const UIWindow* window);

    UIApplicationState applicationState() const { return state_; }
    bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
    void setIdleTimerDisabled(bool flag) { idleTimerDisabled_ = flag; }
    bool isNetworkActivityIndicatorVisible() const { return networkActivity_; }
    void setNetworkActivityIndicatorVisible(bool flag) { networkActivity_ = flag; }
    long applicationIconBadgeNumber() const { return badge_; }
    void setApplicationIconBadgeNumber(long n) { badge_ = n; }
    UIInterfaceOrientation statusBarOrientation() const { return orientation_; }
    void setStatusBarOrientation(UIInterfaceOrientation o) { orientation_ = o; }
    bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool flag) { statusBarHidden_ = flag; }
    void setStatusBarHiddenWithAnimation(bool flag, UIStatusBarAnimation) {
        statusBarHidden_ = flag;
    }
    UIStatusBarStyle statusBarStyle() const { return statusBarStyle_; }
    void setStatusBarStyle(UIStatusBarStyle style) { statusBarStyle_ = style; }
    void setStatusBarStyleAnimated(UIStatusBarStyle style, bool) { statusBarStyle_ = style; }
    // The strip along the top of the screen the phone's status bar takes (20
    // points high); empty while hidden. The desktop window draws none.
    CGRect statusBarFrame() const;
    void beginIgnoringInteractionEvents() { ++ignoring_; }
    void endIgnoringInteractionEvents() { ignoring_ = ignoring_ > 0 ? ignoring_ - 1 : 0; }
    bool isIgnoringInteractionEvents() const { return ignoring_ > 0; }

    // http, https, mailto, file and geo URLs are handed to the desktop
    // (xdg-open); others cannot be opened.
    bool canOpenURL(const std::string& url) const;
    // Starts xdg-open with the URL through DesktopLauncher (no shell); false
    // when it cannot be opened or started.
    bool openURL(const std::string& url);

    // Shows the notification on the desktop through notify-send (libnotify),
    // titled with the application's name. When it has an action and the user
    // chooses it, the delegate hears applicationDidReceiveLocalNotification on
    // the main queue and the host brings the window to the front. Where there
    // is no notify-send or no notification service, nothing shows and nothing
    // fails (one log line). False when notify-send cannot be started.
    bool presentLocalNotificationNow(const std::shared_ptr<UILocalNotification>& notification);
    // The user chose the notification (what the desktop's action does).
    void receiveLocalNotification(const UILocalNotification& notification);
    // Asks the host to bring the window to the front, restored when minimised.
    void requestActivation() { activationRequested_ = true; }
    // Whether the window was asked to come to the front since the host last
    // looked; looking clears it.
    bool takeActivationRequest();

    // Life cycle, driven by the host.
    bool finishLaunchingWithOptions(const Value& options);
    void becomeActive();
    void resignActive();
    void enterBackground();
    void enterForeground();
    void terminate();
    void receiveMemoryWarning();

  private:
    void post(const char* name);

    std::shared_ptr<UIApplicationDelegate> delegate_;
    std::weak_ptr<UIWindow> keyWindow_;
    std::vector<std::weak_ptr<UIWindow>> windows_;
    UIApplicationState state_ = UIApplicationStateInactive;
    bool idleTimerDisabled_ = false;
    bool networkActivity_ = false;
    bool statusBarHidden_ = false;
    UIStatusBarStyle statusBarStyle_ = UIStatusBarStyleDefault;
    long badge_ = 0;
    UIInterfaceOrientation orientation_ = UIInterfaceOrientationPortrait;
    int ignoring_ = 0;
    bool activationRequested_ = false;
};
