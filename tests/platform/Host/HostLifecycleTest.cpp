// The window's minimise, restore and focus move the application between
// the background, the foreground and the active state.
#include <SDL.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Foundation/NSNotificationCenter.h"
#include "Host/HostLifecycle.h"
#include "UIKit/UIApplication.h"

namespace {

TEST(HostLifecycle, MinimiseRestoreAndFocusDriveTheApplicationsState) {
    const auto application = UIApplication::sharedApplication();
    application->becomeActive();
    std::vector<std::string> posted;
    std::vector<std::shared_ptr<NSNotificationObserver>> observers;
    for (const char* name :
         {UIApplicationDidEnterBackgroundNotification, UIApplicationWillEnterForegroundNotification,
          UIApplicationDidBecomeActiveNotification, UIApplicationWillResignActiveNotification})
        observers.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(
            name, nullptr, nullptr,
            [&posted](const NSNotification& n) { posted.push_back(n.name); }));

    HostHandleWindowLifecycleEvent(SDL_WINDOWEVENT_MINIMIZED);
    EXPECT_EQ(application->applicationState(), UIApplicationStateBackground);
    // Focus while minimised does not make the application active.
    HostHandleWindowLifecycleEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_EQ(application->applicationState(), UIApplicationStateBackground);
    HostHandleWindowLifecycleEvent(SDL_WINDOWEVENT_RESTORED);
    EXPECT_EQ(application->applicationState(), UIApplicationStateActive);
    HostHandleWindowLifecycleEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_EQ(application->applicationState(), UIApplicationStateInactive);
    HostHandleWindowLifecycleEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_EQ(application->applicationState(), UIApplicationStateActive);

    const std::vector<std::string> expected = {
        UIApplicationWillResignActiveNotification,    UIApplicationDidEnterBackgroundNotification,
        UIApplicationWillEnterForegroundNotification, UIApplicationDidBecomeActiveNotification,
        UIApplicationWillResignActiveNotification,    UIApplicationDidBecomeActiveNotification};
    EXPECT_EQ(posted, expected);
    for (const auto& observer : observers)
        NSNotificationCenter::defaultCenter()->removeObserver(observer);
}

}  // namespace
