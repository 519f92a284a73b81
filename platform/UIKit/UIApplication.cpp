#include "UIKit/UIApplication.h"

#include <algorithm>

#include "Foundation/DesktopLauncher.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"

namespace {

// Made before the shared application, so it is destroyed after it: windows
// that the application's delegate still holds at exit go while the
// application itself is being destroyed, and must find it gone.
std::weak_ptr<UIApplication>& liveApplication() {
    static std::weak_ptr<UIApplication> live;
    return live;
}

}  // namespace

std::shared_ptr<UIApplication> UIApplication::sharedApplication() {
    static const auto application = [] {
        std::weak_ptr<UIApplication>& live = liveApplication();
        auto made = std::make_shared<UIApplication>();
        live = made;
        return made;
    }();
    return application;
}

std::shared_ptr<UIApplication> UIApplication::existingApplication() {
    return liveApplication().lock();
}

std::vector<std::shared_ptr<UIWindow>> UIApplication::windows() const {
    std::vector<std::shared_ptr<UIWindow>> result;
    for (const auto& weak : windows_) {
        if (auto window = weak.lock()) {
            result.push_back(window);
        }
    }
    return result;
}

void UIApplication::setKeyWindow(const std::shared_ptr<UIWindow>& window) {
    keyWindow_ = window;
    addWindow(window);
}

void UIApplication::addWindow(const std::shared_ptr<UIWindow>& window) {
    std::erase_if(windows_, [](const std::weak_ptr<UIWindow>& w) { return w.expired(); });
    for (const auto& weak : windows_) {
        if (weak.lock() == window) {
            return;
        }
    }
    windows_.push_back(window);
}

void UIApplication::removeWindow(const UIWindow* window) {
    std::erase_if(windows_, [window](const std::weak_ptr<UIWindow>& w) {
        auto locked = w.lock();
        return !locked || locked.get() == window;
    });
}

bool UIApplication::canOpenURL(const std::string& url) const {
    const size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    std::string scheme = url.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), ::tolower);
    static const char* const schemes[] = {"http", "https", "mailto", "file", "geo"};
    return std::find(std::begin(schemes), std::end(schemes), scheme) != std::end(schemes);
}

bool UIApplication::openURL(const std::string& url) {
    if (!canOpenURL(url)) {
        NSLogWithLevel(NSLogLevel::Warning, "UIApplication: cannot open %s", url.c_str());
        return false;
    }
    if (delegate_ && delegate_->applicationOpenURL(*this, url)) {
        return true;
    }
    // The URL is one argument of xdg-open: no shell sees it.
    return DesktopLauncher::launch({"xdg-open", url});
}

void UIApplication::post(const char* name) {
    NSNotificationCenter::defaultCenter()->postNotificationName(name, this);
}

bool UIApplication::finishLaunchingWithOptions(const Value& options) {
    bool result = true;
    if (delegate_) {
        result = delegate_->applicationDidFinishLaunchingWithOptions(*this, options);
    }
    post(UIApplicationDidFinishLaunchingNotification);
    return result;
}

void UIApplication::becomeActive() {
    if (state_ == UIApplicationStateActive) {
        return;
    }
    state_ = UIApplicationStateActive;
    if (delegate_) {
        delegate_->applicationDidBecomeActive(*this);
    }
    post(UIApplicationDidBecomeActiveNotification);
}

void UIApplication::resignActive() {
    if (state_ != UIApplicationStateActive) {
        return;
    }
    state_ = UIApplicationStateInactive;
    if (delegate_) {
        delegate_->applicationWillResignActive(*this);
    }
    post(UIApplicationWillResignActiveNotification);
}

void UIApplication::enterBackground() {
    resignActive();
    if (state_ == UIApplicationStateBackground) {
        return;
    }
    state_ = UIApplicationStateBackground;
    if (delegate_) {
        delegate_->applicationDidEnterBackground(*this);
    }
    post(UIApplicationDidEnterBackgroundNotification);
}

void UIApplication::enterForeground() {
    if (state_ != UIApplicationStateBackground) {
        return;
    }
    state_ = UIApplicationStateInactive;
    if (delegate_) {
        delegate_->applicationWillEnterForeground(*this);
    }
    post(UIApplicationWillEnterForegroundNotification);
    becomeActive();
}

void UIApplication::terminate() {
    resignActive();
    if (delegate_) {
        delegate_->applicationWillTerminate(*this);
    }
    post(UIApplicationWillTerminateNotification);
}

void UIApplication::receiveMemoryWarning() {
    if (delegate_) {
        delegate_->applicationDidReceiveMemoryWarning(*this);
    }
    post(UIApplicationDidReceiveMemoryWarningNotification);
}

CGRect UIApplication::statusBarFrame() const {
    if (statusBarHidden_) {
        return CGRectZero;
    }
    return {{0, 0}, {UIScreen::mainScreen()->bounds().size.width, 20}};
}
