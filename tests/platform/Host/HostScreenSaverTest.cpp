#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>

#include "Host/HostScreenSaver.h"
#include "Host/HostWindow.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIWindow.h"

namespace {

TEST(HostScreenSaverTest, StaysOffWhileTheIdleTimerIsDisabled) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no display (ctest runs this under xvfb-run)";
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 100, 100));
    auto host = HostWindow::open(window, 1, "Kelvara screen saver test");
    ASSERT_TRUE(host);
    auto application = UIApplication::sharedApplication();
    SDL_EnableScreenSaver();
    application->setIdleTimerDisabled(true);
    HostFollowIdleTimer(*application);
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());
    HostFollowIdleTimer(*application);
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());
    application->setIdleTimerDisabled(false);
    HostFollowIdleTimer(*application);
    EXPECT_TRUE(SDL_IsScreenSaverEnabled());
}

}  // namespace
